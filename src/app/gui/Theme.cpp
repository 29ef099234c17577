#include "app/gui/Theme.h"

#include "app/RuntimeFiles.h"

#include <QApplication>
#include <QFile>

namespace vorlune::gui {

void applyThemeFrom(const QString &programFolder)
{
    const QString themeFile = programFolder + app::kThemeFileName;
    const QString loadingFile = programFolder + app::kThemeLoadingName;
    if (!QFile::exists(themeFile))
        return;
    QFile::rename(themeFile, loadingFile); // result ignored, as the theme rules say
    QFile file(loadingFile);
    if (file.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
    file.close();
    QFile::rename(loadingFile, themeFile);
}

} // namespace vorlune::gui
