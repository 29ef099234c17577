#pragma once

#include <vector>

class QListWidget;
class QPushButton;
class QTabWidget;
class QWidget;

namespace vorlune::gui {

class PaletteItem;

// The controls of the script editor in the main window's editor area,
// hidden while the editor is closed.
struct ScriptEditorControls {
    explicit ScriptEditorControls(QWidget *area);

    void setVisible(bool visible);
    void applyTexts();

    QListWidget *sListView2;   // events
    QListWidget *sListView1;   // action lines
    QTabWidget *sPageControl1; // action palette
    QWidget *sTabSheet1;
    QWidget *Players;
    QWidget *sTabSheet2;
    PaletteItem *sImage1; // palette item of the console-message action
    // Every palette item, "sImage" + action id, in action table order.
    std::vector<PaletteItem *> paletteItems;
    QPushButton *sBitBtn3; // OK
    QPushButton *sBitBtn4; // Cancel
    QPushButton *sBitBtn5; // new event
    QPushButton *sBitBtn6; // delete
    QPushButton *sBitBtn7; // edit
    QPushButton *sBitBtn8; // duplicate
};

} // namespace vorlune::gui
