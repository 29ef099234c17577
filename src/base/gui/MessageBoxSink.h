#pragma once

namespace vorlune::gui {

// Routes the message interface to modal message boxes with an OK button.
void installMessageBoxSink();

} // namespace vorlune::gui
