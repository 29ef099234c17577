#pragma once

#include "script/ActionTable.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <span>

namespace vorlune::script {

// One fixed choice: the word a file stores, the name the dialog shows and
// the PHP it stands for on each API (empty where the template decides).
struct Choice {
    const char *word;
    i18n::TextId name;
    std::array<const char *, kApiCount> php;
};

// The choices of a choice kind, in the order the dialog offers them; empty
// for the other kinds.
std::span<const Choice> choicesOf(ArgumentKind kind);
const Choice *choiceOf(ArgumentKind kind, QStringView word);

struct NumberRange {
    qint64 min;
    qint64 max;
};
// The range of a number kind; nothing for the others.
std::optional<NumberRange> numberRange(ArgumentKind kind);
// The number a value of a number kind stands for, when it is one: ASCII
// digits, a leading "-" only for coordinates, within the kind's range.
std::optional<qint64> numberValue(ArgumentKind kind, QStringView value);

// Texts whose placeholders the event's values replace.
bool expandsPlaceholders(ArgumentKind kind);
// Whether a value can be built: numbers in range and known choice words;
// any text fits.
bool valueFits(ArgumentKind kind, QStringView value);
// Why the first value that cannot be built cannot, in the interface
// language; empty when all can. `values` as the build reads them.
QString argumentFault(const ActionRow &action, const QString &eventName, const QStringList &values);

// A line as the list shows it: choice words replaced by their names.
QString shownActionLine(const QString &line);

} // namespace vorlune::script
