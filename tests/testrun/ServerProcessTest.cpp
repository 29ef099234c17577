// Real processes run as a server: a shell script whose background child
// keeps the output open, as today's core's console reader does.

#include "testrun/ServerProcess.h"
#include "support/TestCore.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

using namespace vorlune;
using namespace Qt::StringLiterals;
using testrun::ServerEnd;
using testrun::ServerProcess;

namespace {

constexpr int kWaitMs = 15000;

// Runs the script with sh; the first line it prints is its child's id.
struct Server {
    explicit Server(const QString &script)
        : process({u"/bin/sh"_s, {u"-c"_s, script}, env.home()}), ended(&process, &ServerProcess::ended)
    {
        QObject::connect(&process, &ServerProcess::output, [this](const QByteArray &bytes) { output += bytes; });
        process.start();
    }
    qint64 child()
    {
        if (!QTest::qWaitFor([this] { return output.contains('\n'); }, kWaitMs))
            return 0;
        return output.left(output.indexOf('\n')).toLongLong();
    }
    ServerEnd end()
    {
        return ended.wait(kWaitMs) || !ended.isEmpty() ? ended.first().first().value<ServerEnd>() : ServerEnd{-1};
    }

    test::TestEnvironment env;
    ServerProcess process;
    QSignalSpy ended;
    QByteArray output;
};

} // namespace

class ServerProcessTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theWholeGroupEnds_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("crashed");
        QTest::addColumn<bool>("killed");
        QTest::addColumn<bool>("childrenKilled");
        QTest::newRow("child left behind")
            << u"sleep 600 & echo $!; read line; exit 0"_s << 0 << false << false << true;
        // Come to this program once the server has gone.
        QTest::newRow("child leaves the group")
            << u"setsid sleep 600 & echo $!; read line; exit 0"_s << 0 << false << false << true;
        QTest::newRow("child on its way out")
            << u"sleep 600 & echo $!; read line; kill $!; exit 0"_s << 0 << false << false << false;
        QTest::newRow("stop ignored") << u"sleep 600 & echo $!; exec sleep 600"_s << int(SIGKILL) << true << true
                                      << false;
        QTest::newRow("server kills itself")
            << u"sleep 600 & echo $!; read line; kill -9 $$"_s << int(SIGKILL) << true << false << true;
    }
    void theWholeGroupEnds()
    {
        QFETCH(QString, script);
        QFETCH(int, exitCode);
        QFETCH(bool, crashed);
        QFETCH(bool, killed);
        QFETCH(bool, childrenKilled);
        Server server(script);
        const qint64 child = server.child();
        QVERIFY(test::processRuns(child));
        server.process.stop(300);
        // The end comes although the child still holds the output open.
        const ServerEnd end = server.end();
        QCOMPARE(end.exitCode, exitCode);
        QCOMPARE(end.crashed, crashed);
        QCOMPARE(end.killed, killed);
        QCOMPARE(end.childrenKilled, childrenKilled);
        QCOMPARE(end.clean(), !crashed && !childrenKilled && exitCode == 0);
        QVERIFY(!server.process.running());
        QVERIFY(QTest::qWaitFor([child] { return !test::processRuns(child); }, kWaitMs));
    }

    void quittingKillsTheGroupAtOnce()
    {
        Server server(u"sleep 600 & echo $!; exec sleep 600"_s);
        const qint64 child = server.child();
        QVERIFY(test::processRuns(child));
        server.process.shutDownNow();
        QVERIFY(!server.process.running());
        QVERIFY(QTest::qWaitFor([child] { return !test::processRuns(child); }, kWaitMs));
        // Ended without a word: whoever quits is not listening any more.
        QTest::qWait(testrun::ServerProcess::kLeftoverGraceMs + 200);
        QVERIFY(server.ended.isEmpty());
    }
};

VORLUNE_TEST(ServerProcessTest)
#include "ServerProcessTest.moc"
