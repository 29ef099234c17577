#include "build/PluginFromFile.h"
#include "base/Error.h"
#include "base/TextCodecs.h"
#include "build/CodeGenerator.h"
#include "build/PluginCheck.h"
#include "project/ProjectDocument.h"
#include "project/ProjectScan.h"
#include "support/Programs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

#include <optional>

using namespace vorlune;
using vorlune::test::errorOf;
using vorlune::test::TestEnvironment;

namespace {

const QString kSettings =
    QStringLiteral("<settings name=\"Demo\" creator=\"Me\" version=\"1.0.0\" site=\"example.com\" "
                   "api=\"%1\" loading=\"POSTWORLD\" main=\"%2\"/>");

QString settings(const QString &api = QStringLiteral("3.0.0"), const QString &main = QStringLiteral("Demo\\Main"))
{
    return kSettings.arg(api, main);
}

QString message(const QString &text, const QString &id = QStringLiteral("1"))
{
    return QStringLiteral("<actn id=\"%1\" args=\"&#8291;:[%2]&#8291;\"/>").arg(id, text);
}

QString mainScript(const QString &content)
{
    return QLatin1Char('<') + project::kMainScriptElementName + QLatin1Char('>') + content + QStringLiteral("</") +
           project::kMainScriptElementName + QLatin1Char('>');
}

QByteArray utf8Project(const QString &body, const QString &prolog = {})
{
    return (QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n") + prolog + QStringLiteral("<plugin>") +
            body + QStringLiteral("</plugin>"))
        .toUtf8();
}

QString scripts(const QString &events)
{
    return QStringLiteral("<phpscripts>") + mainScript(events) + QStringLiteral("</phpscripts>");
}

// What the window's path makes of the same bytes: the whole document.
struct Reading {
    QString error;
    QStringList findings;
    QString refusal;
    build::GeneratedPlugin plugin;
};

Reading throughDocument(const QByteArray &bytes, const QString &path)
{
    Reading reading;
    reading.error = errorOf([&] {
        project::ProjectDocument document = project::ProjectDocument::fromBytes(bytes, path);
        reading.findings = build::checkPlugin(document);
        reading.refusal = errorOf([&] { reading.plugin = build::generatePlugin(document); });
    });
    return reading;
}

Reading throughScan(const QString &path)
{
    Reading reading;
    reading.error = errorOf([&] {
        build::PluginFromFile read = build::readPlugin(path, true);
        reading.findings = read.findings;
        reading.refusal = read.refusal;
        if (read.plugin)
            reading.plugin = *read.plugin;
    });
    return reading;
}

class Ignore final : public project::ScriptVisitor {
public:
    void event(const QString &, const QString &, int) override {}
    void action(const QString &, const QString &) override {}
};

} // namespace

class PluginFromFileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    // The command line reads a file front to back; whatever the file, it
    // must make of it what the window makes of the opened document.
    void readsAsTheDocumentDoes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("scanned"); // false: only the document reads it

        const QString hello = message(QStringLiteral("Hi &amp; &#38; &lt;b&gt; \"q\" $x {$this->getName()}"));
        QTest::newRow("settings first, two events")
            << utf8Project(settings() + scripts(QStringLiteral("<ev_1>") + hello + message(QStringLiteral("two")) +
                                                QStringLiteral("</ev_1><ev_2>") + message(QStringLiteral("bye")) +
                                                QStringLiteral("</ev_2>")))
            << true;
        QTest::newRow("settings after the scripts, api 4")
            << utf8Project(scripts(QStringLiteral("<ev_1>") + hello + QStringLiteral("</ev_1>")) +
                           settings(QStringLiteral("4.0.0")))
            << true;
        QTest::newRow("only the first settings, scripts and main script count")
            << utf8Project(
                   settings() + settings(QStringLiteral("5.0.0"), QStringLiteral("Other\\Main")) +
                   QStringLiteral("<phpscripts>") +
                   mainScript(QStringLiteral("<ev_1>") + message(QStringLiteral("first")) + QStringLiteral("</ev_1>")) +
                   mainScript(QStringLiteral("<ev_1>") + message(QStringLiteral("second")) +
                              QStringLiteral("</ev_1>")) +
                   QStringLiteral("</phpscripts>") + scripts(QStringLiteral("<ev_2/>")))
            << true;
        QTest::newRow("repeated, unknown and nested elements")
            << utf8Project(settings() +
                           scripts(QStringLiteral("<ev_1>") + message(QStringLiteral("a")) +
                                   QStringLiteral("</ev_1><zz_9>") + message(QStringLiteral("never {$x}")) +
                                   QStringLiteral("</zz_9><ev_1><actn id=\"1\" args=\"&#8291;:[b]&#8291;\">") +
                                   message(QStringLiteral("deeper")) + QStringLiteral("</actn>") +
                                   message(QStringLiteral("other action \\n"), QStringLiteral("2")) +
                                   message(QStringLiteral("c\\n"), QStringLiteral("01")) + QStringLiteral("</ev_1>")))
            << true;
        QTest::newRow("namespaces on elements and attributes")
            << utf8Project(settings() +
                           scripts(QStringLiteral("<x:ev_1 xmlns:x=\"urn:x\">"
                                                  "<actn x:id=\"1\" args=\"&#8291;:[no id]&#8291;\"/>"
                                                  "<actn id=\"1\" x:args=\"z\" args=\"&#8291;:[yes]&#8291;\"/>"
                                                  "</x:ev_1>")))
            << true;
        // A prefix without its xmlns: the tree would keep "x:settings" as the
        // name where the local name is "settings"; both readers refuse it.
        QTest::newRow("undeclared prefix on settings")
            << utf8Project(QStringLiteral("<x:settings name=\"Evil\"/>") + settings() + scripts(QString())) << true;
        QTest::newRow("undeclared prefix on an event")
            << utf8Project(settings() + scripts(QStringLiteral("<x:ev_1>") + message(QStringLiteral("a")) +
                                                QStringLiteral("</x:ev_1>")))
            << true;
        QTest::newRow("undeclared prefix on phpscripts")
            << utf8Project(settings() + QStringLiteral("<x:phpscripts>") + mainScript(QStringLiteral("<ev_2/>")) +
                           QStringLiteral("</x:phpscripts>") + scripts(QStringLiteral("<ev_1/>")))
            << true;
        QTest::newRow("undeclared prefix on an attribute")
            << utf8Project(settings() + scripts(QStringLiteral("<ev_1><actn id=\"1\" y:args=\"z\"/></ev_1>"))) << true;
        QTest::newRow("comments, CDATA, instructions and spread values")
            << utf8Project(QStringLiteral("<!-- <settings main=\"No\\Main\"/> -->") + settings() +
                           scripts(QStringLiteral("<?pi x?><ev_1><![CDATA[<actn/>]]>") +
                                   message(QStringLiteral("tab\tnew\nline")) + QStringLiteral("</ev_1>")))
            << true;
        QTest::newRow("windows-1251")
            << codecs::encodeAnsi(QStringLiteral("<?xml version=\"1.0\" encoding=\"windows-1251\"?><plugin>") +
                                  settings() +
                                  scripts(QStringLiteral("<ev_1>") + message(QStringLiteral("Привет, мир")) +
                                          QStringLiteral("</ev_1>")) +
                                  QStringLiteral("</plugin>"))
            << true;
        // Commands and timers carry their settings, which both readers pass on
        // with the element's line.
        const QString heal = QStringLiteral("args=\"&#8291;:[heal]&#8291;&#8291;:[Heal &amp; rest]&#8291;"
                                            "&#8291;:[/heal]&#8291;&#8291;:[operators]&#8291;\"");
        QTest::newRow("a command, a timer and a wait")
            << utf8Project(settings(QStringLiteral("4.0.0")) +
                           scripts(QStringLiteral("<ev_41 ") + heal + QStringLiteral(">") +
                                   message(QStringLiteral("is"), QStringLiteral("111")) +
                                   message(QStringLiteral("hi {player} {arg1}"), QStringLiteral("2")) +
                                   message(QStringLiteral("3"), QStringLiteral("28")) +
                                   message(QStringLiteral("{args}"), QStringLiteral("2")) +
                                   QStringLiteral("</ev_41><ev_60 args=\"&#8291;:[60]&#8291;\">") +
                                   message(QString(), QStringLiteral("31")) +
                                   message(QStringLiteral("{player}"), QStringLiteral("6")) +
                                   QStringLiteral("</ev_60>")))
            << true;
        QTest::newRow("broken settings, a name twice, a bad wait")
            << utf8Project(
                   settings() +
                   scripts(QStringLiteral("\n<ev_40 ") + heal + QStringLiteral("/>\n<ev_42\n") + heal +
                           QStringLiteral("/>\n<ev_43 args=\"x\"/><ev_61/>\n<ev_62 args=\"&#8291;:[0]&#8291;\"/>"
                                          "<ev_1>") +
                           message(QStringLiteral("1x"), QStringLiteral("28")) +
                           message(QStringLiteral("is"), QStringLiteral("111")) + QStringLiteral("</ev_1>")))
            << true;
        QTest::newRow("no settings") << utf8Project(scripts(QStringLiteral("<ev_1/>"))) << true;
        QTest::newRow("no phpscripts") << utf8Project(settings()) << true;
        QTest::newRow("phpscripts without the main script")
            << utf8Project(settings() + QStringLiteral("<phpscripts/>") + scripts(QString())) << true;
        QTest::newRow("a main class PHP cannot load")
            << utf8Project(settings(QStringLiteral("3.0.0"), QStringLiteral("De?mo\\Main")) + scripts(QString()))
            << true;
        QTest::newRow("cut short") << utf8Project(settings() + scripts(QStringLiteral("<ev_1>"))).chopped(20) << true;
        QTest::newRow("a DOCTYPE and its entity")
            << utf8Project(settings() + scripts(QStringLiteral("<ev_1>") + message(QStringLiteral("Hi &who;")) +
                                                QStringLiteral("</ev_1>")),
                           QStringLiteral("<!DOCTYPE plugin [<!ENTITY who \"World\">]>"))
            << false;
    }

    void readsAsTheDocumentDoes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, scanned);
        const QString path = m_env->path(QStringLiteral("p.vlk"));
        test::writeFile(path, bytes);

        // Read front to back, or refused on the way; only a DOCTYPE sends it to the document.
        Ignore ignore;
        bool scannedOrRefused = true;
        errorOf([&] { scannedOrRefused = project::scanProject(bytes, path, ignore).has_value(); });
        QCOMPARE(scannedOrRefused, scanned);

        const Reading expected = throughDocument(bytes, path);
        const Reading read = throughScan(path);
        QCOMPARE(read.error, expected.error);
        if (QByteArray(QTest::currentDataTag()).startsWith("undeclared prefix"))
            QVERIFY2(expected.error.contains(QLatin1String("xmlns declaration")), qPrintable(expected.error));
        QCOMPARE(read.findings, expected.findings);
        QCOMPARE(read.refusal, expected.refusal);
        QCOMPARE(read.plugin.mainClass, expected.plugin.mainClass);
        QCOMPARE(read.plugin.pluginYml, expected.plugin.pluginYml);
        QCOMPARE(read.plugin.classFilePath, expected.plugin.classFilePath);
        QCOMPARE(read.plugin.params, expected.plugin.params);
    }

    // The rows above must be worth comparing: the readings hold what the
    // rows put in.
    void theComparedReadingsHoldTheProject()
    {
        const QString path = m_env->path(QStringLiteral("p.vlk"));
        test::writeFile(
            path, utf8Project(settings(QStringLiteral("4.0.0")) +
                              scripts(QStringLiteral("<ev_1>") + message(QStringLiteral("A &amp; B")) +
                                      message(QStringLiteral("{$this->getName()}")) + QStringLiteral("</ev_1>"))));
        const build::PluginFromFile read = build::readPlugin(path, true);
        QVERIFY(read.plugin);
        QVERIFY(read.plugin->mainClass.contains("public function onEnable() : void{\r\n"
                                                "$this->getLogger()->info(\"A & B\");\r\n"));
        QCOMPARE(read.findings.size(), 1); // the call on the plugin
        QVERIFY(read.findings.first().contains(QStringLiteral("$this->getName()")));
        QVERIFY(!build::readPlugin(path, false).plugin);

        const QByteArray withEntity =
            utf8Project(settings() + scripts(QStringLiteral("<ev_1>") + message(QStringLiteral("Hi &who;")) +
                                             QStringLiteral("</ev_1>")),
                        QStringLiteral("<!DOCTYPE plugin [<!ENTITY who \"World\">]>"));
        test::writeFile(path, withEntity);
        QVERIFY(build::readPlugin(path, true).plugin->mainClass.contains("info(\"Hi World\")"));
    }

    // A large file the parser refuses is refused before its tree is built,
    // with the message the parser gives.
    void aLargeFileCutShortIsRefusedWithItsLine()
    {
        QString actions;
        for (int i = 0; i < 40000; ++i)
            actions += message(QStringLiteral("Message number %1").arg(i)) + QStringLiteral("\n");
        const QByteArray bytes =
            utf8Project(settings() + scripts(QStringLiteral("<ev_1>\n") + actions + QStringLiteral("</ev_1>")))
                .chopped(30);
        QVERIFY(bytes.size() > 1 << 20);
        const QString error = errorOf([&] { project::ProjectDocument::fromBytes(bytes, QStringLiteral("big.vlk")); });
        QVERIFY2(error.startsWith(QStringLiteral("big.vlk, line 40003: ")), qPrintable(error));
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(PluginFromFileTest)
#include "PluginFromFileTest.moc"
