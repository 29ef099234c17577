#pragma once

#include <QString>
#include <QStringList>

namespace vorlune::testrun {

// The process a server console runs: the test server's PHP with the core.
struct ConsoleCommand {
    QString program;
    QStringList arguments;
    QString workingFolder;
};

} // namespace vorlune::testrun
