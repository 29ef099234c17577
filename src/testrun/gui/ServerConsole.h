#pragma once

#include "testrun/CommandHistory.h"
#include "testrun/ConsoleBacklog.h"
#include "testrun/ConsoleCommand.h"
#include "testrun/ConsoleParser.h"
#include "testrun/ServerLines.h"
#include "testrun/ServerProcess.h"

#include <QIcon>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class QLineEdit;
class QPushButton;

namespace vorlune::gui {

class ConsoleView;

// The window a test server runs in: its output live, a line to type
// commands into, a Stop button. One window per run; it deletes itself when
// closed. It closes by itself when the server ends cleanly and stays open
// with the reason shown when it does not. It stands for a terminal of its
// own, so the tool's pseudo-modal dialogs leave it usable.
class ServerConsole : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDefaultKillDelayMs = 10000;
    // How often shown output may change while output comes in.
    static constexpr int kBatchIntervalMs = 40;

    ServerConsole(const testrun::ConsoleCommand &command, const QIcon &icon, testrun::FormatCodeTable formatCodes,
                  QWidget *parent = nullptr);
    ~ServerConsole() override;

    // Lines that warn about the plugin, shown above the server's output.
    void showFindings(const QStringList &findings);
    // Shows the window maximised and starts the server.
    void start();
    // Sends "stop" and ends the server's process group if the server is still
    // running after the kill delay.
    void stopServer();
    void setKillDelay(int milliseconds) { m_killDelayMs = milliseconds; }

    bool serverRunning() const { return m_running; }
    // Output read from the server that is not shown yet.
    bool hasPendingOutput() const { return !m_backlog.isEmpty(); }

Q_SIGNALS:
    // The server ended or could not be started; the console may stay open.
    void serverEnded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void readOutput(const QByteArray &bytes);
    void showPendingOutput();
    void sendInputLine();
    void runEnded(const testrun::ServerEnd &end);
    void endWithNotices(const QStringList &notices);
    void noteLines(const std::vector<testrun::ConsoleEvent> &events);

    testrun::ServerProcess m_server;
    testrun::ConsoleParser m_parser;
    testrun::PlainLines m_lines;
    testrun::ConsoleBacklog m_backlog;
    testrun::CommandHistory m_history;
    QTimer m_batchTimer;
    ConsoleView *m_view = nullptr;
    QLineEdit *m_input = nullptr;
    QPushButton *m_stopButton = nullptr;
    int m_killDelayMs = kDefaultKillDelayMs;
    bool m_running = false;
    bool m_closeRequested = false;
    bool m_phpLacksExtensions = false;
};

} // namespace vorlune::gui
