#include "script/gui/TForm4.h"

#include "i18n/TextTable.h"
#include "script/ActionCatalogue.h"
#include "script/gui/ScriptEditor.h"

#include <QCloseEvent>
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
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_label(new QLabel(this)),
      m_edit(new QLineEdit(this)), m_cancel(new QPushButton(this)), m_ok(new QPushButton(this)),
      m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("TForm4"));
    setFixedSize(302, 142);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_edit->setObjectName(QStringLiteral("sEdit1"));
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
    // The OK state follows the field as it changes, which is what a 7 ms
    // poll would show, without polling.
    connect(m_edit, &QLineEdit::textChanged, this, &TForm4::Timer1Timer);
    deactiveAll();
    applyTexts();
}

void TForm4::applyTexts()
{
    m_cancel->setText(i18n::tx("BUTTONS.btn2"));
    m_ok->setText(i18n::tx("BUTTONS.btn1"));
}

bool TForm4::editsMessage() const { return windowTitle() == i18n::tx("FNCT.fnct1"); }

void TForm4::deactiveAll()
{
    deactiveLabel(m_label);
    deactiveEdit(m_edit);
}

void TForm4::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FormShow();
}

void TForm4::FormShow()
{
    deactiveAll();
    if (editsMessage()) {
        activeLabel(m_label);
        activeEdit(m_edit);
        m_label->setText(i18n::tx("VLS.vls1") + QStringLiteral(" : "));
        m_label->adjustSize();
        m_label->move(8, 8);
        const int left = m_label->x() + m_label->width();
        m_edit->setGeometry(left, 8, width() - left - 8, 21);
        m_edit->setFocus();
        if (EditLineIndex != -1 && m_editor) {
            if (QListWidgetItem *line = m_editor->controls().sListView1->item(EditLineIndex))
                m_edit->setText(script::getArgumentValue(line->text(), 1));
        }
    }
    Timer1Timer();
}

void TForm4::Timer1Timer()
{
    if (!editsMessage())
        return;
    // A value holding the closing marker could not be read back whole, so it
    // cannot be confirmed either.
    const QString text = m_edit->text();
    m_ok->setEnabled(!text.isEmpty() && !text.contains(script::closingMarker()));
}

void TForm4::sBitBtn2Click()
{
    if (editsMessage() && m_editor && m_ok->isEnabled()) {
        const QString line = script::makeActionLine(1, {m_edit->text()});
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
