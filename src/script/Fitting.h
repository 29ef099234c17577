#pragma once

#include "script/ActionTable.h"
#include "script/EventTable.h"

#include <QString>
#include <QStringList>

namespace vorlune::script {

// Why an action cannot stand in an event's list, in the interface language;
// empty when it fits. An action that needs a player, a cancellable event or
// an event text fits only events that give it on every API, so a project
// keeps building when its api changes.
QString misfit(const ActionRow &action, const EventRow &event);
// The same where the actions before it leave `given` (see Reach).
QString misfit(const ActionRow &action, const EventRow &event, unsigned given);
// Why the action cannot be built in that event on that API: a misfit, or an
// event or action the API does not have; empty when it can.
QString buildFault(const ActionRow &action, const EventRow &event, Api api, unsigned given);
// Why the event cannot be built on that API; empty when it can.
QString buildFault(const EventRow &event, Api api);

// Why a value of the action (its argument block args) cannot be built: a
// number or a choice that the argument dialog would not have let through.
QString valueFault(const ActionRow &action, const EventRow &event, const QString &args);

// What the event gives on every API.
unsigned givenEverywhere(const EventRow &event);

// What the actions so far change in what the rest of a list gets: a guard
// that holds and a loop over the players give a player; after a wait the
// event is over and can no longer be cancelled or have its text set.
struct Reach {
    unsigned gained = 0;
    unsigned lost = 0;

    void after(const ActionRow &action, const QString &args);
    unsigned given(unsigned gives) const { return (gives | gained) & ~lost; }
};

// What an action appended to these action lines of the event gets.
unsigned givenAfter(const EventRow &event, const QStringList &lines);

} // namespace vorlune::script
