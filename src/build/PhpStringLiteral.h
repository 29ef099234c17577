#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vorlune::build {

// A console message goes into the class inside double quotes, read by PHP
// as such: what PHP reads validly stays (escapes such as \n, \x41, \\, \$,
// \", and {$this->method()} calls, whose value is printed), and only what
// would break the class or raise an error is escaped, so it prints as typed:
// - a double quote that would end the string becomes \";
// - a backslash that would escape the closing quote, start an invalid
//   \u{...} or an octal escape above \377 is doubled;
// - a "$" that starts a variable ("$" + a name, or "${") becomes \$, and a
//   "{$" that starts no method call becomes "{\$": a generated method has no
//   variable but $this, and $this itself cannot be printed.
// Text without a backslash, "$" or double quote keeps its bytes.
QString phpStringBody(const QString &message);

// How PHP prints the message once phpStringBody has made it safe.
struct PhpPrinting {
    // The bytes printed, each {$this->...} call shown as it was typed.
    QByteArray printed;
    // Whether an escape typed in the message prints other than it was typed.
    bool hasEscapes = false;
    // The {$this->...} calls whose value is printed, as typed.
    QStringList values;
};
PhpPrinting phpPrinting(const QString &message);

} // namespace vorlune::build
