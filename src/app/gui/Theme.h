#pragma once

#include <QString>

namespace vorlune::gui {

// Loads the theme file of the program folder, when there is one, and
// applies it as the application's style sheet. While it loads the file
// carries its loading name, as the theme engine expects.
void applyThemeFrom(const QString &programFolder);

} // namespace vorlune::gui
