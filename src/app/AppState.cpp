#include "app/AppState.h"

#include "app/Settings.h"
#include "base/Error.h"
#include "base/Messages.h"
#include "base/ProgramFolder.h"
#include "base/RuntimeFiles.h"
#include "i18n/ExtraTexts.h"
#include "i18n/TextTable.h"
#include "script/EventSettings.h"
#include "testrun/DownloadSources.h"
#include "testrun/RunOptions.h"

#include <QFileInfo>

namespace vorlune::app {
namespace {

template <typename Step>
void runStep(Step &&step)
{
    try {
        step();
    } catch (const Error &error) {
        Messages::show(error.text());
    }
}

} // namespace

QString AppState::languageFilePath() const { return programFolder + i18n::kLanguageFileName; }
QString AppState::settingsFilePath() const { return programFolder + kSettingsFileName; }
QString AppState::themeFilePath() const { return programFolder + base::kThemeFileName; }

QString joinArguments(const QStringList &arguments)
{
    // A path split at its spaces by the caller comes back together; an
    // argument that kept its own spaces keeps them.
    return arguments.join(QLatin1Char(' '));
}

void extractThemeIfMissing(const AppState &state)
{
    if (!QFileInfo::exists(state.themeFilePath()))
        base::ExtractRes(base::kResourceType, QStringLiteral("design"), state.themeFilePath());
}

// Loads an INI image; a file that cannot be read gives an empty image and is
// reported. Returns whether the file was read (or is absent).
bool loadImage(base::IniImage &image, const QString &path)
{
    try {
        image = base::IniImage::load(path);
        return true;
    } catch (const Error &error) {
        image = base::IniImage();
        Messages::show(error.text());
        return false;
    }
}

// A file that could not be read is never replaced by the defaults: it may
// hold the user's own texts or settings.
void loadLanguage(AppState &state)
{
    const bool readable = loadImage(state.LanguageIni, state.languageFilePath());
    // Before the write-back, which may fail and throw.
    i18n::loadExtraTexts(state.LanguageIni);
    if (readable)
        i18n::texts().GetStringsLanguage(state.LanguageIni, state.languageFilePath());
    else
        i18n::texts().fillFrom(state.LanguageIni);
}

void loadSettings(AppState &state)
{
    const bool readable = loadImage(state.SettingsIni, state.settingsFilePath());
    testrun::ensureRunOptions(state.SettingsIni);
    if (readable)
        state.SettingsIni.save(state.settingsFilePath());
}

void putProjectIntoMemory(AppState &state, const QStringList &arguments)
{
    state.project.NewPlugin();
    if (arguments.isEmpty())
        return;
    // A project that cannot be opened leaves the new project in place.
    state.project.OpenPlugin(joinArguments(arguments), script::refuseBrokenSettings);
}

void runCreationSteps(AppState &state, const QStringList &arguments, const std::function<void()> &applyTheme)
{
    if (state.programFolder.isEmpty())
        state.programFolder = base::programFolder();
    runStep([&] { extractThemeIfMissing(state); });
    state.SiteBaseUrl = testrun::siteBaseUrl();
    if (applyTheme)
        runStep(applyTheme);
    runStep([&] { loadLanguage(state); });
    runStep([&] { loadSettings(state); });
    runStep([&] { putProjectIntoMemory(state, arguments); });
}

QString mainWindowTitle(const QString &projectFileName)
{
    return QStringLiteral("Vorlune [") + projectFileName + QStringLiteral("] {TEST EDITION}");
}

} // namespace vorlune::app
