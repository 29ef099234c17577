#pragma once

#include "base/IniImage.h"

#include <QString>
#include <array>

namespace vorlune::testrun {

// The section of the settings file that holds the run options.
inline const QString kRunSection = QStringLiteral("Run");

// Every key the section holds. A key is named only here: code reads and
// writes settings by these values, so a misspelt key cannot compile.
enum class RunKey {
    DeleteLogs,
    DeleteWorlds,
    DeleteCrashes,
    DeletePlayers,
    DeletePlugins,
    CoreFeed,
};

struct RunSetting {
    RunKey key;
    const char *name;
    const char *defaultValue;
    // A yes/no option ("-1" or "0") the run settings window shows as a check
    // box and writes when the program starts; the others are texts a user
    // may add by hand.
    bool isOption;
};

// One row per key, in the order of RunKey; the options in the order they
// are written.
inline constexpr std::array<RunSetting, 6> kRunSettings{{
    {RunKey::DeleteLogs, "delete_logs", "-1", true},
    {RunKey::DeleteWorlds, "delete_worlds", "0", true},
    {RunKey::DeleteCrashes, "delete_crashs", "-1", true},
    {RunKey::DeletePlayers, "delete_players", "-1", true},
    {RunKey::DeletePlugins, "delete_plugins", "0", true},
    // Another update feed of the same format for the sixth core.
    {RunKey::CoreFeed, "core_feed", "", false},
}};

// The key's row. A key without its row, or with another's, is a programming
// error: it throws std::logic_error (and a test walks every key).
const RunSetting &runSetting(RunKey key);
QString runKeyName(RunKey key);

// Writes the defaults of all options that are missing; existing entries
// keep their values untouched.
void ensureRunOptions(base::IniImage &settings);

// Lenient Boolean reading: a number is true when not zero, "True"/"False" in
// any case; anything else throws vorlune::Error.
bool parseBoolean(const QString &value);
QString booleanText(bool value);

// Reads one option, with its default; a value that is no Boolean throws
// vorlune::Error. Reading a text key as an option throws std::logic_error.
bool readRunOption(const base::IniImage &settings, RunKey key);
void writeRunOption(base::IniImage &settings, RunKey key, bool value);
// A text key's value, trimmed; its default when missing.
QString readRunText(const base::IniImage &settings, RunKey key);

} // namespace vorlune::testrun
