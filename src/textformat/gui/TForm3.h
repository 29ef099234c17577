#pragma once

#include "textformat/FormatCodes.h"

#include <QWidget>

#include <array>

class QButtonGroup;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace vorlune::gui {

// The MCPE text format dialog: picks a colour or style and copies its
// format code to the clipboard. A top-level, top-most window with no owner,
// so it stays usable beside the pseudo-modal dialogs and is not minimised
// with the main window.
class TForm3 : public QWidget {
    Q_OBJECT
public:
    TForm3();

    // Puts the current localized texts into the controls.
    void applyTexts();

    // Copies the chosen option's code; with nothing chosen the clipboard is left alone.
    void sBitBtn1Click();

private:
    QGroupBox *sRadioGroup1 = nullptr;
    std::array<QRadioButton *, textformat::kFormatOptionCount> m_buttons{};
    std::array<int, textformat::kFormatOptionCount> m_defaultWidths{};
    QButtonGroup *m_group = nullptr;
    QPushButton *sBitBtn1 = nullptr;
};

} // namespace vorlune::gui
