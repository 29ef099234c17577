#pragma once

#include "base/IniImage.h"
#include "project/ProjectSession.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace vorlune::app {

// The global state the main window keeps for the run, without any window.
struct AppState {
    QString programFolder; // ends in a separator
    QString SiteBaseUrl;
    base::IniImage LanguageIni;
    base::IniImage SettingsIni;
    project::ProjectSession project;
    int editorMode = 0; // 0 none, 1 settings editor, 2 script editor

    QString languageFilePath() const;
    QString settingsFilePath() const;
    QString themeFilePath() const;
};

// Joins the command-line arguments into one path, one space between two.
QString joinArguments(const QStringList &arguments);

// The window-free part of the main window's creation step, in order: theme
// file written when missing, the theme applied (by the caller, which has the
// window toolkit), language file loaded and written back, settings defaults
// written, the project put into memory. The theme comes before every step
// that may show a message, so those boxes already wear it. Each step that
// fails has its error shown through the message interface and the later
// steps still run, so the state is always complete.
void runCreationSteps(AppState &state, const QStringList &arguments, const std::function<void()> &applyTheme = {});

// Steps of their own, used by runCreationSteps.
void extractThemeIfMissing(const AppState &state);
void loadLanguage(AppState &state);
void loadSettings(AppState &state);
void putProjectIntoMemory(AppState &state, const QStringList &arguments);

// Title of the main window for the project that is open.
QString mainWindowTitle(const QString &projectFileName);

} // namespace vorlune::app
