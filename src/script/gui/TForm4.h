#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace vorlune::gui {

class ScriptEditor;
}

namespace vorlune::script {
struct ActionRow;
}

namespace vorlune::gui {

// The action argument dialog: its title names the action, and it builds the
// argument fields for that action each time it is shown. OK writes the
// action line into the script editor's action list and event list.
class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);

    void attach(ScriptEditor *editor) { m_editor = editor; }
    void applyTexts();

    // Set by the script editor before each showing.
    int EditLineIndex = -1; // line being changed; -1 appends a new line
    int EditImageIndex = 0; // icon of the written line

    void deactiveAll();
    void Timer1Timer();
    void sBitBtn2Click();
    void sBitBtn1Click();

    // The argument fields, sEdit1 first.
    QLineEdit *field(int index = 0) const { return m_edits[index]; }
    QPushButton *okButton() const { return m_ok; }
    // The "is" / "not" choice of a condition, in place of its first field.
    QComboBox *choice() const { return m_choice; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormShow();
    // The action the title names; nullptr for none.
    const script::ActionRow *editedAction() const;

    ScriptEditor *m_editor = nullptr;
    // One label and field per argument: Label1 and sEdit1, Label2 and sEdit2.
    QLabel *m_labels[2];
    QLineEdit *m_edits[2];
    QComboBox *m_choice;
    QPushButton *m_cancel;
    QPushButton *m_ok;
    QTimer *m_timer;
};

} // namespace vorlune::gui
