#pragma once

#include "testrun/ConsoleCommand.h"
#include "testrun/RunCleanUp.h"
#include "testrun/ServerProperties.h"

#include <QString>

namespace vorlune::project {
class ProjectDocument;
}

namespace vorlune::testrun {

// Below the test server folder: what the console runs.
inline const QString kPhpBinary = QStringLiteral("bin/php/php");
inline const QString kPhpIni = QStringLiteral("bin/php/php.ini");

// Written to the program folder for the console window while it starts.
inline const QString kConsoleIconResource = QStringLiteral("ConsoleIco");
inline const QString kConsoleIconFileName = QStringLiteral("ConsoleIco.ico");

// The file the server runs, relative to `serverFolder` (which ends in "/")
// and spelt as on disk: the first of the known core names that is a file,
// names compared without regard to letter case; else the last "*.phar" in
// the folder's own order that is larger than 1,000,000 bytes; else empty.
// Links to files count as files.
QString findCoreEntry(const QString &serverFolder);

// The first of "bin/php/php", "bin/php/php.ini" that is not a file in
// `serverFolder`; empty when both are there.
QString missingPhpBinary(const QString &serverFolder);

// Below the test server folder: the plugin a run builds.
inline const QString kPluginFile = QStringLiteral("plugins/bnop.phar");

// Creates "plugins/" with its parents when missing. A failure is not
// reported: the build that writes into it reports it.
void makePluginsFolder(const QString &serverFolder);

// The path a run builds the plugin to, with "plugins/" made. A link there,
// even one that leads nowhere, is removed so the build replaces it instead
// of writing where it leads. Throws vorlune::Error when it cannot go.
QString pluginTarget(const QString &serverFolder);

// The project built into the test server in `serverFolder` as a run needs
// it: "plugins/" made, the plugin built into "plugins/bnop.phar" and
// "server.properties" prepared. A failed build has shown its messages and
// the server then starts without the plugin; an error raised in it (or
// in preparing the settings) is thrown.
void buildIntoServer(project::ProjectDocument &document, const QString &serverFolder);

// The server console's process: the test server's PHP with the core entry,
// run in the test server folder below `programFolder`.
ConsoleCommand consoleCommand(const QString &programFolder, const QString &coreEntry);

} // namespace vorlune::testrun
