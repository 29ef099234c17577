#pragma once

// Builds main scripts in tests the way the script editor writes them.

#include "project/ProjectDocument.h"
#include "script/ActionCatalogue.h"

namespace vorlune::test {

inline void addAction(project::XmlElement event, const QString &id, const QString &args)
{
    project::XmlElement action = event.appendChildElement(QStringLiteral("actn"));
    action.setAttribute(QStringLiteral("id"), id);
    action.setAttribute(QStringLiteral("args"), args);
}

// A new event element holding one action of `actionId` with the message as its argument.
inline void addMessage(project::ProjectDocument &document, const QString &eventId, const QString &message,
                       const QString &actionId = QStringLiteral("1"))
{
    addAction(document.mainScript().appendChildElement(eventId), actionId, script::makeArgumentBlock({message}));
}

} // namespace vorlune::test
