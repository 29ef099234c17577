#include "testrun/gui/ServerConsole.h"

#include "i18n/ExtraTexts.h"
#include "i18n/Placeholder.h"
#include "testrun/gui/ConsoleView.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vorlune::gui {
namespace {

// Share of one batch interval that showing output may take.
constexpr int kShowBudgetMs = 15;
constexpr int kShutDownWaitMs = 3000;

QString stopCaption() { return i18n::extraText("console_stop"); }

QString inputHint() { return i18n::extraText("console_input_hint"); }

QString exitNotice(int exitCode)
{
    return i18n::setTextIntoVarInString(i18n::extraText("console_exit_code"), QStringLiteral("code"),
                                        QString::number(exitCode));
}

QString crashNotice() { return i18n::extraText("console_crashed"); }

QString killNotice() { return i18n::extraText("console_killed"); }

QString startFailureNotice(const QString &reason)
{
    return i18n::setTextIntoVarInString(i18n::extraText("console_start_failed"), QStringLiteral("reason"), reason);
}

std::vector<testrun::ConsoleEvent> styledLine(const QString &text, testrun::ConsoleColour colour)
{
    testrun::ConsoleStyle style;
    style.bold = true;
    style.foreground = colour;
    return {{testrun::ConsoleEvent::Kind::Text, text, style}, {testrun::ConsoleEvent::Kind::LineEnd, {}, {}}};
}

std::vector<testrun::ConsoleEvent> noticeLine(const QString &text)
{
    return styledLine(text, testrun::ConsoleColour{255, 85, 85});
}

} // namespace

ServerConsole::ServerConsole(const testrun::ConsoleCommand &command, const QIcon &icon,
                             testrun::FormatCodeTable formatCodes, QWidget *parent)
    : QWidget(parent, Qt::Window), m_parser(std::move(formatCodes))
{
    setObjectName(QStringLiteral("ServerConsole"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Vorlune : Test"));
    setWindowIcon(icon);

    m_view = new ConsoleView(this);
    m_input = new QLineEdit(this);
    m_input->setObjectName(QStringLiteral("ConsoleInput"));
    m_input->setPlaceholderText(inputHint());
    m_input->setFont(consoleFont());
    m_input->installEventFilter(this);
    m_stopButton = new QPushButton(stopCaption(), this);
    m_stopButton->setObjectName(QStringLiteral("ConsoleStop"));

    auto *inputRow = new QHBoxLayout;
    inputRow->addWidget(m_input, 1);
    inputRow->addWidget(m_stopButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(m_view, 1);
    layout->addLayout(inputRow);
    setFocusProxy(m_input);

    m_process.setProgram(command.program);
    m_process.setArguments(command.arguments);
    m_process.setWorkingDirectory(command.workingFolder);
    m_process.setProcessChannelMode(QProcess::MergedChannels);

    m_batchTimer.setSingleShot(true);
    m_batchTimer.setInterval(kBatchIntervalMs);
    m_killTimer.setSingleShot(true);
    m_killTimer.setInterval(kDefaultKillDelayMs);

    connect(&m_process, &QProcess::readyReadStandardOutput, this, &ServerConsole::readOutput);
    connect(&m_process, &QProcess::finished, this, &ServerConsole::serverFinished);
    connect(&m_process, &QProcess::errorOccurred, this, &ServerConsole::processError);
    connect(&m_batchTimer, &QTimer::timeout, this, &ServerConsole::showPendingOutput);
    connect(&m_killTimer, &QTimer::timeout, this, [this] {
        if (m_running) {
            m_killed = true;
            m_process.kill();
        }
    });
    connect(m_view, &ConsoleView::titleSet, this, &QWidget::setWindowTitle);
    connect(m_input, &QLineEdit::returnPressed, this, &ServerConsole::sendInputLine);
    connect(m_stopButton, &QPushButton::clicked, this, &ServerConsole::stopServer);
    // A console left open when the program quits must not leave its server behind.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &ServerConsole::shutDownNow);
}

ServerConsole::~ServerConsole()
{
    shutDownNow();
}

void ServerConsole::showFindings(const QStringList &findings)
{
    for (const QString &finding : findings)
        m_backlog.append(styledLine(finding, testrun::ConsoleColour{255, 255, 85}));
    showPendingOutput();
}

void ServerConsole::start()
{
    adjustSize(); // the size to come back to from maximised
    showMaximized();
    m_input->setFocus();
    m_running = true;
    m_process.start(QIODevice::ReadWrite);
}

void ServerConsole::stopServer()
{
    if (!m_running || m_stopSent)
        return;
    m_stopSent = true;
    m_process.write("stop\n");
    m_killTimer.start();
}

void ServerConsole::shutDownNow()
{
    if (!m_running)
        return;
    m_process.disconnect(this);
    m_running = false;
    m_process.kill();
    m_process.waitForFinished(kShutDownWaitMs);
}

void ServerConsole::readOutput()
{
    m_backlog.append(m_parser.feed(m_process.readAllStandardOutput()));
    if (!m_batchTimer.isActive())
        m_batchTimer.start();
}

void ServerConsole::showPendingOutput()
{
    m_view->showFrom(m_backlog, kShowBudgetMs);
    if (!m_backlog.isEmpty())
        m_batchTimer.start();
}

void ServerConsole::sendInputLine()
{
    if (!m_running)
        return;
    const QString line = m_input->text();
    m_process.write(line.toUtf8() + '\n');
    m_history.add(line);
    m_input->clear();
}

bool ServerConsole::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_input && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        std::optional<QString> recalled;
        if (key == Qt::Key_Up)
            recalled = m_history.previous(m_input->text());
        else if (key == Qt::Key_Down)
            recalled = m_history.next();
        else
            return false;
        if (recalled)
            m_input->setText(*recalled);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ServerConsole::serverFinished(int exitCode, QProcess::ExitStatus status)
{
    readOutput();
    m_running = false;
    m_killTimer.stop();
    if ((status == QProcess::NormalExit && exitCode == 0) || m_closeRequested) {
        Q_EMIT serverEnded();
        close();
        return;
    }
    endWithNotice(m_killed ? killNotice() : status == QProcess::CrashExit ? crashNotice() : exitNotice(exitCode));
}

void ServerConsole::processError(QProcess::ProcessError error)
{
    // A crash is told by finished(); write errors mean the server stopped
    // reading, which it is free to do.
    if (error != QProcess::FailedToStart)
        return;
    m_running = false;
    endWithNotice(startFailureNotice(m_process.errorString()));
}

void ServerConsole::endWithNotice(const QString &notice)
{
    m_backlog.append(m_parser.finish());
    m_backlog.append(noticeLine(notice));
    m_input->setEnabled(false);
    m_stopButton->setEnabled(false);
    showPendingOutput();
    Q_EMIT serverEnded();
}

void ServerConsole::closeEvent(QCloseEvent *event)
{
    if (!m_running) {
        event->accept();
        return;
    }
    // The server gets its chance to save; the window closes when it has ended.
    event->ignore();
    m_closeRequested = true;
    stopServer();
}

} // namespace vorlune::gui
