#pragma once

#include "testrun/ConsoleParser.h"

#include <deque>
#include <vector>

namespace vorlune::testrun {

// The console keeps this many lines; older ones are dropped.
inline constexpr int kConsoleLineLimit = 10000;

// Output that was read but is not shown yet. Since the console keeps only
// its last lines, lines that would scroll out before they are even shown
// are dropped here: a server flooding its output costs at most the limit.
class ConsoleBacklog {
public:
    explicit ConsoleBacklog(int lineLimit = kConsoleLineLimit) : m_lineLimit(lineLimit) {}

    void append(std::vector<ConsoleEvent> events);
    bool isEmpty() const { return m_events.empty(); }
    qsizetype size() const { return qsizetype(m_events.size()); }
    // Removes and returns the oldest event; the backlog must not be empty.
    ConsoleEvent take();

private:
    void dropOldLines();

    std::deque<ConsoleEvent> m_events;
    int m_lineEnds = 0;
    int m_lineLimit;
};

} // namespace vorlune::testrun
