#include "testrun/ServerProperties.h"

#include "base/Error.h"
#include "base/FileIo.h"
#include "base/IniImage.h"
#include "base/RuntimeFiles.h"
#include "base/TextCodecs.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QStringList>

#include <cerrno>

#include <sys/stat.h>

namespace vorlune::testrun {
namespace {

// A file with fewer lines is not a server's settings file worth keeping.
constexpr qsizetype kShortestKept = 23;

enum class Encoding { Ansi, Utf8, Utf16LE, Utf16BE };

Encoding encodingOf(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return Encoding::Utf8;
    if (bytes.startsWith("\xFF\xFE"))
        return Encoding::Utf16LE;
    if (bytes.startsWith("\xFE\xFF"))
        return Encoding::Utf16BE;
    return Encoding::Ansi;
}

// In the encoding the file was read in, with its byte-order mark.
QByteArray encoded(const QString &text, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8:
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case Encoding::Utf16LE:
        return QByteArray("\xFF\xFE") + QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    case Encoding::Utf16BE:
        return QByteArray("\xFE\xFF") + QStringEncoder(QStringEncoder::Utf16BE).encode(text);
    case Encoding::Ansi:
        break;
    }
    return codecs::encodeAnsi(text);
}

QStringList linesOf(const QString &text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(lineBreak);
    if (lines.last().isEmpty())
        lines.removeLast(); // a break at the end, or no text at all
    return lines;
}

void setTestValues(QStringList &lines)
{
    for (QString &line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QStringView key = equals < 0 ? QStringView() : QStringView(line).left(equals);
        if (key == QLatin1String("motd"))
            line = QStringLiteral("motd=Vorlune-PluginTest");
        else if (key == QLatin1String("max-players"))
            line = QStringLiteral("max-players=777");
    }
}

QByteArray carriedTemplate()
{
    QFile resource(QStringLiteral(":/") + base::kResourceType + QLatin1Char('/') + kServerPropertiesResource);
    if (!resource.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("The program carries no resource \"%1\"").arg(kServerPropertiesResource));
    return resource.readAll();
}

bool isMissing(const QString &path)
{
    struct ::stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) != 0 && errno == ENOENT;
}

} // namespace

void prepareServerProperties(const QString &serverFolder)
{
    const QString path = serverFolder + kServerPropertiesFileName;
    const QByteArray standard = carriedTemplate();
    const QByteArray bytes = isMissing(path) ? standard : fileio::readAll(path, fileio::kIniFileLimit);
    QStringList lines = linesOf(base::decodeByByteOrderMark(bytes));
    setTestValues(lines);
    if (lines.size() < kShortestKept) {
        fileio::writeAtomically(path, standard, fileio::AtLink::Replace);
        return;
    }
    const QString text = lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n");
    fileio::writeAtomically(path, encoded(text, encodingOf(bytes)), fileio::AtLink::Replace);
}

} // namespace vorlune::testrun
