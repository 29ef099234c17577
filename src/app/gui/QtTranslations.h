#pragma once

namespace vorlune::base {
class IniImage;
}

namespace vorlune::gui {

// Qt's own texts (file dialogs, message box buttons) in the language of the
// language file: its extra section names it ("language=en"); a file without
// one holds the built-in Russian texts. English where Qt has no translation.
void loadQtTranslations(const base::IniImage &languageIni);

} // namespace vorlune::gui
