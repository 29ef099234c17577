#include "script/EventRegistry.h"

#include "i18n/TextTable.h"
#include "script/EventTable.h"

namespace vorlune::script {

QString getEventId(const QString &name)
{
    // A name two events share gives the lower id.
    for (const EventRow &row : eventRows()) {
        if (name == i18n::tx(row.name))
            return eventIdOf(row);
    }
    return {};
}

QString getEventFromId(const QString &id)
{
    const EventRow *row = eventRow(id);
    return row ? i18n::tx(row->name) : QString();
}

int getImageIdFromId(const QString &id)
{
    const EventRow *row = eventRow(id);
    return row ? row->icon : -1;
}

QString getFunctionNameFromId(const QString &id)
{
    const EventRow *row = eventRow(id);
    return row ? QString::fromLatin1(row->method) : QString();
}

std::optional<int> eventNumber(const QString &id)
{
    if (!id.startsWith(QLatin1StringView("ev_")))
        return std::nullopt;
    const QStringView digits = QStringView(id).mid(3);
    // Three digits reach 100; more cannot be in range and could overflow.
    if (digits.isEmpty() || digits.size() > 3)
        return std::nullopt;
    if (digits.size() > 1 && digits.front() == QLatin1Char('0'))
        return std::nullopt;
    int number = 0;
    for (const QChar ch : digits) {
        // Not QChar::isDigit: that accepts digits of other scripts.
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return std::nullopt;
        number = number * 10 + (ch.unicode() - u'0');
    }
    if (number >= kEventListCount)
        return std::nullopt;
    return number;
}

} // namespace vorlune::script
