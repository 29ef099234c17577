#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace vorlune::script {

// The invisible separator that opens and closes every argument.
inline constexpr char16_t kArgumentSeparator = u'\u2063';

// U+2063 ":" "[" before a value, "]" U+2063 after it.
QString openingMarker();
QString closingMarker();

// 1 when the line starts with the current display name of action 1; else
// the action whose current display name is the line up to its first U+2063;
// else 0.
int getActionId(const QString &strs);
// The current display name of an action; empty outside the catalogue.
QString getActionName(int id);
// Half the number of U+2063 in a block or line, rounded down.
int ArgumentsCount(const QString &arguments);
// The value of argument Id (from 1) of a block or line; text before the
// first opening marker is skipped. Id beyond the count gives the last value,
// Id 0 or less the empty text.
QString getArgumentValue(const QString &arguments, int Id);

// Values are stored as given: a value that holds the closing marker cannot
// be read back whole.
QString makeArgumentBlock(const QStringList &values);
// Display name of the action followed by its argument block.
QString makeActionLine(int actionId, const QStringList &values);
// Splits a line where its block starts, at the first U+2063; a line without
// one is all name and has an empty block.
QString actionLineName(const QString &line);
QString actionLineBlock(const QString &line);
// A line as the user reads it: the display name, then ": " and the argument
// values separated by "; ", without any U+2063 or markup. A line without
// arguments reads as its name alone.
QString readableActionLine(const QString &line);
// Icon of a line in the action icon list: action id minus 1, -1 for none.
int actionIconIndex(const QString &line);

// An action id as stored in a project file: ASCII decimal digits only,
// within int range. Anything else gives no id.
std::optional<int> parseActionId(const QString &text);

} // namespace vorlune::script
