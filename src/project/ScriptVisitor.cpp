#include "project/ScriptVisitor.h"

#include "project/XmlElement.h"

namespace vorlune::project {

void visitMainScript(const XmlElement &mainScript, ScriptVisitor &visitor)
{
    const QString id = QStringLiteral("id");
    const QString args = QStringLiteral("args");
    for (const XmlElement &event : mainScript.childElements()) {
        visitor.event(event.name(), event.attribute(args), event.line());
        for (const XmlElement &action : event.childElements())
            visitor.action(action.attribute(id), action.attribute(args));
    }
}

} // namespace vorlune::project
