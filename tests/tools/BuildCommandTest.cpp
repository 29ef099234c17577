#include "support/Programs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <memory>
#include <vector>

using vorlune::test::TestEnvironment;

namespace {

using Result = vorlune::test::ProgramResult;
using vorlune::test::runBuildCommand;

const QString kHello = QStringLiteral(VORLUNE_SOURCE_DIR "/examples/hello.vlk");

// The one thing servers of today refuse in the example: its api.
const QString kHelloFinding = QStringLiteral(
    "Версия API \"1.0.0\" подходит только старым серверам API 1 и 2: серверы API 3 и новее не загрузят плагин. "
    "Впишите в настройках плагина версию API своего сервера: 3.0.0, 4.0.0 или 5.0.0.");

} // namespace

class BuildCommandTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void buildsBothKinds()
    {
        TestEnvironment env;
        const Result phar = runBuildCommand({kHello, env.path(QStringLiteral("hello"))});
        QCOMPARE(phar.exitCode, 0);
        QCOMPARE(phar.out, QStringLiteral("Плагин успешно скомпилирован.\n"));
        // A finding warns and never stops the build.
        QCOMPARE(phar.err, QStringLiteral("warning: ") + kHelloFinding + QLatin1Char('\n'));
        QVERIFY(QFile(env.path(QStringLiteral("hello.phar"))).size() > 0);

        const Result zip = runBuildCommand({QStringLiteral("--zip"), kHello, env.path(QStringLiteral("hello"))});
        QCOMPARE(zip.exitCode, 0);
        QVERIFY(readFileStartsWithZipMagic(env.path(QStringLiteral("hello.zip"))));
    }

    void usesTheLanguageFileWithoutRewritingIt()
    {
        TestEnvironment env;
        const QByteArray language = "\xEF\xBB\xBF[MSG]\r\nmsg10=Built.\r\nmsg11=Cannot write.\r\n"
                                    "[VORLUNE]\r\ncheck_api_old=Old api {api}.\r\n";
        vorlune::test::writeFile(env.path(QStringLiteral("Language.ini")), language);
        const Result ok = runBuildCommand({kHello, env.path(QStringLiteral("x"))});
        QCOMPARE(ok.out, QStringLiteral("Built.\n"));
        const Result failed = runBuildCommand({kHello, env.path(QStringLiteral("none/x"))});
        QCOMPARE(failed.exitCode, 1);
        QCOMPARE(failed.err, QStringLiteral("warning: Old api 1.0.0.\nCannot write \"%1\": No such file or directory\n")
                                 .arg(env.path(QStringLiteral("none/x.phar"))));
        QCOMPARE(vorlune::test::readFile(env.path(QStringLiteral("Language.ini"))), language);
    }

    void buildsAtTheSameTimeTakeTurns()
    {
        TestEnvironment env;
        std::vector<std::unique_ptr<QProcess>> builds;
        for (int i = 0; i < 4; ++i) {
            builds.push_back(std::make_unique<QProcess>());
            builds.back()->start(QStringLiteral(VORLUNE_BINARY_DIR "/vorlune-build"),
                                 {kHello, env.path(QStringLiteral("parallel%1").arg(i))});
        }
        for (int i = 0; i < 4; ++i) {
            QVERIFY(builds[size_t(i)]->waitForFinished(60000));
            QCOMPARE(builds[size_t(i)]->exitCode(), 0);
            QVERIFY(
                vorlune::test::readFile(env.path(QStringLiteral("parallel%1.phar").arg(i))).contains("Hello, world"));
        }
    }

    void badInputFailsWithAReason()
    {
        TestEnvironment env;
        QCOMPARE(runBuildCommand({}).exitCode, 2);
        QCOMPARE(runBuildCommand({QStringLiteral("--zip"), kHello}).exitCode, 2);

        const Result missing = runBuildCommand({env.path(QStringLiteral("none.vlk")), env.path(QStringLiteral("o"))});
        QCOMPARE(missing.exitCode, 1);
        QVERIFY2(missing.err.contains(QStringLiteral("none.vlk")), qPrintable(missing.err));

        vorlune::test::writeFile(env.path(QStringLiteral("p.txt")), "<plugin/>");
        const Result notProject = runBuildCommand({env.path(QStringLiteral("p.txt")), env.path(QStringLiteral("o"))});
        QCOMPARE(notProject.exitCode, 1);
        QVERIFY(notProject.err.contains(QStringLiteral("не проект плагина")));
        QVERIFY(!QFile::exists(env.path(QStringLiteral("o.phar"))));
    }

    void checkPrintsFindingsOnly()
    {
        TestEnvironment env;
        const Result hello = runBuildCommand({QStringLiteral("--check"), kHello});
        QCOMPARE(hello.exitCode, 3);
        QCOMPARE(hello.out, kHelloFinding + QLatin1Char('\n'));
        QVERIFY2(hello.err.isEmpty(), qPrintable(hello.describe()));

        QByteArray project = vorlune::test::readFile(kHello);
        project.replace("api=\"1.0.0\"", "api=\"5.0.0\"");
        vorlune::test::writeFile(env.path(QStringLiteral("new.vlk")), project);
        const Result clean = runBuildCommand({QStringLiteral("--check"), env.path(QStringLiteral("new.vlk"))});
        QCOMPARE(clean.exitCode, 0);
        QVERIFY2(clean.out.isEmpty() && clean.err.isEmpty(), qPrintable(clean.describe()));

        QCOMPARE(runBuildCommand({QStringLiteral("--check"), env.path(QStringLiteral("none.vlk"))}).exitCode, 1);
        QCOMPARE(runBuildCommand({QStringLiteral("--check"), kHello, env.path(QStringLiteral("o"))}).exitCode, 2);
        QCOMPARE(runBuildCommand({QStringLiteral("--check")}).exitCode, 2);
        QCOMPARE(
            QDir(env.path({})).entryList({QStringLiteral("*.phar"), QStringLiteral("*.zip"), QStringLiteral("o*")}),
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
        TestEnvironment env;
        const Result named = runBuildCommand({QStringLiteral("--help"), env.path(QStringLiteral("o"))});
        QCOMPARE(named.exitCode, 1);
        QVERIFY2(named.out.isEmpty(), qPrintable(named.describe()));
    }

private:
    static bool readFileStartsWithZipMagic(const QString &path)
    {
        return vorlune::test::readFile(path).startsWith("PK\x03\x04");
    }
};

VORLUNE_TEST(BuildCommandTest)
#include "BuildCommandTest.moc"
