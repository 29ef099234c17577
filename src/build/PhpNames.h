#pragma once

#include <QString>

namespace vorlune::build {

// Why PHP or the server cannot load a main class, with the part at fault.
struct MainClassFault {
    enum Kind {
        None,
        NoNamespace,   // no backslash: the server looks for a class the build cannot declare
        EmptyPart,     // a backslash first, last or doubled
        BadCharacter,  // `character` is not allowed in a PHP name
        LeadingDigit,  // a PHP name starts with a letter, "_" or a character beyond ASCII
        ReservedWord,  // a keyword of PHP, in any letter case
        ReservedClass, // the class is named as one of PHP's own types
    };
    Kind kind = None;
    QString part;
    QChar character;

    explicit operator bool() const { return kind != None; }
};

// Characters of PHP names: ASCII letters, "_" and every character beyond
// ASCII (bytes of 0x80 and more to PHP) start one; digits may follow.
bool isAsciiDigit(QChar c);
bool isPhpNameStart(QChar c);
bool isPhpNameCharacter(QChar c);

// The first fault of main, part by part from the left.
MainClassFault mainClassFault(const QString &main);

// The fault in the interface language, naming main, the part and the reason.
QString describeMainClassFault(const QString &main, const MainClassFault &fault);

} // namespace vorlune::build
