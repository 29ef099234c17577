#include "i18n/ExtraTexts.h"

#include "base/IniImage.h"

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

QString extraText(const QString &key, const QString &defaultText)
{
    return store().value(key.toLower(), defaultText);
}

} // namespace vorlune::i18n
