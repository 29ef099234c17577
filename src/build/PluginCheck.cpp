#include "build/PluginCheck.h"

#include "build/CodeGenerator.h"
#include "i18n/ExtraTexts.h"
#include "i18n/Placeholder.h"
#include "project/ProjectDocument.h"
#include "script/ActionCatalogue.h"
#include "script/EventRegistry.h"

#include <QRegularExpression>

namespace vorlune::build {
namespace {

QString finding(std::string_view key, std::initializer_list<i18n::PlaceholderValue> values)
{
    return i18n::fillPlaceholders(i18n::extraText(key), values);
}

void checkName(const QString &name, QStringList &findings)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9 _.\\-]+$"));
    if (!allowed.match(name).hasMatch())
        findings << finding("check_name_characters", {{"name", name}});
    for (const QString &word : {QStringLiteral("pocketmine"), QStringLiteral("minecraft"), QStringLiteral("mojang")}) {
        if (name.contains(word, Qt::CaseInsensitive)) {
            findings << finding("check_name_reserved", {{"name", name}, {"word", word}});
            break;
        }
    }
}

void checkApi(const QString &api, QStringList &findings)
{
    static const QRegularExpression threeNumbers(QStringLiteral("^[0-9]+\\.[0-9]+\\.[0-9]+$"));
    if (!threeNumbers.match(api).hasMatch())
        findings << finding("check_api_form", {{"api", api}});
    const std::optional<int> major = apiMajorVersion(api);
    if (major == 1 || major == 2)
        findings << finding("check_api_old", {{"api", api}});
}

bool isNameStart(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || u == u'_' || u >= 0x80;
}

bool isNameChar(QChar c)
{
    return isNameStart(c) || (c.unicode() >= u'0' && c.unicode() <= u'9');
}

struct MessageFaults {
    bool unescapedQuote = false;
    bool trailingBackslash = false;
    QString unknownVariable;
};

// Reads the text as PHP reads the inside of a double-quoted string: a
// backslash takes the next character with it, "$name" and "${name}" are
// variables, and the only variable a plugin's method has is $this.
MessageFaults faultsOf(const QString &message)
{
    MessageFaults faults;
    for (qsizetype i = 0; i < message.size(); ++i) {
        const QChar c = message.at(i);
        if (c == u'\\') {
            if (i + 1 == message.size())
                faults.trailingBackslash = true;
            ++i;
        } else if (c == u'"') {
            faults.unescapedQuote = true;
        } else if (c == u'$' && faults.unknownVariable.isEmpty()) {
            qsizetype start = i + 1;
            if (start < message.size() && message.at(start) == u'{')
                ++start;
            if (start >= message.size() || !isNameStart(message.at(start)))
                continue;
            qsizetype end = start;
            while (end < message.size() && isNameChar(message.at(end)))
                ++end;
            const QString name = message.mid(start, end - start);
            if (name != QLatin1String("this"))
                faults.unknownVariable = name;
        }
    }
    return faults;
}

void checkMessages(const project::XmlElement &mainScript, QStringList &findings)
{
    for (const project::XmlElement &event : mainScript.childElements()) {
        if (script::getFunctionNameFromId(event.name()).isEmpty())
            continue; // never generated
        const QString eventName = script::getEventFromId(event.name());
        for (const project::XmlElement &action : event.childElements()) {
            if (script::parseActionId(action.attribute(QStringLiteral("id"))) != 1)
                continue;
            const QString message = script::getArgumentValue(action.attribute(QStringLiteral("args")), 1);
            const MessageFaults faults = faultsOf(message);
            if (faults.unescapedQuote)
                findings << finding("check_message_quote", {{"text", message}, {"event", eventName}});
            if (faults.trailingBackslash)
                findings << finding("check_message_backslash", {{"text", message}, {"event", eventName}});
            if (!faults.unknownVariable.isEmpty())
                findings << finding("check_message_variable", {{"text", message},
                                                               {"event", eventName},
                                                               {"variable", faults.unknownVariable}});
        }
    }
}

} // namespace

QStringList checkPlugin(const project::PluginSettings &settings, const project::XmlElement &mainScript)
{
    QStringList findings;
    checkName(settings.name, findings);
    if (settings.main.startsWith(QLatin1String("pocketmine\\"), Qt::CaseInsensitive))
        findings << finding("check_main_reserved", {{"main", settings.main}});
    checkApi(settings.api, findings);
    if (settings.loading.compare(QLatin1String("STARTUP"), Qt::CaseInsensitive) != 0 &&
        settings.loading.compare(QLatin1String("POSTWORLD"), Qt::CaseInsensitive) != 0)
        findings << finding("check_load", {{"load", settings.loading}});
    if (!mainScript.isNull())
        checkMessages(mainScript, findings);
    return findings;
}

QStringList checkPlugin(project::ProjectDocument &document)
{
    if (document.root().isNull())
        return checkPlugin(project::PluginSettings{}, project::XmlElement());
    return checkPlugin(project::PluginSettings::fromElement(document.settings()), document.mainScript());
}

} // namespace vorlune::build
