#include "build/YamlScalar.h"

#include <QRegularExpression>
#include <QStringList>

namespace vorlune::build {
namespace {

// Characters a YAML stream may hold as they are; others need an escape.
bool isPrintable(char32_t c)
{
    return c == 0x09 || c == 0x0A || c == 0x0D || (c >= 0x20 && c <= 0x7E) || c == 0x85 || (c >= 0xA0 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD && c != 0xFEFF) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Tabs and line breaks (YAML 1.1 counts NEL, LS and PS as breaks) are
// folded or dropped in a plain scalar.
bool breaksPlainText(char32_t c)
{
    return c == 0x09 || c == 0x0A || c == 0x0D || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isWordOfAnotherType(const QString &value)
{
    // YAML 1.1 Booleans and nulls; every letter case is quoted, as readers
    // differ in which spellings they take.
    static const QStringList words{
        QStringLiteral("y"),    QStringLiteral("n"),     QStringLiteral("yes"), QStringLiteral("no"),
        QStringLiteral("true"), QStringLiteral("false"), QStringLiteral("on"),  QStringLiteral("off"),
        QStringLiteral("null"), QStringLiteral("~"),
    };
    return words.contains(value, Qt::CaseInsensitive);
}

// Numbers of every base, sexagesimal numbers and dates start with a digit
// and use only these characters; such a text is quoted unless it has the
// dotted form of a version ("1.0.0"), which no reader takes for a number.
bool mayReadAsNumberOrDate(const QString &value)
{
    const QChar first = value.at(0);
    if (!(first >= u'0' && first <= u'9'))
        return false;
    static const QRegularExpression numberish(QStringLiteral("^[0-9a-fA-FxXoO_+\\-.:tTzZ ]+$"));
    static const QRegularExpression version(QStringLiteral("^[0-9]+(\\.[0-9]+){2,}$"));
    return numberish.match(value).hasMatch() && !version.match(value).hasMatch();
}

QString escaped(char32_t c)
{
    switch (c) {
    case 0x00:
        return QStringLiteral("\\0");
    case 0x07:
        return QStringLiteral("\\a");
    case 0x08:
        return QStringLiteral("\\b");
    case 0x09:
        return QStringLiteral("\\t");
    case 0x0A:
        return QStringLiteral("\\n");
    case 0x0B:
        return QStringLiteral("\\v");
    case 0x0C:
        return QStringLiteral("\\f");
    case 0x0D:
        return QStringLiteral("\\r");
    case 0x1B:
        return QStringLiteral("\\e");
    case 0x22:
        return QStringLiteral("\\\"");
    case 0x5C:
        return QStringLiteral("\\\\");
    case 0x85:
        return QStringLiteral("\\N");
    case 0x2028:
        return QStringLiteral("\\L");
    case 0x2029:
        return QStringLiteral("\\P");
    default:
        break;
    }
    const auto hex = [c](int width) {
        return QStringLiteral("%1").arg(uint(c), width, 16, QLatin1Char('0')).toUpper();
    };
    if (c <= 0xFF)
        return QStringLiteral("\\x") + hex(2);
    // A lone surrogate has no UTF-8 form and readers refuse its escape.
    if (c >= 0xD800 && c <= 0xDFFF)
        return QStringLiteral("\\uFFFD");
    if (c <= 0xFFFF)
        return QStringLiteral("\\u") + hex(4);
    return QStringLiteral("\\U") + hex(8);
}

QString doubleQuoted(const QString &value)
{
    QString out = QStringLiteral("\"");
    for (const char32_t c : value.toUcs4()) {
        const bool plain = c != 0x22 && c != 0x5C && isPrintable(c) && !breaksPlainText(c);
        if (plain)
            out += QString::fromUcs4(&c, 1);
        else
            out += escaped(c);
    }
    out += QLatin1Char('"');
    return out;
}

} // namespace

bool isPlainYamlSafe(const QString &value)
{
    if (value.isEmpty() || value.front() == u' ' || value.back() == u' ')
        return false;
    // Indicators that open something other than a plain text; "." covers
    // ".inf", ".nan", ".5" and the document end marker.
    static const QString indicators = QStringLiteral("-?:,[]{}#&*!|>'\"%@`.+");
    if (indicators.contains(value.front()))
        return false;
    if (value.contains(QLatin1String(": ")) || value.contains(QLatin1String(" #")) || value.back() == u':')
        return false;
    for (const char32_t c : value.toUcs4()) {
        if (!isPrintable(c) || breaksPlainText(c))
            return false;
    }
    return !isWordOfAnotherType(value) && !mayReadAsNumberOrDate(value);
}

QString yamlScalar(const QString &value) { return isPlainYamlSafe(value) ? value : doubleQuoted(value); }

} // namespace vorlune::build
