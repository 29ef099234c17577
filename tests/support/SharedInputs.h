#pragma once

// Inputs several tests start from: the example project, the PHP pack the
// build makes, and a test server folder an earlier install left behind.

#include <QByteArray>
#include <QString>

namespace vorlune::test {

inline const QString kHelloProject = QStringLiteral(VORLUNE_SOURCE_DIR "/examples/hello.vlk");
// The 64-bit pack of the bundled site, as the build makes it.
inline const QString kBuiltPack = QStringLiteral(VORLUNE_BINARY_DIR "/site/VL-Files/BINS/linux/php7_64.zip");

// What an earlier install left in the test server folder.
enum OldServerPart : unsigned {
    OldPhp = 1,  // bin/php/php ("old launcher") and bin/lib/deep/old.so
    OldCore = 2, // the core ("old core"), its settings file and worlds/world/level.dat
};

// The server.properties every old test server folder holds.
inline const QByteArray kOldServerProperties = "motd=old\r\n";

// Fills the test server folder of `home` with the parts and
// kOldServerProperties; gives the folder (ending in "/").
QString makeOldServer(const QString &home, unsigned parts);

} // namespace vorlune::test
