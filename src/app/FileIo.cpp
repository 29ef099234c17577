#include "app/FileIo.h"

#include "app/Error.h"

#include <QFile>
#include <QSaveFile>

namespace vorlune::fileio {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString()));
    return bytes;
}

void writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw Error(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
}

} // namespace vorlune::fileio
