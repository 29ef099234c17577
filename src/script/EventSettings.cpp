#include "script/EventSettings.h"

#include "base/Error.h"
#include "i18n/ExtraTexts.h"
#include "i18n/Placeholder.h"
#include "project/ProjectDocument.h"
#include "project/XmlParseErrors.h"
#include "script/ActionCatalogue.h"
#include "script/EventRegistry.h"

namespace vorlune::script {
namespace {

// The values of a block, or nothing when text lies outside its markers
// (a value holding the closing marker would read back cut).
std::optional<QStringList> blockValues(const QString &args)
{
    QStringList values;
    const int count = ArgumentsCount(args);
    for (int i = 1; i <= count; ++i)
        values << getArgumentValue(args, i);
    if (makeArgumentBlock(values) != args)
        return std::nullopt;
    return values;
}

} // namespace

SlotKind slotKind(const QString &id)
{
    const std::optional<int> number = eventNumber(id);
    if (number && *number >= kFirstCommand && *number < kFirstCommand + kCommandSlots)
        return SlotKind::Command;
    if (number && *number >= kFirstTimer && *number < kFirstTimer + kTimerSlots)
        return SlotKind::Timer;
    return SlotKind::None;
}

bool isCommandName(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!digit && !c.isLetter() && c != QLatin1Char('_') && c != QLatin1Char('-'))
            return false;
    }
    return true;
}

std::optional<CommandSettings> commandSettings(const QString &args)
{
    const std::optional<QStringList> values = blockValues(args);
    if (!values || values->size() != 4 || !isCommandName(values->at(0)))
        return std::nullopt;
    const QString &who = values->at(3);
    if (who != QLatin1String(kEveryone) && who != QLatin1String(kOperators))
        return std::nullopt;
    return CommandSettings{values->at(0), values->at(1), values->at(2), who};
}

QString commandArgs(const CommandSettings &settings)
{
    return makeArgumentBlock({settings.name, settings.description, settings.usage, settings.who});
}

std::optional<int> secondsValue(const QString &text, int max)
{
    // More digits than the maximum has cannot be in range and could overflow.
    if (text.isEmpty() || text.size() > QString::number(max).size())
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value < 1 || value > max)
        return std::nullopt;
    return value;
}

std::optional<int> timerSeconds(const QString &args)
{
    const std::optional<QStringList> values = blockValues(args);
    if (!values || values->size() != 1)
        return std::nullopt;
    return secondsValue(values->front());
}

QString timerArgs(int seconds) { return makeArgumentBlock({QString::number(seconds)}); }

QString settingsFault(const QString &id, const QString &args, int line)
{
    const SlotKind kind = slotKind(id);
    const char *key = kind == SlotKind::Command && !commandSettings(args) ? "slot_bad_command"
                      : kind == SlotKind::Timer && !timerSeconds(args)    ? "slot_bad_timer"
                                                                          : nullptr;
    if (!key)
        return {};
    return i18n::fillPlaceholders(i18n::extraText(key), {{"id", id}, {"line", QString::number(line)}});
}

QString eventCaption(const QString &id, const QString &args)
{
    switch (slotKind(id)) {
    case SlotKind::Command:
        if (const auto command = commandSettings(args))
            return QLatin1Char('/') + command->name;
        break;
    case SlotKind::Timer:
        if (const auto seconds = timerSeconds(args))
            return i18n::fillPlaceholders(i18n::extraText("timer_caption"),
                                          {{"number", QString::number(*eventNumber(id) - kFirstTimer + 1)},
                                           {"seconds", QString::number(*seconds)}});
        break;
    case SlotKind::None:
        break;
    }
    return getEventFromId(id);
}

void refuseBrokenSettings(const project::ProjectDocument &document, const QString &sourceName)
{
    const project::XmlElement mainScript = document.mainScript();
    if (mainScript.isNull())
        return;
    for (const project::XmlElement &event : mainScript.childElements()) {
        const QString fault = settingsFault(event.name(), event.attribute(QStringLiteral("args")), event.line());
        if (!fault.isEmpty())
            throw Error(project::xmlparse::withLine(sourceName, 0, fault));
    }
}

QString freeSlot(SlotKind kind, const QStringList &usedIds)
{
    const int first = kind == SlotKind::Command ? kFirstCommand : kFirstTimer;
    const int count = kind == SlotKind::Command ? kCommandSlots : kind == SlotKind::Timer ? kTimerSlots : 0;
    for (int number = first; number < first + count; ++number) {
        const QString id = QStringLiteral("ev_") + QString::number(number);
        if (!usedIds.contains(id))
            return id;
    }
    return {};
}

} // namespace vorlune::script
