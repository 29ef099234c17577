#pragma once

#include "base/IniImage.h"

#include <QString>
#include <array>

namespace vorlune::testrun {

// The section of the settings file that holds the run options.
inline const QString kRunSection = QStringLiteral("Run");

struct RunOption {
    const char *key;
    const char *defaultValue;
};

// The clean-up options of the test run, in the order they are written.
inline constexpr std::array<RunOption, 5> kRunOptions{{
    {"delete_logs", "-1"},
    {"delete_worlds", "0"},
    {"delete_crashs", "-1"},
    {"delete_players", "-1"},
    {"delete_plugins", "0"},
}};

// Writes the defaults of all run options that are missing; existing entries
// keep their values untouched.
void ensureRunOptions(base::IniImage &settings);

// Lenient Boolean reading: a number is true when not zero, "True"/"False" in
// any case; anything else throws vorlune::Error.
bool parseBoolean(const QString &value);
QString booleanText(bool value);

// Reads one run option by its key, with the option's default.
bool readRunOption(const base::IniImage &settings, const QString &key);
void writeRunOption(base::IniImage &settings, const QString &key, bool value);

} // namespace vorlune::testrun
