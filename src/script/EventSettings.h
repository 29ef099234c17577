#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vorlune::project {
class ProjectDocument;
} // namespace vorlune::project

namespace vorlune::script {

// Events whose settings the event element carries in its `args` attribute,
// as an argument block: a command of the plugin's own (name, description,
// usage, who may run it) or a repeating timer (its period in seconds).
enum class SlotKind { None, Command, Timer };

inline constexpr int kFirstCommand = 40;
inline constexpr int kCommandSlots = 20;
inline constexpr int kFirstTimer = 60;
inline constexpr int kTimerSlots = 10;
inline constexpr int kMaxTimerSeconds = 86400;

SlotKind slotKind(const QString &id);

// Who may run a command, as stored.
inline constexpr char kEveryone[] = "everyone";
inline constexpr char kOperators[] = "operators";

struct CommandSettings {
    QString name;
    QString description;
    QString usage;
    QString who; // kEveryone or kOperators
};

// Letters, ASCII digits, "_" and "-", at least one.
bool isCommandName(const QString &name);
// Nothing when the block is not four values of which the name is a command
// name and the last kEveryone or kOperators.
std::optional<CommandSettings> commandSettings(const QString &args);
QString commandArgs(const CommandSettings &settings);
// Nothing unless the block is one value of ASCII digits from 1 to 86400.
std::optional<int> timerSeconds(const QString &args);
QString timerArgs(int seconds);
// A number of seconds as typed: ASCII digits only, 1 to max.
std::optional<int> secondsValue(const QString &text, int max = kMaxTimerSeconds);

// Why an event's settings cannot be built, in the interface language,
// naming the event and the line of its element (0: not known); empty when
// they are fine or the event takes none.
QString settingsFault(const QString &id, const QString &args, int line);

// The caption of an event in the event list: "/" + name for a command,
// number and period for a timer, else the display name.
QString eventCaption(const QString &id, const QString &args);

// Throws vorlune::Error, naming the file and the line, for the first event
// element of the document's main script whose settings are missing or
// broken: such a project is never opened half.
void refuseBrokenSettings(const project::ProjectDocument &document, const QString &sourceName);

// The lowest id of that kind that usedIds lacks; empty when all are taken.
QString freeSlot(SlotKind kind, const QStringList &usedIds);

} // namespace vorlune::script
