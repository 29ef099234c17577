#pragma once

#include "project/PluginSettings.h"
#include "project/ScriptVisitor.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace vorlune::project {

// What a project file holds besides its main script's content.
struct ProjectOutline {
    // From the first `settings` child of the root; all empty without one.
    PluginSettings settings;
    bool hasPhpscripts = false;
    bool hasMainScript = false;
};

// Reads a project file front to back without keeping its tree, as
// ProjectDocument::fromBytes would read it: the same refusals and messages
// (vorlune::Error), the same elements found. The main script's content goes
// to the visitor while the file is parsed, so a file refused later has
// already told part of it. A file with a DOCTYPE is not read (nullopt):
// only the document checks what its entities expand to.
std::optional<ProjectOutline> scanProject(const QByteArray &bytes, const QString &sourceName, ScriptVisitor &visitor);

// Throws what scanProject would for a file the parser refuses, without
// looking at its elements; the attribute count is not checked here.
void refuseIfParserRefuses(const QByteArray &bytes, const QString &sourceName);

} // namespace vorlune::project
