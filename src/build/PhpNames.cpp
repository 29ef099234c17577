#include "build/PhpNames.h"

#include "i18n/ExtraTexts.h"
#include "i18n/Placeholder.h"

#include <QStringList>

namespace vorlune::build {
namespace {

// Reserved by every PHP a server of API 3 or later runs on (7.2 to 8.4).
bool isReservedWord(const QString &part)
{
    static const QStringList words = {
        QStringLiteral("__halt_compiler"),
        QStringLiteral("abstract"),
        QStringLiteral("and"),
        QStringLiteral("array"),
        QStringLiteral("as"),
        QStringLiteral("break"),
        QStringLiteral("callable"),
        QStringLiteral("case"),
        QStringLiteral("catch"),
        QStringLiteral("class"),
        QStringLiteral("clone"),
        QStringLiteral("const"),
        QStringLiteral("continue"),
        QStringLiteral("declare"),
        QStringLiteral("default"),
        QStringLiteral("die"),
        QStringLiteral("do"),
        QStringLiteral("echo"),
        QStringLiteral("else"),
        QStringLiteral("elseif"),
        QStringLiteral("empty"),
        QStringLiteral("enddeclare"),
        QStringLiteral("endfor"),
        QStringLiteral("endforeach"),
        QStringLiteral("endif"),
        QStringLiteral("endswitch"),
        QStringLiteral("endwhile"),
        QStringLiteral("eval"),
        QStringLiteral("exit"),
        QStringLiteral("extends"),
        QStringLiteral("final"),
        QStringLiteral("finally"),
        QStringLiteral("fn"),
        QStringLiteral("for"),
        QStringLiteral("foreach"),
        QStringLiteral("function"),
        QStringLiteral("global"),
        QStringLiteral("goto"),
        QStringLiteral("if"),
        QStringLiteral("implements"),
        QStringLiteral("include"),
        QStringLiteral("include_once"),
        QStringLiteral("instanceof"),
        QStringLiteral("insteadof"),
        QStringLiteral("interface"),
        QStringLiteral("isset"),
        QStringLiteral("list"),
        QStringLiteral("match"),
        QStringLiteral("namespace"),
        QStringLiteral("new"),
        QStringLiteral("or"),
        QStringLiteral("print"),
        QStringLiteral("private"),
        QStringLiteral("protected"),
        QStringLiteral("public"),
        QStringLiteral("readonly"),
        QStringLiteral("require"),
        QStringLiteral("require_once"),
        QStringLiteral("return"),
        QStringLiteral("static"),
        QStringLiteral("switch"),
        QStringLiteral("throw"),
        QStringLiteral("trait"),
        QStringLiteral("try"),
        QStringLiteral("unset"),
        QStringLiteral("use"),
        QStringLiteral("var"),
        QStringLiteral("while"),
        QStringLiteral("xor"),
        QStringLiteral("yield"),
        QStringLiteral("__class__"),
        QStringLiteral("__dir__"),
        QStringLiteral("__file__"),
        QStringLiteral("__function__"),
        QStringLiteral("__line__"),
        QStringLiteral("__method__"),
        QStringLiteral("__namespace__"),
        QStringLiteral("__trait__"),
        QStringLiteral("__property__"),
    };
    return words.contains(part.toLower());
}

// Names PHP keeps for its own types: no class may be declared with them.
bool isReservedClassName(const QString &part)
{
    static const QStringList names = {
        QStringLiteral("int"),      QStringLiteral("float"),  QStringLiteral("bool"),  QStringLiteral("string"),
        QStringLiteral("true"),     QStringLiteral("false"),  QStringLiteral("null"),  QStringLiteral("void"),
        QStringLiteral("iterable"), QStringLiteral("object"), QStringLiteral("mixed"), QStringLiteral("never"),
        QStringLiteral("self"),     QStringLiteral("parent"),
    };
    return names.contains(part.toLower());
}

MainClassFault partFault(const QString &part, bool isClass)
{
    using Fault = MainClassFault;
    if (part.isEmpty())
        return {Fault::EmptyPart, part, {}};
    for (const QChar c : part) {
        if (!isPhpNameCharacter(c))
            return {Fault::BadCharacter, part, c};
    }
    if (isAsciiDigit(part.front()))
        return {Fault::LeadingDigit, part, {}};
    if (isReservedWord(part))
        return {Fault::ReservedWord, part, {}};
    if (isClass && isReservedClassName(part))
        return {Fault::ReservedClass, part, {}};
    return {};
}

// A control character is named by its code: printed as it is, it would not show.
QString shown(QChar c)
{
    if (c.unicode() < 0x20 || c.unicode() == 0x7F)
        return QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("\"%1\"").arg(c);
}

} // namespace

bool isAsciiDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

bool isPhpNameStart(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || u == u'_' || u >= 0x80;
}

bool isPhpNameCharacter(QChar c) { return isPhpNameStart(c) || isAsciiDigit(c); }

MainClassFault mainClassFault(const QString &main)
{
    if (!main.contains(QLatin1Char('\\')))
        return {MainClassFault::NoNamespace, main, {}};
    const QStringList parts = main.split(QLatin1Char('\\'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (const MainClassFault fault = partFault(parts.at(i), i + 1 == parts.size()))
            return fault;
    }
    return {};
}

QString describeMainClassFault(const QString &main, const MainClassFault &fault)
{
    static constexpr std::string_view keys[] = {
        "",
        "check_main_namespace",
        "check_main_empty",
        "check_main_character",
        "check_main_digit",
        "check_main_keyword",
        "check_main_class",
    };
    return i18n::fillPlaceholders(i18n::extraText(keys[fault.kind]),
                                  {{"main", main}, {"part", fault.part}, {"character", shown(fault.character)}});
}

} // namespace vorlune::build
