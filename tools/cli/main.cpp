// vorlune-build: builds a project into a plugin archive without any window.
//   vorlune-build [--zip] PROJECT OUTPUT
//   vorlune-build --check PROJECT
//   vorlune-build --help | --version

#include "base/Error.h"
#include "base/FileIo.h"
#include "base/IniImage.h"
#include "base/Messages.h"
#include "base/ProgramFolder.h"
#include "build/Compile.h"
#include "build/PluginCheck.h"
#include "i18n/ExtraTexts.h"
#include "i18n/TextTable.h"
#include "project/ProjectSession.h"

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
}

const char kUsage[] = "usage: vorlune-build [--zip] PROJECT OUTPUT\n"
                      "       vorlune-build --check PROJECT\n"
                      "       vorlune-build --help | --version\n"
                      "\n"
                      "Builds the plugin project PROJECT (a .vlk file) into OUTPUT.phar, or into\n"
                      "OUTPUT.zip with --zip; the extension is appended when missing. What a\n"
                      "server would refuse in the plugin is printed as warnings; the build goes on.\n"
                      "Exits 0 when the archive was written, 1 when the build failed, 2 on wrong usage.\n"
                      "\n"
                      "--check prints what a server would refuse, one finding per line, and exits\n"
                      "0 when there is nothing, 3 when there are findings, 1 when PROJECT cannot be read.";

constexpr int kFindingsExitCode = 3;

int usage()
{
    print(stderr, QLatin1String(kUsage));
    return 2;
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
    if (!arguments.isEmpty() && arguments.first() == QLatin1String("--zip")) {
        typec = 2;
        arguments.removeFirst();
    } else if (!arguments.isEmpty() && arguments.first() == QLatin1String("--check")) {
        checkOnly = true;
        arguments.removeFirst();
    }
    if (arguments.size() != (checkOnly ? 1 : 2))
        return usage();

    // Texts in the language the application uses, without rewriting its file.
    try {
        const base::IniImage languageIni = base::IniImage::load(base::programFolder() + i18n::kLanguageFileName);
        i18n::texts().loadFrom(languageIni);
        i18n::loadExtraTexts(languageIni);
    } catch (const Error &error) {
        print(stderr, error.text());
    }
    Messages::setSink([](const QString &text) {
        print(text == i18n::tx("MSG.msg10") ? stdout : stderr, text);
    });

    QStringList findings;
    try {
        project::ProjectSession session;
        if (!session.OpenPlugin(arguments.at(0)))
            return 1;
        findings = build::checkPlugin(session.document);
        if (checkOnly) {
            for (const QString &finding : findings)
                print(stdout, finding);
            return findings.isEmpty() ? 0 : kFindingsExitCode;
        }
        for (const QString &finding : findings)
            print(stderr, QStringLiteral("warning: ") + finding);
        return build::Compile(session.document, typec, arguments.at(1), true, true).isEmpty() ? 1 : 0;
    } catch (const Error &error) {
        // A main class PHP cannot load is a finding too, already printed.
        if (!findings.contains(error.text()))
            print(stderr, error.text());
        return 1;
    }
}
