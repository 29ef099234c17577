#pragma once

#include "i18n/TextTable.h"

#include <QChar>
#include <QString>

#include <array>

namespace vorlune::textformat {

// MCPE reads a format code as this sign followed by one code character.
inline constexpr QChar kFormatSign{u'\u00A7'};

// Where an option's caption takes its colour from.
enum class Ink {
    Fixed,       // the option's own colour
    WindowFrame, // the system colour of window frames
    NormalText,  // whatever colour normal text has
};

enum class Emphasis { None, Bold, Italic };

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend constexpr bool operator==(const Rgb &, const Rgb &) = default;
};

struct FormatOption {
    i18n::TextId caption;
    char16_t code; // the character after the format sign
    Ink ink;
    Rgb rgb; // only meaningful for Ink::Fixed
    Emphasis emphasis;
};

inline constexpr int kFormatOptionCount = 19;

// The options in button order: index 0 is the first radio button.
const std::array<FormatOption, kFormatOptionCount> &formatOptions();

// The format code of an option ("§" + code character); empty outside the table.
QString formatCode(int index);

// The object name of an option's radio button: "sRadioButton1" for index 0;
// empty outside the table. The copy step finds the buttons by these names.
QString optionObjectName(int index);

} // namespace vorlune::textformat
