#pragma once

#include <QString>

namespace vorlune::base {
class IniImage;
}

namespace vorlune::i18n {

// Texts that have no slot in the text table live in this section of the
// language file, one key each; ExtraTextRows.h lists them.
inline const QString kExtraTextSection = QStringLiteral("VORLUNE");

// Replaces the stored extra texts with the entries of the section. The image
// is only read: a language file without the section stays without it.
void loadExtraTexts(const base::IniImage &languageIni);

// The text stored under key (letter case does not count), else the default.
QString extraText(const QString &key, const QString &defaultText);

// The text stored under a key of kExtraTextRows, else its Russian text.
QString extraText(std::string_view key);

// The Russian text of a key of kExtraTextRows; empty for any other key.
QString extraTextDefault(std::string_view key);

} // namespace vorlune::i18n
