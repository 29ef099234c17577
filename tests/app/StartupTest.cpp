#include "app/AppState.h"
#include "app/FileImportant.h"
#include "base/ProgramFolder.h"
#include "base/RuntimeFiles.h"
#include "i18n/TextTable.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <optional>

using namespace vorlune;
using vorlune::test::readFile;
using vorlune::test::TestEnvironment;
using vorlune::test::writeFile;

class StartupTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void firstStartWritesRuntimeFilesAndDefaults()
    {
        app::AppState state;
        app::runCreationSteps(state, {});
        QCOMPARE(state.programFolder, m_env->home());
        QVERIFY(m_env->messages().isEmpty());

        QFile theme(QStringLiteral(":/RESs/design"));
        QVERIFY(theme.open(QIODevice::ReadOnly));
        QCOMPARE(readFile(m_env->path(QStringLiteral("RSRhWpOleMfdcA.dll"))), theme.readAll());
        QCOMPARE(readFile(m_env->path(QStringLiteral("kFkXOUbgS12jtg.dll"))),
                 QByteArray("\xEF\xBB\xBF[Run]\r\ndelete_logs=-1\r\ndelete_worlds=0\r\ndelete_crashs=-1\r\n"
                            "delete_players=-1\r\ndelete_plugins=0\r\n\r\n"));

        // Language.ini: all 13 sections and 90 keys, in table order, Russian defaults.
        QByteArray expected("\xEF\xBB\xBF");
        std::string_view section;
        for (const i18n::TextRow &row : i18n::kTextRows) {
            if (row.section != section) {
                if (!section.empty())
                    expected += "\r\n";
                section = row.section;
                expected += "[" + QByteArray(section.data(), qsizetype(section.size())) + "]\r\n";
            }
            expected += QByteArray(row.key.data(), qsizetype(row.key.size())) + "=" +
                        QByteArray(row.defaultText.data(), qsizetype(row.defaultText.size())) + "\r\n";
        }
        expected += "\r\n";
        const QByteArray language = readFile(m_env->path(QStringLiteral("Language.ini")));
        QCOMPARE(language, expected);
        QCOMPARE(language.count("\r\n["), 13);
        QVERIFY(language.contains("btn1=\xD0\x9E\xD0\xBA\r\n")); // Cyrillic О and к

        QCOMPARE(state.project.ProjectFileName, QStringLiteral("Новый плагин.vlk"));
        QVERIFY(state.project.ProjectFilePath.isEmpty());
        QCOMPARE(app::mainWindowTitle(state.project.ProjectFileName),
                 QStringLiteral("Vorlune [Новый плагин.vlk] {TEST EDITION}"));
    }

    void presentThemeIsKeptAndSettingsAreKept()
    {
        writeFile(m_env->path(QStringLiteral("RSRhWpOleMfdcA.dll")), "QWidget {}");
        writeFile(m_env->path(QStringLiteral("kFkXOUbgS12jtg.dll")), "[Run]\r\ndelete_worlds=-1\r\n");
        app::AppState state;
        app::runCreationSteps(state, {});
        QCOMPARE(readFile(m_env->path(QStringLiteral("RSRhWpOleMfdcA.dll"))), QByteArray("QWidget {}"));
        QVERIFY(readFile(m_env->path(QStringLiteral("kFkXOUbgS12jtg.dll")))
                    .startsWith("\xEF\xBB\xBF[Run]\r\ndelete_worlds=-1\r\ndelete_logs=-1\r\n"));
    }

    void newProjectIsNamedInTheFilesLanguage()
    {
        writeFile(m_env->path(QStringLiteral("Language.ini")), "\xEF\xBB\xBF[OTHR]\r\nothr1=New plugin\r\n");
        app::AppState state;
        app::runCreationSteps(state, {});
        QCOMPARE(state.project.ProjectFileName, QStringLiteral("New plugin.vlk"));
        QCOMPARE(app::mainWindowTitle(state.project.ProjectFileName),
                 QStringLiteral("Vorlune [New plugin.vlk] {TEST EDITION}"));
        // The file was completed with every other text and kept the given one.
        const QByteArray written = readFile(m_env->path(QStringLiteral("Language.ini")));
        QVERIFY(written.startsWith("\xEF\xBB\xBF[OTHR]\r\nothr1=New plugin\r\nothr2="));
        QVERIFY(written.contains("[CKBOX]\r\nckbox1="));
    }

    void commandLineArgumentsAreJoined()
    {
        QCOMPARE(app::joinArguments({QStringLiteral("/tmp/My"), QStringLiteral("Plugins/demo.vlk")}),
                 QStringLiteral("/tmp/My Plugins/demo.vlk"));
        QCOMPARE(app::joinArguments({QStringLiteral("/tmp/two  spaces.vlk")}), QStringLiteral("/tmp/two  spaces.vlk"));

        QDir(m_env->home()).mkpath(QStringLiteral("My Plugins"));
        app::AppState first;
        app::runCreationSteps(first, {});
        first.project.saveTo(m_env->path(QStringLiteral("My Plugins/demo.vlk")));

        app::AppState state;
        app::runCreationSteps(state, {m_env->home() + QStringLiteral("My"), QStringLiteral("Plugins/demo.vlk")});
        QCOMPARE(state.project.ProjectFileName, QStringLiteral("demo.vlk"));
        QCOMPARE(state.project.ProjectFilePath, m_env->path(QStringLiteral("My Plugins/demo.vlk")));
    }

    void refusedOrBrokenCommandLineProjectLeavesANewProject()
    {
        writeFile(m_env->path(QStringLiteral("demo.VLK")), "<plugin/>");
        writeFile(m_env->path(QStringLiteral("broken.vlk")), "<plugin><settings></plugin>");
        app::AppState refused;
        app::runCreationSteps(refused, {m_env->path(QStringLiteral("demo.VLK"))});
        QCOMPARE(m_env->messages(), QStringList{i18n::tx("MSG.msg5")});
        QVERIFY(refused.project.ProjectFilePath.isEmpty());

        m_env->messages().clear();
        app::AppState broken;
        app::runCreationSteps(broken, {m_env->path(QStringLiteral("broken.vlk"))});
        QCOMPARE(m_env->messages().size(), 1);
        QVERIFY2(m_env->messages().first().contains(QStringLiteral("broken.vlk")),
                 qPrintable(m_env->messages().first()));
        QVERIFY(broken.project.ProjectFilePath.isEmpty());
        QVERIFY(!broken.project.document.settings().isNull());
    }

    void unwritableFolderReportsAndStillBuildsTheState()
    {
        // A folder below a plain file can be neither created nor written, even by root.
        writeFile(m_env->path(QStringLiteral("plain-file")), "x");
        app::AppState state;
        state.programFolder = m_env->path(QStringLiteral("plain-file/program/"));
        app::runCreationSteps(state, {});
        QCOMPARE(m_env->messages().size(), 3); // theme, language file, settings file
        QVERIFY(!state.project.document.isNull());
        QCOMPARE(state.project.ProjectFileName, QStringLiteral("Новый плагин.vlk"));
        QCOMPARE(state.SettingsIni.keys(QStringLiteral("Run")).size(), 5);
        QCOMPARE(i18n::tx("MSG.msg10"), QStringLiteral("Плагин успешно скомпилирован."));
    }

    void fileImportantNamesTheMissingFile()
    {
        QVERIFY(!app::FileImportant(m_env->path(QStringLiteral("gone.dll"))));
        QCOMPARE(m_env->messages().size(), 1);
        QVERIFY(m_env->messages().first().contains(QStringLiteral("\"") + m_env->path(QStringLiteral("gone.dll")) +
                                                   QStringLiteral("\"")));
        writeFile(m_env->path(QStringLiteral("here.dll")), "x");
        QVERIFY(app::FileImportant(m_env->path(QStringLiteral("here.dll"))));
        QCOMPARE(m_env->messages().size(), 1);
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(StartupTest)
#include "StartupTest.moc"
