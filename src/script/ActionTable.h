#pragma once

#include "i18n/TextTable.h"
#include "script/CatalogueTypes.h"

#include <QString>
#include <array>
#include <span>

namespace vorlune::script {

// How a value typed into the argument dialog becomes PHP.
enum class ArgumentKind {
    Message, // a string literal, exactly as typed
    Text,    // a string literal with the placeholders the event gives
    // Names the server looks up when the event runs; texts like Text.
    Item,
    Effect,
    // Whole numbers, written as PHP integers; ranges in ArgumentKinds.cpp.
    Number,
    Coordinate, // may start with "-"
    Count,
    Food,
    Seconds,
    WaitSeconds, // a wait's delay, as a timer's period
    FireSeconds,
    Level,
    Percent,
    // Fixed choices, stored as a language-independent word.
    GameMode,
    YesNo,
    IsNot, // a condition's first argument: whether it is turned round
    DamageCause,
};

// How an action stands in its event's list.
enum class ActionShape {
    Statement,  // one statement
    Guard,      // the rest of the list runs only when the condition holds
    Delay,      // the rest of the list runs after a number of seconds
    EachPlayer, // the rest of the list runs once per online player
};

inline constexpr int kMaxArguments = 3;

// One action. Its palette item is "sImage" + id, its icon id - 1. Adding an
// action is one row here plus its texts.
struct ActionRow {
    int id;
    i18n::TextId name;
    int paletteTab; // 0 "Сообщения", 1 "Игроки", 2 "Главные1"
    unsigned needs; // Value flags the event must give
    int argumentCount;
    int requiredArguments; // the first ones, which must not be empty
    std::array<ArgumentKind, kMaxArguments> kinds;
    std::array<i18n::TextId, kMaxArguments> labels; // unused past argumentCount
    // One statement per API; "%1", "%2" stand for the arguments as PHP
    // expressions, "%s" for the event's text setter, "%m" for its message or
    // command line. A condition's template is the expression that holds, a
    // delay's and a loop's the opening line ("%u": the closure's use list).
    // nullptr when the API has no way to do it.
    std::array<const char *, kApiCount> templates;
    ActionShape shape = ActionShape::Statement;
    unsigned grants = 0; // Value flags the rest of the list gets

    const char *on(Api api) const { return templates[size_t(api)]; }
    bool isCondition() const { return shape == ActionShape::Guard; }
};

std::span<const ActionRow> actionRows();
// nullptr for an id outside the catalogue.
const ActionRow *actionRow(int id);

// A placeholder the text arguments may hold, "{" + name + "}".
struct PlaceholderRow {
    const char *name;
    unsigned needs; // what the event must give; 0 everywhere
    std::array<const char *, kApiCount> expression;
};

std::span<const PlaceholderRow> placeholderRows();
const PlaceholderRow *placeholderRow(QStringView name);

} // namespace vorlune::script
