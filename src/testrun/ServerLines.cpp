#include "testrun/ServerLines.h"

#include <QRegularExpression>

namespace vorlune::testrun {
namespace {

using Kind = ServerLine::Kind;

// "[12:00:00.123] [Server thread/INFO]: " of the logger, "[ERROR] " of the
// start-up checks, which run before the logger; older cores leave the
// brackets off the time.
const QRegularExpression &logPrefix()
{
    static const QRegularExpression prefix(QStringLiteral(R"(^(?:\[?\d{1,2}:\d{2}:\d{2}(?:\.\d{1,6})?\]? +)?)"
                                                          R"((?:\[[^\[\]]*/[A-Za-z]+\]: *|\[[A-Z]+\]:? +)?)"));
    return prefix;
}

struct Pattern {
    Kind kind;
    QRegularExpression expression;
};

// Captures, in order, fill name, version, reason as the kind has them.
const std::vector<Pattern> &patterns()
{
    // The last " v" splits name from version: today's servers turn a name's
    // spaces into "_", older ones kept them, and versions seldom hold " v".
    static const std::vector<Pattern> all{
        {Kind::Loading, QRegularExpression(QStringLiteral(R"(^Loading (.+) v(.+)$)"))},
        {Kind::Enabling, QRegularExpression(QStringLiteral(R"(^Enabling (.+) v(.+)$)"))},
        {Kind::Ready,
         QRegularExpression(QStringLiteral(R"re(^Done \(\d+(?:[.,]\d+)?s\)! For help, type "help" or "\?"$)re"))},
        {Kind::PluginRefused,
         QRegularExpression(QStringLiteral(R"(^Could not (?:load|enable) plugin '(.*?)': (.*)$)"))},
        {Kind::PluginsFailed, QRegularExpression(QStringLiteral(R"(^Failed to load some plugins, stopping server)"))},
        {Kind::PhpRequirements,
         QRegularExpression(QStringLiteral(R"(^Selected PHP binary does not satisfy some requirements\.$)"))},
    };
    return all;
}

const QRegularExpression &missingExtension()
{
    static const QRegularExpression item(QStringLiteral(R"(^ *- Unable to find the (.+) \((\S+)\) extension\.$)"));
    return item;
}

} // namespace

ServerLine readServerLine(const QString &line)
{
    ServerLine found;
    // The list items follow the start-up error without any prefix.
    QString text = line;
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    if (const auto item = missingExtension().match(text); item.hasMatch()) {
        found.kind = Kind::MissingExtension;
        found.name = item.captured(1);
        found.version = item.captured(2);
        return found;
    }
    text.remove(0, logPrefix().match(text).capturedLength());
    for (const Pattern &pattern : patterns()) {
        const QRegularExpressionMatch match = pattern.expression.match(text);
        if (!match.hasMatch())
            continue;
        found.kind = pattern.kind;
        if (pattern.kind == Kind::Loading || pattern.kind == Kind::Enabling) {
            found.name = match.captured(1);
            found.version = match.captured(2);
        } else if (pattern.kind == Kind::PluginRefused) {
            found.name = match.captured(1);
            found.reason = match.captured(2);
        }
        return found;
    }
    return found;
}

QStringList PlainLines::take(const std::vector<ConsoleEvent> &events)
{
    QStringList lines;
    for (const ConsoleEvent &event : events) {
        switch (event.kind) {
        case ConsoleEvent::Kind::Text:
            m_line += event.text;
            break;
        case ConsoleEvent::Kind::LineEnd:
            lines << m_line;
            m_line.clear();
            break;
        case ConsoleEvent::Kind::LineStart:
            m_line.clear();
            break;
        case ConsoleEvent::Kind::Title:
            break;
        }
    }
    return lines;
}

} // namespace vorlune::testrun
