#include "script/EventLists.h"

#include "base/Error.h"
#include "project/ProjectDocument.h"
#include "script/ActionCatalogue.h"

namespace vorlune::script {
void EventLists::EventListClear()
{
    for (QStringList &list : m_lists)
        list.clear();
    for (QString &settings : m_settings)
        settings.clear();
}

void EventLists::DeleteEventList(const QString &id)
{
    if (const auto number = eventNumber(id)) {
        m_lists[size_t(*number)].clear();
        m_settings[size_t(*number)].clear();
    }
}

void EventLists::SaveEventList(const QString &id, const QStringList &view)
{
    if (const auto number = eventNumber(id))
        m_lists[size_t(*number)] = view;
}

QStringList EventLists::EventListOpen(const QString &id) const
{
    const auto number = eventNumber(id);
    return number ? m_lists[size_t(*number)] : QStringList();
}

void EventLists::append(const QString &id, const QString &line)
{
    if (const auto number = eventNumber(id))
        m_lists[size_t(*number)].append(line);
}

void EventLists::setSettings(const QString &id, const QString &args)
{
    if (const auto number = eventNumber(id))
        m_settings[size_t(*number)] = args;
}

QString EventLists::settings(const QString &id) const
{
    const auto number = eventNumber(id);
    return number ? m_settings[size_t(*number)] : QString();
}

const QStringList &EventLists::lines(int number) const
{
    static const QStringList none;
    if (number < 0 || number >= kEventListCount)
        return none;
    return m_lists[size_t(number)];
}

bool EventLists::isEmpty() const
{
    for (const QStringList &list : m_lists) {
        if (!list.isEmpty())
            return false;
    }
    return true;
}

QStringList readMainScript(const project::XmlElement &mainScript, EventLists &lists)
{
    lists.EventListClear();
    QStringList eventIds;
    for (const project::XmlElement &event : mainScript.childElements()) {
        const QString id = event.name();
        if (!eventNumber(id))
            continue;
        if (!eventIds.contains(id)) {
            eventIds.append(id);
            lists.setSettings(id, event.attribute(QStringLiteral("args")));
        }
        for (const project::XmlElement &action : event.childElements()) {
            const auto actionId = parseActionId(action.attribute(QStringLiteral("id")));
            if (!actionId)
                continue;
            lists.append(id, getActionName(*actionId) + action.attribute(QStringLiteral("args")));
        }
    }
    return eventIds;
}

QStringList readMainScript(const project::ProjectDocument &document, EventLists &lists)
{
    return readMainScript(document.requireMainScript(), lists);
}

void rebuildMainScript(project::XmlElement mainScript, const QStringList &eventIds, const EventLists &lists)
{
    mainScript.removeAllChildren();
    QStringList written;
    for (const QString &id : eventIds) {
        const auto number = eventNumber(id);
        if (!number || written.contains(id))
            continue;
        const QStringList &actions = lists.lines(*number);
        if (actions.isEmpty())
            continue;
        written.append(id);
        project::XmlElement event = mainScript.appendChildElement(id);
        if (const QString settings = lists.settings(id); !settings.isEmpty())
            event.setAttribute(QStringLiteral("args"), settings);
        for (const QString &line : actions) {
            project::XmlElement action = event.appendChildElement(QStringLiteral("actn"));
            action.setAttribute(QStringLiteral("id"), QString::number(getActionId(line)));
            action.setAttribute(QStringLiteral("args"), actionLineBlock(line));
        }
    }
}

void rebuildMainScript(project::ProjectDocument &document, const QStringList &eventIds, const EventLists &lists)
{
    rebuildMainScript(document.requireMainScript(), eventIds, lists);
}

} // namespace vorlune::script
