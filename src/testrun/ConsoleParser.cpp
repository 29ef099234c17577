#include "testrun/ConsoleParser.h"

namespace vorlune::testrun {
namespace {

constexpr unsigned char kEscape = 0x1B;
constexpr unsigned char kBell = 0x07;
constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kFormatSign = 0xA7;
// Longer sequences are consumed but not acted on, so a broken stream cannot
// make the parser hold on to memory.
constexpr qsizetype kSequenceLimit = 4096;
constexpr qsizetype kLineLengthLimit = kConsoleLineLength;
// What of one text of the console's own can be shown: as much as it keeps.
constexpr qsizetype kConsoleCharacterLimitForText = 2000000;

bool isControl(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

} // namespace

ConsoleParser::ConsoleParser(FormatCodeTable formatCodes) : m_formatCodes(std::move(formatCodes)) {}

std::vector<ConsoleEvent> ConsoleParser::feed(QByteArrayView chunk)
{
    const char *next = chunk.data();
    const char *const end = next + chunk.size();
    while (next < end) {
        // Plain ASCII text goes in whole runs: most of a log is made of it.
        if (m_state == State::Text && m_continuationBytes == 0 && !m_formatSignSeen) {
            const char *run = next;
            const char *const limit = next + qMin(end - next, kLineLengthLimit - m_lineLength);
            while (run < limit && *run >= 0x20 && *run < 0x7F)
                ++run;
            if (run != next) {
                textTarget().append(QLatin1StringView(next, run - next));
                countLineLength(run - next);
                next = run;
                continue;
            }
        }
        byte(static_cast<unsigned char>(*next++));
    }
    return std::exchange(m_events, {});
}

std::vector<ConsoleEvent> ConsoleParser::finish()
{
    dropUnfinishedCharacter();
    m_formatSignSeen = false;
    m_carriageReturn = false;
    m_state = State::Text;
    m_sequence.clear();
    if (m_lineHasText)
        endLine();
    return std::exchange(m_events, {});
}

void ConsoleParser::byte(unsigned char byte)
{
    switch (m_state) {
    case State::Text:
        if (isControl(byte))
            controlByte(byte);
        else
            textByte(byte);
        return;
    case State::Escape:
    case State::EscapeIntermediate:
        escapeByte(byte);
        return;
    case State::Csi:
        csiByte(byte);
        return;
    case State::Osc:
    case State::OscEscape:
        oscByte(byte);
        return;
    case State::IgnoredString:
    case State::IgnoredStringEscape:
        ignoredStringByte(byte);
        return;
    }
}

void ConsoleParser::textByte(unsigned char byte)
{
    if (m_continuationBytes > 0) {
        if ((byte & 0xC0) == 0x80) {
            m_code = (m_code << 6) | (byte & 0x3F);
            if (--m_continuationBytes == 0) {
                const bool valid = m_code >= m_lowest && m_code <= 0x10FFFF && (m_code < 0xD800 || m_code > 0xDFFF);
                character(valid ? m_code : kReplacement);
            }
            return;
        }
        dropUnfinishedCharacter();
    }
    if (byte < 0x80) {
        character(byte);
    } else if ((byte & 0xE0) == 0xC0) {
        m_code = byte & 0x1F;
        m_continuationBytes = 1;
        m_lowest = 0x80;
    } else if ((byte & 0xF0) == 0xE0) {
        m_code = byte & 0x0F;
        m_continuationBytes = 2;
        m_lowest = 0x800;
    } else if ((byte & 0xF8) == 0xF0) {
        m_code = byte & 0x07;
        m_continuationBytes = 3;
        m_lowest = 0x10000;
    } else {
        character(kReplacement);
    }
}

void ConsoleParser::dropUnfinishedCharacter()
{
    if (m_continuationBytes == 0)
        return;
    m_continuationBytes = 0;
    character(kReplacement);
}

void ConsoleParser::controlByte(unsigned char byte)
{
    dropUnfinishedCharacter();
    // A format sign needs a printable code character after it.
    m_formatSignSeen = false;
    if (byte == '\t') {
        appendText(byte);
        return;
    }
    switch (byte) {
    case '\n':
        m_carriageReturn = false;
        endLine();
        break;
    case '\r':
        m_carriageReturn = true;
        break;
    case kEscape:
        m_state = State::Escape;
        break;
    default: // bells, back spaces and the like have no place in a log
        break;
    }
}

void ConsoleParser::escapeByte(unsigned char byte)
{
    if (byte == kEscape) {
        m_state = State::Escape;
        return;
    }
    if (isControl(byte) || byte >= 0x80) {
        abortSequence(byte);
        return;
    }
    if (byte >= 0x20 && byte <= 0x2F) { // ESC ( B and the like: more to come
        m_state = State::EscapeIntermediate;
        return;
    }
    m_sequence.clear();
    m_sequenceTooLong = false;
    if (m_state == State::Escape && byte == '[')
        m_state = State::Csi;
    else if (m_state == State::Escape && byte == ']')
        m_state = State::Osc;
    else if (m_state == State::Escape && (byte == 'P' || byte == 'X' || byte == '^' || byte == '_'))
        m_state = State::IgnoredString;
    else
        m_state = State::Text; // a complete two-byte escape
}

// A sequence cut short by a control or a stray byte: the sequence is
// dropped and the byte counts as if no sequence had been open. So a line
// break always ends a broken sequence and no line is lost to it.
void ConsoleParser::abortSequence(unsigned char byte)
{
    m_state = State::Text;
    m_sequence.clear();
    this->byte(byte);
}

void ConsoleParser::collect(unsigned char byte)
{
    if (m_sequence.size() < kSequenceLimit)
        m_sequence.append(char(byte));
    else
        m_sequenceTooLong = true;
}

void ConsoleParser::csiByte(unsigned char byte)
{
    if (byte >= 0x20 && byte <= 0x3F) {
        collect(byte);
    } else if (byte >= 0x40 && byte <= 0x7E) {
        if (byte == 'm' && !m_sequenceTooLong)
            applySgr(m_style, m_sequence);
        m_state = State::Text;
        m_sequence.clear();
    } else if (byte == kEscape) {
        m_state = State::Escape;
    } else {
        abortSequence(byte);
    }
}

void ConsoleParser::oscByte(unsigned char byte)
{
    if (m_state == State::OscEscape) {
        if (byte == '\\') {
            applyTitle();
            m_state = State::Text;
        } else {
            m_state = State::Escape;
            escapeByte(byte);
        }
        return;
    }
    if (byte == kBell) {
        applyTitle();
        m_state = State::Text;
    } else if (byte == kEscape) {
        m_state = State::OscEscape;
    } else if (byte == '\n' || byte == '\r') {
        abortSequence(byte);
    } else if (!isControl(byte)) {
        collect(byte);
    }
}

void ConsoleParser::ignoredStringByte(unsigned char byte)
{
    if (m_state == State::IgnoredStringEscape) {
        if (byte == '\\') {
            m_state = State::Text;
        } else {
            m_state = State::Escape;
            escapeByte(byte);
        }
    } else if (byte == kEscape) {
        m_state = State::IgnoredStringEscape;
    } else if (byte == '\n' || byte == '\r') {
        abortSequence(byte);
    }
}

void ConsoleParser::applyTitle()
{
    const qsizetype separator = m_sequence.indexOf(';');
    const QByteArrayView kind = QByteArrayView(m_sequence).first(qMax(separator, qsizetype(0)));
    if (separator > 0 && !m_sequenceTooLong && (kind == "0" || kind == "2"))
        push(ConsoleEvent::Kind::Title, QString::fromUtf8(m_sequence.mid(separator + 1)));
    m_sequence.clear();
}

void ConsoleParser::applyFormatCode(char32_t code)
{
    if (code > 0xFFFF)
        return;
    auto found = m_formatCodes.constFind(char16_t(code));
    if (found == m_formatCodes.cend())
        found = m_formatCodes.constFind(QChar::toLower(char16_t(code)));
    if (found == m_formatCodes.cend())
        return;
    if (found->reset)
        m_style = ConsoleStyle{};
    if (found->colour)
        m_style.foreground = found->colour;
    m_style.bold = m_style.bold || found->bold;
    m_style.italic = m_style.italic || found->italic;
}

void ConsoleParser::character(char32_t code)
{
    if (m_formatSignSeen) {
        m_formatSignSeen = false;
        applyFormatCode(code);
        return;
    }
    if (code == kFormatSign) {
        m_formatSignSeen = true;
        return;
    }
    appendText(code);
}

QString &ConsoleParser::textTarget()
{
    if (m_carriageReturn) {
        m_carriageReturn = false;
        if (m_lineHasText)
            push(ConsoleEvent::Kind::LineStart);
        m_lineLength = 0;
        m_styleRuns = 0;
    }
    m_lineHasText = true;
    const bool afterText = !m_events.empty() && m_events.back().kind == ConsoleEvent::Kind::Text;
    if (afterText && (m_events.back().style == m_style || m_styleRuns >= kConsoleStyleRunsPerLine))
        return m_events.back().text;
    ++m_styleRuns;
    m_events.push_back(ConsoleEvent{ConsoleEvent::Kind::Text, QString(), m_style});
    return m_events.back().text;
}

void ConsoleParser::appendText(char32_t code)
{
    QString &text = textTarget();
    if (QChar::requiresSurrogates(code)) {
        text.append(QChar(QChar::highSurrogate(code)));
        text.append(QChar(QChar::lowSurrogate(code)));
    } else {
        text.append(QChar(char16_t(code)));
    }
    countLineLength(QChar::requiresSurrogates(code) ? 2 : 1);
}

void ConsoleParser::countLineLength(qsizetype added)
{
    m_lineLength += added;
    if (m_lineLength >= kLineLengthLimit)
        endLine();
}

void ConsoleParser::endLine()
{
    push(ConsoleEvent::Kind::LineEnd);
    m_lineHasText = false;
    m_lineLength = 0;
    m_styleRuns = 0;
}

std::vector<ConsoleEvent> consoleLines(const QString &text, const ConsoleStyle &style)
{
    std::vector<ConsoleEvent> events;
    // A text longer than the console holds shows its end, as output would.
    const qsizetype start = qMax(qsizetype(0), text.size() - kConsoleCharacterLimitForText);
    for (qsizetype at = start; at < text.size();) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), at);
        if (end < 0)
            end = text.size();
        const qsizetype length = qMin(end - at, kLineLengthLimit);
        events.push_back(ConsoleEvent{ConsoleEvent::Kind::Text, text.mid(at, length), style});
        events.push_back(ConsoleEvent{ConsoleEvent::Kind::LineEnd, {}, {}});
        at += length;
        if (at == end)
            ++at; // past the line break
    }
    if (events.empty())
        events.push_back(ConsoleEvent{ConsoleEvent::Kind::LineEnd, {}, {}});
    return events;
}

void ConsoleParser::push(ConsoleEvent::Kind kind, const QString &text)
{
    m_events.push_back(ConsoleEvent{kind, text, ConsoleStyle{}});
}

} // namespace vorlune::testrun
