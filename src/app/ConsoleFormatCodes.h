#pragma once

#include "testrun/ConsoleStyle.h"

namespace vorlune::app {

// The "§" codes of the server console, coloured as the text format dialog
// shows them; the one drawn in the window-frame colour takes frameColour.
testrun::FormatCodeTable consoleFormatCodes(testrun::ConsoleColour frameColour);

} // namespace vorlune::app
