#include "support/SharedInputs.h"

#include "support/TestEnvironment.h"
#include "testrun/Installer.h"

#include <QDir>

namespace vorlune::test {

QString makeOldServer(const QString &home, unsigned parts)
{
    const QString server = home + testrun::kTestServerFolder;
    QDir().mkpath(server);
    if (parts & OldPhp) {
        QDir().mkpath(server + QStringLiteral("bin/php"));
        QDir().mkpath(server + QStringLiteral("bin/lib/deep"));
        writeFile(server + QStringLiteral("bin/php/php"), "old launcher");
        writeFile(server + QStringLiteral("bin/lib/deep/old.so"), "old library");
    }
    if (parts & OldCore) {
        QDir().mkpath(server + QStringLiteral("worlds/world"));
        writeFile(server + testrun::kCoreFileName, "old core");
        writeFile(server + testrun::kServerSettingsFileName, "settings: old\n");
        writeFile(server + QStringLiteral("worlds/world/level.dat"), "level");
    }
    writeFile(server + QStringLiteral("server.properties"), kOldServerProperties);
    return server;
}

} // namespace vorlune::test
