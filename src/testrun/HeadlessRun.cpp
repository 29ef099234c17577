#include "testrun/HeadlessRun.h"

#include "base/BoundedWriter.h"
#include "base/EndSignals.h"
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
#include <cstdio>
#include <optional>

#include <unistd.h>

namespace vorlune::testrun {
namespace {

void report(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// What may wait for standard output's reader, and how long it gets at the
// end; the rest is dropped.
constexpr qsizetype kOutputWaitingLimit = 4 << 20;
constexpr int kOutputGraceMs = 2000;
// Standard input is read only while the server has taken what was sent.
constexpr qint64 kInputInFlight = 65536;
// Plugin refusals and missing extensions told in the reason; the rest are counted.
constexpr qsizetype kToldItems = 20;

// The server names a plugin with its spaces turned into "_".
QString serverName(QString name) { return name.replace(QLatin1Char(' '), QLatin1Char('_')); }

// Up to kToldItems of `items`, then how many more there were.
QString listed(const QStringList &items, qsizetype more, const QString &separator)
{
    QString text = items.join(separator);
    if (more > 0)
        text += QStringLiteral("%1... and %2 more").arg(separator).arg(more);
    return text;
}

void keep(QStringList &items, qsizetype &more, const QString &item)
{
    if (items.size() < kToldItems)
        items << item;
    else
        ++more;
}

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
        keep(m_refusals, m_moreRefusals, QStringLiteral("'%1': %2").arg(line.name, line.reason));
        break;
    case Kind::PluginsFailed:
        m_pluginsFailed = true;
        break;
    case Kind::PhpRequirements:
        m_phpLacksExtensions = true;
        break;
    case Kind::MissingExtension:
        keep(m_missingExtensions, m_moreMissingExtensions, line.version);
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
            reason += QStringLiteral(" (extensions %1)")
                          .arg(listed(m_missingExtensions, m_moreMissingExtensions, QStringLiteral(", ")));
        return {kRunServerFailed, reason + QStringLiteral(". ") + i18n::extraText("console_php_extensions")};
    }
    if (!m_refusals.isEmpty())
        return {kRunPluginFailed, QStringLiteral("the server refused plugin ") +
                                      listed(m_refusals, m_moreRefusals, QStringLiteral("; "))};
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
    if (end.childrenKilled)
        return {kRunServerFailed, QStringLiteral("the server stopped, but processes it started had to be killed")};
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

    base::EndSignals endSignals;
    base::BoundedWriter output(STDOUT_FILENO, kOutputWaitingLimit);
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
        output.write(bytes);
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
        else if (end.crashed)
            result = {128 + end.exitCode, {}};
        else
            // Killing what the server left is a failure, as in the window.
            result = {end.exitCode == 0 && end.childrenKilled ? kRunServerFailed : end.exitCode, {}};
        if (!result.reason.isEmpty())
            report(result.reason);
        finish(result.exitCode);
    });

    // Standard input goes to the server, no faster than it takes it; its end
    // is not passed on, since it would leave no way to send "stop".
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    bool inputOpen = true;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        if (server.bytesToWrite() >= kInputInFlight) {
            input.setEnabled(false);
            return;
        }
        char buffer[65536];
        const ssize_t size = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (size > 0) {
            server.write(QByteArray(buffer, size));
        } else if (size == 0 || (errno != EINTR && errno != EAGAIN)) {
            inputOpen = false;
            input.setEnabled(false);
        }
    });
    QObject::connect(&server, &ServerProcess::inputTaken, [&] {
        if (inputOpen && server.bytesToWrite() < kInputInFlight)
            input.setEnabled(true);
    });
    QObject::connect(&endSignals, &base::EndSignals::received, [&](int number) {
        if (signalled != 0)
            server.kill();
        signalled = number;
        server.stop(options.killDelayMs);
    });
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
    if (const qint64 dropped = output.finish(kOutputGraceMs); dropped > 0)
        report(QStringLiteral("%1 bytes of the server's output were dropped: standard output did not take them in time")
                   .arg(dropped));
    return exitCode.value_or(kRunServerFailed);
}

} // namespace vorlune::testrun
