#pragma once

#include "script/CatalogueTypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace vorlune::script {
struct ActionRow;
struct EventRow;
} // namespace vorlune::script

namespace vorlune::build {

// One action of an event: console messages are kept as their PHP, which is
// the same on every API; the others wait for the api.
struct ActionPiece {
    QByteArray code;
    const script::ActionRow *action = nullptr;
    QString args;
};

// Where an event's actions stand, which decides how a guard leaves and
// what a delayed rest of the list takes along.
enum class Body {
    Lifecycle, // onEnable, onLoad, onDisable
    Handler,   // a listener's handler: $event
    Command,   // a branch of onCommand: $sender, $args; it returns true
    Timer,     // a repeating task's closure
};

// Writes the actions in order, CR LF after each line. A guard leaves what
// it stands in; a wait or a loop over the players opens a block that holds
// the rest of the list. Actions that cannot be built there add their
// reason to faults and are left out.
void writeActions(QByteArray &bytes, const script::EventRow &event, const std::vector<ActionPiece> &pieces,
                  script::Api api, Body body, QStringList &faults);

} // namespace vorlune::build
