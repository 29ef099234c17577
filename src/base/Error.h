#pragma once

#include <QString>
#include <stdexcept>

namespace vorlune {

// The one error type of the logic layer. It carries the text the user sees
// (a system error text, a parser message, a localized message).
class Error : public std::runtime_error {
public:
    explicit Error(const QString &text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString &text() const noexcept { return m_text; }

private:
    QString m_text;
};

} // namespace vorlune
