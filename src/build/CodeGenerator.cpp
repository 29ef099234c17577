#include "build/CodeGenerator.h"

#include "build/ActionCode.h"
#include "build/PhpNames.h"
#include "build/PhpStringLiteral.h"
#include "build/YamlScalar.h"

#include "base/Error.h"
#include "i18n/ExtraTexts.h"
#include "i18n/Placeholder.h"
#include "project/ProjectDocument.h"
#include "script/ActionCatalogue.h"
#include "script/ActionTable.h"
#include "script/ArgumentKinds.h"
#include "script/EventRegistry.h"
#include "script/EventTable.h"
#include "script/Fitting.h"

namespace vorlune::build {
namespace {

const QString kRegisterListener =
    QStringLiteral("$this->getServer()->getPluginManager()->registerEvents($this, $this);");

void appendLine(QByteArray &bytes, QStringView line)
{
    bytes += line.toUtf8();
    bytes += "\r\n";
}

} // namespace

MainSplit splitMain(const QString &main)
{
    const qsizetype last = main.lastIndexOf(QLatin1Char('\\'));
    if (last < 0)
        return {main, main};
    return {main.left(last), main.mid(last + 1)};
}

QStringList makePluginYml(const PluginSettings &settings)
{
    // Quoted only where the server's YAML reader would otherwise take the
    // value for a Boolean, a number, a null or a structure.
    return {
        QStringLiteral("name: ") + yamlScalar(settings.name),
        QStringLiteral("main: ") + yamlScalar(settings.main),
        QStringLiteral("version: ") + yamlScalar(settings.version),
        QStringLiteral("api: ") + yamlScalar(settings.api),
        QStringLiteral("author: ") + yamlScalar(settings.creator),
        QStringLiteral("load: ") + yamlScalar(settings.loading),
        // The servers read the web site under this key, not under "site".
        QStringLiteral("website: ") + yamlScalar(settings.site),
    };
}

std::optional<int> leadingNumber(QStringView text)
{
    if (text.isEmpty() || !isAsciiDigit(text.front()))
        return std::nullopt;
    int value = 0;
    for (qsizetype i = 0; i < text.size() && isAsciiDigit(text.at(i)); ++i)
        value = value > 100000000 ? value : value * 10 + (text.at(i).unicode() - u'0');
    return value;
}

std::optional<int> apiMajorVersion(const QString &api) { return leadingNumber(api); }

bool declaresVoidReturns(const QString &api) { return apiMajorVersion(api.trimmed()).value_or(0) >= 4; }

void MainClassWriter::event(const QString &name, const QString &args, int line)
{
    m_current = -1;
    const script::EventRow *row = script::eventRow(name);
    if (!row)
        return;
    // Every element is checked: a broken one must not go unnoticed because
    // an earlier one of the same event was whole.
    if (const QString fault = script::settingsFault(name, args, line); !fault.isEmpty())
        m_faults << fault;
    for (size_t i = 0; i < m_events.size(); ++i) {
        if (m_events[i].id == name)
            m_current = qsizetype(i);
    }
    if (m_current < 0) {
        m_current = qsizetype(m_events.size());
        m_events.push_back(EventBody{row, name, args, {}});
        // One command name, one command: the server would keep only one.
        if (const auto command = script::commandSettings(args);
            command && script::slotKind(name) == script::SlotKind::Command) {
            for (const EventBody &other : m_events) {
                const auto earlier = script::commandSettings(other.settings);
                if (&other != &m_events.back() && script::slotKind(other.id) == script::SlotKind::Command && earlier &&
                    earlier->name.compare(command->name, Qt::CaseInsensitive) == 0)
                    m_faults << i18n::fillPlaceholders(
                        i18n::extraText("slot_same_command"),
                        {{"line", QString::number(line)}, {"id", name}, {"name", command->name}});
            }
        }
    }
}

void MainClassWriter::action(const QString &id, const QString &args)
{
    if (m_current < 0)
        return;
    const std::optional<int> number = script::parseActionId(id);
    const script::ActionRow *action = number ? script::actionRow(*number) : nullptr;
    if (!action)
        return;
    std::vector<ActionPiece> &pieces = m_events[size_t(m_current)].pieces;
    if (action->id != 1) {
        pieces.push_back(ActionPiece{{}, action, args});
        return;
    }
    if (pieces.empty() || pieces.back().action)
        pieces.emplace_back();
    const QString statement = actionStatement(*action, *m_events[size_t(m_current)].row, script::Api::V3, args);
    appendLine(pieces.back().code, statement);
}

std::vector<script::CommandSettings> MainClassWriter::commands() const
{
    std::vector<script::CommandSettings> commands;
    for (const EventBody &event : m_events) {
        if (script::slotKind(event.id) == script::SlotKind::Command) {
            if (const auto command = script::commandSettings(event.settings))
                commands.push_back(*command);
        }
    }
    return commands;
}

// Each timer is scheduled once the plugin is enabled, period in ticks.
void MainClassWriter::writeTimers(QByteArray &bytes, script::Api api, QStringList &faults) const
{
    for (const EventBody &event : m_events) {
        if (script::slotKind(event.id) != script::SlotKind::Timer)
            continue;
        appendLine(bytes, QString::fromLatin1(event.row->on(api).prelude));
        writeActions(bytes, *event.row, event.pieces, api, Body::Timer, faults);
        appendLine(bytes,
                   QStringLiteral("}), %1);").arg(qint64(script::timerSeconds(event.settings).value_or(1)) * 20));
    }
}

// One method for every command: the server calls it with the command the
// plugin.yml entry made.
void MainClassWriter::writeCommands(QByteArray &bytes, script::Api api, QStringList &faults) const
{
    const std::vector<script::CommandSettings> names = commands();
    if (names.empty())
        return;
    appendLine(bytes, QStringLiteral("public function onCommand(\\pocketmine\\command\\CommandSender $sender, "
                                     "\\pocketmine\\command\\Command $command, string $label, array $args) : bool{"));
    for (const EventBody &event : m_events) {
        const auto command = script::commandSettings(event.settings);
        if (script::slotKind(event.id) != script::SlotKind::Command || !command)
            continue;
        appendLine(bytes, QStringLiteral("if($command->getName() === \"") + phpStringBody(command->name) +
                              QStringLiteral("\"){"));
        writeActions(bytes, *event.row, event.pieces, api, Body::Command, faults);
        appendLine(bytes, QStringLiteral("return true;"));
        appendLine(bytes, QStringLiteral("}"));
    }
    appendLine(bytes, QStringLiteral("return false;"));
    appendLine(bytes, QStringLiteral("}"));
}

QByteArray MainClassWriter::mainClass(const QString &nameSpace, const QString &className, const QString &api) const
{
    const script::Api column = script::apiColumn(api);
    // Servers of API 4 and later declare the lifecycle methods with ": void";
    // a method without it cannot override them and the class does not load.
    const QString opening = declaresVoidReturns(api) ? QStringLiteral("() : void{") : QStringLiteral("(){");
    bool listener = false;
    bool enables = false;
    bool timers = false;
    qsizetype size = 1024;
    for (const EventBody &event : m_events) {
        listener = listener || event.row->isListener();
        enables = enables || event.row->number == 1;
        timers = timers || script::slotKind(event.id) == script::SlotKind::Timer;
        for (const ActionPiece &piece : event.pieces)
            size += piece.code.size() + piece.args.size() * 3 + 64;
    }
    QByteArray bytes;
    bytes.reserve(size);
    // Fully qualified names only: a "use" line could clash with the
    // plugin's own class name.
    const QString classLine =
        QStringLiteral("class ") + className +
        (listener ? QStringLiteral(" extends PluginBase implements \\pocketmine\\event\\Listener{")
                  : QStringLiteral(" extends PluginBase{"));
    for (const QString &line :
         {QStringLiteral("<?php "), QString(), QStringLiteral("namespace ") + nameSpace + QLatin1Char(';'), QString(),
          QStringLiteral("use pocketmine\\plugin\\PluginBase;"), QString(), classLine, QString()})
        appendLine(bytes, line);
    QStringList faults = m_faults;
    // The server registers handlers and schedules tasks only once the
    // plugin is enabled.
    if ((listener || timers) && !enables) {
        appendLine(bytes, QStringLiteral("public function onEnable") + opening);
        if (listener)
            appendLine(bytes, kRegisterListener);
        writeTimers(bytes, column, faults);
        appendLine(bytes, u"}");
    }
    for (const EventBody &event : m_events) {
        const script::EventRow &row = *event.row;
        if (script::slotKind(event.id) != script::SlotKind::None)
            continue;
        if (row.isListener()) {
            faults << script::buildFault(row, column);
            const script::EventCode &code = row.on(column);
            // API 3 runs handlers for events other plugins cancelled unless
            // told not to; the later APIs never do.
            if (column == script::Api::V3)
                appendLine(bytes, u"/** @ignoreCancelled */");
            appendLine(bytes, QStringLiteral("public function ") + QLatin1String(row.method) + QStringLiteral("(\\") +
                                  QLatin1String(code.eventClass ? code.eventClass : "") +
                                  QStringLiteral(" $event) : void{"));
            if (code.prelude && *code.prelude)
                appendLine(bytes, QString::fromLatin1(code.prelude).replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
        } else {
            appendLine(bytes, QStringLiteral("public function ") + QLatin1String(row.method) + opening);
            if (row.number == 1) {
                if (listener)
                    appendLine(bytes, kRegisterListener);
                writeTimers(bytes, column, faults);
            }
        }
        writeActions(bytes, row, event.pieces, column, row.isListener() ? Body::Handler : Body::Lifecycle, faults);
        appendLine(bytes, u"}");
    }
    writeCommands(bytes, column, faults);
    faults.removeAll(QString());
    faults.removeDuplicates();
    if (!faults.isEmpty())
        throw Error(faults.join(QLatin1Char('\n')));
    for (QStringView line : {u"}", u"", u"?>"})
        appendLine(bytes, line);
    return bytes;
}

QStringList makeCommandSections(const QString &pluginName, const std::vector<script::CommandSettings> &commands)
{
    if (commands.empty())
        return {};
    QStringList lines{QStringLiteral("commands:")};
    for (const script::CommandSettings &command : commands) {
        lines << QStringLiteral("  ") + yamlScalar(command.name) + u':'
              << QStringLiteral("    description: ") + yamlScalar(command.description)
              << QStringLiteral("    usage: ") + yamlScalar(command.usage)
              << QStringLiteral("    permission: ") + yamlScalar(commandPermission(pluginName, command.name));
    }
    lines << QStringLiteral("permissions:");
    for (const script::CommandSettings &command : commands) {
        lines << QStringLiteral("  ") + yamlScalar(commandPermission(pluginName, command.name)) + u':'
              << QStringLiteral("    default: ") +
                     (command.who == QLatin1String(script::kOperators) ? QStringLiteral("op") : QStringLiteral("true"));
    }
    return lines;
}

QString commandPermission(const QString &pluginName, const QString &command)
{
    return pluginName.toLower().replace(QLatin1Char(' '), QLatin1Char('_')) + QStringLiteral(".command.") + command;
}

QByteArray makeMainClass(const QString &nameSpace, const QString &className, const project::XmlElement &mainScript,
                         const QString &api)
{
    MainClassWriter writer;
    project::visitMainScript(mainScript, writer);
    return writer.mainClass(nameSpace, className, api);
}

QList<QPair<QString, QString>> makeParams(const PluginSettings &settings)
{
    return {
        {QStringLiteral("name"), settings.name},       {QStringLiteral("version"), settings.version},
        {QStringLiteral("main"), settings.main},       {QStringLiteral("api"), settings.api},
        {QStringLiteral("authors"), settings.creator}, {QStringLiteral("website"), settings.site},
    };
}

QByteArray joinLines(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

QString classFilePath(const QString &main)
{
    if (const MainClassFault fault = mainClassFault(main))
        throw Error(describeMainClassFault(main, fault));
    const MainSplit split = splitMain(main);
    return QStringLiteral("src/") + split.nameSpace.split(QLatin1Char('\\')).join(QLatin1Char('/')) + QLatin1Char('/') +
           split.className + QStringLiteral(".php");
}

GeneratedPlugin generatePlugin(const PluginSettings &settings, const MainClassWriter &script)
{
    const MainSplit split = splitMain(settings.main);
    GeneratedPlugin plugin;
    plugin.classFilePath = classFilePath(settings.main);
    plugin.pluginYml = joinLines(makePluginYml(settings) + makeCommandSections(settings.name, script.commands()));
    plugin.mainClass = script.mainClass(split.nameSpace, split.className, settings.api);
    plugin.params = makeParams(settings);
    return plugin;
}

GeneratedPlugin generatePlugin(project::ProjectDocument &document)
{
    if (document.root().isNull())
        throw Error(QStringLiteral("The project has no root element."));
    const project::XmlElement mainScript = document.requireMainScript();
    MainClassWriter script;
    project::visitMainScript(mainScript, script);
    return generatePlugin(PluginSettings::fromElement(document.settings()), script);
}

} // namespace vorlune::build
