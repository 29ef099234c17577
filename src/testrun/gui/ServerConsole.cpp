#include "testrun/gui/ServerConsole.h"

#include "base/gui/PseudoModal.h"
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

QString stopCaption() { return i18n::extraText("console_stop"); }

QString inputHint() { return i18n::extraText("console_input_hint"); }

QString exitNotice(int exitCode)
{
    return i18n::setTextIntoVarInString(i18n::extraText("console_exit_code"), QStringLiteral("code"),
                                        QString::number(exitCode));
}

QString crashNotice() { return i18n::extraText("console_crashed"); }

QString killNotice() { return i18n::extraText("console_killed"); }

QString childrenKilledNotice() { return i18n::extraText("console_children_killed"); }

QString phpExtensionsHint() { return i18n::extraText("console_php_extensions"); }

QString startFailureNotice(const QString &reason)
{
    return i18n::setTextIntoVarInString(i18n::extraText("console_start_failed"), QStringLiteral("reason"), reason);
}

std::vector<testrun::ConsoleEvent> styledLine(const QString &text, testrun::ConsoleColour colour)
{
    testrun::ConsoleStyle style;
    style.bold = true;
    style.foreground = colour;
    return testrun::consoleLines(text, style);
}

std::vector<testrun::ConsoleEvent> noticeLine(const QString &text)
{
    return styledLine(text, testrun::ConsoleColour{255, 85, 85});
}

// Advice of the console's own, in the colour of the findings above the output.
std::vector<testrun::ConsoleEvent> hintLine(const QString &text)
{
    return styledLine(text, testrun::ConsoleColour{255, 255, 85});
}

} // namespace

ServerConsole::ServerConsole(const testrun::ConsoleCommand &command, const QIcon &icon,
                             testrun::FormatCodeTable formatCodes, QWidget *parent)
    : QWidget(parent, Qt::Window), m_server(command), m_parser(std::move(formatCodes))
{
    setObjectName(QStringLiteral("ServerConsole"));
    spareFromPseudoModal(this);
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

    m_batchTimer.setSingleShot(true);
    m_batchTimer.setInterval(kBatchIntervalMs);

    connect(&m_server, &testrun::ServerProcess::output, this, &ServerConsole::readOutput);
    connect(&m_server, &testrun::ServerProcess::ended, this, &ServerConsole::runEnded);
    connect(&m_server, &testrun::ServerProcess::failedToStart, this, [this](const QString &reason) {
        m_running = false;
        endWithNotices({startFailureNotice(reason)});
    });
    connect(&m_batchTimer, &QTimer::timeout, this, &ServerConsole::showPendingOutput);
    connect(m_view, &ConsoleView::titleSet, this, &QWidget::setWindowTitle);
    connect(m_input, &QLineEdit::returnPressed, this, &ServerConsole::sendInputLine);
    connect(m_stopButton, &QPushButton::clicked, this, &ServerConsole::stopServer);
    // A console left open when the program quits must not leave its server behind.
    connect(qApp, &QCoreApplication::aboutToQuit, &m_server, &testrun::ServerProcess::shutDownNow);
}

ServerConsole::~ServerConsole() { m_server.shutDownNow(); }

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
    m_server.start();
}

void ServerConsole::stopServer()
{
    if (m_running)
        m_server.stop(m_killDelayMs);
}

void ServerConsole::readOutput(const QByteArray &bytes)
{
    std::vector<testrun::ConsoleEvent> events = m_parser.feed(bytes);
    noteLines(events);
    m_backlog.append(std::move(events));
    if (!m_batchTimer.isActive())
        m_batchTimer.start();
}

void ServerConsole::noteLines(const std::vector<testrun::ConsoleEvent> &events)
{
    for (const QString &line : m_lines.take(events)) {
        if (testrun::readServerLine(line).kind == testrun::ServerLine::Kind::PhpRequirements)
            m_phpLacksExtensions = true;
    }
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
    m_server.write(line.toUtf8() + '\n');
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

void ServerConsole::runEnded(const testrun::ServerEnd &end)
{
    m_running = false;
    // The last line may have come without its line break.
    std::vector<testrun::ConsoleEvent> rest = m_parser.finish();
    noteLines(rest);
    m_backlog.append(std::move(rest));
    if (m_closeRequested || (end.clean() && !m_phpLacksExtensions)) {
        Q_EMIT serverEnded();
        close();
        return;
    }
    QStringList notices;
    if (end.killed)
        notices << killNotice();
    else if (end.crashed)
        notices << crashNotice();
    else if (end.exitCode != 0)
        notices << exitNotice(end.exitCode);
    if (end.childrenKilled)
        notices << childrenKilledNotice();
    endWithNotices(notices);
}

void ServerConsole::endWithNotices(const QStringList &notices)
{
    m_backlog.append(m_parser.finish());
    // Once per run, after the server's own words on its PHP.
    if (m_phpLacksExtensions)
        m_backlog.append(hintLine(phpExtensionsHint()));
    for (const QString &notice : notices)
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
