#pragma once

#include "testrun/ConsoleParser.h"

#include <QString>

#include <deque>
#include <optional>
#include <vector>

namespace vorlune::testrun {

// The console keeps this many lines and at most this many characters;
// older ones are dropped.
inline constexpr int kConsoleLineLimit = 10000;
inline constexpr qsizetype kConsoleCharacterLimit = 2000000;

// Output that was read but is not shown yet, bounded whatever a server
// sends: lines that would scroll out before they are even shown are
// dropped (by the line and the character limit); text a carriage return
// replaces before it is shown is dropped; of the title changes only the
// last one waits.
class ConsoleBacklog {
public:
    explicit ConsoleBacklog(int lineLimit = kConsoleLineLimit, qsizetype characterLimit = kConsoleCharacterLimit)
        : m_lineLimit(lineLimit), m_characterLimit(characterLimit)
    {
    }

    void append(std::vector<ConsoleEvent> events);
    bool isEmpty() const { return m_events.empty() && !m_title; }
    qsizetype size() const { return qsizetype(m_events.size()); }
    qsizetype characters() const { return m_characters; }
    // The title a program set last, once; none when it did not set one.
    std::optional<QString> takeTitle() { return std::exchange(m_title, std::nullopt); }
    // Removes and returns the oldest event (never a title); there must be one.
    ConsoleEvent take();

private:
    void push(ConsoleEvent event);
    void dropReplacedText();
    void dropOldLines();
    ConsoleEvent popFront();

    std::deque<ConsoleEvent> m_events;
    std::optional<QString> m_title;
    int m_lineEnds = 0;
    qsizetype m_characters = 0;
    int m_lineLimit;
    qsizetype m_characterLimit;
};

} // namespace vorlune::testrun
