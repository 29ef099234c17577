#include "app/gui/TForm1.h"
#include "base/Messages.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>

using namespace vorlune;

class MainWindowStartupTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsWithNewProjectAndAppliesTheme()
    {
        test::TestEnvironment env;
        gui::TForm1 window({});
        QCOMPARE(window.objectName(), QStringLiteral("TForm1"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Vorlune [Новый плагин.vlk] {TEST EDITION}"));
        QVERIFY(QFile::exists(env.path(QStringLiteral("RSRhWpOleMfdcA.dll"))));
        QVERIFY(!QFile::exists(env.path(QStringLiteral("RSRhWpOleMfdcA.asz"))));
        QVERIFY(qApp->styleSheet().contains(QStringLiteral("QPushButton")));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(env.messages().isEmpty());
        qApp->setStyleSheet(QString());
    }

    void titleNamesTheOpenedProject()
    {
        test::TestEnvironment env;
        const QString example = QStringLiteral(VORLUNE_SOURCE_DIR "/examples/hello.vlk");
        gui::TForm1 window({example});
        QCOMPARE(window.windowTitle(), QStringLiteral("Vorlune [hello.vlk] {TEST EDITION}"));
        QCOMPARE(window.state().project.ProjectFilePath, example);
        qApp->setStyleSheet(QString());
    }

    void startUpMessagesWearTheTheme()
    {
        test::TestEnvironment env;
        const QString theme = QStringLiteral("QPushButton { color: #123456; }");
        test::writeFile(env.path(QStringLiteral("RSRhWpOleMfdcA.dll")), theme.toUtf8());
        QVERIFY(QDir(env.home()).mkdir(QStringLiteral("Language.ini"))); // unreadable
        test::writeFile(env.path(QStringLiteral("broken.vlk")), "<plugin><settings>");
        qApp->setStyleSheet(QString());

        QStringList shown;
        QStringList sheets;
        const Messages::Sink previous = Messages::setSink([&](const QString &text) {
            shown << text;
            sheets << qApp->styleSheet();
        });
        gui::TForm1 window({env.path(QStringLiteral("broken.vlk"))});
        Messages::setSink(previous);
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[0].contains(QStringLiteral("Language.ini")), qPrintable(shown[0]));
        QVERIFY2(shown[1].contains(QStringLiteral("broken.vlk")), qPrintable(shown[1]));
        QCOMPARE(sheets, QStringList({theme, theme}));
        qApp->setStyleSheet(QString());
    }

    void missingThemeAtShowIsReported()
    {
        test::TestEnvironment env;
        gui::TForm1 window({});
        QFile::remove(env.path(QStringLiteral("RSRhWpOleMfdcA.dll")));
        window.show();
        QTRY_COMPARE(env.messages().size(), 1);
        QVERIFY(env.messages().first().contains(env.path(QStringLiteral("RSRhWpOleMfdcA.dll"))));
        qApp->setStyleSheet(QString());
    }
};

VORLUNE_TEST(MainWindowStartupTest)
#include "MainWindowStartupTest.moc"
