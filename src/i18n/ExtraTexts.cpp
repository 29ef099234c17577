#include "i18n/ExtraTexts.h"

#include "base/IniImage.h"
#include "i18n/ExtraTextRows.h"

#include <QHash>

namespace vorlune::i18n {
namespace {

QHash<QString, QString> &store()
{
    static QHash<QString, QString> texts;
    return texts;
}

} // namespace

void loadExtraTexts(const base::IniImage &languageIni)
{
    QHash<QString, QString> loaded;
    for (const QString &key : languageIni.keys(kExtraTextSection)) {
        // The first entry of a key counts, as everywhere in INI files.
        if (!loaded.contains(key.toLower()))
            loaded.insert(key.toLower(), languageIni.readString(kExtraTextSection, key, QString()));
    }
    store() = std::move(loaded);
}

QString extraText(const QString &key, const QString &defaultText) { return store().value(key.toLower(), defaultText); }

QString extraTextDefault(std::string_view key)
{
    for (const ExtraTextRow &row : kExtraTextRows) {
        if (row.key == key)
            return QString::fromUtf16(row.ruDefault.data(), qsizetype(row.ruDefault.size()));
    }
    return {};
}

QString extraText(std::string_view key)
{
    return extraText(QString::fromLatin1(key.data(), qsizetype(key.size())), extraTextDefault(key));
}

} // namespace vorlune::i18n
