#include "base/RuntimeFiles.h"

#include "base/Error.h"
#include "base/FileIo.h"

#include <QFile>

namespace vorlune::base {

void ExtractRes(const QString &ResType, const QString &ResName, const QString &ResNewName)
{
    QFile resource(QStringLiteral(":/") + ResType + QLatin1Char('/') + ResName);
    if (!resource.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("The program carries no resource \"%1\" of type \"%2\"").arg(ResName, ResType));
    fileio::replaceFile(ResNewName, resource.readAll(), fileio::AtLink::Replace);
}

} // namespace vorlune::base
