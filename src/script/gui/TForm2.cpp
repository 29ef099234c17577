#include "script/gui/TForm2.h"

#include "base/Messages.h"
#include "base/gui/IconList.h"
#include "i18n/TextTable.h"
#include "script/EventRegistry.h"
#include "script/gui/ScriptEditor.h"

#include <QCursor>
#include <QHideEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

namespace vorlune::gui {
namespace {

bool CaptionExists(const QListWidget *list, const QString &caption)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == caption)
            return true;
    }
    return false;
}

} // namespace

TForm2::TForm2(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_menu(new QMenu(this))
{
    setObjectName(QStringLiteral("TForm2"));
    setFixedSize(307, 126);
    QPushButton *plugin = categoryButton("sBitBtn1", 0, 0, 33, 0);
    categoryButton("sBitBtn5", 154, 0, 33, 8);
    categoryButton("sBitBtn2", 0, 31, 33, 5);
    categoryButton("sBitBtn3", 154, 31, 33, 7);
    categoryButton("sBitBtn6", 0, 64, 31, 4);
    categoryButton("sBitBtn4", 0, 95, 33, 6);
    connect(plugin, &QPushButton::clicked, this, &TForm2::sBitBtn1Click);

    m_menu->setObjectName(QStringLiteral("PopupMenu1"));
    const char *names[] = {"N1", "N2", "N3"};
    for (int i = 0; i < 3; ++i) {
        m_items[i] = m_menu->addAction(QString());
        m_items[i]->setObjectName(QLatin1String(names[i]));
    }
    // The items pass the current texts, not their own captions.
    connect(m_items[0], &QAction::triggered, this, [this] { AddEvent(i18n::tx("EVNT.evnt1")); });
    connect(m_items[1], &QAction::triggered, this, [this] { AddEvent(i18n::tx("EVNT.evnt2")); });
    connect(m_items[2], &QAction::triggered, this, [this] { AddEvent(i18n::tx("EVNT.evnt3")); });
    applyTexts();
}

QPushButton *TForm2::categoryButton(const char *name, int left, int top, int height, int icon)
{
    auto *button = new QPushButton(this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(left, top, 154, height);
    button->setIcon(eventIcon(icon));
    button->setFocusPolicy(Qt::NoFocus);
    // Only plugin events exist; the other categories carry none.
    if (qstrcmp(name, "sBitBtn1") != 0)
        button->setEnabled(false);
    return button;
}

void TForm2::applyTexts()
{
    using i18n::tx;
    const std::pair<const char *, QString> captions[] = {
        {"sBitBtn1", tx("BUTTONS.btn7")},  {"sBitBtn5", tx("BUTTONS.btn11")}, {"sBitBtn2", tx("BUTTONS.btn8")},
        {"sBitBtn3", tx("BUTTONS.btn12")}, {"sBitBtn6", tx("BUTTONS.btn9")},  {"sBitBtn4", tx("BUTTONS.btn10")}};
    for (const auto &[name, text] : captions)
        findChild<QPushButton *>(QLatin1String(name))->setText(text);
}

void TForm2::sBitBtn1Click()
{
    PopupMenuOpen(i18n::tx("EVNT.evnt1"), i18n::tx("EVNT.evnt2"), i18n::tx("EVNT.evnt3"), 1, 3, 2);
}

void TForm2::PopupMenuOpen(const QString &name1, const QString &name2, const QString &name3, int ind1, int ind2,
                           int ind3)
{
    const QString names[] = {name1, name2, name3};
    const int icons[] = {ind1, ind2, ind3};
    for (int i = 0; i < 3; ++i) {
        m_items[i]->setText(names[i]);
        m_items[i]->setVisible(!names[i].isEmpty());
        if (!names[i].isEmpty())
            m_items[i]->setIcon(eventIcon(icons[i]));
    }
    m_menu->popup(QCursor::pos());
}

void TForm2::AddEvent(const QString &str)
{
    if (!m_editor)
        return;
    QListWidget *events = m_editor->controls().sListView2;
    m_focusEventsOnHide = true;
    if (CaptionExists(events, str)) {
        Messages::show(i18n::tx("MSG.msg6"));
        return;
    }
    const QString title = windowTitle();
    const QString newId = script::getEventId(str);
    if (title == i18n::tx("TTL.ttl2")) {
        m_editor->appendEvent(str);
        events->setCurrentRow(events->count() - 1);
        close();
        return;
    }
    QListWidgetItem *selected = events->currentItem();
    if (!selected || (title != i18n::tx("TTL.ttl3") && title != i18n::tx("TTL.ttl4")))
        return;
    const QString oldId = script::getEventId(selected->text());
    script::EventLists &lists = m_editor->EventLists();
    for (const QString &line : lists.EventListOpen(oldId))
        lists.append(newId, line);
    if (title == i18n::tx("TTL.ttl3")) {
        lists.DeleteEventList(oldId);
        m_editor->setEventCaption(selected, str);
        m_editor->EventListOpen(newId);
    } else {
        m_editor->appendEvent(str);
        events->setCurrentRow(events->count() - 1);
    }
    close();
}

void TForm2::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // While the dialog is up the main window is disabled and refuses the
    // focus; by the time the dialog hides, its close has enabled it again.
    if (m_focusEventsOnHide && m_editor && !event->spontaneous()) {
        m_focusEventsOnHide = false;
        m_editor->controls().sListView2->setFocus(Qt::OtherFocusReason);
    }
}

} // namespace vorlune::gui
