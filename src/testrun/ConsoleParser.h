#pragma once

#include "testrun/ConsoleStyle.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace vorlune::testrun {

struct ConsoleEvent {
    enum class Kind {
        Text, // text in a style, never holding a line break
        LineEnd,
        LineStart, // a lone carriage return: the text after it replaces the current line
        Title,     // the window title a program set
    };
    Kind kind = Kind::Text;
    QString text;
    ConsoleStyle style;
    friend bool operator==(const ConsoleEvent &, const ConsoleEvent &) = default;
};

// A longer line is broken: laying out one huge line would hold the window up.
inline constexpr qsizetype kConsoleLineLength = 8192;
// Style changes kept in one line; later text of the line keeps the last
// style, so a colour per character costs no more than a plain line.
inline constexpr int kConsoleStyleRunsPerLine = 256;

// Text of the console's own (findings, notices) as lines in `style`, held
// to the same limits as a server's output.
std::vector<ConsoleEvent> consoleLines(const QString &text, const ConsoleStyle &style);

// Turns a server's output into styled text. Bytes are UTF-8 with ANSI escape
// sequences and "§" format codes; they may come split anywhere, so the
// parser keeps its place between chunks.
class ConsoleParser {
public:
    explicit ConsoleParser(FormatCodeTable formatCodes = {});

    std::vector<ConsoleEvent> feed(QByteArrayView chunk);
    // The output has ended: an unfinished character shows as U+FFFD and an
    // unfinished line is ended.
    std::vector<ConsoleEvent> finish();

private:
    enum class State { Text, Escape, EscapeIntermediate, Csi, Osc, OscEscape, IgnoredString, IgnoredStringEscape };

    void byte(unsigned char byte);
    void textByte(unsigned char byte);
    void controlByte(unsigned char byte);
    void escapeByte(unsigned char byte);
    void csiByte(unsigned char byte);
    void oscByte(unsigned char byte);
    void ignoredStringByte(unsigned char byte);
    void abortSequence(unsigned char byte);
    void collect(unsigned char byte);
    void applyTitle();
    void applyFormatCode(char32_t code);
    void character(char32_t code);
    void dropUnfinishedCharacter();
    void appendText(char32_t code);
    // The text the next characters go to, after what a pending return asks.
    QString &textTarget();
    void countLineLength(qsizetype added);
    void endLine();
    void push(ConsoleEvent::Kind kind, const QString &text = {});

    FormatCodeTable m_formatCodes;
    ConsoleStyle m_style;
    State m_state = State::Text;
    QByteArray m_sequence; // parameters of a CSI sequence, text of an OSC one
    bool m_sequenceTooLong = false;
    // UTF-8 decoding across chunks.
    char32_t m_code = 0;
    int m_continuationBytes = 0;
    char32_t m_lowest = 0; // the least code point the sequence may encode
    bool m_formatSignSeen = false;
    bool m_carriageReturn = false;
    bool m_lineHasText = false;
    qsizetype m_lineLength = 0; // in UTF-16 units
    int m_styleRuns = 0;        // in the current line
    std::vector<ConsoleEvent> m_events;
};

} // namespace vorlune::testrun
