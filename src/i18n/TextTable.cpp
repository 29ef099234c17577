#include "i18n/TextTable.h"

#include "base/FileIo.h"
#include "base/IniImage.h"

namespace vorlune::i18n {
namespace {

QString fromView(std::string_view view) { return QString::fromUtf8(view.data(), qsizetype(view.size())); }

} // namespace

TextTable::TextTable() { resetToDefaults(); }

void TextTable::resetToDefaults()
{
    for (size_t i = 0; i < kTextRows.size(); ++i)
        m_slots[i] = fromView(kTextRows[i].defaultText);
}

void TextTable::GetStringFromLanguage(base::IniImage &languageIni, const QString &par1, const QString &par2,
                                      const QString &str, int index)
{
    const QString value = languageIni.readString(par1, par2, str);
    m_slots[size_t(index)] = value;
    languageIni.writeString(par1, par2, value);
}

void TextTable::GetStringsLanguage(base::IniImage &languageIni, const QString &languageFilePath)
{
    fillFrom(languageIni);
    // A file that would grow past the read limit would be refused at every
    // later start: it is left as it was.
    const QByteArray bytes = languageIni.toBytes();
    if (bytes.size() <= fileio::kIniFileLimit)
        fileio::writeAtomically(languageFilePath, bytes);
}

void TextTable::completeLanguageImage(base::IniImage &languageIni)
{
    for (const TextRow &row : kTextRows) {
        const QString section = fromView(row.section);
        const QString key = fromView(row.key);
        languageIni.writeString(section, key, languageIni.readString(section, key, fromView(row.defaultText)));
    }
}

void TextTable::fillFrom(base::IniImage &languageIni)
{
    for (size_t i = 0; i < kTextRows.size(); ++i) {
        const TextRow &row = kTextRows[i];
        GetStringFromLanguage(languageIni, fromView(row.section), fromView(row.key), fromView(row.defaultText), int(i));
    }
}

void TextTable::loadFrom(const base::IniImage &languageIni)
{
    for (size_t i = 0; i < kTextRows.size(); ++i) {
        const TextRow &row = kTextRows[i];
        m_slots[i] = languageIni.readString(fromView(row.section), fromView(row.key), fromView(row.defaultText));
    }
}

TextTable &texts()
{
    static TextTable table;
    return table;
}

} // namespace vorlune::i18n
