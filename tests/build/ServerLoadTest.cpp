// Built plugins loaded the way servers of API 3, 4 and 5 load them (the
// loader in tests/fixtures/plugin-loader/ follows their rules).

#include "base/Error.h"
#include "base/FileIo.h"
#include "build/CodeGenerator.h"
#include "build/PhpPeer.h"
#include "build/PluginCheck.h"
#include "project/ProjectDocument.h"
#include "script/ActionTable.h"
#include "script/ArgumentKinds.h"
#include "script/EventSettings.h"
#include "script/EventTable.h"
#include "script/Fitting.h"
#include "support/Programs.h"
#include "support/ScriptParts.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

#include <QSet>

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <utility>
#include <vector>

using namespace vorlune;
using vorlune::project::ProjectDocument;
using vorlune::test::addAction;
using vorlune::test::addMessage;
using vorlune::test::TestEnvironment;
using namespace Qt::StringLiterals;

namespace {

// A project whose name and version YAML would misread when written plain.
ProjectDocument projectFor(const QString &api)
{
    ProjectDocument document = ProjectDocument::newProject();
    project::XmlElement settings = document.settings();
    settings.setAttribute(QStringLiteral("name"), QStringLiteral("N"));
    settings.setAttribute(QStringLiteral("version"), QStringLiteral("2.0"));
    settings.setAttribute(QStringLiteral("api"), api);
    addMessage(document, QStringLiteral("ev_1"), QStringLiteral("Hello"));
    addMessage(document, QStringLiteral("ev_2"), QStringLiteral("loading"));
    addMessage(document, QStringLiteral("ev_3"), QStringLiteral("bye"));
    return document;
}

// Builds the project with vorlune-build and loads the archive as a server of that API.
test::ProgramResult loadOnServer(const TestEnvironment &env, ProjectDocument &document, const QString &serverApi)
{
    document.save(env.path(QStringLiteral("p.vlk")));
    const test::ProgramResult built =
        test::runBuildCommand({env.path(QStringLiteral("p.vlk")), env.path(QStringLiteral("p"))});
    if (built.exitCode != 0)
        return built;
    return test::runProgram(test::phpProgram(), {QStringLiteral(VORLUNE_FIXTURES "/plugin-loader/load.php"),
                                                 env.path(QStringLiteral("p.phar")), serverApi});
}

// The public API of a server version as listed by reflection (lines "C
// class\t...", "M class::method(...) : type [declarer]", "K class::NAME = v"),
// in the folder VORLUNE_SERVER_API names. Facts about names only.
struct ServerApi {
    QHash<QString, QString> classes; // class -> its description
    QHash<QString, QString> returns; // "class::method" -> return type
    QSet<QString> constants;         // "class::NAME"
};

std::optional<ServerApi> readServerApi(const QString &version)
{
    const QString folder = qEnvironmentVariable("VORLUNE_SERVER_API");
    if (folder.isEmpty())
        return std::nullopt;
    ServerApi api;
    static const QRegularExpression method(QStringLiteral("^M (\\S+?::\\w+)\\(.*\\)(?: : (\\S+))? \\[\\w+\\]$"));
    const QStringList lines =
        QString::fromUtf8(fileio::readAll(folder + QLatin1Char('/') + version + QStringLiteral(".txt")))
            .split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("C ")))
            api.classes.insert(line.mid(2).section(QLatin1Char('\t'), 0, 0), line.section(QLatin1Char('\t'), 1));
        else if (line.startsWith(QLatin1String("K ")))
            api.constants.insert(line.mid(2).section(QLatin1Char(' '), 0, 0));
        else if (const QRegularExpressionMatch m = method.match(line); m.hasMatch())
            api.returns.insert(m.captured(1).remove(QLatin1String("static ")), m.captured(2));
    }
    return api;
}

// Every class, constant and method chain the class names, walked from the
// handler's $event, the player class, the plugin and its server, against
// the server's API. Gives what is missing.
QStringList missingNames(const QString &code, const ServerApi &api, const QString &playerClass)
{
    // Return types the reflection of 3.28 lacks (untyped methods).
    static const QHash<QString, QString> untyped = {
        {QStringLiteral("pocketmine\\Player::getLevel"), QStringLiteral("pocketmine\\level\\Level")},
    };
    static const QRegularExpression names(QStringLiteral("\\\\(pocketmine\\\\[\\w\\\\]+)(::[A-Z_]+)?(\\()?"));
    static const QRegularExpression handler(QStringLiteral("\\(\\\\(\\S+) \\$event\\)"));
    static const QRegularExpression start(
        QStringLiteral("\\$(event|player|this)((?:->\\w+\\([^()]*(?:\\([^()]*\\)[^()]*)*\\))+)"));
    static const QRegularExpression call(QStringLiteral("->(\\w+)\\("));
    QStringList missing;
    QString eventClass;
    for (const QString &line : code.split(QStringLiteral("\r\n"))) {
        if (const QRegularExpressionMatch m = handler.match(line); m.hasMatch())
            eventClass = m.captured(1);
        for (const QRegularExpressionMatch &m : names.globalMatch(line)) {
            const QString name = m.captured(1) + m.captured(2);
            // The math library is not the server's own API.
            if (name.startsWith(QLatin1String("pocketmine\\math\\")))
                continue;
            // GameMode::CREATIVE() is made by __callStatic, which reflection
            // cannot list: its class must be there.
            const bool member = !m.captured(2).isEmpty() && !m.captured(3).isEmpty();
            if (m.captured(2).isEmpty() || member ? !api.classes.contains(m.captured(1))
                                                  : !api.constants.contains(name))
                missing << name;
        }
        for (const QRegularExpressionMatch &m : start.globalMatch(line)) {
            const QString variable = m.captured(1);
            QString type = variable == QLatin1String("event")    ? eventClass
                           : variable == QLatin1String("player") ? playerClass
                                                                 : QStringLiteral("pocketmine\\plugin\\PluginBase");
            for (const QRegularExpressionMatch &c : call.globalMatch(m.captured(2))) {
                if (!api.classes.contains(type))
                    break; // PHP's own, a library's, or a class the list leaves out
                const QString member = type + QStringLiteral("::") + c.captured(1);
                if (!api.returns.contains(member)) {
                    missing << member;
                    break;
                }
                type = api.returns.value(member).remove(QLatin1Char('?'));
                if (type.isEmpty())
                    type = untyped.value(member);
            }
        }
    }
    return missing;
}

// A value of the kind the build takes: the text for texts, the smallest
// number, the first choice.
// Numbers take their smallest value, a chance its surest, so that every
// list runs to its end.
QString sampleValue(script::ArgumentKind kind, const QString &text)
{
    if (const std::optional<script::NumberRange> range = script::numberRange(kind))
        return QString::number(kind == script::ArgumentKind::Percent ? range->max : range->min);
    const std::span<const script::Choice> choices = script::choicesOf(kind);
    return choices.empty() ? text : QString::fromLatin1(choices.front().word);
}

// The actions in table order, those that change what the rest of a list
// gets (waits, loops, conditions that give a player) last, so that each
// fits where it would fit alone.
std::vector<script::ActionRow> walkOrder()
{
    std::vector<script::ActionRow> rows(script::actionRows().begin(), script::actionRows().end());
    std::stable_partition(rows.begin(), rows.end(), [](const script::ActionRow &row) {
        return row.shape == script::ActionShape::Statement ||
               (row.shape == script::ActionShape::Guard && row.grants == 0);
    });
    return rows;
}

// Runs the handlers of a built class against the stand-in of the events'
// API (tests/fixtures/plugin-loader/fire.php): what the player was sent and
// what the plugin logged, as JSON.
QJsonObject fireHandlers(const TestEnvironment &env, ProjectDocument &document, const QString &api,
                         const QStringList &firings)
{
    const QString file = env.path(QStringLiteral("Main.php"));
    fileio::writeAtomically(file, build::generatePlugin(document).mainClass);
    const test::ProgramResult fired = test::runProgram(
        test::phpProgram(),
        QStringList{QStringLiteral(VORLUNE_FIXTURES "/plugin-loader/fire.php"), file, api.left(1)} + firings);
    if (fired.exitCode != 0)
        qWarning("%s", qPrintable(fired.describe()));
    return QJsonDocument::fromJson(fired.out.toUtf8()).object();
}

} // namespace

class ServerLoadTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void eachApiLoadsItsPlugin_data()
    {
        QTest::addColumn<QString>("api");
        QTest::addColumn<QString>("server");
        QTest::newRow("API 3") << QStringLiteral("3.0.0") << QStringLiteral("3");
        QTest::newRow("API 4") << QStringLiteral("4.0.0") << QStringLiteral("4");
        QTest::newRow("API 5") << QStringLiteral("5.0.0") << QStringLiteral("5");
    }
    void eachApiLoadsItsPlugin()
    {
        QFETCH(QString, api);
        QFETCH(QString, server);
        ProjectDocument document = projectFor(api);
        const test::ProgramResult loaded = loadOnServer(*m_env, document, server);
        QVERIFY2(loaded.exitCode == 0, qPrintable(loaded.describe()));
        const QJsonObject shown = QJsonDocument::fromJson(loaded.out.toUtf8()).object();
        QCOMPARE(shown.value(QStringLiteral("name")).toString(), QStringLiteral("N"));
        QCOMPARE(shown.value(QStringLiteral("version")).toString(), QStringLiteral("2.0"));
        QCOMPARE(shown.value(QStringLiteral("log")).toArray(),
                 (QJsonArray{QStringLiteral("loading"), QStringLiteral("Hello"), QStringLiteral("bye")}));
    }

    // Messages that once stopped the class from parsing or running print as typed.
    void trickyMessagesPrintAsTyped_data() { eachApiLoadsItsPlugin_data(); }
    void trickyMessagesPrintAsTyped()
    {
        QFETCH(QString, api);
        QFETCH(QString, server);
        ProjectDocument document = projectFor(api);
        document.settings().setAttribute(QStringLiteral("name"), QStringLiteral("My Plugin"));
        document.settings().setAttribute(QStringLiteral("site"), QStringLiteral("https://example.com/p"));
        const QStringList typed = {
            QStringLiteral("say \"hi\""),      QStringLiteral("C:\\dir\\"),
            QStringLiteral("$x {$x} ${x}"),    QStringLiteral("$this {$this} $this->x {$this->x}"),
            QStringLiteral("a\\u{zz}b \\400"),
        };
        for (const QString &message : typed)
            addMessage(document, QStringLiteral("ev_1"), message);
        addMessage(document, QStringLiteral("ev_1"), QStringLiteral("I am {$this->getName()}\\x21"));
        const test::ProgramResult loaded = loadOnServer(*m_env, document, server);
        QVERIFY2(loaded.exitCode == 0, qPrintable(loaded.describe()));
        const QJsonObject shown = QJsonDocument::fromJson(loaded.out.toUtf8()).object();
        QCOMPARE(shown.value(QStringLiteral("name")).toString(), QStringLiteral("My_Plugin"));
        QCOMPARE(shown.value(QStringLiteral("website")).toString(), QStringLiteral("https://example.com/p"));
        QJsonArray expected{QStringLiteral("loading"), QStringLiteral("Hello")};
        for (const QString &message : typed)
            expected << message;
        expected << QStringLiteral("I am My_Plugin!") << QStringLiteral("bye");
        QCOMPARE(shown.value(QStringLiteral("log")).toArray(), expected);
    }

    // Every event with every action on every API: what does not fit is
    // refused by the build and listed by the check; the rest makes one class
    // that PHP accepts, whose handlers the server registers, one per event,
    // all skipping events other plugins cancelled, and whose names the
    // server's API has (with VORLUNE_SERVER_API).
    void everyEventAndActionOnEveryApi_data() { eachApiLoadsItsPlugin_data(); }
    void everyEventAndActionOnEveryApi()
    {
        QFETCH(QString, api);
        QFETCH(QString, server);
        const script::Api column = script::apiColumn(api);
        QStringList placeholders;
        for (const script::PlaceholderRow &row : script::placeholderRows())
            placeholders << QStringLiteral("{%1}").arg(QLatin1String(row.name));
        const QString text = placeholders.join(QLatin1Char(' ')) + QStringLiteral(" {other}");
        ProjectDocument document = projectFor(api);
        QJsonObject handlers;
        // A command and a timer carry their settings; numbers and choices
        // take values the argument dialog lets through.
        const auto settingsOf = [](const QString &id) {
            return script::slotKind(id) == script::SlotKind::Command
                       ? script::commandArgs({QStringLiteral("walk"), QStringLiteral("d"), QStringLiteral("/walk"),
                                              QString::fromLatin1(script::kOperators)})
                   : script::slotKind(id) == script::SlotKind::Timer ? script::timerArgs(60)
                                                                     : QString();
        };
        for (const script::EventRow &event : script::eventRows()) {
            const QString id = script::eventIdOf(event);
            project::XmlElement element = document.mainScript().appendChildElement(id);
            if (!settingsOf(id).isEmpty())
                element.setAttribute(QStringLiteral("args"), settingsOf(id));
            for (const script::ActionRow &action : walkOrder()) {
                QStringList values;
                for (int i = 0; i < action.argumentCount; ++i)
                    values << sampleValue(action.kinds[size_t(i)], text);
                const QString args = script::makeArgumentBlock(values);
                const QString why = script::buildFault(action, event, column, script::givenEverywhere(event));
                if (why.isEmpty()) {
                    addAction(element, QString::number(action.id), args);
                    continue;
                }
                ProjectDocument alone = projectFor(api);
                project::XmlElement single = alone.mainScript().appendChildElement(id);
                if (!settingsOf(id).isEmpty())
                    single.setAttribute(QStringLiteral("args"), settingsOf(id));
                addAction(single, QString::number(action.id), args);
                QCOMPARE(test::errorOf([&] { build::generatePlugin(alone); }), why);
                QVERIFY2(build::checkPlugin(alone).contains(why), qPrintable(why));
            }
            if (event.isListener())
                handlers.insert(QLatin1String(event.on(column).eventClass),
                                handlers.value(QLatin1String(event.on(column).eventClass)).toInt() + 1);
        }
        const QByteArray mainClass = build::generatePlugin(document).mainClass;
        fileio::writeAtomically(m_env->path(QStringLiteral("Main.php")), mainClass);
        const test::ProgramResult lint =
            test::runProgram(test::phpProgram(), {QStringLiteral("-l"), m_env->path(QStringLiteral("Main.php"))});
        QVERIFY2(lint.exitCode == 0, qPrintable(lint.describe()));

        const test::ProgramResult loaded = loadOnServer(*m_env, document, server);
        QVERIFY2(loaded.exitCode == 0, qPrintable(loaded.describe()));
        const QJsonObject shown = QJsonDocument::fromJson(loaded.out.toUtf8()).object();
        QCOMPARE(shown.value(QStringLiteral("handlers")).toObject(), handlers);
        // The waits of onLoad, onEnable and onDisable and the timer, which
        // onEnable schedules first, with the closure shape the API checks.
        const QString closure = column == script::Api::V3 ? QStringLiteral("function(int $currentTick) : void")
                                                          : QStringLiteral("function() : void");
        QCOMPARE(shown.value(QStringLiteral("tasks")).toArray(),
                 (QJsonArray{QJsonArray{QStringLiteral("delayed"), 20, closure},
                             QJsonArray{QStringLiteral("repeating"), 1200, closure},
                             QJsonArray{QStringLiteral("delayed"), 20, closure},
                             QJsonArray{QStringLiteral("delayed"), 20, closure}}));
        for (const QJsonValue skips : shown.value(QStringLiteral("skipsCancelled")).toObject())
            QVERIFY(skips.toBool());

        const QString version = QString::fromLatin1(std::array{"3.28.0", "4.26.0", "5.19.0"}[size_t(column)]);
        const std::optional<ServerApi> serverApi = readServerApi(version);
        if (!serverApi)
            QSKIP("VORLUNE_SERVER_API names no folder of the servers' API lists; names not checked");
        const QString player = column == script::Api::V3 ? QStringLiteral("pocketmine\\Player")
                                                         : QStringLiteral("pocketmine\\player\\Player");
        const QStringList missing = missingNames(QString::fromUtf8(mainClass), *serverApi, player);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char(' '))));
        // Whether each event can be cancelled is the server's word.
        for (const script::EventRow &event : script::eventRows()) {
            if (!event.isListener())
                continue;
            const QString description = serverApi->classes.value(QLatin1String(event.on(column).eventClass));
            QVERIFY2(!description.contains(QLatin1String("abstract")), event.on(column).eventClass);
            QCOMPARE(description.contains(QLatin1String("cancellable=yes")),
                     bool(event.on(column).gives & script::kCancel));
        }
    }

    // plugin.yml declares each command's permission, as API 4 and 5 demand.
    void commandsAndTheirPermissions_data() { eachApiLoadsItsPlugin_data(); }
    void commandsAndTheirPermissions()
    {
        QFETCH(QString, api);
        QFETCH(QString, server);
        ProjectDocument document = projectFor(api);
        document.settings().setAttribute(QStringLiteral("name"), QStringLiteral("My Plugin"));
        const std::pair<const char *, script::CommandSettings> commands[] = {
            {"ev_41",
             {QStringLiteral("heal"), QStringLiteral("Heal: yourself"), QStringLiteral("/heal"),
              QString::fromLatin1(script::kEveryone)}},
            {"ev_40",
             {QStringLiteral("true"), QString(), QStringLiteral("#no"), QString::fromLatin1(script::kOperators)}}};
        for (const auto &[id, command] : commands) {
            project::XmlElement element = document.mainScript().appendChildElement(QLatin1String(id));
            element.setAttribute(QStringLiteral("args"), script::commandArgs(command));
            addAction(element, QStringLiteral("3"), script::makeArgumentBlock({QStringLiteral("{sender}")}));
        }
        const test::ProgramResult loaded = loadOnServer(*m_env, document, server);
        QVERIFY2(loaded.exitCode == 0, qPrintable(loaded.describe()));
        const QJsonObject shown = QJsonDocument::fromJson(loaded.out.toUtf8()).object();
        const auto entry = [](const char *description, const char *usage, const char *permission) {
            return QJsonObject{{QStringLiteral("description"), QString::fromUtf8(description)},
                               {QStringLiteral("usage"), QString::fromUtf8(usage)},
                               {QStringLiteral("permission"), QString::fromUtf8(permission)}};
        };
        QCOMPARE(shown.value(QStringLiteral("commands")).toObject(),
                 (QJsonObject{{QStringLiteral("heal"), entry("Heal: yourself", "/heal", "my_plugin.command.heal")},
                              {QStringLiteral("true"), entry("", "#no", "my_plugin.command.true")}}));
        QCOMPARE(shown.value(QStringLiteral("permissions")).toObject(),
                 (QJsonObject{{QStringLiteral("my_plugin.command.heal"), QStringLiteral("true")},
                              {QStringLiteral("my_plugin.command.true"), QStringLiteral("op")}}));
    }

    void api3KeepsTodaysClassBytes()
    {
        ProjectDocument document = projectFor(QStringLiteral("3.0.0"));
        const QByteArray mainClass = build::generatePlugin(document).mainClass;
        const build::MainSplit split = build::splitMain(QStringLiteral("Plugin\\Main"));
        QCOMPARE(mainClass, build::makeMainClass(split.nameSpace, split.className, document.mainScript()));
        QVERIFY(mainClass.contains("public function onEnable(){\r\n"));
    }

    // What the check warns of: a new project's api, refused from API 3 on.
    void theDefaultApiIsRefusedFromApi3On()
    {
        ProjectDocument document = projectFor(QStringLiteral("1.0.0"));
        const test::ProgramResult loaded = loadOnServer(*m_env, document, QStringLiteral("3"));
        QCOMPARE(loaded.exitCode, 1);
        QCOMPARE(loaded.err, QStringLiteral("refused: no compatible api\n"));
    }

    // A condition lets the rest of its list run when it holds; turned round,
    // when it does not.
    void conditionsGateTheRestOfTheList_data() { eachApiLoadsItsPlugin_data(); }
    void conditionsGateTheRestOfTheList()
    {
        QFETCH(QString, api);
        ProjectDocument document = projectFor(api);
        for (const auto &[event, is] : {std::pair{u"ev_4"_s, u"is"_s}, std::pair{u"ev_7"_s, u"not"_s}}) {
            project::XmlElement element = document.mainScript().appendChildElement(event);
            addAction(element, u"100"_s, script::makeArgumentBlock({is, u"vip"_s}));
            addAction(element, u"2"_s, script::makeArgumentBlock({is}));
        }
        const QJsonObject shown =
            fireHandlers(*m_env, document, api, {u"ev_4:vip"_s, u"ev_4:"_s, u"ev_7:vip"_s, u"ev_7:"_s});
        QCOMPARE(shown.value(u"sent"_s).toArray(),
                 (QJsonArray{QJsonArray{u"ev_4:vip"_s, u"is"_s}, QJsonArray{u"ev_7:"_s, u"not"_s}}));
    }

    // A name the server does not know is logged, and the rest of the list runs.
    void anUnknownItemIsLoggedAndTheEventGoesOn_data() { eachApiLoadsItsPlugin_data(); }
    void anUnknownItemIsLoggedAndTheEventGoesOn()
    {
        QFETCH(QString, api);
        ProjectDocument document = projectFor(api);
        project::XmlElement element = document.mainScript().appendChildElement(u"ev_16"_s);
        addAction(element, u"12"_s, script::makeArgumentBlock({u"no_such_{player}"_s, u"2"_s}));
        addAction(element, u"12"_s, script::makeArgumentBlock({u"diamond"_s, u"2"_s}));
        addAction(element, u"2"_s, script::makeArgumentBlock({u"after"_s}));
        const QJsonObject shown = fireHandlers(*m_env, document, api, {u"ev_16:"_s});
        QCOMPARE(shown.value(u"warnings"_s).toArray(), QJsonArray{u"Unknown item: no_such_Steve"_s});
        QCOMPARE(shown.value(u"items"_s).toArray(), (QJsonArray{QJsonArray{u"diamond"_s, 2}}));
        QCOMPARE(shown.value(u"sent"_s).toArray(), (QJsonArray{QJsonArray{u"ev_16:"_s, u"after"_s}}));
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(ServerLoadTest)
#include "ServerLoadTest.moc"
