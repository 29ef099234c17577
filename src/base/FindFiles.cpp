#include "base/FindFiles.h"

#include <QDir>

namespace vorlune::base {

void FindFiles(const QString &Path, QStringList &list)
{
    const QDir folder(Path);
    if (!folder.exists())
        return;
    const QFileInfoList entries =
        folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.fileName().startsWith(QLatin1Char('.')))
            continue;
        // Links are not followed, so a link cannot pull outside files in.
        if (entry.isSymLink())
            continue;
        if (entry.isDir())
            FindFiles(entry.absoluteFilePath(), list);
        else
            list << entry.absoluteFilePath();
    }
}

} // namespace vorlune::base
