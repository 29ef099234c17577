#include "build/CodeGenerator.h"
#include "base/Error.h"
#include "base/FileIo.h"
#include "build/ActionFlow.h"
#include "build/PluginFromFile.h"
#include "project/ProjectDocument.h"
#include "script/ActionCatalogue.h"
#include "script/ActionTable.h"
#include "script/EventTable.h"
#include "support/Programs.h"
#include "support/ScriptParts.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QDir>
#include <QTest>

#include <optional>

using namespace vorlune;
using namespace vorlune::build;
using vorlune::project::ProjectDocument;
using vorlune::project::XmlElement;
using vorlune::test::TestEnvironment;

using vorlune::test::addAction;
using vorlune::test::errorOf;

namespace {

QString block(const QString &value) { return script::makeArgumentBlock({value}); }

XmlElement addEvent(ProjectDocument &document, const QString &id)
{
    return document.mainScript().appendChildElement(id);
}

// The class file from its empty line 8 up to the closing brace of the class.
QStringList classBody(const QByteArray &mainClass)
{
    QStringList lines = QString::fromUtf8(mainClass).split(QStringLiteral("\r\n"));
    lines.removeLast(); // after the final CR LF
    return lines.mid(7, lines.size() - 7 - 3);
}

} // namespace

class CodeGeneratorTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void workedExample()
    {
        ProjectDocument document = ProjectDocument::newProject();
        addAction(addEvent(document, QStringLiteral("ev_1")), QStringLiteral("1"), block(QStringLiteral("Hello")));

        const GeneratedPlugin plugin = generatePlugin(document);
        const QByteArray yml = "name: Plugin\r\n"
                               "main: Plugin\\Main\r\n"
                               "version: 1.0.0\r\n"
                               "api: 1.0.0\r\n"
                               "author: YourName\r\n"
                               "load: POSTWORLD\r\n"
                               "website: " +
                               project::kDefaultSiteText.toUtf8() + "\r\n";
        QCOMPARE(plugin.pluginYml, yml);
        const QByteArray mainClass = "<?php \r\n"
                                     "\r\n"
                                     "namespace Plugin;\r\n"
                                     "\r\n"
                                     "use pocketmine\\plugin\\PluginBase;\r\n"
                                     "\r\n"
                                     "class Main extends PluginBase{\r\n"
                                     "\r\n"
                                     "public function onEnable(){\r\n"
                                     "$this->getLogger()->info(\"Hello\");\r\n"
                                     "}\r\n"
                                     "}\r\n"
                                     "\r\n"
                                     "?>\r\n";
        QCOMPARE(plugin.mainClass, mainClass);
        QCOMPARE(plugin.classFilePath, QStringLiteral("src/Plugin/Main.php"));
        const QList<QPair<QString, QString>> params{
            {QStringLiteral("name"), QStringLiteral("Plugin")},
            {QStringLiteral("version"), QStringLiteral("1.0.0")},
            {QStringLiteral("main"), QStringLiteral("Plugin\\Main")},
            {QStringLiteral("api"), QStringLiteral("1.0.0")},
            {QStringLiteral("authors"), QStringLiteral("YourName")},
            {QStringLiteral("website"), project::kDefaultSiteText},
        };
        QCOMPARE(plugin.params, params);
        // Reading does not change the document.
        QCOMPARE(document.mainScript().childElements().size(), size_t(1));
    }

    // A condition that does not hold ends what it stands in: a command's
    // branch with true, one player's turn of a loop, a waiting closure.
    void conditionsLeaveWhatTheyStandIn()
    {
        const auto piece = [](int id, const QStringList &values) {
            return ActionPiece{{}, script::actionRow(id), script::makeArgumentBlock(values)};
        };
        const ActionPiece vip = piece(100, {QStringLiteral("is"), QStringLiteral("vip")});
        const struct {
            const char *event;
            Body body;
            std::vector<ActionPiece> pieces;
            QString leave;
        } rows[] = {
            {"ev_40", Body::Command, {piece(111, {QStringLiteral("is")}), vip}, QStringLiteral("return true;")},
            {"ev_60", Body::Timer, {piece(31, {}), vip}, QStringLiteral("continue;")},
            {"ev_40",
             Body::Command,
             {piece(111, {QStringLiteral("is")}), piece(28, {QStringLiteral("2")}), vip},
             QStringLiteral("return;")},
            {"ev_4", Body::Handler, {vip}, QStringLiteral("return;")},
        };
        for (const auto &row : rows) {
            QByteArray bytes;
            QStringList faults;
            writeActions(bytes, *script::eventRow(QLatin1String(row.event)), row.pieces, script::Api::V5, row.body,
                         faults);
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
            QVERIFY2(bytes.contains((QStringLiteral("if(!($player->hasPermission(\"vip\"))){ ") + row.leave +
                                     QStringLiteral(" }\r\n"))
                                        .toUtf8()),
                     bytes.constData());
        }
    }

    void scriptShapes()
    {
        ProjectDocument empty = ProjectDocument::newProject();
        const QByteArray emptyClass = generatePlugin(empty).mainClass;
        QVERIFY(emptyClass.endsWith("class Main extends PluginBase{\r\n\r\n}\r\n\r\n?>\r\n"));
        QVERIFY(!emptyClass.startsWith("\xEF\xBB\xBF"));

        ProjectDocument document = ProjectDocument::newProject();
        XmlElement disable = addEvent(document, QStringLiteral("ev_3"));
        addAction(disable, QStringLiteral("1"), block(QStringLiteral("first")));
        addAction(disable, QStringLiteral("1"), block(QStringLiteral("say \"hi\" \\ $x")));
        addAction(disable, QStringLiteral("1"), QString()); // no argument
        addAction(disable, QStringLiteral("99"), block(QStringLiteral("unknown action")));
        addAction(disable, QStringLiteral("x1"), block(QStringLiteral("not a number")));
        addAction(disable, QString(), block(QStringLiteral("no id")));
        addAction(disable, QStringLiteral("01"), block(QStringLiteral("zero-padded")));
        addEvent(document, QStringLiteral("ev_2")); // without actions
        addAction(addEvent(document, QStringLiteral("ev_1")), QStringLiteral("1"),
                  block(QStringLiteral("A")) + block(QStringLiteral("B")));

        QCOMPARE(classBody(generatePlugin(document).mainClass),
                 (QStringList{
                     QString(),
                     QStringLiteral("public function onDisable(){"),
                     QStringLiteral("$this->getLogger()->info(\"first\");"),
                     QStringLiteral("$this->getLogger()->info(\"say \\\"hi\\\" \\ \\$x\");"),
                     QStringLiteral("$this->getLogger()->info(\"\");"),
                     QStringLiteral("$this->getLogger()->info(\"zero-padded\");"),
                     QStringLiteral("}"),
                     QStringLiteral("public function onLoad(){"),
                     QStringLiteral("}"),
                     QStringLiteral("public function onEnable(){"),
                     QStringLiteral("$this->getLogger()->info(\"A\");"),
                     QStringLiteral("}"),
                 }));
    }

    // ServerLoadTest loads such classes over each API's base class.
    void methodsOfApi4AndLaterReturnVoid_data()
    {
        QTest::addColumn<QString>("api");
        QTest::addColumn<bool>("voidReturns");
        QTest::newRow("1.0.0") << QStringLiteral("1.0.0") << false;
        QTest::newRow("3.0.0") << QStringLiteral("3.0.0") << false;
        QTest::newRow("4.0.0") << QStringLiteral("4.0.0") << true;
        QTest::newRow("5.0.0") << QStringLiteral("5.0.0") << true;
        QTest::newRow("12.1") << QStringLiteral("12.1") << true;
        QTest::newRow("not a number") << QStringLiteral("x4") << false;
    }
    void methodsOfApi4AndLaterReturnVoid()
    {
        QFETCH(QString, api);
        QFETCH(bool, voidReturns);
        ProjectDocument document = ProjectDocument::newProject();
        document.settings().setAttribute(QStringLiteral("api"), api);
        addAction(addEvent(document, QStringLiteral("ev_1")), QStringLiteral("1"), block(QStringLiteral("Hello")));
        addEvent(document, QStringLiteral("ev_2"));
        const QByteArray mainClass = generatePlugin(document).mainClass;
        const QString opening = voidReturns ? QStringLiteral("() : void{") : QStringLiteral("(){");
        QCOMPARE(classBody(mainClass).filter(QStringLiteral("public function ")),
                 (QStringList{QStringLiteral("public function onEnable") + opening,
                              QStringLiteral("public function onLoad") + opening}));
    }

    void foreignEventElementsAreSkipped()
    {
        ProjectDocument document = ProjectDocument::newProject();
        addAction(addEvent(document, QStringLiteral("ev_29")), QStringLiteral("1"), block(QStringLiteral("free")));
        addAction(addEvent(document, QStringLiteral("ev_101")), QStringLiteral("1"), block(QStringLiteral("far")));
        addAction(addEvent(document, QStringLiteral("ev_1")), QStringLiteral("1"), block(QStringLiteral("one")));
        addAction(addEvent(document, QStringLiteral("EV_2")), QStringLiteral("1"), block(QStringLiteral("case")));
        addAction(addEvent(document, QStringLiteral("ev_1")), QStringLiteral("1"), block(QStringLiteral("again")));
        // A repeated event becomes one method, at its first place.
        QCOMPARE(classBody(generatePlugin(document).mainClass),
                 (QStringList{QString(), QStringLiteral("public function onEnable(){"),
                              QStringLiteral("$this->getLogger()->info(\"one\");"),
                              QStringLiteral("$this->getLogger()->info(\"again\");"), QStringLiteral("}")}));
    }

    void mainSetting_data()
    {
        QTest::addColumn<QString>("main");
        QTest::addColumn<QString>("nameSpace");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("path");
        QTest::newRow("two parts") << QStringLiteral("Plugin\\Main") << QStringLiteral("Plugin")
                                   << QStringLiteral("Main") << QStringLiteral("src/Plugin/Main.php");
        QTest::newRow("three parts") << QStringLiteral("A\\B\\C") << QStringLiteral("A\\B") << QStringLiteral("C")
                                     << QStringLiteral("src/A/B/C.php");
    }

    void mainSetting()
    {
        QFETCH(QString, main);
        QFETCH(QString, nameSpace);
        QFETCH(QString, className);
        QFETCH(QString, path);
        const MainSplit split = splitMain(main);
        QCOMPARE(split.nameSpace, nameSpace);
        QCOMPARE(split.className, className);

        ProjectDocument document = ProjectDocument::newProject();
        document.settings().setAttribute(QStringLiteral("main"), main);
        const GeneratedPlugin plugin = generatePlugin(document);
        QCOMPARE(plugin.classFilePath, path);
        const QStringList lines = QString::fromUtf8(plugin.mainClass).split(QStringLiteral("\r\n"));
        QCOMPARE(lines[2], QStringLiteral("namespace ") + nameSpace + QLatin1Char(';'));
        QCOMPARE(lines[6], QStringLiteral("class ") + className + QStringLiteral(" extends PluginBase{"));
        QCOMPARE(plugin.pluginYml.split('\n')[1], (QStringLiteral("main: ") + main + QStringLiteral("\r")).toUtf8());
    }

    void classPathNeverLeavesTheCompileFolder_data()
    {
        QTest::addColumn<QString>("main");
        QTest::newRow("dot dot namespace") << QStringLiteral("..\\..\\Main");
        QTest::newRow("dot dot class") << QStringLiteral("Plugin\\..");
        QTest::newRow("dot") << QStringLiteral("Plugin\\.\\Main");
        QTest::newRow("slash traversal") << QStringLiteral("a/../../../etc\\Main");
        QTest::newRow("absolute") << QStringLiteral("/etc/cron.d\\evil");
        QTest::newRow("slash in class") << QStringLiteral("Plugin\\x/../../y");
        QTest::newRow("leading backslash") << QStringLiteral("\\Main");
        QTest::newRow("trailing backslash") << QStringLiteral("Plugin\\");
        QTest::newRow("double backslash") << QStringLiteral("Plugin\\\\Main");
        QTest::newRow("empty") << QStringLiteral("");
        QTest::newRow("control character") << QStringLiteral("Plug\nin\\Main");
        QTest::newRow("hidden folder") << QStringLiteral(".ns\\Main"); // never packed
    }

    void classPathNeverLeavesTheCompileFolder()
    {
        QFETCH(QString, main);
        ProjectDocument document = ProjectDocument::newProject();
        document.settings().setAttribute(QStringLiteral("main"), main);
        const QString text = errorOf([&] { generatePlugin(document); });
        QVERIFY2(!text.isEmpty() && text.contains(main), qPrintable(text));
        QVERIFY(!errorOf([&] { classFilePath(main); }).isEmpty());
    }

    // Values YAML would misread are quoted; params keep them as stored.
    void settingsYamlWouldMisreadAreQuoted()
    {
        ProjectDocument document =
            ProjectDocument::fromBytes(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><root><settings "
                                                      "main=\"P\\M\" name=\"Плагин &amp; co: &quot;x&quot;\"/>"
                                                      "<phpscripts><%1/></phpscripts></root>")
                                           .arg(project::kMainScriptElementName)
                                           .toUtf8());
        const GeneratedPlugin plugin = generatePlugin(document);
        QCOMPARE(plugin.pluginYml, QStringLiteral("name: \"Плагин & co: \\\"x\\\"\"\r\n"
                                                  "main: P\\M\r\n"
                                                  "version: \"\"\r\n"
                                                  "api: \"\"\r\n"
                                                  "author: \"\"\r\n"
                                                  "load: \"\"\r\n"
                                                  "website: \"\"\r\n")
                                       .toUtf8());
        QCOMPARE(plugin.params[0].second, QStringLiteral("Плагин & co: \"x\""));
        QCOMPARE(plugin.params.size(), 6);
        QCOMPARE(plugin.params[5], (QPair<QString, QString>(QStringLiteral("website"), QString())));
    }

    void missingElementsAreReported()
    {
        ProjectDocument noScripts = ProjectDocument::fromBytes("<plugin><settings main=\"A\\B\"/></plugin>");
        QVERIFY(errorOf([&] { generatePlugin(noScripts); }).contains(QStringLiteral("phpscripts")));

        ProjectDocument latinName = ProjectDocument::fromBytes(
            "<plugin><settings main=\"A\\B\"/><phpscripts><php_main_file/></phpscripts></plugin>");
        QVERIFY(errorOf([&] { generatePlugin(latinName); }).contains(project::kMainScriptElementName));

        ProjectDocument nothing;
        QVERIFY(!errorOf([&] { generatePlugin(nothing); }).isEmpty());

        // Without settings the element is added, and values read empty.
        ProjectDocument noSettings =
            ProjectDocument::fromBytes(QStringLiteral("<plugin><phpscripts><%1/></phpscripts></plugin>")
                                           .arg(project::kMainScriptElementName)
                                           .toUtf8());
        QVERIFY(!errorOf([&] { generatePlugin(noSettings); }).isEmpty());
        QVERIFY(!noSettings.root().firstChildElement(QStringLiteral("settings")).isNull());
    }

    // Projects of the lifecycle events and the console message build to the
    // bytes captured before the listener events came: plugin.yml, a line
    // "----", the class; each project at each api, read both ways.
    void oldProjectsBuildAsBefore()
    {
        const QDir golden(QStringLiteral(VORLUNE_FIXTURES "/golden"));
        const QStringList cases = golden.entryList({QStringLiteral("*.golden")});
        QCOMPARE(cases.size(), 15);
        for (const QString &name : cases) {
            const QString project = name.section(QLatin1Char('-'), 0, 0);
            const QString api = name.section(QLatin1Char('-'), 1).chopped(int(qstrlen(".golden")));
            // Byte by byte: hello.vlk is in windows-1251.
            QByteArray bytes = fileio::readAll(golden.filePath(project + QStringLiteral(".vlk")));
            const qsizetype at = bytes.indexOf("api=\"") + 5;
            bytes.replace(at, bytes.indexOf('"', at) - at, api.toUtf8());
            const QByteArray expected = fileio::readAll(golden.filePath(name));
            const QString path = m_env->path(QStringLiteral("p.vlk"));
            fileio::writeAtomically(path, bytes);
            const PluginFromFile read = readPlugin(path, true);
            QVERIFY2(read.plugin, qPrintable(name + QLatin1Char(' ') + read.refusal));
            QCOMPARE(read.plugin->pluginYml + "----\r\n" + read.plugin->mainClass, expected);
            ProjectDocument document = ProjectDocument::fromBytes(bytes);
            const GeneratedPlugin whole = generatePlugin(document);
            QCOMPARE(whole.pluginYml + "----\r\n" + whole.mainClass, expected);
        }
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(CodeGeneratorTest)
#include "CodeGeneratorTest.moc"
