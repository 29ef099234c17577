#pragma once

class QWidget;

namespace vorlune::gui {

// Buttons whose caption is wider than the button get a smaller font, down to
// three quarters of the window's, so every language's caption shows whole;
// one that still does not fit keeps the whole caption as its hint. Run after
// texts or sizes change.
void fitButtonTexts(QWidget *window);

} // namespace vorlune::gui
