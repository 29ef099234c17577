#pragma once

#include <utility>

namespace vorlune::gui {

// Shows the text of the exception being handled through the message
// interface. Call from a catch block.
void showCurrentException();

// Wraps an event handler so that an error it raises is shown where it
// happens, instead of unwinding through the toolkit's own code.
template <typename Handler>
auto guarded(Handler handler)
{
    return [handler = std::move(handler)]() {
        try {
            handler();
        } catch (...) {
            showCurrentException();
        }
    };
}

} // namespace vorlune::gui
