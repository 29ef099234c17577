#pragma once

#include <QByteArray>

namespace vorlune::project {

// A project element has a handful of attributes; the XML parser's check
// for repeated ones takes the square of their number, so a file with
// hundreds of thousands ran for minutes. Far above any real project.
inline constexpr int kMaxAttributes = 256;

// The line (from 1) of the first start tag in `xml` with more than
// kMaxAttributes attributes, or 0 when there is none. A quick look at the
// bytes, before they are parsed: comments, processing instructions, CDATA
// and the DOCTYPE are skipped; each "=" outside quotes in a tag counts one
// attribute. ASCII markup is found in single-byte encodings and UTF-8 as
// in UTF-16, whose zero bytes are passed over.
int lineOfTooManyAttributes(const QByteArray &xml);

} // namespace vorlune::project
