#include "app/gui/Theme.h"

#include "app/Error.h"
#include "app/FileIo.h"
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
    try {
        qApp->setStyleSheet(QString::fromUtf8(fileio::readAll(loadingFile, fileio::kIniFileLimit)));
    } catch (const Error &) {
        // A theme that cannot be read leaves the plain look.
    }
    QFile::rename(loadingFile, themeFile);
}

} // namespace vorlune::gui
