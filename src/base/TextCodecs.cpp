#include "base/TextCodecs.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace vorlune::codecs {
namespace {

constexpr const char *kAnsi = "windows-1251";
constexpr const char *kOem = "IBM866";

QString decodeWith(const char *codec, const QByteArray &bytes)
{
    QStringDecoder decoder(codec, QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray encodeWith(const char *codec, const QString &text)
{
    QStringEncoder encoder(codec, QStringEncoder::Flag::Stateless);
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(text);
}

} // namespace

QString decodeAnsi(const QByteArray &bytes) { return decodeWith(kAnsi, bytes); }
QByteArray encodeAnsi(const QString &text) { return encodeWith(kAnsi, text); }
QString decodeOem(const QByteArray &bytes) { return decodeWith(kOem, bytes); }
QByteArray encodeOem(const QString &text) { return encodeWith(kOem, text); }

} // namespace vorlune::codecs
