// vorlune-build --run against the test core, with the bundled PHP pack
// running the system's php.

#include "app/Settings.h"
#include "i18n/ExtraTexts.h"
#include "support/Programs.h"
#include "support/SharedInputs.h"
#include "support/TestCore.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "testrun/HeadlessRun.h"
#include "testrun/Installer.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

using namespace vorlune;
using namespace Qt::StringLiterals;
using test::ProgramResult;
using test::TestEnvironment;

namespace {

// A core that never reads its input, with a child in its group and one that
// left it; the process ids go to "pids", the last one once it has left.
const char kDeafCore[] = R"(<?php
$start = fn($code) => proc_open([PHP_BINARY, "-r", $code], [["file", "/dev/null", "r"], ["file", "/dev/null", "w"],
                                                             ["file", "/dev/null", "w"]], $pipes);
$child = $start("sleep(600);");
$away = $start('posix_setsid(); file_put_contents("pids", " " . getmypid(), FILE_APPEND); sleep(600);');
file_put_contents("pids", getmypid() . " " . proc_get_status($child)["pid"], FILE_APPEND);
sleep(600);
)";

// A program folder whose test server has PHP and, unless told otherwise, the test core.
struct Server {
    explicit Server(const QString &core = u"test"_s) : folder(env.path(testrun::kTestServerFolder))
    {
        testrun::installPhpPack(env.home(), test::kBuiltPack);
        if (core == u"test")
            test::installTestCore(folder);
        else if (core == u"hanging")
            test::writeFile(folder + u"PocketMine-MP.phar"_s, "<?php sleep(600);");
        else if (core == u"noisy")
            test::writeFile(folder + u"PocketMine-MP.phar"_s,
                            "<?php echo str_repeat(str_repeat('x', 1023) . \"\\n\", 8192); sleep(600);");
        else if (core == u"deaf")
            test::writeFile(folder + u"PocketMine-MP.phar"_s, kDeafCore);
        QByteArray project = test::readFile(test::kHelloProject);
        project.replace("api=\"1.0.0\"", "api=\"5.0.0\"");
        test::writeFile(env.path(u"hello5.vlk"_s), project);
    }
    ProgramResult run(const QStringList &arguments) const
    {
        test::RunOptions options;
        options.timeoutMs = 60000;
        return test::runBuildCommand(QStringList{u"--run"_s} + arguments, options);
    }
    void leave(const char *name) const
    {
        QDir().mkpath(QFileInfo(folder + QLatin1String(name)).path());
        test::writeFile(folder + QLatin1String(name), "left by the last run");
    }
    bool has(const char *name) const { return QFileInfo::exists(folder + QLatin1String(name)); }

    TestEnvironment env;
    QString folder;
};

} // namespace

class RunCommandTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void thePluginLoadsAndTheServerStops()
    {
        Server server;
        server.leave("server.log");
        server.leave("CrashDump_1.log");
        // A fresh server folder, whose set-up wizard would end the run unless
        // server.properties is written first. The run options of the
        // application's settings hold.
        test::writeFile(server.env.path(app::kSettingsFileName), "[Run]\r\ndelete_logs=0\r\n");
        const ProgramResult result = server.run({server.env.path(u"hello5.vlk"_s), u"--stop-when-ready"_s});
        QVERIFY2(result.exitCode == testrun::kRunPassed, qPrintable(result.describe()));
        QVERIFY2(result.out.contains(u"[Server thread/INFO]: [Plugin] Hello, world"_s), qPrintable(result.out));
        QVERIFY2(result.out.contains(u"Disabling Plugin v1.0.0"_s), qPrintable(result.out));
        QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
        QVERIFY(server.has("server.log") && !server.has("CrashDump_1.log") && server.has("plugins/bnop.phar"));
        QVERIFY(test::readFile(server.folder + u"server.properties"_s).startsWith("motd=Vorlune-PluginTest\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(!test::processRuns(test::testCoreChild(server.folder)), 2000);
    }

    void failuresGiveTheirCodeAndReason_data()
    {
        QTest::addColumn<QString>("core");
        QTest::addColumn<QString>("project");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("reason");
        // The core kills itself and leaves its child, which the run ends.
        QTest::newRow("plugin refused") << u"test"_s << test::kHelloProject << QStringList{u"--stop-when-ready"_s}
                                        << testrun::kRunPluginFailed
                                        << u"the server refused plugin 'Plugin': no compatible api"_s;
        QTest::newRow("no stop awaited") << u"test"_s << test::kHelloProject << QStringList() << 128 + 9
                                         << i18n::extraText("console_children_killed");
        QTest::newRow("no core") << u"none"_s << u"hello5.vlk"_s << QStringList{u"--stop-when-ready"_s}
                                 << testrun::kRunNoCore << u"no server core is installed in "_s;
        QTest::newRow("time limit") << u"hanging"_s << u"hello5.vlk"_s
                                    << QStringList{u"--stop-when-ready"_s, u"--timeout"_s, u"1"_s}
                                    << testrun::kRunTimedOut << u"did not end within 1 seconds"_s;
    }
    void failuresGiveTheirCodeAndReason()
    {
        QFETCH(QString, core);
        QFETCH(QString, project);
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, reason);
        Server server(core);
        const ProgramResult result = server.run(QStringList{QDir(server.env.home()).filePath(project)} + options);
        VORLUNE_VERIFY_EXIT(result, exitCode, reason);
        // The group is killed before the run exits; a loaded machine may
        // take a moment to carry the signal out.
        if (core == u"test")
            QTRY_VERIFY_WITH_TIMEOUT(!test::processRuns(test::testCoreChild(server.folder)), 2000);
    }

    void inputReachesTheServer()
    {
        Server server;
        QProcess run;
        run.start(test::kBuildCommand, {u"--run"_s, server.env.path(u"hello5.vlk"_s)});
        QByteArray output;
        QVERIFY(QTest::qWaitFor([&] { return (output += run.readAllStandardOutput()).contains("Done ("); }, 30000));
        run.write("stop\n");
        QVERIFY(run.waitForFinished(30000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 0);
    }

    // A server deaf to "stop": the second signal kills it, and nothing it
    // started is left.
    void signalsEndTheWholeRun_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("quit") << int(SIGQUIT);
        QTest::newRow("termination") << int(SIGTERM);
    }
    void signalsEndTheWholeRun()
    {
        QFETCH(int, signal);
        Server server(u"deaf"_s);
        QProcess run;
        run.start(test::kBuildCommand, {u"--run"_s, server.env.path(u"hello5.vlk"_s)});
        QStringList pids;
        QVERIFY(QTest::qWaitFor(
            [&] {
                return (pids = QString::fromLatin1(test::readFile(server.folder + u"pids"_s)).split(u' ')).size() == 3;
            },
            30000));
        ::kill(pid_t(run.processId()), signal);
        // Not at once: the two would be taken as one.
        QTest::qWait(500);
        ::kill(pid_t(run.processId()), signal);
        QVERIFY(run.waitForFinished(30000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 128 + signal);
        for (const QString &pid : pids)
            QTRY_VERIFY2_WITH_TIMEOUT(!test::processRuns(pid.toLongLong()), qPrintable(pid), 2000);
    }

    // Standard output is a pipe nobody reads: the time limit still ends the run.
    void unreadOutputHoldsNothingUp()
    {
        Server server(u"noisy"_s);
        int pipe[2];
        QVERIFY(::pipe2(pipe, O_CLOEXEC) == 0);
        QProcess run;
        run.setChildProcessModifier([out = pipe[1]] { ::dup2(out, STDOUT_FILENO); });
        run.start(test::kBuildCommand,
                  {u"--run"_s, server.env.path(u"hello5.vlk"_s), u"--stop-when-ready"_s, u"--timeout"_s, u"2"_s});
        const bool ended = run.waitForFinished(30000);
        ::close(pipe[0]);
        ::close(pipe[1]);
        QVERIFY(ended);
        const QString err = QString::fromLocal8Bit(run.readAllStandardError());
        QVERIFY2(run.exitCode() == testrun::kRunTimedOut, qPrintable(err));
        QVERIFY2(err.contains(u"did not end within 2 seconds"_s), qPrintable(err));
        QVERIFY2(err.contains(u"bytes of the server's output were dropped"_s), qPrintable(err));
    }

    void wrongRunOptionsAreUsageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no project") << QStringList{u"--run"_s};
        QTest::newRow("limit without stop") << QStringList{u"--run"_s, u"a.vlk"_s, u"--timeout"_s, u"5"_s};
        QTest::newRow("no limit") << QStringList{u"--run"_s, u"a.vlk"_s, u"--stop-when-ready"_s, u"--timeout"_s,
                                                 u"0"_s};
    }
    void wrongRunOptionsAreUsageErrors()
    {
        QFETCH(QStringList, arguments);
        const ProgramResult result = test::runBuildCommand(arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.err.startsWith(u"usage: vorlune-build"_s));
    }
};

VORLUNE_TEST(RunCommandTest)
#include "RunCommandTest.moc"
