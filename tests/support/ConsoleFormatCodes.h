#pragma once

#include "testrun/ConsoleStyle.h"
#include "textformat/FormatCodes.h"

namespace vorlune::test {

// The "§" code table as the main window builds it from the text format
// options; window-frame ink takes the given colour.
inline testrun::FormatCodeTable consoleFormatCodes(testrun::ConsoleColour frameColour = {85, 85, 85})
{
    testrun::FormatCodeTable table;
    for (const textformat::FormatOption &option : textformat::formatOptions()) {
        testrun::FormatCodeEffect effect;
        if (option.ink == textformat::Ink::Fixed)
            effect.colour = testrun::ConsoleColour{option.rgb.red, option.rgb.green, option.rgb.blue};
        else if (option.ink == textformat::Ink::WindowFrame)
            effect.colour = frameColour;
        effect.bold = option.emphasis == textformat::Emphasis::Bold;
        effect.italic = option.emphasis == textformat::Emphasis::Italic;
        effect.reset = option.ink == textformat::Ink::NormalText && option.emphasis == textformat::Emphasis::None;
        table.insert(option.code, effect);
    }
    return table;
}

} // namespace vorlune::test
