#include "app/FileIo.h"

#include "app/Error.h"

#include <QFile>
#include <QFileInfo>
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

void replaceFile(const QString &path, const QByteArray &bytes)
{
    const QString temporary = path + QStringLiteral(".part");
    writeScratch(temporary, bytes);
    QFile::remove(path);
    if (!QFile::rename(temporary, path)) {
        QFile::remove(temporary);
        throw Error(QStringLiteral("Cannot write \"%1\"").arg(path));
    }
}

void writeScratch(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw Error(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
}

} // namespace vorlune::fileio
