#pragma once

#include "testrun/ConsoleCommand.h"

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

namespace vorlune::testrun {

// How a server run ended.
struct ServerEnd {
    int exitCode = 0;            // the number of the signal when crashed
    bool crashed = false;        // ended by a signal
    bool killed = false;         // this program had to kill the server
    bool childrenKilled = false; // the server had ended, processes it started had not
    bool clean() const { return exitCode == 0 && !crashed && !killed && !childrenKilled; }
};

// A test server and the processes it starts (today's core: its console
// reader, which keeps the output open), run as a process group of their own
// so that none of them outlives the run, nor this program; those that leave
// the group are ended with it. Output comes as it is read, stdout and
// stderr merged.
class ServerProcess : public QObject {
    Q_OBJECT
public:
    // Time the processes the server started get to end with it.
    static constexpr int kLeftoverGraceMs = 1000;

    explicit ServerProcess(const ConsoleCommand &command, QObject *parent = nullptr);
    // Kills what is left of the group.
    ~ServerProcess() override;

    void start();
    // From start() until ended() or failedToStart().
    bool running() const { return m_state == State::Starting || m_state == State::Running || m_state == State::Ending; }
    void write(const QByteArray &bytes);
    // Bytes written and not yet taken by the server.
    qint64 bytesToWrite() const { return m_process.bytesToWrite(); }
    // Sends "stop" once and kills the group when the server still runs after the delay.
    void stop(int killDelayMs);
    // Kills the whole group now; ended() follows.
    void kill();
    // Kills the whole group and waits a moment for the server, without
    // signals: for a program that is quitting.
    void shutDownNow();

Q_SIGNALS:
    void output(const QByteArray &bytes);
    // The server took some of what was written.
    void inputTaken();
    void ended(const vorlune::testrun::ServerEnd &end);
    void failedToStart(const QString &reason);

private:
    enum class State { Idle, Starting, Running, Ending, Ended };

    // Started or starting, and not ended.
    bool serverUp() const;
    void readOutput();
    void serverFinished(int exitCode, QProcess::ExitStatus status);
    void endLeftovers();
    void finish();

    QProcess m_process;
    QTimer m_killTimer;
    QTimer m_leftoverTimer;
    State m_state = State::Idle;
    qint64 m_group = 0;
    QByteArray m_mark;
    bool m_stopSent = false;
    ServerEnd m_end;
};

} // namespace vorlune::testrun
