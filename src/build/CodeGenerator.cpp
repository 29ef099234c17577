#include "build/CodeGenerator.h"

#include "build/PhpNames.h"
#include "build/PhpStringLiteral.h"
#include "build/YamlScalar.h"

#include "base/Error.h"
#include "project/ProjectDocument.h"
#include "script/ActionCatalogue.h"
#include "script/EventRegistry.h"

namespace vorlune::build {
namespace {

QString statementFor(const QString &id, const QString &args)
{
    if (script::parseActionId(id) != 1)
        return {};
    const QString message = script::getArgumentValue(args, 1);
    return QStringLiteral("$this->getLogger()->info(\"") + phpStringBody(message) + QStringLiteral("\");");
}

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
    const QString method = script::getFunctionNameFromId(name);
    if (method.isEmpty())
        return;
    for (size_t i = 0; i < m_events.size(); ++i) {
        if (m_events[i].id == name)
            m_current = qsizetype(i);
    }
    if (m_current < 0) {
        m_current = qsizetype(m_events.size());
        m_events.push_back(EventBody{name, method, {}});
    }
}

void MainClassWriter::action(const QString &id, const QString &args)
{
    if (m_current < 0)
        return;
    const QString statement = statementFor(id, args);
    if (!statement.isEmpty())
        appendLine(m_events[size_t(m_current)].statements, statement);
}

QByteArray MainClassWriter::mainClass(const QString &nameSpace, const QString &className, const QString &api) const
{
    // Servers of API 4 and later declare the event methods with ": void"; a
    // method without it cannot override them and the class does not load.
    const QString opening = declaresVoidReturns(api) ? QStringLiteral("() : void{") : QStringLiteral("(){");
    qsizetype size = 1024;
    for (const EventBody &event : m_events)
        size += event.statements.size() + 64;
    QByteArray bytes;
    bytes.reserve(size);
    for (const QString &line :
         {QStringLiteral("<?php "), QString(), QStringLiteral("namespace ") + nameSpace + QLatin1Char(';'), QString(),
          QStringLiteral("use pocketmine\\plugin\\PluginBase;"), QString(),
          QStringLiteral("class ") + className + QStringLiteral(" extends PluginBase{"), QString()})
        appendLine(bytes, line);
    for (const EventBody &event : m_events) {
        appendLine(bytes, QStringLiteral("public function ") + event.method + opening);
        bytes += event.statements;
        appendLine(bytes, u"}");
    }
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
