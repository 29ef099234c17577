#include "app/ConsoleFormatCodes.h"

#include "textformat/FormatCodes.h"

namespace vorlune::app {

testrun::FormatCodeTable consoleFormatCodes(testrun::ConsoleColour frameColour)
{
    using textformat::Emphasis;
    using textformat::Ink;
    testrun::FormatCodeTable table;
    for (const textformat::FormatOption &option : textformat::formatOptions()) {
        testrun::FormatCodeEffect effect;
        if (option.ink == Ink::Fixed)
            effect.colour = testrun::ConsoleColour{option.rgb.red, option.rgb.green, option.rgb.blue};
        else if (option.ink == Ink::WindowFrame)
            effect.colour = frameColour;
        effect.bold = option.emphasis == Emphasis::Bold;
        effect.italic = option.emphasis == Emphasis::Italic;
        // The option that only names plain text is the reset.
        effect.reset = option.ink == Ink::NormalText && option.emphasis == Emphasis::None;
        table.insert(option.code, effect);
    }
    return table;
}

} // namespace vorlune::app
