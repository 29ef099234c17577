#include "script/gui/ScriptEditor.h"

#include "base/Messages.h"
#include "base/gui/IconList.h"
#include "base/gui/PseudoModal.h"
#include "i18n/TextTable.h"
#include "script/ActionCatalogue.h"
#include "script/ArgumentKinds.h"
#include "script/EventRegistry.h"
#include "script/EventSettings.h"
#include "script/Fitting.h"
#include "script/gui/EventSettingsDialog.h"
#include "script/gui/PaletteItem.h"
#include "script/gui/TForm2.h"
#include "script/gui/TForm4.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTextDocument>

namespace vorlune::gui {
namespace {

constexpr int kEventIdRole = Qt::UserRole + 1;

// Tool tips render text that looks like markup as rich text; a message
// such as "<b>hi</b>" must show as typed.
QString plainToolTip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace

ScriptEditor::ScriptEditor(QWidget *area, project::ProjectSession &project, int &editorMode)
    : QObject(area), m_project(project), m_editorMode(editorMode), m_controls(area)
{
    QListWidget *actions = m_controls.sListView1;
    actions->setIconSize(QSize(24, 24));
    actions->setAcceptDrops(true);
    actions->viewport()->setAcceptDrops(true);
    actions->viewport()->installEventFilter(this);
    actions->setDragDropMode(QAbstractItemView::DropOnly);
    connect(actions, &QListWidget::itemDoubleClicked, this, [this] { sListView1DblClick(); });
    connect(m_controls.sListView2, &QListWidget::itemSelectionChanged, this, &ScriptEditor::sListView2SelectItem);
    connect(m_controls.sBitBtn3, &QPushButton::clicked, this, [this] { ClosePhpScript(true); });
    connect(m_controls.sBitBtn4, &QPushButton::clicked, this, [this] { ClosePhpScript(false); });
    connect(m_controls.sBitBtn5, &QPushButton::clicked, this, &ScriptEditor::sBitBtn5Click);
    connect(m_controls.sBitBtn6, &QPushButton::clicked, this, &ScriptEditor::sBitBtn6Click);
    connect(m_controls.sBitBtn7, &QPushButton::clicked, this, &ScriptEditor::sBitBtn7Click);
    connect(m_controls.sBitBtn8, &QPushButton::clicked, this, &ScriptEditor::sBitBtn8Click);
}

void ScriptEditor::attach(QWidget *mainWindow, TForm2 *eventDialog, TForm4 *argumentDialog)
{
    m_mainWindow = mainWindow;
    m_eventDialog = eventDialog;
    m_argumentDialog = argumentDialog;
    if (!m_settingsDialog)
        m_settingsDialog = new EventSettingsDialog(this, mainWindow);
}

void ScriptEditor::OpenPhpScript()
{
    // Read first: a document without a main script leaves the editor closed.
    const QStringList ids = script::readMainScript(m_project.document, m_lists);
    m_editorMode = 2;
    m_controls.setVisible(true);
    for (const QString &id : ids) {
        // Events outside the event table cannot be shown or chosen; their
        // lines stay out of the editor.
        if (script::getEventFromId(id).isEmpty())
            m_lists.DeleteEventList(id);
        else
            appendEvent(id);
    }
    if (m_controls.sListView2->count() > 0) {
        m_controls.sListView2->setFocus();
        m_controls.sListView2->setCurrentRow(0);
    }
    updateEventButtons();
    m_opened = content();
    Q_EMIT changed();
}

QList<QStringList> ScriptEditor::content() const
{
    QList<QStringList> events;
    for (int i = 0; i < m_controls.sListView2->count(); ++i) {
        const QString id = script::getEventId(m_controls.sListView2->item(i)->text());
        events << (QStringList{id} + m_lists.EventListOpen(id));
    }
    return events;
}

bool ScriptEditor::hasUnconfirmedChanges() const { return m_editorMode == 2 && content() != m_opened; }

void ScriptEditor::ClosePhpScript(bool save)
{
    const bool wasOpen = m_editorMode == 2;
    if (wasOpen)
        m_editorMode = 0;
    m_controls.setVisible(false);
    if (save && wasOpen) {
        QStringList ids;
        for (int i = 0; i < m_controls.sListView2->count(); ++i)
            ids << eventIdOf(m_controls.sListView2->item(i));
        script::rebuildMainScript(m_project.document, ids, m_lists);
        m_project.modified = true;
    }
    m_controls.sListView2->clear();
    m_controls.sListView1->clear();
    m_lists.EventListClear();
    m_opened.clear();
    Q_EMIT changed();
}

QListWidgetItem *ScriptEditor::appendEvent(const QString &id)
{
    auto *entry = new QListWidgetItem(m_controls.sListView2);
    setEventId(entry, id);
    return entry;
}

// Commands are captioned by their names, which the user chooses, so the
// entry keeps its id rather than having it looked up from the caption.
void ScriptEditor::setEventId(QListWidgetItem *entry, const QString &id)
{
    const int icon = script::getImageIdFromId(id);
    const QString caption = script::eventCaption(id, m_lists.settings(id));
    entry->setText(caption);
    entry->setToolTip(caption); // elided when the list is narrow
    entry->setIcon(eventIcon(icon));
    entry->setData(Qt::UserRole, icon);
    entry->setData(kEventIdRole, id);
}

QString ScriptEditor::eventIdOf(const QListWidgetItem *entry) const
{
    return entry ? entry->data(kEventIdRole).toString() : QString();
}

QString ScriptEditor::selectedEventId() const
{
    const QList<QListWidgetItem *> selected = m_controls.sListView2->selectedItems();
    return selected.isEmpty() ? QString() : eventIdOf(selected.first());
}

void ScriptEditor::sListView2SelectItem()
{
    if (m_controls.sListView2->selectedItems().isEmpty())
        m_controls.sListView1->clear();
    else
        EventListOpen(selectedEventId());
    Q_EMIT changed();
}

void ScriptEditor::EventListOpen(const QString &id)
{
    m_controls.sListView1->clear();
    for (const QString &line : m_lists.EventListOpen(id))
        writeActionLine(-1, line, script::getActionId(line) - 1);
}

void ScriptEditor::SaveEventList(const QString &id)
{
    QStringList view;
    for (int i = 0; i < m_controls.sListView1->count(); ++i)
        view << m_controls.sListView1->item(i)->text();
    m_lists.SaveEventList(id, view);
}

void ScriptEditor::writeActionLine(int index, const QString &line, int imageIndex)
{
    QListWidgetItem *entry =
        index < 0 ? new QListWidgetItem(m_controls.sListView1) : m_controls.sListView1->item(index);
    if (!entry)
        return;
    entry->setText(line);
    entry->setIcon(actionIcon(imageIndex));
    entry->setData(Qt::UserRole, imageIndex);
    // The list cuts long lines; the hint shows the whole message.
    entry->setToolTip(plainToolTip(script::readableActionLine(script::shownActionLine(line))));
}

void ScriptEditor::sBitBtn5Click() { showEventDialog(i18n::tx("TTL.ttl2")); }
void ScriptEditor::sBitBtn7Click() { showEventDialog(i18n::tx("TTL.ttl3")); }
void ScriptEditor::sBitBtn8Click() { showEventDialog(i18n::tx("TTL.ttl4")); }

void ScriptEditor::sBitBtn6Click()
{
    const QList<QListWidgetItem *> selected = m_controls.sListView2->selectedItems();
    if (selected.isEmpty())
        return;
    m_lists.DeleteEventList(eventIdOf(selected.first()));
    delete selected.first();
    // Nothing is selected now, so no line of the removed event stays editable.
    m_controls.sListView2->clearSelection();
    m_controls.sListView1->clear();
    Q_EMIT changed();
}

void ScriptEditor::showEventDialog(const QString &title)
{
    if (m_eventDialog && m_mainWindow)
        OpenFormOnCenter(m_mainWindow, m_eventDialog, title, true);
}

void ScriptEditor::showArgumentDialog(const QString &title, int lineIndex, int imageIndex)
{
    if (!m_argumentDialog || !m_mainWindow)
        return;
    m_argumentDialog->EditImageIndex = imageIndex;
    m_argumentDialog->EditLineIndex = lineIndex;
    OpenFormOnCenter(m_mainWindow, m_argumentDialog, title, true);
}

void ScriptEditor::updateEventButtons()
{
    const bool selected = !m_controls.sListView2->selectedItems().isEmpty();
    for (QPushButton *button : {m_controls.sBitBtn6, m_controls.sBitBtn7, m_controls.sBitBtn8})
        button->setEnabled(selected);
}

bool ScriptEditor::sListView1DragOver(const QMimeData *data) const
{
    return !m_controls.sListView2->selectedItems().isEmpty() && !PaletteItem::droppedName(data).isEmpty();
}

void ScriptEditor::sListView1DragDrop(const QMimeData *data)
{
    if (m_controls.sListView2->selectedItems().isEmpty())
        return;
    const auto *item = m_controls.sPageControl1->findChild<PaletteItem *>(PaletteItem::droppedName(data));
    const script::ActionRow *action = item ? script::actionRow(item->imageIndex() + 1) : nullptr;
    const script::EventRow *event = script::eventRow(selectedEventId());
    if (!action || !event)
        return;
    // What the event does not give, the action cannot use: say why.
    // The lines before it may give it a player (a guard, a loop) or end
    // the event (a wait).
    if (const QString misfit =
            script::misfit(*action, *event, script::givenAfter(*event, m_lists.EventListOpen(selectedEventId())));
        !misfit.isEmpty()) {
        Messages::show(misfit);
        return;
    }
    // A drop always appends, wherever it lands in the list.
    showArgumentDialog(item->toolTip(), -1, item->imageIndex());
}

void ScriptEditor::sListView1DblClick()
{
    const QList<QListWidgetItem *> selected = m_controls.sListView1->selectedItems();
    if (selected.size() != 1)
        return;
    const int imageIndex = selected.first()->data(Qt::UserRole).toInt();
    const auto *item =
        m_controls.sPageControl1->findChild<PaletteItem *>(QStringLiteral("sImage%1").arg(imageIndex + 1));
    if (!item)
        return;
    showArgumentDialog(item->toolTip(), m_controls.sListView1->row(selected.first()), imageIndex);
}

bool ScriptEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_controls.sListView1->viewport())
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (sListView1DragOver(drag->mimeData()))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (sListView1DragOver(drop->mimeData())) {
            drop->acceptProposedAction();
            sListView1DragDrop(drop->mimeData());
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace vorlune::gui
