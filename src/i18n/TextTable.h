#pragma once

#include "i18n/TextRows.h"

#include <QString>
#include <array>

namespace vorlune::base {
class IniImage;
}

namespace vorlune::i18n {

inline const QString kLanguageFileName = QStringLiteral("Language.ini");

// Names one slot of the text table as "SECTION.key". The name is checked
// while compiling: a misspelt name does not build.
class TextId {
public:
    consteval TextId(const char *id) : m_slot(find(id)) {}
    constexpr int slot() const { return m_slot; }

private:
    static consteval int find(std::string_view id)
    {
        const auto dot = id.find('.');
        for (int i = 0; i < int(kTextRows.size()); ++i) {
            if (id.substr(0, dot) == kTextRows[i].section && id.substr(dot + 1) == kTextRows[i].key)
                return i;
        }
        throw "unknown text id";
    }
    int m_slot;
};

// The texts of the current language. One table serves the whole program.
class TextTable {
public:
    TextTable();

    // Reads one text from the language image (the default when missing),
    // stores it in its slot and writes it back into the image.
    void GetStringFromLanguage(base::IniImage &languageIni, const QString &par1, const QString &par2,
                               const QString &str, int index);
    // Loads all texts in table order and saves the image to languageFilePath,
    // unless the saved file would be larger than an INI file may be read
    // back (the texts are loaded all the same). Throws vorlune::Error when
    // the file cannot be written.
    void GetStringsLanguage(base::IniImage &languageIni, const QString &languageFilePath);
    // Writes every text the table has into the image as fillFrom does, the
    // default where one is missing, without touching any table: safe on
    // any thread.
    static void completeLanguageImage(base::IniImage &languageIni);
    // GetStringsLanguage without the save.
    void fillFrom(base::IniImage &languageIni);

    // Reads every text from the image without changing it (for tools that
    // must not rewrite the language file).
    void loadFrom(const base::IniImage &languageIni);

    const QString &text(TextId id) const { return m_slots[id.slot()]; }
    const QString &text(int slot) const { return m_slots[slot]; }
    void resetToDefaults();

private:
    std::array<QString, kTextRows.size()> m_slots;
};

TextTable &texts();

// The current text of a slot: tx("MSG.msg10").
inline const QString &tx(TextId id) { return texts().text(id); }

} // namespace vorlune::i18n
