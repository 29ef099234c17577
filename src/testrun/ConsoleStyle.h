#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <optional>

namespace vorlune::testrun {

struct ConsoleColour {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend constexpr bool operator==(const ConsoleColour &, const ConsoleColour &) = default;
};

// How a piece of console text looks. No colour means the console's own.
struct ConsoleStyle {
    std::optional<ConsoleColour> foreground;
    std::optional<ConsoleColour> background;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    friend bool operator==(const ConsoleStyle &, const ConsoleStyle &) = default;
};

// What one "§" format code does to the style. The caller builds the table
// from the text format options, which this layer cannot see.
struct FormatCodeEffect {
    std::optional<ConsoleColour> colour; // the foreground
    bool bold = false;
    bool italic = false;
    bool reset = false; // back to the plain style, before the rest applies
};

// Code character (the one after "§") -> effect.
using FormatCodeTable = QHash<char16_t, FormatCodeEffect>;

// Applies the parameters of an SGR sequence ("1;31" of ESC [ 1;31 m) to the
// style. Parameters it does not know change nothing.
void applySgr(ConsoleStyle &style, QByteArrayView parameters);

// The colours of the 256-colour palette: 16 named ones, a 6x6x6 cube, 24 greys.
ConsoleColour paletteColour(int index);

} // namespace vorlune::testrun
