#include "script/ActionTable.h"

namespace vorlune::script {
namespace {

using K = ArgumentKind;

constexpr std::array<const char *, kApiCount> same(const char *code) { return {code, code, code}; }

// An action of one text argument; `required` says whether it may be empty.
constexpr ActionRow oneText(int id, i18n::TextId name, int tab, unsigned needs, int required, i18n::TextId label,
                            std::array<const char *, kApiCount> code, ArgumentKind kind = ArgumentKind::Text)
{
    return {id, name, tab, needs, 1, required, {kind, kind}, {label, label}, code};
}

const ActionRow kActions[] = {
    // The console message never expands anything: old messages print as before.
    oneText(1, "FNCT.fnct1", 0, 0, 1, "VLS.vls1", same("$this->getLogger()->info(%1);"), ArgumentKind::Message),
    oneText(2, "FNCT.fnct2", 0, kPlayer, 1, "VLS.vls1", same("$player->sendMessage(%1);")),
    oneText(3, "FNCT.fnct3", 0, 0, 1, "VLS.vls1", same("$this->getServer()->broadcastMessage(%1);")),
    {4,
     "FNCT.fnct4",
     2,
     kCancel,
     0,
     0,
     {K::Text, K::Text},
     {"VLS.vls1", "VLS.vls1"},
     {"$event->setCancelled();", "$event->cancel();", "$event->cancel();"}},
    {5,
     "FNCT.fnct5",
     0,
     kPlayer,
     2,
     1,
     {K::Text, K::Text},
     {"VLS.vls2", "VLS.vls3"},
     same("$player->sendTitle(%1, %2, -1, -1, -1);")},
    oneText(6, "FNCT.fnct6", 0, kPlayer, 1, "VLS.vls1", same("$player->sendPopup(%1);")),
    oneText(7, "FNCT.fnct7", 0, kPlayer, 1, "VLS.vls1", same("$player->sendTip(%1);")),
    oneText(8, "FNCT.fnct8", 0, kPlayer, 1, "VLS.vls1", same("$player->sendActionBarMessage(%1);")),
    // An empty text hides the server's own message.
    oneText(9, "FNCT.fnct9", 0, kEventText, 0, "VLS.vls4", same("$event->%s(%1);")),
    // The closure shape is checked by the server when the task is made: API 3
    // passes the current tick, the later APIs nothing.
    {28,
     "FNCT.fnct28",
     2,
     0,
     1,
     1,
     {K::Seconds, K::Seconds},
     {"VLS.vls28", "VLS.vls28"},
     {"$this->getScheduler()->scheduleDelayedTask(new \\pocketmine\\scheduler\\ClosureTask(function(int "
      "$currentTick)%u : void{",
      "$this->getScheduler()->scheduleDelayedTask(new \\pocketmine\\scheduler\\ClosureTask(function()%u : void{",
      "$this->getScheduler()->scheduleDelayedTask(new \\pocketmine\\scheduler\\ClosureTask(function()%u : void{"},
     ActionShape::Delay},
    {31,
     "FNCT.fnct31",
     2,
     0,
     0,
     0,
     {K::Text, K::Text},
     {"VLS.vls1", "VLS.vls1"},
     same("foreach($this->getServer()->getOnlinePlayers() as $player){"),
     ActionShape::EachPlayer,
     kPlayer},
    {111,
     "FNCT.fnct111",
     2,
     kSender,
     1,
     1,
     {K::IsNot, K::IsNot},
     {"VLS.vls111", "VLS.vls111"},
     {"($player = $sender) instanceof \\pocketmine\\Player",
      "($player = $sender) instanceof \\pocketmine\\player\\Player",
      "($player = $sender) instanceof \\pocketmine\\player\\Player"},
     ActionShape::Guard,
     kPlayer},
};

const PlaceholderRow kPlaceholders[] = {
    {"player", kPlayer, same("$player->getName()")},
    {"display_name", kPlayer, same("$player->getDisplayName()")},
    {"world",
     kPlayer,
     {"$player->getLevel()->getFolderName()", "$player->getWorld()->getFolderName()",
      "$player->getWorld()->getFolderName()"}},
    {"x",
     kPlayer,
     {"$player->getFloorX()", "$player->getPosition()->getFloorX()", "$player->getPosition()->getFloorX()"}},
    {"y",
     kPlayer,
     {"$player->getFloorY()", "$player->getPosition()->getFloorY()", "$player->getPosition()->getFloorY()"}},
    {"z",
     kPlayer,
     {"$player->getFloorZ()", "$player->getPosition()->getFloorZ()", "$player->getPosition()->getFloorZ()"}},
    {"health", kPlayer, same("$player->getHealth()")},
    {"online", 0, same("count($this->getServer()->getOnlinePlayers())")},
    {"max_players", 0, same("$this->getServer()->getMaxPlayers()")},
    {"message", kMessage, same("$event->getMessage()")},
    {"command", kCommand, same("$event->getCommand()")},
    {"block", kBlock, same("$event->getBlock()->getName()")},
    {"item", kItem, same("$event->getItem()->getName()")},
    // In ev_9 the player is the one who hit.
    {"attacker", kAttacker, same("$player->getName()")},
    {"sender", kSender, same("$sender->getName()")},
    {"args", kSender, same("implode(\" \", $args)")},
    {"arg1", kSender, same("($args[0] ?? \"\")")},
    {"arg2", kSender, same("($args[1] ?? \"\")")},
    {"arg3", kSender, same("($args[2] ?? \"\")")},
    {"arg4", kSender, same("($args[3] ?? \"\")")},
    {"arg5", kSender, same("($args[4] ?? \"\")")},
    {"arg6", kSender, same("($args[5] ?? \"\")")},
    {"arg7", kSender, same("($args[6] ?? \"\")")},
    {"arg8", kSender, same("($args[7] ?? \"\")")},
    {"arg9", kSender, same("($args[8] ?? \"\")")},
};

} // namespace

std::span<const ActionRow> actionRows() { return kActions; }

const ActionRow *actionRow(int id)
{
    for (const ActionRow &row : kActions) {
        if (row.id == id)
            return &row;
    }
    return nullptr;
}

std::span<const PlaceholderRow> placeholderRows() { return kPlaceholders; }

const PlaceholderRow *placeholderRow(QStringView name)
{
    for (const PlaceholderRow &row : kPlaceholders) {
        if (name == QLatin1StringView(row.name))
            return &row;
    }
    return nullptr;
}

} // namespace vorlune::script
