#pragma once

#include <QString>
#include <optional>

namespace vorlune::script {

// Number of event lists; an event number addresses one of them.
inline constexpr int kEventListCount = 101;

// Lookups between the faces of an event. Each tests the rows of the event
// table in its order (ev_1, ev_2, ev_3 first) with an exact, case-sensitive
// comparison. An input that
// matches no row gives the empty text (or -1 for the icon), and the empty
// text is not an event id, so it never selects an event list.
QString getEventId(const QString &name);
QString getEventFromId(const QString &id);
int getImageIdFromId(const QString &id);
QString getFunctionNameFromId(const QString &id);

// The event number of an event id: "ev_" followed by a plain decimal from 0
// to 100 (ASCII digits only, no sign, no leading zero). Anything else gives
// no number, so no text can reach outside the 101 lists. Refusing leading
// zeros keeps one id per list ("ev_01" would otherwise alias "ev_1").
std::optional<int> eventNumber(const QString &id);

} // namespace vorlune::script
