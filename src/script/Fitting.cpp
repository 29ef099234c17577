#include "script/Fitting.h"

#include "i18n/ExtraTexts.h"
#include "i18n/Placeholder.h"
#include "script/ActionCatalogue.h"
#include "script/EventSettings.h"

namespace vorlune::script {

unsigned givenEverywhere(const EventRow &event)
{
    unsigned given = ~0u;
    for (const EventCode &code : event.code)
        given &= code.gives;
    return given;
}

void Reach::after(const ActionRow &action, const QString &args)
{
    // A guard turned round ("not") holds when there is no player.
    if (action.shape != ActionShape::Guard || getArgumentValue(args, 1) != QLatin1String("not"))
        gained |= action.grants;
    if (action.shape == ActionShape::Delay)
        lost |= kCancel | kEventText;
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
    const unsigned missing = action.needs & ~given;
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
    return {};
}

QString valueFault(const ActionRow &action, const EventRow &event, const QString &args)
{
    for (int i = 0; i < action.argumentCount; ++i) {
        const QString value = i < ArgumentsCount(args) ? getArgumentValue(args, i + 1) : QString();
        const ArgumentKind kind = action.kinds[size_t(i)];
        const char *key = kind == ArgumentKind::Seconds && !secondsValue(value) ? "number_bad"
                          : kind == ArgumentKind::IsNot && value != QLatin1String("is") && value != QLatin1String("not")
                              ? "choice_bad"
                              : nullptr;
        if (key)
            return i18n::fillPlaceholders(
                i18n::extraText(key),
                {{"action", i18n::tx(action.name)}, {"event", i18n::tx(event.name)}, {"value", value}});
    }
    return {};
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
    return {};
}

} // namespace vorlune::script
