#pragma once

#include <QStringList>

#include "project/PluginSettings.h"
#include "project/ScriptVisitor.h"

namespace vorlune::project {
class ProjectDocument;
class XmlElement;
} // namespace vorlune::project

namespace vorlune::build {

// What a server would refuse or mishandle in the plugin built from these
// settings and this main script, and what would print other than typed:
// one line per finding, in the interface language, in the order name, main,
// api, load order, then the messages in script order. Empty when nothing
// was found. Only a main class PHP cannot load also stops the build.
QStringList checkPlugin(const project::PluginSettings &settings, const project::XmlElement &mainScript);
// The settings' part of the findings, in the order above.
QStringList checkSettings(const project::PluginSettings &settings);

// The messages' part, found as the main script is told.
class MessageCheck final : public project::ScriptVisitor {
public:
    void event(const QString &name) override;
    void action(const QString &id, const QString &args) override;
    const QStringList &findings() const { return m_findings; }

private:
    // Elements that name no event are never generated.
    bool m_generated = false;
    QString m_eventName;
    QStringList m_findings;
};

// The same for the document; a document without a main script gets the
// settings checked only.
QStringList checkPlugin(project::ProjectDocument &document);

} // namespace vorlune::build
