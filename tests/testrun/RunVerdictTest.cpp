#include "support/TestRegistry.h"
#include "testrun/HeadlessRun.h"

#include <QTest>

using namespace vorlune::testrun;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ServerEnd)

namespace {

const QString kPrefix = QStringLiteral("[12:00:00.123] [Server thread/INFO]: ");

QStringList log(const QStringList &texts)
{
    QStringList lines;
    for (const QString &text : texts)
        lines << (text.startsWith(QLatin1Char(' ')) ? text : kPrefix + text);
    return lines;
}

const QString kReady = QStringLiteral("Done (0.5s)! For help, type \"help\" or \"?\"");
const ServerEnd kStopped{};
const ServerEnd kSelfKilled{9, true, false, false};

} // namespace

class RunVerdictTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The plugin is "My Plugin" v1.0.
    void judgesTheRun_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<ServerEnd>("end");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("reason");
        const QStringList enabled =
            log({u"Loading My_Plugin v1.0"_s, u"[My_Plugin] hi"_s, u"Enabling My_Plugin v1.0"_s, kReady});
        const QString pluginsFailed = u"Failed to load some plugins, stopping server to protect server integrity"_s;
        QTest::newRow("passes") << enabled << kStopped << kRunPassed << QString();
        QTest::newRow("old core keeps the space")
            << log({u"Loading My Plugin v1.0"_s, u"Enabling My Plugin v1.0"_s, kReady}) << kStopped << kRunPassed
            << QString();
        QTest::newRow("another plugin") << log({u"Loading Other v1.0"_s, u"Enabling Other v1.0"_s, kReady}) << kStopped
                                        << kRunPluginFailed << u"did not load plugin My_Plugin v1.0"_s;
        QTest::newRow("another version") << log({u"Loading My_Plugin v1.1"_s, u"Enabling My_Plugin v1.1"_s, kReady})
                                         << kStopped << kRunPluginFailed << u"did not load"_s;
        QTest::newRow("refused") << log({u"Loading My_Plugin v1.0"_s,
                                         u"Could not enable plugin 'My_Plugin': Undefined variable $y"_s,
                                         pluginsFailed})
                                 << kSelfKilled << kRunPluginFailed
                                 << u"the server refused plugin 'My_Plugin': Undefined variable $y"_s;
        QStringList refusals;
        for (int i = 1; i <= 25; ++i)
            refusals << u"Could not load plugin 'P%1': no compatible api"_s.arg(i);
        QTest::newRow("many refused") << log(refusals) << kSelfKilled << kRunPluginFailed
                                      << u"'P20': no compatible api; ... and 5 more"_s;
        QTest::newRow("stopped for a plugin")
            << log({pluginsFailed}) << kSelfKilled << kRunPluginFailed << u"a plugin failed to load"_s;
        QTest::newRow("crash while enabling")
            << log({u"Loading My_Plugin v1.0"_s}) << ServerEnd{255, false, false, false} << kRunPluginFailed
            << u"did not enable it; it exited with code 255"_s;
        QTest::newRow("php without extensions")
            << QStringList{u"[ERROR] Selected PHP binary does not satisfy some requirements."_s,
                           u" - Unable to find the LevelDB (leveldb) extension."_s,
                           u" - Unable to find the pmmpthread (pmmpthread) extension."_s}
            << ServerEnd{1, false, false, false} << kRunServerFailed << u"(extensions leveldb, pmmpthread)"_s;
        QTest::newRow("crash before ready") << log({u"Loading server configuration"_s}) << kSelfKilled
                                            << kRunServerFailed << u"the server crashed before it was ready"_s;
        QTest::newRow("no stop") << enabled << ServerEnd{9, true, true, false} << kRunServerFailed
                                 << u"had to be killed"_s;
        QTest::newRow("children killed") << enabled << ServerEnd{0, false, false, true} << kRunServerFailed
                                         << u"had to be killed"_s;
        QTest::newRow("unclean stop") << enabled << ServerEnd{3, false, false, false} << kRunServerFailed
                                      << u"exited with code 3 when it was stopped"_s;
    }
    void judgesTheRun()
    {
        QFETCH(QStringList, lines);
        QFETCH(ServerEnd, end);
        QFETCH(int, exitCode);
        QFETCH(QString, reason);
        RunVerdict verdict(QStringLiteral("My Plugin"), QStringLiteral("1.0"));
        for (const QString &line : lines)
            verdict.see(readServerLine(line));
        const RunResult result = verdict.judge(end);
        QCOMPARE(result.exitCode, exitCode);
        if (reason.isEmpty())
            QVERIFY2(result.reason.isEmpty(), qPrintable(result.reason));
        else
            QVERIFY2(result.reason.contains(reason), qPrintable(result.reason));
    }
};

VORLUNE_TEST(RunVerdictTest)
#include "RunVerdictTest.moc"
