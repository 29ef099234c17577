#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "build/ActionFlow.h"
#include "project/PluginSettings.h"
#include "project/ScriptVisitor.h"
#include "script/EventSettings.h"

namespace vorlune::script {
struct ActionRow;
struct EventRow;
} // namespace vorlune::script

namespace vorlune::project {
class ProjectDocument;
class XmlElement;
} // namespace vorlune::project

namespace vorlune::build {

struct MainSplit {
    QString nameSpace;
    QString className;
};

using project::PluginSettings;

struct GeneratedPlugin {
    QByteArray pluginYml;
    // Relative to the compile folder, "/" separators, e.g. "src/Plugin/Main.php".
    QString classFilePath;
    QByteArray mainClass;
    QList<QPair<QString, QString>> params;
};

// Namespace: main up to its last backslash; class name: the rest. Without a
// backslash both are the whole setting.
MainSplit splitMain(const QString &main);
// Each value plain, or double-quoted when YAML would not read it back as typed.
QStringList makePluginYml(const PluginSettings &settings);
// Collects the main class's methods as the main script is told: events in
// the order of their first element. Elements that name no event of the
// registry are left out with their actions; a repeated event adds its
// actions to the first one, since PHP refuses a method declared twice. The
// script editor reads such files the same way. Actions outside the
// catalogue are left out. Commands of the plugin's own go into one
// onCommand, timers are scheduled in onEnable; one whose settings are
// missing or broken, or a command name used twice, stops the build.
class MainClassWriter final : public project::ScriptVisitor {
public:
    void event(const QString &name, const QString &args, int line) override;
    void action(const QString &id, const QString &args) override;
    // The whole class, as joinLines writes lines. An api whose first number
    // is 4 or more gets "() : void{" lifecycle method lines. With a
    // listener event the class is the plugin's listener, registered first
    // thing in onEnable. Throws vorlune::Error naming every action or event
    // the api's server cannot run there.
    QByteArray mainClass(const QString &nameSpace, const QString &className, const QString &api) const;
    // The commands, in script order, each once.
    std::vector<script::CommandSettings> commands() const;

private:
    struct EventBody {
        const script::EventRow *row;
        QString id;
        QString settings; // of the first element of the event
        std::vector<ActionPiece> pieces;
    };
    void writeTimers(QByteArray &bytes, script::Api api, QStringList &faults) const;
    void writeCommands(QByteArray &bytes, script::Api api, QStringList &faults) const;

    std::vector<EventBody> m_events;
    qsizetype m_current = -1;
    // Settings faults, with their lines: they stop the build whatever the api.
    QStringList m_faults;
};

// plugin.yml's commands and permissions sections: each command needs its
// permission declared, or servers of API 4 and 5 refuse the plugin. None
// without commands.
QStringList makeCommandSections(const QString &pluginName, const std::vector<script::CommandSettings> &commands);
// The permission of a command: the plugin name in lower case with "_" for
// spaces, ".command.", the command name.
QString commandPermission(const QString &pluginName, const QString &command);

QByteArray makeMainClass(const QString &nameSpace, const QString &className, const project::XmlElement &mainScript,
                         const QString &api = {});
// The number the ASCII digits at the start of text make (capped past
// 100,000,000), if it starts with one.
std::optional<int> leadingNumber(QStringView text);
// The number the api starts with, if it starts with ASCII digits.
std::optional<int> apiMajorVersion(const QString &api);
// Whether servers of this api declare the event methods with ": void".
bool declaresVoidReturns(const QString &api);
QList<QPair<QString, QString>> makeParams(const PluginSettings &settings);

// UTF-8 without byte order mark, CR LF after every line.
QByteArray joinLines(const QStringList &lines);

// "src/" + namespace folders + "/" + class + ".php". A main class PHP or
// the server cannot load is refused (vorlune::Error, the text in the
// interface language): see mainClassFault. Whatever passes stays inside the
// compile folder, since PHP names hold no "." or "/".
QString classFilePath(const QString &main);

// Reads the document (adding `settings` when missing, as every reader of
// it does). Throws vorlune::Error when the document has no root element,
// no `phpscripts`, no main-script element, or an unusable main class.
GeneratedPlugin generatePlugin(project::ProjectDocument &document);
// The plugin of these settings and this main class; throws vorlune::Error
// for an unusable main class.
GeneratedPlugin generatePlugin(const PluginSettings &settings, const MainClassWriter &script);

} // namespace vorlune::build
