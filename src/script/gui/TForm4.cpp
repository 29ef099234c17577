#include "script/gui/TForm4.h"

#include "i18n/TextTable.h"
#include "script/ActionCatalogue.h"
#include "script/ActionTable.h"
#include "script/ArgumentKinds.h"
#include "script/gui/ScriptEditor.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

namespace vorlune::gui {
namespace {

void deactiveLabel(QLabel *obj)
{
    obj->setGeometry(0, 0, 0, 0);
    obj->hide();
    obj->setEnabled(false);
    obj->clear();
}

void activeLabel(QLabel *obj)
{
    obj->show();
    obj->setEnabled(true);
}

void deactiveEdit(QLineEdit *obj)
{
    obj->setGeometry(0, 0, 0, 0);
    obj->hide();
    obj->setEnabled(false);
    obj->clear();
}

void activeEdit(QLineEdit *obj)
{
    obj->show();
    obj->setEnabled(true);
    obj->resize(obj->width(), 21);
}

} // namespace

TForm4::TForm4(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_labels{new QLabel(this),
                                                                                            new QLabel(this),
                                                                                            new QLabel(this)},
      m_edits{new QLineEdit(this), new QLineEdit(this), new QLineEdit(this)}, m_choices{new QComboBox(this),
                                                                                        new QComboBox(this),
                                                                                        new QComboBox(this)},
      m_cancel(new QPushButton(this)), m_ok(new QPushButton(this)), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("TForm4"));
    setFixedSize(302, 142);
    for (int i = 0; i < script::kMaxArguments; ++i) {
        m_labels[i]->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        m_edits[i]->setObjectName(QStringLiteral("sEdit%1").arg(i + 1));
        // The OK state follows the fields as they change, which is what a
        // 7 ms poll would show, without polling.
        connect(m_edits[i], &QLineEdit::textChanged, this, &TForm4::Timer1Timer);
        m_choices[i]->setObjectName(QStringLiteral("sComboBox%1").arg(i + 1));
    }
    m_cancel->setObjectName(QStringLiteral("sBitBtn1"));
    m_cancel->setGeometry(-4, 117, 157, 25);
    m_ok->setObjectName(QStringLiteral("sBitBtn2"));
    m_ok->setGeometry(159, 117, 143, 25);
    // OK is the default button; Cancel, like a dialog's buttons, takes
    // Enter itself while it has the focus.
    m_ok->setDefault(true);
    m_cancel->setAutoDefault(true);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    connect(m_cancel, &QPushButton::clicked, this, &TForm4::sBitBtn1Click);
    connect(m_ok, &QPushButton::clicked, this, &TForm4::sBitBtn2Click);
    deactiveAll();
    applyTexts();
}

void TForm4::applyTexts()
{
    m_cancel->setText(i18n::tx("BUTTONS.btn2"));
    m_ok->setText(i18n::tx("BUTTONS.btn1"));
}

const script::ActionRow *TForm4::editedAction() const
{
    const QString title = windowTitle();
    for (const script::ActionRow &row : script::actionRows()) {
        if (title == i18n::tx(row.name))
            return &row;
    }
    return nullptr;
}

void TForm4::deactiveAll()
{
    for (int i = 0; i < script::kMaxArguments; ++i) {
        deactiveLabel(m_labels[i]);
        deactiveEdit(m_edits[i]);
        m_choices[i]->setGeometry(0, 0, 0, 0);
        m_choices[i]->hide();
        m_choices[i]->clear();
    }
}

void TForm4::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FormShow();
}

// One layout per action: a label and a field per argument, one row each,
// every field starting at its label's right edge.
void TForm4::FormShow()
{
    deactiveAll();
    const script::ActionRow *action = editedAction();
    const int count = action ? action->argumentCount : 0;
    const QListWidgetItem *line =
        EditLineIndex != -1 && m_editor ? m_editor->controls().sListView1->item(EditLineIndex) : nullptr;
    for (int i = 0; i < count; ++i) {
        QLabel *label = m_labels[i];
        activeLabel(label);
        label->setText(i18n::tx(action->labels[size_t(i)]) + QStringLiteral(" : "));
        label->adjustSize();
        label->move(8, 8 + 29 * i);
        const int left = label->x() + label->width();
        const QString stored = line ? script::getArgumentValue(line->text(), i + 1) : QString();
        const std::span<const script::Choice> choices = script::choicesOf(action->kinds[size_t(i)]);
        if (choices.empty()) {
            activeEdit(m_edits[i]);
            m_edits[i]->setGeometry(left, 8 + 29 * i, width() - left - 8, 21);
            m_edits[i]->setText(stored);
            continue;
        }
        // A choice offers its names and stores its word.
        QComboBox *box = m_choices[i];
        for (const script::Choice &choice : choices)
            box->addItem(i18n::tx(choice.name), QString::fromLatin1(choice.word));
        box->setCurrentIndex(std::max(0, box->findData(stored)));
        box->setGeometry(left, 6 + 29 * i, width() - left - 8, 25);
        box->show();
    }
    if (count > 0)
        (m_choices[0]->isVisible() ? static_cast<QWidget *>(m_choices[0]) : m_edits[0])->setFocus();
    Timer1Timer();
}

void TForm4::Timer1Timer()
{
    const script::ActionRow *action = editedAction();
    if (!action)
        return;
    // A value holding the closing marker could not be read back whole, so it
    // cannot be confirmed either; the first ones must not be empty.
    // Numbers must be numbers in their range before they can be confirmed.
    bool ok = true;
    for (int i = 0; i < action->argumentCount; ++i) {
        const QString text = value(*action, i);
        ok = ok && !text.contains(script::closingMarker()) && (i >= action->requiredArguments || !text.isEmpty()) &&
             script::valueFits(action->kinds[size_t(i)], text);
    }
    m_ok->setEnabled(ok);
}

QString TForm4::value(const script::ActionRow &action, int index) const
{
    if (script::choicesOf(action.kinds[size_t(index)]).empty())
        return m_edits[index]->text();
    return m_choices[index]->currentData().toString();
}

void TForm4::sBitBtn2Click()
{
    const script::ActionRow *action = editedAction();
    if (action && m_editor && m_ok->isEnabled()) {
        QStringList values;
        for (int i = 0; i < action->argumentCount; ++i)
            values << value(*action, i);
        const QString line = script::makeActionLine(action->id, values);
        m_editor->writeActionLine(EditLineIndex, line, EditImageIndex);
        m_editor->SaveEventList(m_editor->selectedEventId());
    }
    close();
}

void TForm4::sBitBtn1Click() { close(); }

void TForm4::keyPressEvent(QKeyEvent *event)
{
    // Enter from the field presses OK, when OK may be pressed.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (m_ok->isEnabled())
            m_ok->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TForm4::closeEvent(QCloseEvent *event)
{
    EditLineIndex = -1;
    QWidget::closeEvent(event);
}

} // namespace vorlune::gui
