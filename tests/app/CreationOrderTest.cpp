#include "app/AppState.h"
#include "base/Error.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QFile>
#include <QTest>

#include <optional>

using namespace vorlune;
using test::TestEnvironment;

class CreationOrderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void themeIsAppliedBetweenTheRuntimeFilesAndTheFirstLoad()
    {
        test::writeFile(m_env->path(QStringLiteral("broken.vlk")), "<plugin><settings>");
        app::AppState state;
        int applied = 0;
        app::runCreationSteps(state, {m_env->path(QStringLiteral("broken.vlk"))}, [&] {
            ++applied;
            QVERIFY(QFile::exists(state.themeFilePath()));
            QVERIFY(!QFile::exists(state.languageFilePath()));
            QVERIFY(!QFile::exists(state.settingsFilePath()));
            QVERIFY(state.project.document.isNull());
            QVERIFY(m_env->messages().isEmpty());
        });
        QCOMPARE(applied, 1);
        QCOMPARE(m_env->messages().size(), 1); // the broken project, after the theme
        QVERIFY(QFile::exists(state.languageFilePath()));
    }

    void aFailingThemeIsReportedAndStartUpGoesOn()
    {
        app::AppState state;
        app::runCreationSteps(state, {}, [] { throw Error(QStringLiteral("theme refused")); });
        QCOMPARE(m_env->messages(), QStringList{QStringLiteral("theme refused")});
        QVERIFY(!state.project.document.isNull());
        QVERIFY(QFile::exists(state.settingsFilePath()));
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(CreationOrderTest)
#include "CreationOrderTest.moc"
