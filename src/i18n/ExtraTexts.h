#pragma once

#include <QString>

namespace vorlune::base {
class IniImage;
}

namespace vorlune::i18n {

// Texts that have no slot in the text table live in this section of the
// language file, one key each.
inline const QString kExtraTextSection = QStringLiteral("VORLUNE");

// Replaces the stored extra texts with the entries of the section. The image
// is only read: a language file without the section stays without it.
void loadExtraTexts(const base::IniImage &languageIni);

// The text stored under key (letter case does not count), else the default.
QString extraText(const QString &key, const QString &defaultText);

} // namespace vorlune::i18n
