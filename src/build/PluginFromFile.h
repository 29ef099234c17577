#pragma once

#include "build/CodeGenerator.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace vorlune::build {

// What checkPlugin and generatePlugin make of a project file.
struct PluginFromFile {
    QStringList findings;
    // When asked for and the project makes one.
    std::optional<GeneratedPlugin> plugin;
    // Why it makes none, when asked for.
    QString refusal;
};

// Reads the project file once, front to back, without keeping its tree, so
// a project of a million actions costs little more than its file and its
// main class. Only a file with a DOCTYPE is opened as a whole document.
// Throws vorlune::Error as ProjectDocument::fromFile does.
PluginFromFile readPlugin(const QString &path, bool generate);

} // namespace vorlune::build
