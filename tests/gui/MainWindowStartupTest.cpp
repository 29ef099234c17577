#include "app/gui/TForm1.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QApplication>
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
