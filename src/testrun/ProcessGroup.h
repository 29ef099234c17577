#pragma once

#include <QtGlobal>

class QProcess;

namespace vorlune::testrun {

// A server starts processes of its own (today's core: its console reader).
// Run in a process group of its own, they can be ended with it.

// Makes `process` start its program as the leader of a new process group,
// whose id is then the program's process id.
void runInOwnGroup(QProcess &process);

// Sends `signal` to every process of the group `group`. False when no
// process of it was left (or `group` is not above 1, which would name this
// program's own group or every process).
bool signalGroup(qint64 group, int signal);

} // namespace vorlune::testrun
