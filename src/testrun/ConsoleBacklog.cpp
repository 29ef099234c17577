#include "testrun/ConsoleBacklog.h"

#include <optional>

namespace vorlune::testrun {

void ConsoleBacklog::append(std::vector<ConsoleEvent> events)
{
    for (ConsoleEvent &event : events) {
        if (event.kind == ConsoleEvent::Kind::LineEnd)
            ++m_lineEnds;
        m_events.push_back(std::move(event));
    }
    if (m_lineEnds > m_lineLimit)
        dropOldLines();
}

ConsoleEvent ConsoleBacklog::take()
{
    ConsoleEvent event = std::move(m_events.front());
    m_events.pop_front();
    if (event.kind == ConsoleEvent::Kind::LineEnd)
        --m_lineEnds;
    return event;
}

void ConsoleBacklog::dropOldLines()
{
    std::optional<ConsoleEvent> title;
    while (m_lineEnds > m_lineLimit) {
        ConsoleEvent event = take();
        if (event.kind == ConsoleEvent::Kind::Title)
            title = std::move(event);
    }
    // What is shown may end in an unfinished line, which the dropped lines
    // would have ended; the last title set still counts.
    m_events.push_front(ConsoleEvent{ConsoleEvent::Kind::LineEnd, {}, {}});
    ++m_lineEnds;
    if (title)
        m_events.push_front(std::move(*title));
}

} // namespace vorlune::testrun
