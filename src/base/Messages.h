#pragma once

#include <QString>
#include <functional>

namespace vorlune::Messages {

// Every message box of the program goes through here. The application
// installs a sink that shows a box with an OK button; tests install a
// recorder; the headless build command prints.
using Sink = std::function<void(const QString &text)>;

void show(const QString &text);
// Installs a new sink and returns the previous one.
Sink setSink(Sink sink);

// A text from outside (a server's answer, a name from a download) can be
// of any length; a box shows at most this many characters of it.
inline constexpr qsizetype kOutsideTextLimit = 300;
// `text` cut to kOutsideTextLimit characters, the last an ellipsis.
QString shortened(const QString &text);

} // namespace vorlune::Messages
