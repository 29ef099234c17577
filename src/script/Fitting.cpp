#include "script/Fitting.h"

#include "i18n/ExtraTexts.h"
#include "i18n/Placeholder.h"
#include "script/ActionCatalogue.h"

#include <string_view>
#include <utility>

namespace vorlune::script {

unsigned givenEverywhere(const EventRow &event)
{
    unsigned given = ~0u;
    for (const EventCode &code : event.code)
        given &= code.gives;
    return given;
}

namespace {

// Values some events give on some APIs only (the block of a placed block is
// gone on API 5): an action using one fits where any API gives it, and the
// build refuses it on the others.
constexpr unsigned kPerApi = kBlock;

unsigned givenAnywhere(const EventRow &event)
{
    unsigned given = 0;
    for (const EventCode &code : event.code)
        given |= code.gives;
    return given;
}

// Why an event that lacks these values cannot serve; empty for none of the
// values below.
QString lacking(unsigned missing, const QString &eventName)
{
    static constexpr std::pair<Value, std::string_view> kWhy[] = {
        {kBlock, "fit_block"}, {kMessage, "fit_message"}, {kTyped, "fit_typed"},
        {kCause, "fit_cause"}, {kDeath, "fit_death"},     {kDrops, "fit_drops"},
    };
    for (const auto &[value, key] : kWhy) {
        if (missing & value)
            return i18n::fillPlaceholders(i18n::extraText(key), {{"event", eventName}});
    }
    return {};
}

} // namespace

void Reach::after(const ActionRow &action, const QString &args)
{
    // A guard turned round ("not") holds when there is no player.
    if (action.shape != ActionShape::Guard || getArgumentValue(args, 1) != QLatin1String("not"))
        gained |= action.grants;
    // After a wait the event is over: what it lets set no longer counts.
    if (action.shape == ActionShape::Delay)
        lost |= kCancel | kEventText | kDrops | kDeath;
}

unsigned givenAfter(const EventRow &event, const QStringList &lines)
{
    Reach reach;
    for (const QString &line : lines) {
        if (const ActionRow *row = actionRow(getActionId(line)))
            reach.after(*row, line);
    }
    return reach.given(givenEverywhere(event));
}

QString misfit(const ActionRow &action, const EventRow &event) { return misfit(action, event, givenEverywhere(event)); }

QString misfit(const ActionRow &action, const EventRow &event, unsigned given)
{
    const unsigned missing =
        (action.needs & ~kPerApi & ~given) | (action.needs & kPerApi & ~(givenAnywhere(event) | given));
    const QString eventName = i18n::tx(event.name);
    if (missing & kSender)
        return i18n::fillPlaceholders(i18n::extraText("fit_sender"),
                                      {{"action", i18n::tx(action.name)}, {"event", eventName}});
    if (missing & kPlayer)
        return i18n::fillPlaceholders(i18n::extraText("fit_player"),
                                      {{"action", i18n::tx(action.name)}, {"event", eventName}});
    if (missing & kCancel)
        return i18n::fillPlaceholders(i18n::extraText("fit_cancel"), {{"event", eventName}});
    if ((missing & kEventText) || ((action.needs & kEventText) && !event.textSetter))
        return i18n::fillPlaceholders(i18n::extraText("fit_text"), {{"event", eventName}});
    return lacking(missing, eventName);
}

QString buildFault(const EventRow &event, Api api)
{
    if (event.on(api).eventClass)
        return {};
    return i18n::fillPlaceholders(i18n::extraText("fit_absent"),
                                  {{"name", i18n::tx(event.name)}, {"api", apiName(api)}});
}

QString buildFault(const ActionRow &action, const EventRow &event, Api api, unsigned given)
{
    if (const QString fault = misfit(action, event, given); !fault.isEmpty())
        return fault;
    if (!action.on(api))
        return i18n::fillPlaceholders(i18n::extraText("fit_absent"),
                                      {{"name", i18n::tx(action.name)}, {"api", apiName(api)}});
    if (const QString why = lacking(action.needs & kPerApi & ~event.on(api).gives, i18n::tx(event.name));
        !why.isEmpty())
        return i18n::fillPlaceholders(i18n::extraText("fit_on_api"), {{"api", apiName(api)}, {"reason", why}});
    return {};
}

} // namespace vorlune::script
