#include "build/PhpStringLiteral.h"

#include "build/PhpNames.h"

namespace vorlune::build {
namespace {

bool isOctal(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'7'; }
bool isHex(QChar c)
{
    const char16_t lower = c.unicode() | 0x20;
    return isAsciiDigit(c) || (lower >= u'a' && lower <= u'f');
}

int hexValue(QChar c) { return isAsciiDigit(c) ? c.unicode() - u'0' : (c.unicode() | 0x20) - u'a' + 10; }

// UTF-8 as PHP writes a \u{...} escape: surrogates too, as three bytes.
QByteArray phpUtf8(uint code)
{
    QByteArray bytes;
    if (code < 0x80) {
        bytes += char(code);
    } else if (code < 0x800) {
        bytes += char(0xC0 | (code >> 6));
        bytes += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        bytes += char(0xE0 | (code >> 12));
        bytes += char(0x80 | ((code >> 6) & 0x3F));
        bytes += char(0x80 | (code & 0x3F));
    } else {
        bytes += char(0xF0 | (code >> 18));
        bytes += char(0x80 | ((code >> 12) & 0x3F));
        bytes += char(0x80 | ((code >> 6) & 0x3F));
        bytes += char(0x80 | (code & 0x3F));
    }
    return bytes;
}

// Reads a {$this->...} call whose text PHP is sure to parse: one or more
// method calls whose arguments are numbers, single-quoted texts, true, false
// or null. Properties are left out: a plugin's are private to its base class
// and reading one stops the server.
class MethodCallReader {
public:
    MethodCallReader(const QString &text, qsizetype from) : m_text(text), m_at(from) {}

    // The length of the call, or 0 when the text there is not one.
    qsizetype length()
    {
        const qsizetype from = m_at;
        if (!take(QLatin1String("{$this")))
            return 0;
        int calls = 0;
        while (take(QLatin1String("->"))) {
            if (!name() || !take(QLatin1String("(")) || !arguments() || !take(QLatin1String(")")))
                return 0;
            ++calls;
        }
        return calls > 0 && take(QLatin1String("}")) ? m_at - from : 0;
    }

private:
    bool atEnd() const { return m_at >= m_text.size(); }
    QChar current() const { return atEnd() ? QChar() : m_text.at(m_at); }

    bool take(QLatin1String word)
    {
        if (!QStringView(m_text).mid(m_at).startsWith(word))
            return false;
        m_at += word.size();
        return true;
    }

    void spaces()
    {
        while (current() == u' ')
            ++m_at;
    }

    bool name()
    {
        if (atEnd() || !isPhpNameStart(current()))
            return false;
        while (!atEnd() && isPhpNameCharacter(current()))
            ++m_at;
        return true;
    }

    bool arguments()
    {
        spaces();
        if (current() == u')')
            return true;
        do {
            spaces();
            if (!argument())
                return false;
            spaces();
        } while (take(QLatin1String(",")));
        return true;
    }

    bool argument()
    {
        if (current() == u'\'')
            return quotedText();
        if (current() == u'-')
            ++m_at;
        if (isAsciiDigit(current())) {
            while (isAsciiDigit(current()))
                ++m_at;
            if (current() == u'.' && m_at + 1 < m_text.size() && isAsciiDigit(m_text.at(m_at + 1))) {
                ++m_at;
                while (isAsciiDigit(current()))
                    ++m_at;
            }
            return true;
        }
        const qsizetype start = m_at;
        if (!name())
            return false;
        const QStringView word = QStringView(m_text).mid(start, m_at - start);
        for (const char *constant : {"true", "false", "null"}) {
            if (word.compare(QLatin1String(constant), Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }

    bool quotedText()
    {
        for (++m_at; !atEnd(); ++m_at) {
            if (current() == u'\\')
                ++m_at;
            else if (current() == u'\'')
                break;
        }
        if (atEnd())
            return false;
        ++m_at;
        return true;
    }

    const QString &m_text;
    qsizetype m_at;
};

struct Reading {
    QString body;
    PhpPrinting printing;
};

char simpleEscape(QChar c)
{
    switch (c.unicode()) {
    case u'n':
        return '\n';
    case u't':
        return '\t';
    case u'r':
        return '\r';
    case u'v':
        return '\v';
    case u'e':
        return '\x1B';
    case u'f':
        return '\f';
    case u'\\':
        return '\\';
    case u'$':
        return '$';
    case u'"':
        return '"';
    default:
        return 0;
    }
}

class MessageReader {
public:
    // Only what is asked for is made: a build wants the body, the check
    // the printing, and each is a copy of the message.
    enum Wanted { kBody, kPrinting };
    MessageReader(const QString &message, Wanted wanted) : m_text(message), m_wanted(wanted) {}

    Reading read()
    {
        while (m_at < m_text.size()) {
            const QChar c = m_text.at(m_at);
            if (c == u'\\')
                backslash();
            else if (c == u'"')
                put(QStringLiteral("\\\""), "\"");
            else if (c == u'$')
                dollar();
            else if (c == u'{' && methodCall())
                continue;
            else
                plainRun();
        }
        return std::move(m_reading);
    }

private:
    QChar at(qsizetype i) const { return i < m_text.size() ? m_text.at(i) : QChar(); }

    void put(QStringView body, QByteArrayView printed, qsizetype typed = 1)
    {
        if (m_wanted == kBody)
            m_reading.body += body;
        else
            m_reading.printing.printed += printed;
        m_bodyEndsWithBrace = body.endsWith(u'{');
        m_at += typed;
    }

    void escape(qsizetype length, const QByteArray &printed)
    {
        m_reading.printing.hasEscapes = true;
        put(QStringView(m_text).mid(m_at, length), printed, length);
    }

    // A backslash PHP would read otherwise than as itself, or as an error.
    void literalBackslash() { put(QStringLiteral("\\\\"), "\\"); }

    void backslash()
    {
        const QChar next = at(m_at + 1);
        if (next.isNull())
            return literalBackslash(); // it would escape the closing quote
        if (const char printed = simpleEscape(next))
            return escape(2, QByteArray(1, printed));
        if (isOctal(next)) {
            qsizetype end = m_at + 1;
            uint value = 0;
            while (end < m_at + 4 && isOctal(at(end)))
                value = value * 8 + uint(m_text.at(end++).unicode() - u'0');
            if (value > 0xFF)
                return literalBackslash(); // PHP warns of the overflow
            return escape(end - m_at, QByteArray(1, char(value)));
        }
        if (next == u'x' && isHex(at(m_at + 2))) {
            const bool two = isHex(at(m_at + 3));
            const int value = two ? hexValue(at(m_at + 2)) * 16 + hexValue(at(m_at + 3)) : hexValue(at(m_at + 2));
            return escape(two ? 4 : 3, QByteArray(1, char(value)));
        }
        if (next == u'u' && at(m_at + 2) == u'{')
            return codePoint();
        // PHP prints an unknown escape as typed and skips its second character.
        const qsizetype length = next.isSurrogate() ? 1 : 2;
        put(QStringView(m_text).mid(m_at, length), QStringView(m_text).mid(m_at, length).toUtf8(), length);
    }

    void codePoint()
    {
        qsizetype end = m_at + 3;
        uint value = 0;
        while (isHex(at(end))) {
            value = value > 0x10FFFF ? value : value * 16 + uint(hexValue(at(end)));
            ++end;
        }
        if (end == m_at + 3 || at(end) != u'}' || value > 0x10FFFF)
            return literalBackslash(); // PHP refuses the whole class
        escape(end + 1 - m_at, phpUtf8(value));
    }

    void dollar()
    {
        const QChar next = at(m_at + 1);
        const bool startsVariable = isPhpNameStart(next) || next == u'{' || m_bodyEndsWithBrace;
        put(startsVariable ? QStringLiteral("\\$") : QStringLiteral("$"), "$");
    }

    bool methodCall()
    {
        const qsizetype length = MethodCallReader(m_text, m_at).length();
        if (length == 0)
            return false;
        const QString call = m_text.mid(m_at, length);
        m_reading.printing.values << call;
        put(call, call.toUtf8(), length);
        return true;
    }

    static bool isPlain(QChar c) { return c != u'\\' && c != u'"' && c != u'$' && c != u'{'; }

    // The character at m_at and those after it up to the next one that may
    // start something PHP reads, as typed. A surrogate pair is never split:
    // neither half is such a character.
    void plainRun()
    {
        qsizetype end = m_at + 1;
        while (end < m_text.size() && isPlain(m_text.at(end)))
            ++end;
        const QStringView typed = QStringView(m_text).mid(m_at, end - m_at);
        if (m_wanted == kBody)
            m_reading.body += typed;
        else
            m_reading.printing.printed += typed.toUtf8();
        m_bodyEndsWithBrace = typed.endsWith(u'{');
        m_at = end;
    }

    const QString &m_text;
    const Wanted m_wanted;
    qsizetype m_at = 0;
    bool m_bodyEndsWithBrace = false;
    Reading m_reading;
};

} // namespace

QString phpStringBody(const QString &message) { return MessageReader(message, MessageReader::kBody).read().body; }

PhpPrinting phpPrinting(const QString &message)
{
    return MessageReader(message, MessageReader::kPrinting).read().printing;
}

} // namespace vorlune::build
