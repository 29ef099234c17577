#pragma once

#include <QPushButton>

namespace vorlune::gui {

// A push button whose caption wraps onto further lines when it is wider
// than the button, as the run settings' tall buttons need.
class WrappingButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace vorlune::gui
