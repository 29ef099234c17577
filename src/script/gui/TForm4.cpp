#include "script/gui/TForm4.h"

#include "i18n/ExtraTexts.h"
#include "i18n/TextTable.h"
#include "script/ActionCatalogue.h"
#include "script/ActionTable.h"
#include "script/EventSettings.h"
#include "script/gui/ScriptEditor.h"

#include <QCloseEvent>
#include <QComboBox>
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
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_labels{new QLabel(this), new QLabel(this)}, m_edits{new QLineEdit(this), new QLineEdit(this)},
      m_choice(new QComboBox(this)), m_cancel(new QPushButton(this)), m_ok(new QPushButton(this)),
      m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("TForm4"));
    setFixedSize(302, 142);
    for (int i = 0; i < script::kMaxArguments; ++i) {
        m_labels[i]->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        m_edits[i]->setObjectName(QStringLiteral("sEdit%1").arg(i + 1));
        // The OK state follows the fields as they change, which is what a
        // 7 ms poll would show, without polling.
        connect(m_edits[i], &QLineEdit::textChanged, this, &TForm4::Timer1Timer);
    }
    m_choice->setObjectName(QStringLiteral("sComboBox1"));
    m_cancel->setObjectName(QStringLiteral("sBitBtn1"));
    m_cancel->setGeometry(-4, 117, 157, 25);
    m_ok->setObjectName(QStringLiteral("sBitBtn2"));
    m_ok->setGeometry(159, 117, 143, 25);
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
    m_choice->clear();
    m_choice->addItem(i18n::extraText("choice_is"), QStringLiteral("is"));
    m_choice->addItem(i18n::extraText("choice_not"), QStringLiteral("not"));
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
    }
    m_choice->hide();
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
        QLineEdit *edit = m_edits[i];
        activeLabel(label);
        activeEdit(edit);
        label->setText(i18n::tx(action->labels[size_t(i)]) + QStringLiteral(" : "));
        label->adjustSize();
        label->move(8, 8 + 29 * i);
        const int left = label->x() + label->width();
        edit->setGeometry(left, 8 + 29 * i, width() - left - 8, 21);
        if (line)
            edit->setText(script::getArgumentValue(line->text(), i + 1));
        if (action->kinds[size_t(i)] == script::ArgumentKind::IsNot) {
            // A choice stores its word, whatever the language shows.
            m_choice->setGeometry(edit->geometry().adjusted(0, 0, 0, 2));
            m_choice->setCurrentIndex(qMax(0, m_choice->findData(edit->text())));
            m_choice->show();
            edit->hide();
        }
    }
    if (count > 0)
        m_edits[0]->setFocus();
    Timer1Timer();
}

void TForm4::Timer1Timer()
{
    const script::ActionRow *action = editedAction();
    if (!action)
        return;
    // A value holding the closing marker could not be read back whole, so it
    // cannot be confirmed either; the first ones must not be empty.
    bool ok = true;
    for (int i = 0; i < action->argumentCount; ++i) {
        if (action->kinds[size_t(i)] == script::ArgumentKind::IsNot)
            continue; // always one of its two words
        const QString text = m_edits[i]->text();
        ok = ok && !text.contains(script::closingMarker()) && (i >= action->requiredArguments || !text.isEmpty());
        if (action->kinds[size_t(i)] == script::ArgumentKind::Seconds)
            ok = ok && script::secondsValue(text).has_value();
    }
    m_ok->setEnabled(ok);
}

void TForm4::sBitBtn2Click()
{
    const script::ActionRow *action = editedAction();
    if (action && m_editor && m_ok->isEnabled()) {
        QStringList values;
        for (int i = 0; i < action->argumentCount; ++i)
            values << (action->kinds[size_t(i)] == script::ArgumentKind::IsNot ? m_choice->currentData().toString()
                                                                               : m_edits[i]->text());
        const QString line = script::makeActionLine(action->id, values);
        m_editor->writeActionLine(EditLineIndex, line, EditImageIndex);
        m_editor->SaveEventList(m_editor->selectedEventId());
    }
    close();
}

void TForm4::sBitBtn1Click() { close(); }

void TForm4::closeEvent(QCloseEvent *event)
{
    EditLineIndex = -1;
    QWidget::closeEvent(event);
}

} // namespace vorlune::gui
