#include "app/gui/Theme.h"

#include "base/Error.h"
#include "base/FileIo.h"
#include "base/RuntimeFiles.h"

#include <QApplication>
#include <QFile>

namespace vorlune::gui {

void applyThemeFrom(const QString &programFolder)
{
    const QString themeFile = programFolder + base::kThemeFileName;
    const QString loadingFile = programFolder + base::kThemeLoadingName;
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
