#pragma once

#include "project/ProjectSession.h"
#include "script/EventLists.h"
#include "script/gui/ScriptEditorControls.h"

#include <QObject>

class QListWidgetItem;
class QMimeData;

namespace vorlune::gui {

class EventSettingsDialog;
class TForm2;
class TForm4;

// The script editor: events and their action lines of the main script,
// edited as copies in the main window and written back on OK.
class ScriptEditor : public QObject {
    Q_OBJECT
public:
    ScriptEditor(QWidget *area, project::ProjectSession &project, int &editorMode);

    // The dialogs it opens, and the window they are centred over.
    void attach(QWidget *mainWindow, TForm2 *eventDialog, TForm4 *argumentDialog);

    ScriptEditorControls &controls() { return m_controls; }
    script::EventLists &EventLists() { return m_lists; }

    void OpenPhpScript();
    void ClosePhpScript(bool save);
    // Open, with events or lines that differ from what it opened with.
    bool hasUnconfirmedChanges() const;
    void sListView2SelectItem();
    void sBitBtn5Click();
    void sBitBtn6Click();
    void sBitBtn7Click();
    void sBitBtn8Click();
    bool sListView1DragOver(const QMimeData *data) const;
    void sListView1DragDrop(const QMimeData *data);
    void sListView1DblClick();
    // Delete, Edit and Duplicate are enabled exactly while an event is selected.
    void updateEventButtons();

    QWidget *mainWindow() const { return m_mainWindow; }
    // Asks for a command's or timer's settings; made with the main window.
    EventSettingsDialog *settingsDialog() const { return m_settingsDialog; }

    // The event list view: each entry keeps its event id; its caption is the
    // display name, or for a command or timer what its settings say.
    QListWidgetItem *appendEvent(const QString &id);
    void setEventId(QListWidgetItem *entry, const QString &id);
    QString eventIdOf(const QListWidgetItem *entry) const;
    QString selectedEventId() const;
    // Model and view of the action lines of one event.
    void EventListOpen(const QString &id);
    void SaveEventList(const QString &id);
    // Sets an action list entry's caption and icon (a new one at the end for -1).
    void writeActionLine(int index, const QString &line, int imageIndex);

Q_SIGNALS:
    void changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showEventDialog(const QString &title);
    void showArgumentDialog(const QString &title, int lineIndex, int imageIndex);
    // Each event of the list with its lines: its id first.
    QList<QStringList> content() const;

    project::ProjectSession &m_project;
    int &m_editorMode; // 0 none, 1 settings editor, 2 script editor
    ScriptEditorControls m_controls;
    script::EventLists m_lists;
    QWidget *m_mainWindow = nullptr;
    TForm2 *m_eventDialog = nullptr;
    TForm4 *m_argumentDialog = nullptr;
    EventSettingsDialog *m_settingsDialog = nullptr;
    QList<QStringList> m_opened; // content() as the editor opened
};

} // namespace vorlune::gui
