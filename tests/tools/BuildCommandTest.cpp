#include "build/PluginCheck.h"
#include "project/ProjectDocument.h"
#include "support/Programs.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <memory>
#include <optional>
#include <vector>

using vorlune::test::TestEnvironment;

namespace {

using Result = vorlune::test::ProgramResult;
using vorlune::test::kHelloProject;
using vorlune::test::runBuildCommand;

// What the check finds in the example, a line each after `prefix`. That it
// is only the api, which servers of today refuse, and how that is worded,
// PluginCheckTest shows.
QString helloFindings(const QString &prefix = {})
{
    vorlune::project::ProjectDocument example = vorlune::project::ProjectDocument::fromFile(kHelloProject);
    QString lines;
    for (const QString &finding : vorlune::build::checkPlugin(example))
        lines += prefix + finding + QLatin1Char('\n');
    return lines;
}

} // namespace

class BuildCommandTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void buildsBothKinds()
    {
        const Result phar = runBuildCommand({kHelloProject, m_env->path(QStringLiteral("hello"))});
        QCOMPARE(phar.exitCode, 0);
        QCOMPARE(phar.out, QStringLiteral("Плагин успешно скомпилирован.\n"));
        // A finding warns and never stops the build.
        QCOMPARE(phar.err, helloFindings(QStringLiteral("warning: ")));
        QVERIFY(QFile(m_env->path(QStringLiteral("hello.phar"))).size() > 0);

        const Result zip =
            runBuildCommand({QStringLiteral("--zip"), kHelloProject, m_env->path(QStringLiteral("hello"))});
        QCOMPARE(zip.exitCode, 0);
        QVERIFY(readFileStartsWithZipMagic(m_env->path(QStringLiteral("hello.zip"))));
    }

    void usesTheLanguageFileWithoutRewritingIt()
    {
        const QByteArray language = "\xEF\xBB\xBF[MSG]\r\nmsg10=Built.\r\nmsg11=Cannot write.\r\n"
                                    "[VORLUNE]\r\ncheck_api_old=Old api {api}.\r\n";
        vorlune::test::writeFile(m_env->path(QStringLiteral("Language.ini")), language);
        const Result ok = runBuildCommand({kHelloProject, m_env->path(QStringLiteral("x"))});
        QCOMPARE(ok.out, QStringLiteral("Built.\n"));
        const Result failed = runBuildCommand({kHelloProject, m_env->path(QStringLiteral("none/x"))});
        QCOMPARE(failed.exitCode, 1);
        QCOMPARE(failed.err, QStringLiteral("warning: Old api 1.0.0.\nCannot write \"%1\": No such file or directory\n")
                                 .arg(m_env->path(QStringLiteral("none/x.phar"))));
        QCOMPARE(vorlune::test::readFile(m_env->path(QStringLiteral("Language.ini"))), language);
    }

    void buildsAtTheSameTimeTakeTurns()
    {
        std::vector<std::unique_ptr<QProcess>> builds;
        for (int i = 0; i < 4; ++i) {
            builds.push_back(std::make_unique<QProcess>());
            builds.back()->start(vorlune::test::kBuildCommand,
                                 {kHelloProject, m_env->path(QStringLiteral("parallel%1").arg(i))});
        }
        for (int i = 0; i < 4; ++i) {
            QVERIFY(builds[size_t(i)]->waitForFinished(60000));
            QCOMPARE(builds[size_t(i)]->exitCode(), 0);
            QVERIFY(vorlune::test::readFile(m_env->path(QStringLiteral("parallel%1.phar").arg(i)))
                        .contains("Hello, world"));
        }
    }

    void badInputFailsWithAReason()
    {
        QCOMPARE(runBuildCommand({}).exitCode, 2);
        QCOMPARE(runBuildCommand({QStringLiteral("--zip"), kHelloProject}).exitCode, 2);

        const Result missing =
            runBuildCommand({m_env->path(QStringLiteral("none.vlk")), m_env->path(QStringLiteral("o"))});
        VORLUNE_VERIFY_EXIT(missing, 1, QStringLiteral("none.vlk"));

        vorlune::test::writeFile(m_env->path(QStringLiteral("p.txt")), "<plugin/>");
        const Result notProject =
            runBuildCommand({m_env->path(QStringLiteral("p.txt")), m_env->path(QStringLiteral("o"))});
        VORLUNE_VERIFY_EXIT(notProject, 1, QStringLiteral("не проект плагина"));
        QVERIFY(!QFile::exists(m_env->path(QStringLiteral("o.phar"))));
    }

    void checkPrintsFindingsOnly()
    {
        const Result hello = runBuildCommand({QStringLiteral("--check"), kHelloProject});
        QCOMPARE(hello.exitCode, 3);
        QCOMPARE(hello.out, helloFindings());
        QVERIFY2(hello.err.isEmpty(), qPrintable(hello.describe()));

        QByteArray project = vorlune::test::readFile(kHelloProject);
        project.replace("api=\"1.0.0\"", "api=\"5.0.0\"");
        vorlune::test::writeFile(m_env->path(QStringLiteral("new.vlk")), project);
        const Result clean = runBuildCommand({QStringLiteral("--check"), m_env->path(QStringLiteral("new.vlk"))});
        QCOMPARE(clean.exitCode, 0);
        QVERIFY2(clean.out.isEmpty() && clean.err.isEmpty(), qPrintable(clean.describe()));

        QCOMPARE(runBuildCommand({QStringLiteral("--check"), m_env->path(QStringLiteral("none.vlk"))}).exitCode, 1);
        QCOMPARE(runBuildCommand({QStringLiteral("--check"), kHelloProject, m_env->path(QStringLiteral("o"))}).exitCode,
                 2);
        QCOMPARE(runBuildCommand({QStringLiteral("--check")}).exitCode, 2);
        QCOMPARE(
            QDir(m_env->path({})).entryList({QStringLiteral("*.phar"), QStringLiteral("*.zip"), QStringLiteral("o*")}),
            QStringList());
    }

    void versionAndHelp()
    {
        const Result version = runBuildCommand({QStringLiteral("--version")});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QStringLiteral("vorlune-build " VORLUNE_VERSION "\n"));
        const Result help = runBuildCommand({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith(QStringLiteral("usage: vorlune-build [--zip] PROJECT OUTPUT\n")));
        QVERIFY(help.err.isEmpty());
        // Beside an output path it names a project (none here).
        const Result named = runBuildCommand({QStringLiteral("--help"), m_env->path(QStringLiteral("o"))});
        QCOMPARE(named.exitCode, 1);
        QVERIFY2(named.out.isEmpty(), qPrintable(named.describe()));
    }

private:
    static bool readFileStartsWithZipMagic(const QString &path)
    {
        return vorlune::test::readFile(path).startsWith("PK\x03\x04");
    }

    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(BuildCommandTest)
#include "BuildCommandTest.moc"
