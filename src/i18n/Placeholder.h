#pragma once

#include <QString>

#include <initializer_list>

namespace vorlune::i18n {

// Fills every "{variable}" of stro with value. Scanning goes on after each
// inserted value, so a value that itself holds the placeholder is inserted
// as it is and the operation always ends.
QString setTextIntoVarInString(const QString &stro, const QString &variable, const QString &value);

struct PlaceholderValue {
    const char *variable;
    QString value;
};

// Fills several placeholders in one pass, so that a value holding another
// placeholder ("{word}" in a typed name) stays as it is.
QString fillPlaceholders(const QString &text, std::initializer_list<PlaceholderValue> values);

} // namespace vorlune::i18n
