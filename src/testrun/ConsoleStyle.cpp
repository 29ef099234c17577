#include "testrun/ConsoleStyle.h"

#include <QVarLengthArray>

#include <array>

namespace vorlune::testrun {
namespace {

// A number of an SGR sequence; an empty one counts as 0.
int sgrNumber(QByteArrayView text)
{
    int value = 0;
    for (char digit : text)
        value = qMin(value * 10 + (digit - '0'), 1 << 20);
    return value;
}

std::optional<ConsoleColour> rgb(int red, int green, int blue)
{
    if (red > 255 || green > 255 || blue > 255)
        return std::nullopt;
    return ConsoleColour{red, green, blue};
}

} // namespace

ConsoleColour paletteColour(int index)
{
    // The common terminal defaults: normal colours first, then the bright ones.
    static constexpr std::array<ConsoleColour, 16> named{{{0, 0, 0},
                                                          {205, 0, 0},
                                                          {0, 205, 0},
                                                          {205, 205, 0},
                                                          {0, 0, 238},
                                                          {205, 0, 205},
                                                          {0, 205, 205},
                                                          {229, 229, 229},
                                                          {127, 127, 127},
                                                          {255, 0, 0},
                                                          {0, 255, 0},
                                                          {255, 255, 0},
                                                          {92, 92, 255},
                                                          {255, 0, 255},
                                                          {0, 255, 255},
                                                          {255, 255, 255}}};
    if (index < 16)
        return named[size_t(qMax(index, 0))];
    if (index < 232) {
        static constexpr std::array<int, 6> levels{0, 95, 135, 175, 215, 255};
        const int cube = index - 16;
        return {levels[size_t(cube / 36)], levels[size_t(cube / 6 % 6)], levels[size_t(cube % 6)]};
    }
    const int grey = 8 + 10 * (qMin(index, 255) - 232);
    return {grey, grey, grey};
}

void applySgr(ConsoleStyle &style, QByteArrayView parameters)
{
    for (char c : parameters) {
        // Private modes ("?") and the colon forms are not styles we know.
        if (!(c >= '0' && c <= '9') && c != ';')
            return;
    }
    QVarLengthArray<int, 16> values;
    for (qsizetype start = 0;;) {
        const qsizetype separator = parameters.indexOf(';', start);
        values.append(sgrNumber(parameters.sliced(start, (separator < 0 ? parameters.size() : separator) - start)));
        if (separator < 0)
            break;
        start = separator + 1;
    }

    for (qsizetype i = 0; i < values.size(); ++i) {
        const int value = values[i];
        if (value == 38 || value == 48) {
            std::optional<ConsoleColour> colour;
            const qsizetype left = values.size() - i - 1;
            if (left >= 2 && values[i + 1] == 5) {
                if (values[i + 2] <= 255)
                    colour = paletteColour(values[i + 2]);
                i += 2;
            } else if (left >= 4 && values[i + 1] == 2) {
                colour = rgb(values[i + 2], values[i + 3], values[i + 4]);
                i += 4;
            } else {
                return; // what follows cannot be told apart from the colour's own fields
            }
            if (colour)
                (value == 38 ? style.foreground : style.background) = colour;
            continue;
        }
        if (value == 0)
            style = ConsoleStyle{};
        else if (value == 1)
            style.bold = true;
        else if (value == 22)
            style.bold = false;
        else if (value == 3)
            style.italic = true;
        else if (value == 23)
            style.italic = false;
        else if (value == 4)
            style.underline = true;
        else if (value == 24)
            style.underline = false;
        else if (value >= 30 && value <= 37)
            style.foreground = paletteColour(value - 30);
        else if (value >= 90 && value <= 97)
            style.foreground = paletteColour(value - 90 + 8);
        else if (value == 39)
            style.foreground.reset();
        else if (value >= 40 && value <= 47)
            style.background = paletteColour(value - 40);
        else if (value >= 100 && value <= 107)
            style.background = paletteColour(value - 100 + 8);
        else if (value == 49)
            style.background.reset();
    }
}

} // namespace vorlune::testrun
