#include "testrun/ProcessGroup.h"

#include <QProcess>

#include <csignal>

#include <unistd.h>

namespace vorlune::testrun {

void runInOwnGroup(QProcess &process)
{
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
}

bool signalGroup(qint64 group, int signal)
{
    if (group <= 1)
        return false;
    return ::kill(-pid_t(group), signal) == 0;
}

} // namespace vorlune::testrun
