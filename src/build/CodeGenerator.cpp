#include "build/CodeGenerator.h"

#include "build/PhpNames.h"
#include "build/PhpStringLiteral.h"
#include "build/YamlScalar.h"

#include "base/Error.h"
#include "project/ProjectDocument.h"
#include "script/ActionCatalogue.h"
#include "script/EventRegistry.h"

#include <vector>

namespace vorlune::build {
namespace {

struct EventBody {
    QString id;
    QString method;
    std::vector<project::XmlElement> actions;
};

// Events in the order of their first element. Elements that name no event
// of the registry have no method name and are left out; a repeated event
// adds its actions to the first one, since PHP refuses a method declared
// twice. The script editor reads such files the same way.
std::vector<EventBody> collectEvents(const project::XmlElement &mainScript)
{
    std::vector<EventBody> events;
    for (const project::XmlElement &element : mainScript.childElements()) {
        const QString id = element.name();
        const QString method = script::getFunctionNameFromId(id);
        if (method.isEmpty())
            continue;
        EventBody *body = nullptr;
        for (EventBody &known : events) {
            if (known.id == id)
                body = &known;
        }
        if (!body)
            body = &events.emplace_back(EventBody{id, method, {}});
        for (const project::XmlElement &action : element.childElements())
            body->actions.push_back(action);
    }
    return events;
}

QString statementFor(const project::XmlElement &action)
{
    if (script::parseActionId(action.attribute(QStringLiteral("id"))) != 1)
        return {};
    const QString message = script::getArgumentValue(action.attribute(QStringLiteral("args")), 1);
    return QStringLiteral("$this->getLogger()->info(\"") + phpStringBody(message) + QStringLiteral("\");");
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

std::optional<int> apiMajorVersion(const QString &api)
{
    return leadingNumber(api);
}

bool declaresVoidReturns(const QString &api)
{
    return apiMajorVersion(api.trimmed()).value_or(0) >= 4;
}

QStringList makeMainClass(const QString &nameSpace, const QString &className, const project::XmlElement &mainScript,
                          const QString &api)
{
    // Servers of API 4 and later declare the event methods with ": void"; a
    // method without it cannot override them and the class does not load.
    const QString opening = declaresVoidReturns(api) ? QStringLiteral("() : void{") : QStringLiteral("(){");
    QStringList lines = {
        QStringLiteral("<?php "),
        QString(),
        QStringLiteral("namespace ") + nameSpace + QLatin1Char(';'),
        QString(),
        QStringLiteral("use pocketmine\\plugin\\PluginBase;"),
        QString(),
        QStringLiteral("class ") + className + QStringLiteral(" extends PluginBase{"),
        QString(),
    };
    for (const EventBody &event : collectEvents(mainScript)) {
        lines << QStringLiteral("public function ") + event.method + opening;
        for (const project::XmlElement &action : event.actions) {
            const QString statement = statementFor(action);
            if (!statement.isEmpty())
                lines << statement;
        }
        lines << QStringLiteral("}");
    }
    lines << QStringLiteral("}") << QString() << QStringLiteral("?>");
    return lines;
}

QList<QPair<QString, QString>> makeParams(const PluginSettings &settings)
{
    return {
        {QStringLiteral("name"), settings.name},
        {QStringLiteral("version"), settings.version},
        {QStringLiteral("main"), settings.main},
        {QStringLiteral("api"), settings.api},
        {QStringLiteral("authors"), settings.creator},
        {QStringLiteral("website"), settings.site},
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
    return QStringLiteral("src/") + split.nameSpace.split(QLatin1Char('\\')).join(QLatin1Char('/')) +
           QLatin1Char('/') + split.className + QStringLiteral(".php");
}

GeneratedPlugin generatePlugin(project::ProjectDocument &document)
{
    if (document.root().isNull())
        throw Error(QStringLiteral("The project has no root element."));
    const project::XmlElement mainScript = document.requireMainScript();

    const PluginSettings settings = PluginSettings::fromElement(document.settings());
    const MainSplit split = splitMain(settings.main);

    GeneratedPlugin plugin;
    plugin.classFilePath = classFilePath(settings.main);
    plugin.pluginYml = joinLines(makePluginYml(settings));
    plugin.mainClass = joinLines(makeMainClass(split.nameSpace, split.className, mainScript, settings.api));
    plugin.params = makeParams(settings);
    return plugin;
}

} // namespace vorlune::build
