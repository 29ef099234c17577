#include "testrun/ConsoleBacklog.h"

#include <utility>

namespace vorlune::testrun {

void ConsoleBacklog::append(std::vector<ConsoleEvent> events)
{
    for (ConsoleEvent &event : events) {
        switch (event.kind) {
        case ConsoleEvent::Kind::Title:
            m_title = std::move(event.text);
            break;
        case ConsoleEvent::Kind::LineStart:
            dropReplacedText();
            if (m_events.empty() || m_events.back().kind != ConsoleEvent::Kind::LineStart)
                push(std::move(event));
            break;
        default:
            push(std::move(event));
        }
    }
    if (m_lineEnds > m_lineLimit || m_characters > m_characterLimit)
        dropOldLines();
}

void ConsoleBacklog::push(ConsoleEvent event)
{
    if (event.kind == ConsoleEvent::Kind::LineEnd)
        ++m_lineEnds;
    m_characters += event.text.size();
    m_events.push_back(std::move(event));
}

// A carriage return replaces the line: what of it waits is never shown.
void ConsoleBacklog::dropReplacedText()
{
    while (!m_events.empty() && m_events.back().kind != ConsoleEvent::Kind::LineEnd) {
        m_characters -= m_events.back().text.size();
        m_events.pop_back();
    }
}

ConsoleEvent ConsoleBacklog::popFront()
{
    ConsoleEvent event = std::move(m_events.front());
    m_events.pop_front();
    if (event.kind == ConsoleEvent::Kind::LineEnd)
        --m_lineEnds;
    m_characters -= event.text.size();
    return event;
}

ConsoleEvent ConsoleBacklog::take() { return popFront(); }

void ConsoleBacklog::dropOldLines()
{
    bool dropped = false;
    while (m_lineEnds > 0 && (m_lineEnds > m_lineLimit || m_characters > m_characterLimit)) {
        while (popFront().kind != ConsoleEvent::Kind::LineEnd) {
        }
        dropped = true;
    }
    // What is shown may end in an unfinished line, which the dropped lines
    // would have ended.
    if (dropped) {
        m_events.push_front(ConsoleEvent{ConsoleEvent::Kind::LineEnd, {}, {}});
        ++m_lineEnds;
    }
}

} // namespace vorlune::testrun
