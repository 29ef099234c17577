#include "script/EventRegistry.h"

#include "i18n/TextTable.h"

#include <array>

namespace vorlune::script {
namespace {

struct EventRow {
    QLatin1StringView id;
    i18n::TextId name;
    int icon;
    QLatin1StringView method;
};

const std::array<EventRow, 3> kEvents = {{
    {QLatin1StringView("ev_1"), "EVNT.evnt1", 1, QLatin1StringView("onEnable")},
    {QLatin1StringView("ev_2"), "EVNT.evnt2", 3, QLatin1StringView("onLoad")},
    {QLatin1StringView("ev_3"), "EVNT.evnt3", 2, QLatin1StringView("onDisable")},
}};

const EventRow *rowForId(const QString &id)
{
    for (const EventRow &row : kEvents) {
        if (id == row.id)
            return &row;
    }
    return nullptr;
}

} // namespace

QString getEventId(const QString &name)
{
    for (const EventRow &row : kEvents) {
        if (name == i18n::tx(row.name))
            return QString(row.id);
    }
    return {};
}

QString getEventFromId(const QString &id)
{
    const EventRow *row = rowForId(id);
    return row ? i18n::tx(row->name) : QString();
}

int getImageIdFromId(const QString &id)
{
    const EventRow *row = rowForId(id);
    return row ? row->icon : -1;
}

QString getFunctionNameFromId(const QString &id)
{
    const EventRow *row = rowForId(id);
    return row ? QString(row->method) : QString();
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
