#pragma once

#include "script/ActionTable.h"
#include "script/EventTable.h"

#include <QString>
#include <QStringList>

namespace vorlune::script {

// Why an action cannot stand in an event's list, in the interface language;
// empty when it fits. An action that needs a player, a cancellable event or
// an event text fits only events that give it on every API, so a project
// keeps building when its api changes; one that needs a block fits where any
// API gives it, and the build refuses it on the others.
QString misfit(const ActionRow &action, const EventRow &event);
// The same where the actions before it leave `given` (see Reach).
QString misfit(const ActionRow &action, const EventRow &event, unsigned given);
// Why the action cannot be built in that event on that API: a misfit, or an
// event or action the API does not have; empty when it can.
QString buildFault(const ActionRow &action, const EventRow &event, Api api, unsigned given);
// Why the event cannot be built on that API; empty when it can.
QString buildFault(const EventRow &event, Api api);

// What the event gives on every API.
unsigned givenEverywhere(const EventRow &event);

// What the actions so far change in what the rest of a list gets: a guard
// that holds and a loop over the players give a player; after a wait the
// event is over and can no longer be cancelled or have its text, drops or
// kept inventory set.
struct Reach {
    unsigned gained = 0;
    unsigned lost = 0;

    void after(const ActionRow &action, const QString &args);
    unsigned given(unsigned gives) const { return (gives | gained) & ~lost; }
};

// What an action appended to these action lines of the event gets.
unsigned givenAfter(const EventRow &event, const QStringList &lines);

} // namespace vorlune::script
