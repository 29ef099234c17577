#pragma once

#include "script/ActionTable.h"
#include "script/EventTable.h"

#include <QString>
#include <QStringList>

namespace vorlune::build {

// A typed text as a PHP expression: a double-quoted literal made safe by
// phpStringBody, joined with "." to the value of each placeholder the event
// gives on that API (`gives`). Other "{word}" texts stay as typed.
QString textExpression(const QString &text, unsigned gives, script::Api api);
// The "{word}" texts that textExpression leaves as typed, in order.
QStringList literalPlaceholders(const QString &text, unsigned gives, script::Api api);
// The values of an action's argument block, as many as the action takes: a
// missing one is empty. Action 1 reads its first value as it always has.
QStringList actionArguments(const script::ActionRow &action, const QString &args);
// The statement of an action that fits the event on that API (see
// script::buildFault); a condition leaves the rest of the list with
// "return;" when it does not hold.
QString actionStatement(const script::ActionRow &action, const script::EventRow &event, script::Api api,
                        const QString &args);
// The same where the actions before it changed what the event gives
// (script::Reach): the placeholders expand by `gives`, and a condition
// leaves with `leave`.
QString actionStatement(const script::ActionRow &action, const script::EventRow &event, script::Api api,
                        const QString &args, unsigned gives, const QString &leave);

} // namespace vorlune::build
