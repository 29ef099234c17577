#include "app/gui/TForm1.h"
#include "base/Messages.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>

#include <optional>

using namespace vorlune;

class MainWindowStartupTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup()
    {
        qApp->setStyleSheet(QString()); // the theme a window applied
        m_env.reset();
    }

    void startsWithNewProjectAndAppliesTheme()
    {
        gui::TForm1 window({});
        QCOMPARE(window.objectName(), QStringLiteral("TForm1"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Vorlune [Новый плагин.vlk] {TEST EDITION}"));
        QVERIFY(QFile::exists(m_env->path(QStringLiteral("RSRhWpOleMfdcA.dll"))));
        QVERIFY(!QFile::exists(m_env->path(QStringLiteral("RSRhWpOleMfdcA.asz"))));
        QVERIFY(qApp->styleSheet().contains(QStringLiteral("QPushButton")));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(m_env->messages().isEmpty());
    }

    void titleNamesTheOpenedProject()
    {
        const QString &example = test::kHelloProject;
        gui::TForm1 window({example});
        QCOMPARE(window.windowTitle(), QStringLiteral("Vorlune [hello.vlk] {TEST EDITION}"));
        QCOMPARE(window.state().project.ProjectFilePath, example);
    }

    void startUpMessagesWearTheTheme()
    {
        const QString theme = QStringLiteral("QPushButton { color: #123456; }");
        test::writeFile(m_env->path(QStringLiteral("RSRhWpOleMfdcA.dll")), theme.toUtf8());
        QVERIFY(QDir(m_env->home()).mkdir(QStringLiteral("Language.ini"))); // unreadable
        test::writeFile(m_env->path(QStringLiteral("broken.vlk")), "<plugin><settings>");
        qApp->setStyleSheet(QString());

        QStringList shown;
        QStringList sheets;
        const Messages::Sink previous = Messages::setSink([&](const QString &text) {
            shown << text;
            sheets << qApp->styleSheet();
        });
        gui::TForm1 window({m_env->path(QStringLiteral("broken.vlk"))});
        Messages::setSink(previous);
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[0].contains(QStringLiteral("Language.ini")), qPrintable(shown[0]));
        QVERIFY2(shown[1].contains(QStringLiteral("broken.vlk")), qPrintable(shown[1]));
        QCOMPARE(sheets, QStringList({theme, theme}));
    }

    void missingThemeAtShowIsReported()
    {
        gui::TForm1 window({});
        QFile::remove(m_env->path(QStringLiteral("RSRhWpOleMfdcA.dll")));
        window.show();
        QTRY_COMPARE(m_env->messages().size(), 1);
        QVERIFY(m_env->messages().first().contains(m_env->path(QStringLiteral("RSRhWpOleMfdcA.dll"))));
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(MainWindowStartupTest)
#include "MainWindowStartupTest.moc"
