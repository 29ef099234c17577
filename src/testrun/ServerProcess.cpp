#include "testrun/ServerProcess.h"

#include "testrun/ProcessGroup.h"

#include <csignal>

namespace vorlune::testrun {
namespace {

constexpr int kShutDownWaitMs = 3000;

} // namespace

ServerProcess::ServerProcess(const ConsoleCommand &command, QObject *parent) : QObject(parent)
{
    m_process.setProgram(command.program);
    m_process.setArguments(command.arguments);
    m_process.setWorkingDirectory(command.workingFolder);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_killTimer.setSingleShot(true);
    m_leftoverTimer.setSingleShot(true);
    m_leftoverTimer.setInterval(kLeftoverGraceMs);

    connect(&m_process, &QProcess::started, this, [this] { m_state = State::Running; });
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &ServerProcess::readOutput);
    connect(&m_process, &QProcess::bytesWritten, this, &ServerProcess::inputTaken);
    connect(&m_process, &QProcess::finished, this, &ServerProcess::serverFinished);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // A crash is told by finished(); write errors mean the server stopped
        // reading, which it is free to do.
        if (error != QProcess::FailedToStart)
            return;
        m_state = State::Ended;
        endGroup(m_group, m_mark);
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
    m_mark = runInOwnGroup(m_process);
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
    if (serverRuns) {
        signalGroup(m_group, SIGKILL);
        // Should the group not be formed yet, the server at least goes.
        m_process.kill();
        m_process.waitForFinished(kShutDownWaitMs);
    }
    endGroup(m_group, m_mark);
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
    if (groupHasLiveProcess(m_group, m_mark))
        m_leftoverTimer.start();
    else
        endLeftovers();
}

void ServerProcess::endLeftovers()
{
    // Ended in any case: orphans that ended by themselves are reaped here.
    if (endGroup(m_group, m_mark))
        m_end.childrenKilled = !m_end.killed;
    finish();
}

void ServerProcess::finish()
{
    m_state = State::Ended;
    Q_EMIT ended(m_end);
}

} // namespace vorlune::testrun
