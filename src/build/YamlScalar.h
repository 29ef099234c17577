#pragma once

#include <QString>

namespace vorlune::build {

// The value as a YAML 1.1 scalar that a server's YAML reader gives back as
// exactly this text. Plain when that is safe; double-quoted with escapes
// when the plain form would read as something else: a Boolean, a null, a
// number, a date, a structure, or a text with its outer spaces dropped.
QString yamlScalar(const QString &value);

// Whether `yamlScalar` writes the value without quotes.
bool isPlainYamlSafe(const QString &value);

} // namespace vorlune::build
