#include "script/Fitting.h"

#include "i18n/ExtraTexts.h"
#include "i18n/Placeholder.h"

namespace vorlune::script {

unsigned givenEverywhere(const EventRow &event)
{
    unsigned given = ~0u;
    for (const EventCode &code : event.code)
        given &= code.gives;
    return given;
}

QString misfit(const ActionRow &action, const EventRow &event)
{
    const unsigned missing = action.needs & ~givenEverywhere(event);
    const QString eventName = i18n::tx(event.name);
    if (missing & kPlayer)
        return i18n::fillPlaceholders(i18n::extraText("fit_player"),
                                      {{"action", i18n::tx(action.name)}, {"event", eventName}});
    if (missing & kCancel)
        return i18n::fillPlaceholders(i18n::extraText("fit_cancel"), {{"event", eventName}});
    if ((missing & kEventText) || ((action.needs & kEventText) && !event.textSetter))
        return i18n::fillPlaceholders(i18n::extraText("fit_text"), {{"event", eventName}});
    return {};
}

QString buildFault(const EventRow &event, Api api)
{
    if (event.on(api).eventClass)
        return {};
    return i18n::fillPlaceholders(i18n::extraText("fit_absent"),
                                  {{"name", i18n::tx(event.name)}, {"api", apiName(api)}});
}

QString buildFault(const ActionRow &action, const EventRow &event, Api api)
{
    if (const QString fault = misfit(action, event); !fault.isEmpty())
        return fault;
    if (!action.on(api))
        return i18n::fillPlaceholders(i18n::extraText("fit_absent"),
                                      {{"name", i18n::tx(action.name)}, {"api", apiName(api)}});
    return {};
}

} // namespace vorlune::script
