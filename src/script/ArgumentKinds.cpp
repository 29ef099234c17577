#include "script/ArgumentKinds.h"

#include "i18n/ExtraTexts.h"
#include "i18n/Placeholder.h"
#include "script/ActionCatalogue.h"
#include "script/EventSettings.h"

namespace vorlune::script {
namespace {

constexpr std::array<const char *, kApiCount> same(const char *code) { return {code, code, code}; }

constexpr std::array<const char *, kApiCount> gameMode(const char *api3, const char *api45)
{
    return {api3, api45, api45};
}

const Choice kGameModes[] = {
    {"survival", "CHC.chc1", gameMode("\\pocketmine\\Player::SURVIVAL", "\\pocketmine\\player\\GameMode::SURVIVAL()")},
    {"creative", "CHC.chc2", gameMode("\\pocketmine\\Player::CREATIVE", "\\pocketmine\\player\\GameMode::CREATIVE()")},
    {"adventure", "CHC.chc3",
     gameMode("\\pocketmine\\Player::ADVENTURE", "\\pocketmine\\player\\GameMode::ADVENTURE()")},
    {"spectator", "CHC.chc4",
     gameMode("\\pocketmine\\Player::SPECTATOR", "\\pocketmine\\player\\GameMode::SPECTATOR()")},
};

const Choice kYesNo[] = {
    {"yes", "CHC.chc5", same("true")},
    {"no", "CHC.chc6", same("false")},
};

// The condition's wrapper reads it; it stands for no PHP of its own.
const Choice kIsNot[] = {
    {"is", "CHC.chc7", same("")},
    {"not", "CHC.chc8", same("")},
};

#define VL_CAUSE "\\pocketmine\\event\\entity\\EntityDamageEvent::CAUSE_"
// A list for in_array: burning and standing in fire, or blocks and
// creatures exploding, are one cause to a person.
const Choice kDamageCauses[] = {
    {"fall", "CHC.chc9", same(VL_CAUSE "FALL")},
    {"lava", "CHC.chc10", same(VL_CAUSE "LAVA")},
    {"fire", "CHC.chc11", same(VL_CAUSE "FIRE, " VL_CAUSE "FIRE_TICK")},
    {"drowning", "CHC.chc12", same(VL_CAUSE "DROWNING")},
    {"void", "CHC.chc13", same(VL_CAUSE "VOID")},
    {"attack", "CHC.chc14", same(VL_CAUSE "ENTITY_ATTACK")},
    {"projectile", "CHC.chc15", same(VL_CAUSE "PROJECTILE")},
    {"explosion", "CHC.chc16", same(VL_CAUSE "BLOCK_EXPLOSION, " VL_CAUSE "ENTITY_EXPLOSION")},
};
#undef VL_CAUSE

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

} // namespace

std::span<const Choice> choicesOf(ArgumentKind kind)
{
    switch (kind) {
    case ArgumentKind::GameMode:
        return kGameModes;
    case ArgumentKind::YesNo:
        return kYesNo;
    case ArgumentKind::IsNot:
        return kIsNot;
    case ArgumentKind::DamageCause:
        return kDamageCauses;
    default:
        return {};
    }
}

const Choice *choiceOf(ArgumentKind kind, QStringView word)
{
    for (const Choice &choice : choicesOf(kind)) {
        if (word == QLatin1StringView(choice.word))
            return &choice;
    }
    return nullptr;
}

// Where the server throws for larger values: 20 food points, fire ticks up
// to 32767, effect ticks within 32 bits, amplifiers 0 to 255.
std::optional<NumberRange> numberRange(ArgumentKind kind)
{
    switch (kind) {
    case ArgumentKind::Number:
        return NumberRange{0, 999999999};
    case ArgumentKind::Coordinate:
        return NumberRange{-999999999, 999999999};
    case ArgumentKind::Count:
        return NumberRange{1, 9999};
    case ArgumentKind::Food:
        return NumberRange{0, 20};
    case ArgumentKind::Seconds:
        return NumberRange{0, 99999999};
    case ArgumentKind::WaitSeconds:
        return NumberRange{1, kMaxTimerSeconds};
    case ArgumentKind::FireSeconds:
        return NumberRange{0, 1638};
    case ArgumentKind::Level:
        return NumberRange{1, 256};
    case ArgumentKind::Percent:
        return NumberRange{1, 100};
    default:
        return std::nullopt;
    }
}

std::optional<qint64> numberValue(ArgumentKind kind, QStringView value)
{
    const std::optional<NumberRange> range = numberRange(kind);
    if (!range)
        return std::nullopt;
    const bool negative = range->min < 0 && value.startsWith(QLatin1Char('-'));
    const QStringView digits = negative ? value.sliced(1) : value;
    if (digits.isEmpty())
        return std::nullopt;
    qint64 number = 0;
    for (const QChar c : digits) {
        if (!isDigit(c))
            return std::nullopt;
        // Past the range already: no overflow from a long run of digits.
        number = std::min<qint64>(number * 10 + (c.unicode() - u'0'), qint64(1) << 40);
    }
    number = negative ? -number : number;
    if (number < range->min || number > range->max)
        return std::nullopt;
    return number;
}

bool expandsPlaceholders(ArgumentKind kind)
{
    return kind == ArgumentKind::Text || kind == ArgumentKind::Item || kind == ArgumentKind::Effect;
}

bool valueFits(ArgumentKind kind, QStringView value)
{
    if (numberRange(kind))
        return numberValue(kind, value).has_value();
    if (!choicesOf(kind).empty())
        return choiceOf(kind, value) != nullptr;
    return true;
}

QString argumentFault(const ActionRow &action, const QString &eventName, const QStringList &values)
{
    for (qsizetype i = 0; i < values.size() && i < kMaxArguments; ++i) {
        const ArgumentKind kind = action.kinds[size_t(i)];
        if (valueFits(kind, values.at(i)))
            continue;
        const QString value = values.at(i).left(40);
        const QString name = i18n::tx(action.name);
        if (const std::optional<NumberRange> range = numberRange(kind))
            return i18n::fillPlaceholders(i18n::extraText("arg_number"), {{"value", value},
                                                                          {"action", name},
                                                                          {"event", eventName},
                                                                          {"min", QString::number(range->min)},
                                                                          {"max", QString::number(range->max)}});
        QStringList words;
        for (const Choice &choice : choicesOf(kind))
            words << QString::fromLatin1(choice.word);
        return i18n::fillPlaceholders(
            i18n::extraText("arg_choice"),
            {{"value", value}, {"action", name}, {"event", eventName}, {"choices", words.join(QStringLiteral(", "))}});
    }
    return {};
}

QString shownActionLine(const QString &line)
{
    const ActionRow *action = actionRow(getActionId(line));
    if (!action)
        return line;
    QStringList values;
    const int count = ArgumentsCount(line);
    bool changed = false;
    for (int i = 0; i < count; ++i) {
        QString value = getArgumentValue(line, i + 1);
        if (i < kMaxArguments) {
            if (const Choice *choice = choiceOf(action->kinds[size_t(i)], value)) {
                value = i18n::tx(choice->name);
                changed = true;
            }
        }
        values << value;
    }
    return changed ? actionLineName(line) + makeArgumentBlock(values) : line;
}

} // namespace vorlune::script
