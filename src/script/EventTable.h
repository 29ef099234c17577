#pragma once

#include "i18n/TextTable.h"
#include "script/CatalogueTypes.h"

#include <QString>
#include <array>
#include <span>

namespace vorlune::script {

// The PHP of one event on one API.
struct EventCode {
    // Fully qualified event class without the leading "\"; empty for the
    // plugin's own lifecycle methods; nullptr when the API has no such event.
    const char *eventClass;
    // Statements before the actions (lines separated by "\n"): the player
    // variable, or the guard that leaves when the event is not a player's.
    const char *prelude;
    unsigned gives; // Value flags
};

// One event: its id is "ev_" + number. Adding an event is one row here plus
// its display name in the text table and the language files.
struct EventRow {
    int number;
    i18n::TextId name;
    EventCategory category;
    int icon; // in the event icon list
    // The PHP method: the lifecycle method, or a handler the server finds by
    // its parameter (it ignores the name).
    const char *method;
    // The method that sets the event's join, quit or death text, if any.
    const char *textSetter;
    std::array<EventCode, kApiCount> code;
    // Numbers number .. number + slots - 1 share the row: commands and timers
    // of the plugin's own, each with its settings in the event element.
    int slots = 1;

    bool isListener() const { return code[0].eventClass && *code[0].eventClass; }
    const EventCode &on(Api api) const { return code[size_t(api)]; }
};

// Every event, in the order the lookups test them (ev_1, ev_2, ev_3 first).
std::span<const EventRow> eventRows();
// The row of an event id ("ev_" + number, exactly), a slot row for any of
// its numbers; nullptr for none.
const EventRow *eventRow(const QString &id);
// The id of the row's first number.
QString eventIdOf(const EventRow &row);

} // namespace vorlune::script
