#pragma once

#include <QByteArray>
#include <QtGlobal>

class QProcess;

namespace vorlune::testrun {

// A server starts processes of its own (today's core: its console reader).
// Run in a process group of its own, they can be ended with it; those that
// leave the group (setsid) still carry the group's mark in their
// environment, and come to this program, a child subreaper, once their
// parent has gone.

// Makes `process` start its program as the leader of a new process group,
// whose id is then the program's process id. The program is killed when
// the thread that starts it ends, and so with this program whatever ends
// it; a group still running when this program exits is ended then. Returns
// the group's mark. Call after setting the process's environment.
QByteArray runInOwnGroup(QProcess &process);

// Sends `signal` to every process of the group `group`. False when no
// process of it was left (or `group` is not above 1, which would name this
// program's own group or every process).
bool signalGroup(qint64 group, int signal);

// Whether a process of the group `group`, or one that carries `mark`, still
// runs. Zombies do not count.
bool groupHasLiveProcess(qint64 group, const QByteArray &mark = {});

// Kills the group `group` and every process that carries `mark`, and reaps
// those handed to this program; waits a moment for them to go. True when a
// process other than the group's leader was still running.
bool endGroup(qint64 group, const QByteArray &mark);

} // namespace vorlune::testrun
