#include "testrun/HeadlessRun.h"

#include "base/Error.h"
#include "build/PluginCheck.h"
#include "i18n/ExtraTexts.h"
#include "project/PluginSettings.h"
#include "project/ProjectSession.h"
#include "testrun/ConsoleParser.h"
#include "testrun/Installer.h"
#include "testrun/Launcher.h"
#include "testrun/RunCleanUp.h"
#include "testrun/ServerProperties.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace vorlune::testrun {
namespace {

void report(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// The server's output as it comes; once nobody reads it any more it is dropped.
void passOn(const QByteArray &bytes)
{
    static bool broken = false;
    for (qsizetype done = 0; !broken && done < bytes.size();) {
        const ssize_t written = ::write(STDOUT_FILENO, bytes.constData() + done, size_t(bytes.size() - done));
        if (written > 0)
            done += written;
        else if (written < 0 && errno != EINTR)
            broken = true;
    }
}

// The server names a plugin with its spaces turned into "_".
QString serverName(QString name) { return name.replace(QLatin1Char(' '), QLatin1Char('_')); }

// Signals that ask this program to end, passed to the event loop through a
// pipe: the server is stopped first, killed on the second one.
class EndSignals {
public:
    EndSignals()
    {
        if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        struct sigaction action {};
        action.sa_handler = &EndSignals::caught;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < kCount; ++i)
            ::sigaction(kSignals[i], &action, &m_previous[i]);
        // A closed standard output must not end the program before its server.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, &m_previousPipe);
        m_installed = true;
    }
    ~EndSignals()
    {
        if (!m_installed)
            return;
        for (int i = 0; i < kCount; ++i)
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
        ::sigaction(SIGPIPE, &m_previousPipe, nullptr);
        ::close(s_pipe[0]);
        ::close(s_pipe[1]);
    }
    EndSignals(const EndSignals &) = delete;
    EndSignals &operator=(const EndSignals &) = delete;

    int readEnd() const { return m_installed ? s_pipe[0] : -1; }
    // The signal that came, or 0.
    static int take()
    {
        unsigned char number = 0;
        return ::read(s_pipe[0], &number, 1) == 1 ? number : 0;
    }

private:
    static constexpr int kCount = 3;
    static constexpr int kSignals[kCount] = {SIGINT, SIGTERM, SIGHUP};

    static void caught(int number)
    {
        const int saved = errno;
        const unsigned char byte = static_cast<unsigned char>(number);
        [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
        errno = saved;
    }

    static inline int s_pipe[2] = {-1, -1};
    struct sigaction m_previous[kCount] {};
    struct sigaction m_previousPipe {};
    bool m_installed = false;
};

bool openProject(const QString &path, project::ProjectSession &session)
{
    try {
        return session.OpenPlugin(path);
    } catch (const Error &error) {
        report(error.text());
        return false;
    }
}

// The project built into the test server, as the Run command does it. False
// when the run cannot go on; the reason is reported.
bool prepare(const HeadlessRunOptions &options, const QString &serverFolder, project::ProjectSession &session)
{
    QStringList findings;
    try {
        cleanUpBeforeRun(serverFolder, options.settings);
        findings = build::checkPlugin(session.document);
        for (const QString &finding : findings)
            report(QStringLiteral("warning: ") + finding);
        // A plugin that failed to build is missing, which the verdict tells.
        buildIntoServer(session.document, serverFolder);
    } catch (const Error &error) {
        // A main class PHP cannot load is a finding too, already reported.
        if (!findings.contains(error.text()))
            report(error.text());
        return false;
    }
    return true;
}

} // namespace

RunVerdict::RunVerdict(const QString &pluginName, const QString &pluginVersion)
    : m_name(serverName(pluginName)), m_version(pluginVersion)
{
}

bool RunVerdict::isThePlugin(const ServerLine &line) const
{
    return serverName(line.name) == m_name && line.version == m_version;
}

void RunVerdict::see(const ServerLine &line)
{
    using Kind = ServerLine::Kind;
    switch (line.kind) {
    case Kind::Loading:
        m_loaded = m_loaded || isThePlugin(line);
        break;
    case Kind::Enabling:
        m_enabled = m_enabled || (m_loaded && isThePlugin(line));
        break;
    case Kind::Ready:
        m_ready = true;
        break;
    case Kind::PluginRefused:
        m_refusals << QStringLiteral("'%1': %2").arg(line.name, line.reason);
        break;
    case Kind::PluginsFailed:
        m_pluginsFailed = true;
        break;
    case Kind::PhpRequirements:
        m_phpLacksExtensions = true;
        break;
    case Kind::MissingExtension:
        m_missingExtensions << line.version;
        break;
    case Kind::Other:
        break;
    }
}

QString describeEnd(const ServerEnd &end)
{
    if (end.killed)
        return QStringLiteral("had to be killed");
    if (end.crashed)
        return QStringLiteral("crashed");
    return QStringLiteral("exited with code %1").arg(end.exitCode);
}

RunResult RunVerdict::judge(const ServerEnd &end) const
{
    const QString plugin = QStringLiteral("%1 v%2").arg(m_name, m_version);
    if (m_phpLacksExtensions) {
        QString reason = QStringLiteral("the server's PHP lacks what its core needs");
        if (!m_missingExtensions.isEmpty())
            reason += QStringLiteral(" (extensions %1)").arg(m_missingExtensions.join(QStringLiteral(", ")));
        return {kRunServerFailed, reason + QStringLiteral(". ") + i18n::extraText("console_php_extensions")};
    }
    if (!m_refusals.isEmpty())
        return {kRunPluginFailed, QStringLiteral("the server refused plugin ") + m_refusals.join(QStringLiteral("; "))};
    if (m_pluginsFailed)
        return {kRunPluginFailed, QStringLiteral("the server stopped because a plugin failed to load")};
    if (!m_loaded) {
        if (!m_ready && !end.clean())
            return {kRunServerFailed, QStringLiteral("the server %1 before it was ready").arg(describeEnd(end))};
        return {kRunPluginFailed, QStringLiteral("the server did not load plugin ") + plugin};
    }
    if (!m_enabled)
        return {
            kRunPluginFailed,
            QStringLiteral("the server loaded plugin %1 but did not enable it; it %2").arg(plugin, describeEnd(end))};
    if (!m_ready)
        return {kRunServerFailed, QStringLiteral("the server %1 before it was ready").arg(describeEnd(end))};
    if (end.killed)
        return {kRunServerFailed, QStringLiteral("the server did not end after \"stop\" and had to be killed")};
    if (end.crashed || end.exitCode != 0)
        return {kRunServerFailed, QStringLiteral("the server %1 when it was stopped").arg(describeEnd(end))};
    return {};
}

int runHeadless(const HeadlessRunOptions &options)
{
    const QString serverFolder = options.programFolder + kTestServerFolder;
    project::ProjectSession session;
    if (!openProject(options.projectFile, session))
        return kRunNotPrepared;
    const QString coreEntry = findCoreEntry(serverFolder);
    if (coreEntry.isEmpty()) {
        report(QStringLiteral("no server core is installed in %1: install one in the run settings").arg(serverFolder));
        return kRunNoCore;
    }
    if (const QString missing = missingPhpBinary(serverFolder); !missing.isEmpty()) {
        report(QStringLiteral("no PHP is installed for the server: %1 is missing; install it in the run settings")
                   .arg(serverFolder + missing));
        return kRunNoPhp;
    }
    if (!prepare(options, serverFolder, session))
        return kRunNotPrepared;
    const project::PluginSettings plugin = project::PluginSettings::fromElement(session.document.settings());

    EndSignals endSignals;
    ServerProcess server(consoleCommand(options.programFolder, coreEntry));
    ConsoleParser parser;
    PlainLines lines;
    RunVerdict verdict(plugin.name, plugin.version);
    int signalled = 0;
    bool timedOut = false;
    std::optional<int> exitCode;
    // Set before the loop runs too: a start can fail at once.
    const auto finish = [&](int code) {
        exitCode = code;
        QCoreApplication::exit(code);
    };

    const auto see = [&](const std::vector<ConsoleEvent> &events) {
        for (const QString &line : lines.take(events))
            verdict.see(readServerLine(line));
        if (options.stopWhenReady && verdict.ready())
            server.stop(options.killDelayMs);
    };
    QObject::connect(&server, &ServerProcess::output, [&](const QByteArray &bytes) {
        passOn(bytes);
        see(parser.feed(bytes));
    });
    QObject::connect(&server, &ServerProcess::failedToStart, [&](const QString &reason) {
        report(QStringLiteral("the server could not be started: ") + reason);
        finish(kRunServerFailed);
    });
    QObject::connect(&server, &ServerProcess::ended, [&](const ServerEnd &end) {
        see(parser.finish());
        if (end.childrenKilled)
            report(i18n::extraText("console_children_killed"));
        RunResult result;
        if (signalled != 0)
            result = {128 + signalled, QStringLiteral("interrupted; the server %1").arg(describeEnd(end))};
        else if (timedOut)
            result = {
                kRunTimedOut,
                QStringLiteral("the server did not end within %1 seconds and was killed").arg(options.timeoutSeconds)};
        else if (options.stopWhenReady)
            result = verdict.judge(end);
        else
            result = {end.crashed ? 128 + end.exitCode : end.exitCode, {}};
        if (!result.reason.isEmpty())
            report(result.reason);
        finish(result.exitCode);
    });

    // Standard input goes to the server; its end is not passed on, since it
    // would leave no way to send "stop".
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[65536];
        const ssize_t size = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (size > 0)
            server.write(QByteArray(buffer, size));
        else if (size == 0 || (errno != EINTR && errno != EAGAIN))
            input.setEnabled(false);
    });
    std::unique_ptr<QSocketNotifier> interrupts;
    if (endSignals.readEnd() >= 0) {
        interrupts = std::make_unique<QSocketNotifier>(endSignals.readEnd(), QSocketNotifier::Read);
        QObject::connect(interrupts.get(), &QSocketNotifier::activated, [&] {
            while (const int number = EndSignals::take()) {
                if (signalled != 0)
                    server.kill();
                signalled = number;
                server.stop(options.killDelayMs);
            }
        });
    }
    QTimer timeLimit;
    timeLimit.setSingleShot(true);
    QObject::connect(&timeLimit, &QTimer::timeout, [&] {
        timedOut = true;
        server.kill();
    });
    if (options.stopWhenReady)
        timeLimit.start(options.timeoutSeconds * 1000);

    server.start();
    if (!exitCode)
        QCoreApplication::exec();
    return exitCode.value_or(kRunServerFailed);
}

} // namespace vorlune::testrun
