#include "project/AttributeCount.h"

namespace vorlune::project {
namespace {

// The bytes without the zero bytes of UTF-16 text.
class Scanner {
public:
    explicit Scanner(const QByteArray &xml) : m_data(xml.constData()), m_size(xml.size()) {}

    bool atEnd() const { return m_at >= m_size; }
    char next()
    {
        while (m_at < m_size) {
            const char c = m_data[m_at++];
            if (c == '\n')
                ++m_line;
            if (c != '\0')
                return c;
        }
        return '\0';
    }
    // Whether the bytes ahead (zero bytes passed over) start with `text`;
    // consumes them when they do.
    bool take(const char *text)
    {
        const qsizetype startAt = m_at;
        const int startLine = m_line;
        for (; *text; ++text) {
            if (next() != *text) {
                m_at = startAt;
                m_line = startLine;
                return false;
            }
        }
        return true;
    }
    void skipPast(const char *end)
    {
        while (!atEnd() && !take(end))
            next();
    }
    int line() const { return m_line; }

private:
    const char *m_data;
    qsizetype m_size;
    qsizetype m_at = 0;
    int m_line = 1;
};

// Quoted text in markup: true while `c` is inside quotes or one of them.
bool quoted(char c, char &quote)
{
    if (quote) {
        if (c == quote)
            quote = 0;
        return true;
    }
    if (c == '"' || c == '\'') {
        quote = c;
        return true;
    }
    return false;
}

// A DOCTYPE, with an internal subset in brackets whose declarations hold
// quoted text.
void skipDoctype(Scanner &scan)
{
    int brackets = 0;
    char quote = 0;
    while (!scan.atEnd()) {
        const char c = scan.next();
        if (quoted(c, quote))
            continue;
        if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            --brackets;
        } else if (c == '>' && brackets <= 0) {
            return;
        }
    }
}

} // namespace

int lineOfTooManyAttributes(const QByteArray &xml)
{
    Scanner scan(xml);
    while (!scan.atEnd()) {
        if (scan.next() != '<')
            continue;
        if (scan.take("!--")) {
            scan.skipPast("-->");
        } else if (scan.take("![CDATA[")) {
            scan.skipPast("]]>");
        } else if (scan.take("?")) {
            scan.skipPast("?>");
        } else if (scan.take("!")) {
            skipDoctype(scan);
        } else {
            const int line = scan.line();
            int attributes = 0;
            char quote = 0;
            while (!scan.atEnd()) {
                const char c = scan.next();
                if (quoted(c, quote))
                    continue;
                if (c == '=') {
                    if (++attributes > kMaxAttributes)
                        return line;
                } else if (c == '>') {
                    break;
                }
            }
        }
    }
    return 0;
}

} // namespace vorlune::project
