#pragma once

#include <QByteArray>
#include <QString>

namespace vorlune::codecs {

// The 8-bit code pages that stand for the system's ANSI code page (INI
// files without byte-order mark) and its OEM code page (ZIP entry names).
// A character the code page cannot hold is written as "?".
QString decodeAnsi(const QByteArray &bytes);
QByteArray encodeAnsi(const QString &text);
QString decodeOem(const QByteArray &bytes);
QByteArray encodeOem(const QString &text);

} // namespace vorlune::codecs
