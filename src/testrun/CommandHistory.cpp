#include "testrun/CommandHistory.h"

namespace vorlune::testrun {

void CommandHistory::add(const QString &line)
{
    if (!line.isEmpty() && (m_lines.isEmpty() || m_lines.last() != line)) {
        m_lines.append(line);
        if (m_lines.size() > m_limit)
            m_lines.removeFirst();
    }
    m_position = m_lines.size();
    m_draft.clear();
}

std::optional<QString> CommandHistory::previous(const QString &shown)
{
    if (m_position == 0)
        return std::nullopt;
    if (m_position == m_lines.size())
        m_draft = shown;
    return m_lines.at(--m_position);
}

std::optional<QString> CommandHistory::next()
{
    if (m_position >= m_lines.size())
        return std::nullopt;
    ++m_position;
    return m_position == m_lines.size() ? m_draft : m_lines.at(m_position);
}

} // namespace vorlune::testrun
