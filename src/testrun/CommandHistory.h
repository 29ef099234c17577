#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vorlune::testrun {

// The lines sent to a server, for recalling them with Up and Down. What was
// being typed when browsing began comes back after the newest line.
class CommandHistory {
public:
    explicit CommandHistory(qsizetype limit = 500) : m_limit(limit) {}

    // Empty lines and a repeat of the newest line are not kept. Ends browsing.
    void add(const QString &line);
    // The line before the one shown; nothing when at the oldest.
    std::optional<QString> previous(const QString &shown);
    // The line after the one shown; nothing when not browsing.
    std::optional<QString> next();

private:
    QStringList m_lines;
    qsizetype m_position = 0; // m_lines.size() when not browsing
    QString m_draft;
    qsizetype m_limit;
};

} // namespace vorlune::testrun
