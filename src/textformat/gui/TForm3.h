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
    // Where the controls stand, in client coordinates: the options fill the
    // columns top to bottom, kButtonsPerColumn to a column.
    static constexpr int kClientWidth = 473;
    static constexpr int kClientHeight = 153;
    static constexpr int kButtonHeight = 19;
    static constexpr int kColumnLefts[] = {8, 200, 359};
    static constexpr int kRowTops[] = {0, 17, 34, 50, 67, 85, 102, 120};
    static constexpr int kButtonsPerColumn = 8;

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
