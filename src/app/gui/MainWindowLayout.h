#pragma once

class QPushButton;
class QTableWidget;
class QTreeWidget;
class QWidget;

namespace vorlune::gui {

struct ScriptEditorControls;

// The controls the main window places by hand, W and H being its width and
// height.
struct MainWindowLayout {
    QWidget *sPanel2;
    QWidget *sPanel1;
    QWidget *sSplitter1;
    QTreeWidget *sTreeView1;
    QTableWidget *ValueListEditor1;
    QPushButton *sBitBtn1;
    QPushButton *sBitBtn2;
    const ScriptEditorControls *script;

    // Applies the placement rules in their fixed order. A rule that reads a
    // value set by a later rule sees the value of the previous run, so the
    // layout settles at the second run.
    void RecizeChange(int W, int H) const;
};

} // namespace vorlune::gui
