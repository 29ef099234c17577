#include "script/ActionCatalogue.h"

#include "i18n/TextTable.h"
#include "script/ActionTable.h"

#include <algorithm>

namespace vorlune::script {

QString openingMarker() { return QString(QChar(kArgumentSeparator)) + QStringLiteral(":["); }

QString closingMarker() { return QStringLiteral("]") + QChar(kArgumentSeparator); }

int getActionId(const QString &strs)
{
    // For action 1 only the prefix counts: the rest of a line is its
    // argument block. The others are known by the whole name before it.
    if (strs.startsWith(i18n::tx("FNCT.fnct1")))
        return 1;
    const QString name = actionLineName(strs);
    for (const ActionRow &row : actionRows()) {
        if (row.id != 1 && name == i18n::tx(row.name))
            return row.id;
    }
    return 0;
}

QString getActionName(int id)
{
    const ActionRow *row = actionRow(id);
    return row ? i18n::tx(row->name) : QString();
}

int ArgumentsCount(const QString &arguments) { return int(arguments.count(QChar(kArgumentSeparator)) / 2); }

QString getArgumentValue(const QString &arguments, int Id)
{
    static const QString opening = openingMarker();
    static const QString closing = closingMarker();
    QStringView rest(arguments);
    QStringView value;
    for (int i = 0; i < Id; ++i) {
        const qsizetype open = rest.indexOf(opening);
        if (open < 0)
            break;
        rest = rest.sliced(open + opening.size());
        const qsizetype close = rest.indexOf(closing);
        if (close < 0) {
            value = {};
            rest = rest.sliced(std::min<qsizetype>(1, rest.size()));
        } else {
            value = rest.first(close);
            rest = rest.sliced(close + closing.size());
        }
    }
    return value.toString();
}

QString makeArgumentBlock(const QStringList &values)
{
    QString block;
    for (const QString &value : values)
        block += openingMarker() + value + closingMarker();
    return block;
}

QString makeActionLine(int actionId, const QStringList &values)
{
    return getActionName(actionId) + makeArgumentBlock(values);
}

QString actionLineName(const QString &line)
{
    const qsizetype start = line.indexOf(QChar(kArgumentSeparator));
    return start < 0 ? line : line.left(start);
}

QString actionLineBlock(const QString &line)
{
    const qsizetype start = line.indexOf(QChar(kArgumentSeparator));
    return start < 0 ? QString() : line.mid(start);
}

QString readableActionLine(const QString &line)
{
    const QString block = actionLineBlock(line);
    const QString opening = openingMarker();
    const QString closing = closingMarker();
    QStringList values;
    for (qsizetype at = block.indexOf(opening); at >= 0;) {
        const qsizetype start = at + opening.size();
        const qsizetype end = block.indexOf(closing, start);
        // An unclosed value (only a hand-edited file has one) runs to the
        // end, so the hint hides nothing.
        if (end < 0) {
            values << block.mid(start);
            break;
        }
        values << block.mid(start, end - start);
        at = block.indexOf(opening, end + closing.size());
    }
    QString text = actionLineName(line);
    if (!values.isEmpty())
        text += QStringLiteral(": ") + values.join(QStringLiteral("; "));
    // A separator typed into a value would be just as invisible.
    return text.remove(QChar(kArgumentSeparator));
}

int actionIconIndex(const QString &line) { return getActionId(line) - 1; }

std::optional<int> parseActionId(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    for (const QChar ch : text) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const int id = text.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return id;
}

} // namespace vorlune::script
