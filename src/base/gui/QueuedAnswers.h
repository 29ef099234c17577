#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vorlune::gui {

// The answers tests give a question box in advance. While answers are queued
// (or an answer for unqueued questions is set) no box is shown, and the
// texts asked are recorded.
template <typename Answer>
class QueuedAnswers {
public:
    // The answer to give instead of showing a box for `text`; none when the
    // box must be shown.
    std::optional<Answer> take(const QString &text)
    {
        if (m_queued.isEmpty() && !m_unqueued)
            return std::nullopt;
        m_asked << text;
        return m_queued.isEmpty() ? m_unqueued : std::optional<Answer>(m_queued.takeFirst());
    }

    void queue(Answer answer) { m_queued.append(answer); }
    void answerUnqueuedWith(Answer answer) { m_unqueued = answer; }
    void clear()
    {
        m_queued.clear();
        m_asked.clear();
    }
    QStringList &asked() { return m_asked; }

private:
    QList<Answer> m_queued;
    std::optional<Answer> m_unqueued;
    QStringList m_asked;
};

} // namespace vorlune::gui
