#include "build/PluginCheck.h"

#include "build/ActionCode.h"
#include "build/CodeGenerator.h"
#include "build/PhpNames.h"
#include "build/PhpStringLiteral.h"
#include "i18n/ExtraTexts.h"
#include "i18n/Placeholder.h"
#include "project/ProjectDocument.h"
#include "script/ActionCatalogue.h"
#include "script/ActionTable.h"
#include "script/ArgumentKinds.h"
#include "script/EventRegistry.h"
#include "script/EventSettings.h"
#include "script/EventTable.h"
#include "script/Fitting.h"

#include <algorithm>

#include <QRegularExpression>

namespace vorlune::build {
namespace {

// Long texts are cut in findings: a box or a console line stays readable.
constexpr qsizetype kShownLength = 120;

QString shortened(const QString &text)
{
    return text.size() <= kShownLength ? text : text.left(kShownLength - 1) + QChar(0x2026);
}

QString finding(std::string_view key, std::initializer_list<i18n::PlaceholderValue> values)
{
    return i18n::fillPlaceholders(i18n::extraText(key), values);
}

// What a server does with a plugin it refuses: servers of API 3 log it and
// go on; from API 4 on any plugin that fails to load stops the server.
QString refusalEffect(const QString &api)
{
    return i18n::extraText(apiMajorVersion(api) == 3 ? "check_effect_skip" : "check_effect_stop");
}

void checkName(const QString &name, const QString &effect, QStringList &findings)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9 _.\\-]+$"));
    const QString shown = shortened(name);
    if (!allowed.match(name).hasMatch())
        findings << finding("check_name_characters", {{"name", shown}, {"effect", effect}});
    for (const QString &word : {QStringLiteral("pocketmine"), QStringLiteral("minecraft"), QStringLiteral("mojang")}) {
        if (name.contains(word, Qt::CaseInsensitive)) {
            findings << finding("check_name_reserved", {{"name", shown}, {"word", word}, {"effect", effect}});
            break;
        }
    }
    if (name.contains(QLatin1Char(' ')))
        findings << finding("check_name_spaces",
                            {{"name", shown}, {"loaded", shortened(QString(name).replace(QLatin1Char(' '), u'_'))}});
}

void checkMain(const QString &main, const QString &effect, QStringList &findings)
{
    if (main.startsWith(QLatin1String("pocketmine\\"), Qt::CaseInsensitive))
        findings << finding("check_main_reserved", {{"main", shortened(main)}, {"effect", effect}});
    if (const MainClassFault fault = mainClassFault(main))
        findings << describeMainClassFault(shortened(main), fault);
}

// The api as the servers compare it with their own. API 3 servers (the last
// is 3.28.0) pad "3" and "3.0", read each part's leading digits, and want no
// suffix; API 4 and 5 servers want x.y.z with an optional "-suffix".
void checkApi(const QString &api, QStringList &findings)
{
    const QString shown = shortened(api);
    const std::optional<int> major = apiMajorVersion(api);
    if (!major) {
        findings << finding("check_api_number", {{"api", shown}});
        return;
    }
    if (*major < 3) {
        findings << finding("check_api_old", {{"api", shown}});
        return;
    }
    const qsizetype dash = api.indexOf(QLatin1Char('-'));
    const QString base = dash < 0 ? api : api.left(dash);
    if (*major == 3) {
        if (dash >= 0)
            findings << finding("check_api_suffix", {{"api", shown}, {"example", shortened(base)}});
        const QStringList parts = base.split(QLatin1Char('.'));
        const int minor = parts.size() > 1 ? leadingNumber(parts.at(1)).value_or(0) : 0;
        const int patch = parts.size() > 2 ? leadingNumber(parts.at(2)).value_or(0) : 0;
        if (minor > 28 || (minor == 28 && patch > 0))
            findings << finding("check_api_newer", {{"api", shown}});
        return;
    }
    static const QRegularExpression version(QStringLiteral("^[0-9]+\\.[0-9]+\\.[0-9]+(-.*)?$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    if (!version.match(api).hasMatch())
        findings << finding("check_api_form", {{"api", shown}, {"example", QStringLiteral("%1.0.0").arg(*major)}});
}

// Control characters as the pictures Unicode keeps for them, so they show.
QString visiblePrinting(const QByteArray &printed)
{
    QString text = QString::fromUtf8(printed);
    for (QChar &c : text) {
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7F)
            c = QChar(0x2421);
    }
    return text;
}

} // namespace

void MessageCheck::add(const QString &text, unsigned apis)
{
    if (!text.isEmpty())
        m_findings.emplace_back(text, apis);
}

void MessageCheck::event(const QString &name, const QString &args, int line)
{
    m_event = script::eventRow(name);
    m_eventName = m_event ? script::getEventFromId(name) : QString();
    m_reach = {};
    if (!m_event)
        return;
    add(script::settingsFault(name, args, line));
    const auto command = script::commandSettings(args);
    if (command && script::slotKind(name) == script::SlotKind::Command && !m_commandIds.contains(name)) {
        if (m_commands.contains(command->name.toLower()))
            add(i18n::fillPlaceholders(i18n::extraText("slot_same_command"),
                                       {{"line", QString::number(line)}, {"id", name}, {"name", command->name}}));
        m_commands << command->name.toLower();
        m_commandIds << name;
    }
    if (script::slotKind(name) != script::SlotKind::None)
        m_eventName = script::eventCaption(name, args);
    for (const script::Api api : script::kApis)
        add(script::buildFault(*m_event, api), 1u << int(api));
}

// What PHP makes of a typed text other than printing it: escapes and calls
// on the plugin. The generator makes everything else print as typed.
void MessageCheck::addPrinting(const QString &text)
{
    const PhpPrinting printing = phpPrinting(text);
    const QString shown = shortened(text);
    if (printing.hasEscapes)
        add(finding(
            "check_message_escape",
            {{"text", shown}, {"event", m_eventName}, {"printed", shortened(visiblePrinting(printing.printed))}}));
    if (!printing.values.isEmpty())
        add(finding("check_message_value", {{"text", shown},
                                            {"event", m_eventName},
                                            {"value", shortened(printing.values.join(QStringLiteral(", ")))}}));
}

void MessageCheck::action(const QString &id, const QString &args)
{
    const std::optional<int> number = script::parseActionId(id);
    const script::ActionRow *action = number ? script::actionRow(*number) : nullptr;
    if (!m_event || !action)
        return; // never generated
    const script::Reach reach = m_reach;
    m_reach.after(*action, args);
    if (const QString misfit = script::misfit(*action, *m_event, reach.given(script::givenEverywhere(*m_event)));
        !misfit.isEmpty()) {
        add(misfit);
        return;
    }
    for (const script::Api api : script::kApis)
        add(script::buildFault(*action, *m_event, api, reach.given(script::givenEverywhere(*m_event))), 1u << int(api));
    const QStringList values = actionArguments(*action, args);
    add(script::argumentFault(*action, m_eventName, values));
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (!script::expandsPlaceholders(action->kinds[size_t(i)]) &&
            action->kinds[size_t(i)] != script::ArgumentKind::Message)
            continue;
        addPrinting(values.at(i));
        if (!script::expandsPlaceholders(action->kinds[size_t(i)]))
            continue;
        // Per API: an event may give a value on one API and not on another.
        std::vector<std::pair<QString, unsigned>> left;
        for (const script::Api api : script::kApis) {
            for (const QString &placeholder :
                 literalPlaceholders(values.at(i), reach.given(m_event->on(api).gives), api)) {
                auto same =
                    std::find_if(left.begin(), left.end(), [&](const auto &l) { return l.first == placeholder; });
                if (same == left.end())
                    left.emplace_back(placeholder, 1u << int(api));
                else
                    same->second |= 1u << int(api);
            }
        }
        for (const auto &[placeholder, apis] : left) {
            // A name no event gives is likely a typo; say so rather than blame the event.
            const bool known = script::placeholderRow(QStringView(placeholder).sliced(1, placeholder.size() - 2));
            add(finding(known ? "check_placeholder" : "check_placeholder_unknown",
                        {{"text", shortened(values.at(i))}, {"event", m_eventName}, {"placeholder", placeholder}}),
                apis);
        }
    }
}

QStringList MessageCheck::findings(const QString &api) const
{
    const unsigned bit = 1u << int(script::apiColumn(api));
    QStringList shown;
    for (const auto &[text, apis] : m_findings) {
        if (apis & bit)
            shown << text;
    }
    return shown;
}

QStringList checkSettings(const project::PluginSettings &settings)
{
    QStringList findings;
    const QString effect = refusalEffect(settings.api);
    checkName(settings.name, effect, findings);
    checkMain(settings.main, effect, findings);
    checkApi(settings.api, findings);
    if (settings.loading.compare(QLatin1String("STARTUP"), Qt::CaseInsensitive) != 0 &&
        settings.loading.compare(QLatin1String("POSTWORLD"), Qt::CaseInsensitive) != 0)
        findings << finding("check_load", {{"load", shortened(settings.loading)}, {"effect", effect}});
    return findings;
}

QStringList checkPlugin(const project::PluginSettings &settings, const project::XmlElement &mainScript)
{
    MessageCheck messages;
    if (!mainScript.isNull())
        project::visitMainScript(mainScript, messages);
    return checkSettings(settings) + messages.findings(settings.api);
}

QStringList checkPlugin(project::ProjectDocument &document)
{
    if (document.root().isNull())
        return checkPlugin(project::PluginSettings{}, project::XmlElement());
    return checkPlugin(project::PluginSettings::fromElement(document.settings()), document.mainScript());
}

} // namespace vorlune::build
