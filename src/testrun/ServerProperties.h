#pragma once

#include <QString>

namespace vorlune::testrun {

inline const QString kServerPropertiesFileName = QStringLiteral("server.properties");
// The settings a test server starts with, carried by the program.
inline const QString kServerPropertiesResource = QStringLiteral("standartServerCNFG1");

// Makes the test server's "server.properties" in `serverFolder` (which ends
// in "/") show the test run's name and take enough players: its "motd" and
// "max-players" lines are set, the rest is kept in its place and in the
// file's own encoding. A missing or short file (22 lines or fewer) becomes
// the carried template. A link there is read, then replaced by the file:
// what it names is never written. Throws vorlune::Error naming the file when it
// cannot be read or written; the old file then stays as it was.
void prepareServerProperties(const QString &serverFolder);

} // namespace vorlune::testrun
