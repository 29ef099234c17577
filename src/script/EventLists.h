#pragma once

#include "script/EventRegistry.h"

#include <QString>
#include <QStringList>
#include <array>

namespace vorlune::project {
class ProjectDocument;
class XmlElement;
} // namespace vorlune::project

namespace vorlune::script {

// One ordered list of action lines per event number, 0 to 100. The action
// list view of the script editor is stood in for by a plain QStringList of
// its captions. An id that gives no event number (see eventNumber) makes
// every operation a no-op and reads as an empty list.
class EventLists {
public:
    void EventListClear();
    void DeleteEventList(const QString &id);
    // Replaces the event's list with the view's lines, in order.
    void SaveEventList(const QString &id, const QStringList &view);
    // The lines the view shows for the event, in order.
    QStringList EventListOpen(const QString &id) const;

    void append(const QString &id, const QString &line);
    // The settings of a command or timer, as its element's `args` block.
    // Emptied with the event's list by EventListClear and DeleteEventList.
    void setSettings(const QString &id, const QString &args);
    QString settings(const QString &id) const;
    // Empty for a number outside 0 to 100.
    const QStringList &lines(int number) const;
    bool isEmpty() const;

private:
    std::array<QStringList, kEventListCount> m_lists;
    std::array<QString, kEventListCount> m_settings;
};

// Refills the lists from the main-script element and gives the event ids in
// the order of their first element. The lists are emptied first. An element
// that is not an event id is skipped whole; an action whose `id` is not a
// decimal number is skipped alone; a second element of the same event adds
// its lines to that event, which keeps its first place. An event's `args`
// (its settings) are kept as the first element of it has them.
QStringList readMainScript(const project::XmlElement &mainScript, EventLists &lists);
// The same from a whole document; throws vorlune::Error when it has no
// `phpscripts` or no main-script element.
QStringList readMainScript(const project::ProjectDocument &document, EventLists &lists);

// Replaces the content of the main-script element: one element per event of
// eventIds, in that order, holding one `actn` per line, with `args` when the
// event has settings. Events without lines, ids that are no event ids and
// repeated events are left out.
void rebuildMainScript(project::XmlElement mainScript, const QStringList &eventIds, const EventLists &lists);
void rebuildMainScript(project::ProjectDocument &document, const QStringList &eventIds, const EventLists &lists);

} // namespace vorlune::script
