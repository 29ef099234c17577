#include "testrun/ServerLines.h"
#include "support/TestRegistry.h"
#include "testrun/ConsoleParser.h"

#include <QTest>

using namespace vorlune::testrun;
using Kind = ServerLine::Kind;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ServerLine)

namespace {

ServerLine line(Kind kind, const QString &name = {}, const QString &version = {}, const QString &reason = {})
{
    return ServerLine{kind, name, version, reason};
}

} // namespace

class ServerLinesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Bytes as the server writes them, through the console parser: the last
    // whole line is read.
    void readsTheLinesARunNeeds_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<ServerLine>("expected");
        const QByteArray info = "[12:00:00.123] [Server thread/INFO]: ";
        const QByteArray critical = "[12:00:00.123] [Server thread/CRITICAL]: ";
        QTest::newRow("loading") << info + "Loading HelloPlugin v1.0.0\n"
                                 << line(Kind::Loading, u"HelloPlugin"_s, u"1.0.0"_s);
        QTest::newRow("enabling in colour")
            << QByteArray("\x1b[38;5;87m[12:00:00.123] \x1b[m[Server thread/INFO]: Enabling My_Plugin v2.0 beta"
                          "\x1b[m\n")
            << line(Kind::Enabling, u"My_Plugin"_s, u"2.0 beta"_s);
        QTest::newRow("format codes") << QByteArray(
                                             "\xc2\xa7"
                                             "b[12:00:00.123] \xc2\xa7r[Server thread/INFO]: Loading A v1\xc2\xa7r\r\n")
                                      << line(Kind::Loading, u"A"_s, u"1"_s);
        QTest::newRow("older core keeps spaces")
            << QByteArray("12:00:00 [INFO] Loading My Plugin v1.0\n") << line(Kind::Loading, u"My Plugin"_s, u"1.0"_s);
        QTest::newRow("overwritten line") << "progress 10%\r" + info + "Loading A v1\n"
                                          << line(Kind::Loading, u"A"_s, u"1"_s);
        QTest::newRow("server's own loading") << info + "Loading server configuration\n" << line(Kind::Other);
        QTest::newRow("plugin's message") << info + "[Evil] Loading A v1\n" << line(Kind::Other);
        QTest::newRow("ready") << info + "Done (3.217s)! For help, type \"help\" or \"?\"\n" << line(Kind::Ready);
        QTest::newRow("not enabled") << critical + "Could not enable plugin 'P': Undefined variable $y\n"
                                     << line(Kind::PluginRefused, u"P"_s, {}, u"Undefined variable $y"_s);
        QTest::newRow("not loaded") << critical + "Could not load plugin 'P_2': Incompatible API version: 'x'\n"
                                    << line(Kind::PluginRefused, u"P_2"_s, {}, u"Incompatible API version: 'x'"_s);
        QTest::newRow("plugins failed")
            << QByteArray("[12:00:00.123] [Server thread/EMERGENCY]: Failed to load some plugins, stopping server to "
                          "protect server integrity\n")
            << line(Kind::PluginsFailed);
        QTest::newRow("php requirements")
            << QByteArray("[ERROR] Selected PHP binary does not satisfy some requirements.\n")
            << line(Kind::PhpRequirements);
        QTest::newRow("missing extension")
            << QByteArray(" - Unable to find the Chunk Utils v2 (chunkutils2) extension.\n")
            << line(Kind::MissingExtension, u"Chunk Utils v2"_s, u"chunkutils2"_s);
    }
    void readsTheLinesARunNeeds()
    {
        QFETCH(QByteArray, output);
        QFETCH(ServerLine, expected);
        ConsoleParser parser;
        PlainLines lines;
        const QStringList read = lines.take(parser.feed(output));
        QVERIFY(!read.isEmpty());
        const ServerLine found = readServerLine(read.last());
        QCOMPARE(int(found.kind), int(expected.kind));
        QCOMPARE(found.name, expected.name);
        QCOMPARE(found.version, expected.version);
        QCOMPARE(found.reason, expected.reason);
    }
};

VORLUNE_TEST(ServerLinesTest)
#include "ServerLinesTest.moc"
