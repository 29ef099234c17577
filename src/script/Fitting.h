#pragma once

#include "script/ActionTable.h"
#include "script/EventTable.h"

#include <QString>

namespace vorlune::script {

// Why an action cannot stand in an event's list, in the interface language;
// empty when it fits. An action that needs a player, a cancellable event or
// an event text fits only events that give it on every API, so a project
// keeps building when its api changes; one that needs a block fits where any
// API gives it, and the build refuses it on the others.
QString misfit(const ActionRow &action, const EventRow &event);
// Why the action cannot be built in that event on that API: a misfit, or an
// event or action the API does not have; empty when it can.
QString buildFault(const ActionRow &action, const EventRow &event, Api api);
// Why the event cannot be built on that API; empty when it can.
QString buildFault(const EventRow &event, Api api);

// What the event gives on every API.
unsigned givenEverywhere(const EventRow &event);

} // namespace vorlune::script
