#include "testrun/ServerProcess.h"

#include "base/Descriptor.h"
#include "testrun/ProcessGroup.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace vorlune::testrun {
namespace {

constexpr int kShutDownWaitMs = 3000;

// State and process group of the process whose "/proc/<pid>/stat" is in
// `stat`; false when it does not read.
bool readStat(const char *stat, char &state, long &group)
{
    // The name in parentheses may hold anything, ")" included.
    const char *nameEnd = std::strrchr(stat, ')');
    if (!nameEnd)
        return false;
    long parent = 0;
    return std::sscanf(nameEnd + 1, " %c %ld %ld", &state, &parent, &group) == 3;
}

bool processOfGroupLives(const char *pid, long group)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%s/stat", pid);
    const base::Descriptor file(::open(path, O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        return false;
    char stat[512];
    const ssize_t size = ::read(file.get(), stat, sizeof stat - 1);
    if (size <= 0)
        return false;
    stat[size] = '\0';
    char state = 0;
    long found = 0;
    return readStat(stat, state, found) && found == group && state != 'Z' && state != 'X';
}

} // namespace

bool groupHasLiveProcess(qint64 group)
{
    if (group <= 1)
        return false;
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return signalGroup(group, 0) || errno == EPERM;
    bool found = false;
    while (const dirent *entry = ::readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        if (processOfGroupLives(entry->d_name, long(group))) {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}

ServerProcess::ServerProcess(const ConsoleCommand &command, QObject *parent) : QObject(parent)
{
    m_process.setProgram(command.program);
    m_process.setArguments(command.arguments);
    m_process.setWorkingDirectory(command.workingFolder);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    runInOwnGroup(m_process);
    m_killTimer.setSingleShot(true);
    m_leftoverTimer.setSingleShot(true);
    m_leftoverTimer.setInterval(kLeftoverGraceMs);

    connect(&m_process, &QProcess::started, this, [this] { m_state = State::Running; });
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &ServerProcess::readOutput);
    connect(&m_process, &QProcess::finished, this, &ServerProcess::serverFinished);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // A crash is told by finished(); write errors mean the server stopped
        // reading, which it is free to do.
        if (error != QProcess::FailedToStart)
            return;
        m_state = State::Ended;
        Q_EMIT failedToStart(m_process.errorString());
    });
    connect(&m_killTimer, &QTimer::timeout, this, &ServerProcess::kill);
    connect(&m_leftoverTimer, &QTimer::timeout, this, &ServerProcess::endLeftovers);
}

ServerProcess::~ServerProcess() { shutDownNow(); }

void ServerProcess::start()
{
    if (m_state != State::Idle)
        return;
    m_state = State::Starting;
    m_process.start(QIODevice::ReadWrite);
    // Known once forked; the program may not have been started yet.
    m_group = m_process.processId();
}

bool ServerProcess::serverUp() const { return m_state == State::Starting || m_state == State::Running; }

void ServerProcess::write(const QByteArray &bytes)
{
    // While it starts, the process keeps what is written for it.
    if (serverUp())
        m_process.write(bytes);
}

void ServerProcess::stop(int killDelayMs)
{
    if (!serverUp() || m_stopSent)
        return;
    m_stopSent = true;
    m_process.write("stop\n");
    m_killTimer.start(killDelayMs);
}

void ServerProcess::kill()
{
    if (serverUp()) {
        m_end.killed = true;
        if (!signalGroup(m_group, SIGKILL))
            m_process.kill();
    } else if (m_state == State::Ending) {
        m_leftoverTimer.stop();
        endLeftovers();
    }
}

void ServerProcess::shutDownNow()
{
    if (!running())
        return;
    m_process.disconnect(this);
    m_killTimer.stop();
    m_leftoverTimer.stop();
    const bool serverRuns = serverUp();
    m_state = State::Ended;
    // Once the group is empty its number may be given to another one.
    if (serverRuns || groupHasLiveProcess(m_group))
        signalGroup(m_group, SIGKILL);
    if (serverRuns) {
        // Should the group not be formed yet, the server at least goes.
        m_process.kill();
        m_process.waitForFinished(kShutDownWaitMs);
    }
}

void ServerProcess::readOutput()
{
    const QByteArray bytes = m_process.readAllStandardOutput();
    if (!bytes.isEmpty())
        Q_EMIT output(bytes);
}

void ServerProcess::serverFinished(int exitCode, QProcess::ExitStatus status)
{
    readOutput();
    m_killTimer.stop();
    m_end.exitCode = exitCode;
    m_end.crashed = status == QProcess::CrashExit;
    m_state = State::Ending;
    // What the server started may still be on its way out: it gets a moment.
    if (groupHasLiveProcess(m_group))
        m_leftoverTimer.start();
    else
        finish();
}

void ServerProcess::endLeftovers()
{
    if (groupHasLiveProcess(m_group)) {
        signalGroup(m_group, SIGKILL);
        m_end.childrenKilled = !m_end.killed;
    }
    finish();
}

void ServerProcess::finish()
{
    m_state = State::Ended;
    Q_EMIT ended(m_end);
}

} // namespace vorlune::testrun
