#include "app/AppState.h"
#include "base/Error.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QFile>
#include <QTest>

using namespace vorlune;
using test::TestEnvironment;

class CreationOrderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void themeIsAppliedBetweenTheRuntimeFilesAndTheFirstLoad()
    {
        TestEnvironment env;
        test::writeFile(env.path(QStringLiteral("broken.vlk")), "<plugin><settings>");
        app::AppState state;
        int applied = 0;
        app::runCreationSteps(state, {env.path(QStringLiteral("broken.vlk"))}, [&] {
            ++applied;
            QVERIFY(QFile::exists(state.themeFilePath()));
            QVERIFY(!QFile::exists(state.languageFilePath()));
            QVERIFY(!QFile::exists(state.settingsFilePath()));
            QVERIFY(state.project.document.isNull());
            QVERIFY(env.messages().isEmpty());
        });
        QCOMPARE(applied, 1);
        QCOMPARE(env.messages().size(), 1); // the broken project, after the theme
        QVERIFY(QFile::exists(state.languageFilePath()));
    }

    void aFailingThemeIsReportedAndStartUpGoesOn()
    {
        TestEnvironment env;
        app::AppState state;
        app::runCreationSteps(state, {}, [] { throw Error(QStringLiteral("theme refused")); });
        QCOMPARE(env.messages(), QStringList{QStringLiteral("theme refused")});
        QVERIFY(!state.project.document.isNull());
        QVERIFY(QFile::exists(state.settingsFilePath()));
    }
};

VORLUNE_TEST(CreationOrderTest)
#include "CreationOrderTest.moc"
