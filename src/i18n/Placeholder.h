#pragma once

#include <QString>

namespace vorlune::i18n {

// Fills every "{variable}" of stro with value. Scanning goes on after each
// inserted value, so a value that itself holds the placeholder is inserted
// as it is and the operation always ends.
QString setTextIntoVarInString(const QString &stro, const QString &variable, const QString &value);

} // namespace vorlune::i18n
