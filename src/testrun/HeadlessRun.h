#pragma once

#include "base/IniImage.h"
#include "testrun/ServerLines.h"
#include "testrun/ServerProcess.h"

#include <QString>
#include <QStringList>

namespace vorlune::testrun {

// Exit codes of a run without window, besides the server's own code when it
// is not stopped once ready. 2 and 3 belong to the build command's usage and
// findings.
inline constexpr int kRunPassed = 0;
inline constexpr int kRunNotPrepared = 1; // project unreadable, build or server files failed
inline constexpr int kRunNoCore = 4;
inline constexpr int kRunNoPhp = 5;
inline constexpr int kRunPluginFailed = 6; // the plugin was refused or not loaded and enabled
inline constexpr int kRunServerFailed = 7; // the server's own error, or it did not stop cleanly
inline constexpr int kRunTimedOut = 8;

inline constexpr int kDefaultRunTimeoutSeconds = 300;
inline constexpr int kLongestRunTimeoutSeconds = 2000000; // what a timer holds

struct HeadlessRunOptions {
    QString programFolder; // ends in "/"
    QString projectFile;
    base::IniImage settings; // the application's settings, run options included
    bool stopWhenReady = false;
    int timeoutSeconds = kDefaultRunTimeoutSeconds; // only when stopping once ready
    int killDelayMs = 10000;
};

struct RunResult {
    int exitCode = kRunPassed;
    QString reason; // empty when the run passed
};

// Judges a run that is stopped once the server is ready: it passes when the
// server loaded and enabled the plugin of this name and version and then
// stopped cleanly, with nothing left to kill.
class RunVerdict {
public:
    RunVerdict(const QString &pluginName, const QString &pluginVersion);

    void see(const ServerLine &line);
    bool ready() const { return m_ready; }
    // Whether the server said its PHP lacks what the core needs.
    bool phpLacksExtensions() const { return m_phpLacksExtensions; }
    RunResult judge(const ServerEnd &end) const;

private:
    bool isThePlugin(const ServerLine &line) const;

    QString m_name;
    QString m_version;
    bool m_loaded = false;
    bool m_enabled = false;
    bool m_ready = false;
    bool m_pluginsFailed = false;
    bool m_phpLacksExtensions = false;
    QStringList m_refusals; // the first few, then counted
    qsizetype m_moreRefusals = 0;
    QStringList m_missingExtensions;
    qsizetype m_moreMissingExtensions = 0;
};

// "exited with code 3", "crashed" and the like.
QString describeEnd(const ServerEnd &end);

// Runs the project's plugin on the test server of the program folder as the
// main window's Run command does: the same checks, clean-up, build and
// command line. The server's output goes to standard output as it comes
// (what a reader does not take in time is dropped), standard input goes to
// the server as fast as it takes it, and the reasons of a failure go to
// standard error. The server runs as a process group of its own, all of
// which, and whatever left it, is ended before this returns; a signal that
// would end this program (see base::EndSignals) stops the server, a second
// one kills it. Needs a QCoreApplication and runs its event loop. Returns
// the exit code.
int runHeadless(const HeadlessRunOptions &options);

} // namespace vorlune::testrun
