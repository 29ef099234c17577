#pragma once

#include <QStringList>

#include "project/PluginSettings.h"
#include "project/ScriptVisitor.h"
#include "script/Fitting.h"

#include <utility>
#include <vector>

namespace vorlune::script {
struct EventRow;
} // namespace vorlune::script

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

// The messages' part, found as the main script is told: also the actions
// that do not fit their event, events and actions the api lacks, and
// placeholders that stay as typed.
class MessageCheck final : public project::ScriptVisitor {
public:
    void event(const QString &name, const QString &args, int line) override;
    void action(const QString &id, const QString &args) override;
    // For the api of the settings, which a file may name after its script.
    QStringList findings(const QString &api) const;

private:
    void add(const QString &text, unsigned apis = kAllApis);
    void addPrinting(const QString &text);
    static constexpr unsigned kAllApis = 7; // one bit per API column

    // Elements that name no event are never generated.
    const script::EventRow *m_event = nullptr;
    QString m_eventName;
    script::Reach m_reach;  // what the actions so far of the event changed
    QStringList m_commands; // names in lower case, and the ids of their events
    QStringList m_commandIds;
    std::vector<std::pair<QString, unsigned>> m_findings;
};

// The same for the document; a document without a main script gets the
// settings checked only.
QStringList checkPlugin(project::ProjectDocument &document);

} // namespace vorlune::build
