#include "testrun/ConsoleStyle.h"

#include <array>

namespace vorlune::testrun {

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

} // namespace vorlune::testrun
