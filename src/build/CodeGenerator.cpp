#include "build/CodeGenerator.h"

#include "build/ActionCode.h"
#include "build/PhpNames.h"
#include "build/YamlScalar.h"

#include "base/Error.h"
#include "i18n/TextTable.h"
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

void MainClassWriter::event(const QString &name)
{
    m_current = -1;
    const script::EventRow *row = script::eventRow(name);
    if (!row)
        return;
    for (size_t i = 0; i < m_events.size(); ++i) {
        if (m_events[i].row == row)
            m_current = qsizetype(i);
    }
    if (m_current < 0) {
        m_current = qsizetype(m_events.size());
        m_events.push_back(EventBody{row, {}});
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
    std::vector<Piece> &pieces = m_events[size_t(m_current)].pieces;
    if (action->id != 1) {
        pieces.push_back(Piece{{}, action, args});
        return;
    }
    if (pieces.empty() || pieces.back().action)
        pieces.emplace_back();
    const QString statement = actionStatement(*action, *m_events[size_t(m_current)].row, script::Api::V3, args);
    appendLine(pieces.back().code, statement);
}

QByteArray MainClassWriter::mainClass(const QString &nameSpace, const QString &className, const QString &api) const
{
    const script::Api column = script::apiColumn(api);
    // Servers of API 4 and later declare the lifecycle methods with ": void";
    // a method without it cannot override them and the class does not load.
    const QString opening = declaresVoidReturns(api) ? QStringLiteral("() : void{") : QStringLiteral("(){");
    bool listener = false;
    bool enables = false;
    qsizetype size = 1024;
    for (const EventBody &event : m_events) {
        listener = listener || event.row->isListener();
        enables = enables || event.row->number == 1;
        for (const Piece &piece : event.pieces)
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
    // The server registers handlers only once the plugin is enabled.
    if (listener && !enables) {
        appendLine(bytes, QStringLiteral("public function onEnable") + opening);
        appendLine(bytes, kRegisterListener);
        appendLine(bytes, u"}");
    }
    QStringList faults;
    for (const EventBody &event : m_events) {
        const script::EventRow &row = *event.row;
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
            if (listener && row.number == 1)
                appendLine(bytes, kRegisterListener);
        }
        for (const Piece &piece : event.pieces) {
            if (!piece.action) {
                bytes += piece.code;
                continue;
            }
            QString fault = script::buildFault(*piece.action, row, column);
            if (fault.isEmpty())
                fault = script::argumentFault(*piece.action, i18n::tx(row.name),
                                              actionArguments(*piece.action, piece.args));
            faults << fault;
            if (fault.isEmpty())
                appendLine(bytes, actionStatement(*piece.action, row, column, piece.args));
        }
        appendLine(bytes, u"}");
    }
    faults.removeAll(QString());
    faults.removeDuplicates();
    if (!faults.isEmpty())
        throw Error(faults.join(QLatin1Char('\n')));
    for (QStringView line : {u"}", u"", u"?>"})
        appendLine(bytes, line);
    return bytes;
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
    plugin.pluginYml = joinLines(makePluginYml(settings));
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
