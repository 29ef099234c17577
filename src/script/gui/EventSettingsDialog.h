#pragma once

#include "script/EventSettings.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidgetItem;
class QPushButton;

namespace vorlune::gui {

class ScriptEditor;

// Asks for the settings of a command (name, description, usage, who may
// run it) or a timer (its period), then adds, changes or duplicates the
// event as the event dialog's title said. The event takes the lowest free
// id of its kind; changing a command or timer into one of its kind keeps
// its id and changes its settings.
class EventSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit EventSettingsDialog(ScriptEditor *editor, QWidget *parent = nullptr);

    // Prepares the fields for the operation the event dialog's title names
    // (add, change, duplicate). False, after telling the user, when no id of
    // that kind is free.
    bool prepare(const QString &operation, script::SlotKind kind);
    void applyTexts();

    QLineEdit *field(int index) const { return m_edits[index]; }
    QComboBox *whoBox() const { return m_who; }
    QLabel *problemLabel() const { return m_problem; }
    QPushButton *okButton() const { return m_ok; }
    void sBitBtn2Click();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Why the typed settings cannot be taken; empty when they can.
    QString problem() const;
    void updateOk();
    QString typedSettings() const;

    ScriptEditor *m_editor;
    QString m_operation;
    script::SlotKind m_kind = script::SlotKind::None;
    QString m_id;     // the event that gets the settings
    QString m_fromId; // the selected event, for change and duplicate
    QLabel *m_labels[4];
    QLineEdit *m_edits[3];
    QComboBox *m_who;
    QLabel *m_problem;
    QPushButton *m_cancel;
    QPushButton *m_ok;
};

} // namespace vorlune::gui
