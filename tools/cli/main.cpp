// vorlune-build: builds a project into a plugin archive without any window.
//   vorlune-build [--zip] PROJECT OUTPUT
//   vorlune-build --check PROJECT
//   vorlune-build --run PROJECT [--stop-when-ready [--timeout SECONDS]]
//   vorlune-build --help | --version

#include "app/Settings.h"
#include "base/Error.h"
#include "base/FileIo.h"
#include "base/IniImage.h"
#include "base/Messages.h"
#include "base/ProgramFolder.h"
#include "build/Compile.h"
#include "build/PluginCheck.h"
#include "build/PluginFromFile.h"
#include "i18n/ExtraTexts.h"
#include "i18n/TextTable.h"
#include "project/ProjectSession.h"
#include "testrun/HeadlessRun.h"
#include "testrun/RunOptions.h"

#include <QCoreApplication>

#include <cstdio>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace {

void print(FILE *stream, const QString &text) { std::fprintf(stream, "%s\n", text.toLocal8Bit().constData()); }

const char kUsage[] = "usage: vorlune-build [--zip] PROJECT OUTPUT\n"
                      "       vorlune-build --check PROJECT\n"
                      "       vorlune-build --run PROJECT [--stop-when-ready [--timeout SECONDS]]\n"
                      "       vorlune-build --help | --version\n"
                      "\n"
                      "Builds the plugin project PROJECT (a .vlk file) into OUTPUT.phar, or into\n"
                      "OUTPUT.zip with --zip; the extension is appended when missing. What a\n"
                      "server would refuse in the plugin is printed as warnings; the build goes on.\n"
                      "Exits 0 when the archive was written, 1 when the build failed, 2 on wrong usage.\n"
                      "\n"
                      "--check prints what a server would refuse, one finding per line, and exits\n"
                      "0 when there is nothing, 3 when there are findings, 1 when PROJECT cannot be read.\n"
                      "\n"
                      "--run builds the plugin into the test server of the program folder, after\n"
                      "the clean-up the run settings ask for, and starts the server as the window's\n"
                      "Run command does. Its output goes to standard output and standard input goes\n"
                      "to it as fast as it takes it; output a reader does not take in time is\n"
                      "dropped, with a note. An interrupt, termination, hang-up or quit signal sends\n"
                      "the server \"stop\", a second one kills it; nothing the server started\n"
                      "outlives the run. Without --stop-when-ready it exits with the server's exit\n"
                      "code (128 + the signal when a signal ended the server, 7 when processes it\n"
                      "started had to be killed). With --stop-when-ready \"stop\" is sent once the\n"
                      "server is ready, and it exits 0 only when the server loaded and enabled the\n"
                      "plugin and then stopped cleanly; --timeout limits such a run (300 seconds\n"
                      "unless given). Other exit codes, with the reason on standard error:\n"
                      "  1  PROJECT cannot be read or the server cannot be prepared\n"
                      "  4  no server core is installed\n"
                      "  5  no PHP is installed for the server\n"
                      "  6  the plugin was refused, or not loaded and enabled\n"
                      "  7  the server's own error: a PHP it cannot use, a crash, no clean stop,\n"
                      "     processes it started that had to be killed, or it could not be started\n"
                      "  8  the time ran out\n"
                      "  128 + the signal: the run was interrupted";

constexpr int kFindingsExitCode = 3;

int usage()
{
    print(stderr, QLatin1String(kUsage));
    return 2;
}

// The options after "--run"; nothing when they are wrong.
std::optional<vorlune::testrun::HeadlessRunOptions> runOptions(const QStringList &arguments)
{
    vorlune::testrun::HeadlessRunOptions options;
    bool timeoutGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--stop-when-ready")) {
            options.stopWhenReady = true;
        } else if (argument == QLatin1String("--timeout")) {
            if (i + 1 == arguments.size())
                return std::nullopt;
            bool number = false;
            options.timeoutSeconds = arguments.at(++i).toInt(&number);
            if (!number || options.timeoutSeconds < 1 ||
                options.timeoutSeconds > vorlune::testrun::kLongestRunTimeoutSeconds)
                return std::nullopt;
            timeoutGiven = true;
        } else if (options.projectFile.isEmpty()) {
            options.projectFile = argument;
        } else {
            return std::nullopt;
        }
    }
    if (options.projectFile.isEmpty() || (timeoutGiven && !options.stopWhenReady))
        return std::nullopt;
    return options;
}

// The application's settings as its window reads them, without rewriting
// the file: an unreadable one leaves the defaults, as it does there.
vorlune::base::IniImage runSettings(const QString &programFolder)
{
    using namespace vorlune;
    base::IniImage settings;
    try {
        settings = base::IniImage::load(programFolder + app::kSettingsFileName);
    } catch (const Error &error) {
        print(stderr, error.text());
    }
    testrun::ensureRunOptions(settings);
    return settings;
}

} // namespace

int main(int argc, char *argv[])
{
    using namespace vorlune;
    fileio::reportOversizeWritesAsErrors();
    // No application object: a build command starts faster without one.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    int typec = build::kPharArchive;
    // Only alone: beside another argument "--help" is the name of a project.
    if (arguments.size() == 1 && arguments.first() == QLatin1String("--help")) {
        print(stdout, QLatin1String(kUsage));
        return 0;
    }
    if (arguments.size() == 1 && arguments.first() == QLatin1String("--version")) {
        print(stdout, QStringLiteral("vorlune-build " VORLUNE_VERSION));
        return 0;
    }
    bool checkOnly = false;
    std::optional<testrun::HeadlessRunOptions> run;
    if (!arguments.isEmpty() && arguments.first() == QLatin1String("--run")) {
        run = runOptions(arguments.mid(1));
        if (!run)
            return usage();
    } else if (!arguments.isEmpty() && arguments.first() == QLatin1String("--zip")) {
        typec = build::kZipArchive;
        arguments.removeFirst();
    } else if (!arguments.isEmpty() && arguments.first() == QLatin1String("--check")) {
        checkOnly = true;
        arguments.removeFirst();
    }
    if (!run && arguments.size() != (checkOnly ? 1 : 2))
        return usage();

    // Texts in the language the application uses, without rewriting its file.
    try {
        const base::IniImage languageIni = base::IniImage::load(base::programFolder() + i18n::kLanguageFileName);
        i18n::texts().loadFrom(languageIni);
        i18n::loadExtraTexts(languageIni);
    } catch (const Error &error) {
        print(stderr, error.text());
    }
    Messages::setSink([](const QString &text) { print(text == i18n::tx("MSG.msg10") ? stdout : stderr, text); });

    if (run) {
        // A closed standard stream would hand its number to the next pipe,
        // and the server's input would be read from there.
        for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
            if (::fcntl(fd, F_GETFD) == -1)
                ::open("/dev/null", O_RDWR);
        }
        // The server's output owns standard output; the run's own words go
        // to standard error.
        Messages::setSink([](const QString &text) { print(stderr, text); });
        QCoreApplication application(argc, argv);
        run->programFolder = base::programFolder();
        run->settings = runSettings(run->programFolder);
        return testrun::runHeadless(*run);
    }

    QStringList findings;
    try {
        const QString &path = arguments.at(0);
        if (project::ProjectSession::extensionOf(path) != QLatin1String(".vlk")) {
            Messages::show(i18n::tx("MSG.msg5"));
            return 1;
        }
        build::PluginFromFile read = build::readPlugin(path, !checkOnly);
        findings = read.findings;
        if (checkOnly) {
            for (const QString &finding : findings)
                print(stdout, finding);
            return findings.isEmpty() ? 0 : kFindingsExitCode;
        }
        for (const QString &finding : findings)
            print(stderr, QStringLiteral("warning: ") + finding);
        const auto plugin = [&read] {
            if (!read.plugin)
                throw Error(read.refusal);
            return *read.plugin;
        };
        const QString archive =
            build::Compile(plugin, typec, arguments.at(1), build::kShowErrors, build::kShowCompletion);
        return archive.isEmpty() ? 1 : 0;
    } catch (const Error &error) {
        // A main class PHP cannot load is a finding too, already printed.
        if (!findings.contains(error.text()))
            print(stderr, error.text());
        return 1;
    }
}
