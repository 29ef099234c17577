#include "app/gui/QtTranslations.h"

#include "base/IniImage.h"
#include "i18n/ExtraTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace vorlune::gui {

void loadQtTranslations(const base::IniImage &languageIni)
{
    static std::unique_ptr<QTranslator> current;
    if (current)
        QCoreApplication::removeTranslator(current.get());
    current.reset();
    const QString language =
        languageIni.readString(i18n::kExtraTextSection, QStringLiteral("language"), QStringLiteral("ru")).trimmed();
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(QStringLiteral("qtbase_") + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator.get());
        current = std::move(translator);
    }
}

} // namespace vorlune::gui
