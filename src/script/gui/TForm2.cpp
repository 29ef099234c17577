#include "script/gui/TForm2.h"

#include "base/Messages.h"
#include "base/gui/IconList.h"
#include "base/gui/PseudoModal.h"
#include "i18n/TextTable.h"
#include "script/EventRegistry.h"
#include "script/EventSettings.h"
#include "script/EventTable.h"
#include "script/gui/EventSettingsDialog.h"
#include "script/gui/ScriptEditor.h"

#include <QCursor>
#include <QHideEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

#include <algorithm>
#include <map>

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
    using C = script::EventCategory;
    categoryButton("sBitBtn1", 0, 0, 33, 0, C::Plugin);
    categoryButton("sBitBtn5", 154, 0, 33, 8, C::Entity);
    categoryButton("sBitBtn2", 0, 31, 33, 5, C::Player);
    categoryButton("sBitBtn3", 154, 31, 33, 7, C::Block);
    categoryButton("sBitBtn6", 0, 64, 31, 4, C::Inventory);
    categoryButton("sBitBtn4", 0, 95, 33, 6, C::Server);

    m_menu->setObjectName(QStringLiteral("PopupMenu1"));
    std::map<C, int> counts;
    for (const script::EventRow &row : script::eventRows())
        ++counts[row.category];
    int largest = 0;
    for (const auto &[category, count] : counts)
        largest = std::max(largest, count);
    for (int i = 0; i < largest; ++i) {
        QAction *item = m_menu->addAction(QString());
        item->setObjectName(QStringLiteral("N%1").arg(i + 1));
        // An item passes the current text of its event, not its own caption.
        connect(item, &QAction::triggered, this, [this, item] { chooseItem(item->data().toString()); });
        m_items.push_back(item);
    }
    applyTexts();
}

QPushButton *TForm2::categoryButton(const char *name, int left, int top, int height, int icon,
                                    script::EventCategory category)
{
    auto *button = new QPushButton(this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(left, top, 154, height);
    button->setIcon(eventIcon(icon));
    button->setFocusPolicy(Qt::NoFocus);
    if (category == script::EventCategory::Plugin)
        connect(button, &QPushButton::clicked, this, &TForm2::sBitBtn1Click);
    else
        connect(button, &QPushButton::clicked, this, [this, category] { openCategoryMenu(category); });
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
    openMenu({name1, name2, name3}, {ind1, ind2, ind3});
}

void TForm2::openCategoryMenu(script::EventCategory category)
{
    QStringList names;
    QList<int> icons;
    for (const script::EventRow &row : script::eventRows()) {
        if (row.category == category) {
            names << i18n::tx(row.name);
            icons << row.icon;
        }
    }
    openMenu(names, icons);
}

void TForm2::openMenu(const QStringList &names, const QList<int> &icons)
{
    for (size_t i = 0; i < m_items.size(); ++i) {
        const QString name = qsizetype(i) < names.size() ? names.at(qsizetype(i)) : QString();
        m_items[i]->setText(name);
        m_items[i]->setVisible(!name.isEmpty());
        m_items[i]->setData(script::getEventId(name));
        if (!name.isEmpty())
            m_items[i]->setIcon(eventIcon(icons.value(qsizetype(i))));
    }
    m_menu->popup(QCursor::pos());
}

void TForm2::chooseItem(const QString &id)
{
    const script::SlotKind kind = script::slotKind(id);
    if (kind == script::SlotKind::None) {
        AddEvent(script::getEventFromId(id));
        return;
    }
    // A command or timer needs its settings first; the settings dialog then
    // does what this dialog's title says.
    EventSettingsDialog *settings = m_editor ? m_editor->settingsDialog() : nullptr;
    const QString title = windowTitle();
    if (!settings || !settings->prepare(title, kind))
        return;
    m_focusEventsOnHide = false;
    close();
    OpenFormOnCenter(m_editor->mainWindow(), settings, i18n::tx(script::eventRow(id)->name), true);
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
        m_editor->appendEvent(newId);
        events->setCurrentRow(events->count() - 1);
        close();
        return;
    }
    QListWidgetItem *selected = events->currentItem();
    if (!selected || (title != i18n::tx("TTL.ttl3") && title != i18n::tx("TTL.ttl4")))
        return;
    const QString oldId = m_editor->eventIdOf(selected);
    script::EventLists &lists = m_editor->EventLists();
    for (const QString &line : lists.EventListOpen(oldId))
        lists.append(newId, line);
    if (title == i18n::tx("TTL.ttl3")) {
        lists.DeleteEventList(oldId);
        m_editor->setEventId(selected, newId);
        m_editor->EventListOpen(newId);
    } else {
        m_editor->appendEvent(newId);
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
