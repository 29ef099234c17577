#include "app/RuntimeFiles.h"

#include "app/Error.h"
#include "app/FileIo.h"
#include "app/Messages.h"
#include "i18n/Placeholder.h"
#include "i18n/TextTable.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

namespace vorlune::app {

void ExtractRes(const QString &ResType, const QString &ResName, const QString &ResNewName)
{
    QFile resource(QStringLiteral(":/") + ResType + QLatin1Char('/') + ResName);
    if (!resource.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("The program carries no resource \"%1\" of type \"%2\"").arg(ResName, ResType));
    fileio::replaceFile(ResNewName, resource.readAll());
}

bool FileImportant(const QString &Path)
{
    if (QFileInfo::exists(Path))
        return true;
    Messages::show(i18n::setTextIntoVarInString(i18n::tx("MSG.msg9"), QStringLiteral("name"), Path));
    if (QCoreApplication *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, &QCoreApplication::quit, Qt::QueuedConnection);
    return false;
}

} // namespace vorlune::app
