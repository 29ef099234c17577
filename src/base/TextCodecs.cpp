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

// The converter writes a substitute control character (SUB, or DEL for
// IBM866) for what the code page cannot hold; the system's own conversion
// writes "?", one per character. What does not come back when decoded
// could not be held.
QByteArray encodeWith(const char *codec, const QString &text)
{
    QStringEncoder encoder(codec, QStringEncoder::Flag::Stateless);
    if (!encoder.isValid())
        return text.toLatin1();
    QStringDecoder decoder(codec, QStringDecoder::Flag::Stateless);
    const QByteArray whole = encoder.encode(text);
    if (decoder.decode(whole) == text)
        return whole;
    QByteArray bytes;
    bytes.reserve(whole.size());
    for (qsizetype at = 0; at < text.size();) {
        const bool pair = text.at(at).isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate();
        const QStringView character = QStringView(text).mid(at, pair ? 2 : 1);
        const QByteArray encoded = encoder.encode(character);
        bytes += QString(decoder.decode(encoded)) == character ? encoded : QByteArray("?");
        at += character.size();
    }
    return bytes;
}

} // namespace

QString decodeAnsi(const QByteArray &bytes) { return decodeWith(kAnsi, bytes); }
QByteArray encodeAnsi(const QString &text) { return encodeWith(kAnsi, text); }
QString decodeOem(const QByteArray &bytes) { return decodeWith(kOem, bytes); }
QByteArray encodeOem(const QString &text) { return encodeWith(kOem, text); }

} // namespace vorlune::codecs
