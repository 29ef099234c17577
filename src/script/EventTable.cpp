#include "script/EventTable.h"

#include "script/EventRegistry.h"

namespace vorlune::script {
namespace {

// The player of an event, and the guards of events that count only when a
// player is concerned (the player class is named differently before API 4).
constexpr const char *kGetPlayer = "$player = $event->getPlayer();";
constexpr const char *kEntity3 = "if(!(($player = $event->getEntity()) instanceof \\pocketmine\\Player)){ return; }";
constexpr const char *kEntity45 =
    "if(!(($player = $event->getEntity()) instanceof \\pocketmine\\player\\Player)){ return; }";
constexpr const char *kDamager3 = "if(!(($player = $event->getDamager()) instanceof \\pocketmine\\Player)){ return; }";
constexpr const char *kDamager45 =
    "if(!(($player = $event->getDamager()) instanceof \\pocketmine\\player\\Player)){ return; }";
// API 3 reports taps in the air with the same event as taps on blocks; the
// later APIs have a separate event for them.
constexpr const char *kBlockTap3 =
    "if($event->getAction() !== \\pocketmine\\event\\player\\PlayerInteractEvent::LEFT_CLICK_BLOCK && "
    "$event->getAction() !== \\pocketmine\\event\\player\\PlayerInteractEvent::RIGHT_CLICK_BLOCK){ return; }\n"
    "$player = $event->getPlayer();";
constexpr const char *kAirTap3 =
    "if($event->getAction() !== \\pocketmine\\event\\player\\PlayerInteractEvent::RIGHT_CLICK_AIR){ return; }\n"
    "$player = $event->getPlayer();";

// A timer's body is a closure the server checks when the task is made: API 3
// passes the current tick, the later APIs nothing.
constexpr const char *kTimer3 = "$this->getScheduler()->scheduleRepeatingTask(new "
                                "\\pocketmine\\scheduler\\ClosureTask(function(int $currentTick) : void{";
constexpr const char *kTimer45 =
    "$this->getScheduler()->scheduleRepeatingTask(new \\pocketmine\\scheduler\\ClosureTask(function() : void{";

constexpr std::array<EventCode, kApiCount> same(const char *eventClass, const char *prelude, unsigned gives)
{
    return {{{eventClass, prelude, gives}, {eventClass, prelude, gives}, {eventClass, prelude, gives}}};
}

// A player's event: the same class and prelude on every API.
constexpr std::array<EventCode, kApiCount> player(const char *eventClass, unsigned gives)
{
    return same(eventClass, kGetPlayer, kPlayer | gives);
}

constexpr std::array<EventCode, kApiCount> entity(const char *eventClass, unsigned gives)
{
    return {{{eventClass, kEntity3, kPlayer | gives},
             {eventClass, kEntity45, kPlayer | gives},
             {eventClass, kEntity45, kPlayer | gives}}};
}

constexpr std::array<EventCode, kApiCount> kLifecycle = same("", "", 0);

using C = EventCategory;

const EventRow kEvents[] = {
    {1, "EVNT.evnt1", C::Plugin, 1, "onEnable", nullptr, kLifecycle},
    {2, "EVNT.evnt2", C::Plugin, 3, "onLoad", nullptr, kLifecycle},
    {3, "EVNT.evnt3", C::Plugin, 2, "onDisable", nullptr, kLifecycle},
    {4, "EVNT.evnt4", C::Player, 5, "onEv4", "setJoinMessage",
     player("pocketmine\\event\\player\\PlayerJoinEvent", kEventText)},
    {5,
     "EVNT.evnt5",
     C::Block,
     7,
     "onEv5",
     nullptr,
     {{{"pocketmine\\event\\player\\PlayerInteractEvent", kBlockTap3, kPlayer | kBlock | kItem | kCancel},
       {"pocketmine\\event\\player\\PlayerInteractEvent", kGetPlayer, kPlayer | kBlock | kItem | kCancel},
       {"pocketmine\\event\\player\\PlayerInteractEvent", kGetPlayer, kPlayer | kBlock | kItem | kCancel}}}},
    {6, "EVNT.evnt6", C::Entity, 8, "onEv6", nullptr,
     entity("pocketmine\\event\\entity\\EntityDamageEvent", kCause | kCancel)},
    {7, "EVNT.evnt7", C::Player, 5, "onEv7", "setQuitMessage",
     player("pocketmine\\event\\player\\PlayerQuitEvent", kEventText)},
    {8, "EVNT.evnt8", C::Block, 7, "onEv8", nullptr,
     player("pocketmine\\event\\block\\BlockBreakEvent", kBlock | kItem | kDrops | kCancel)},
    {9,
     "EVNT.evnt9",
     C::Entity,
     8,
     "onEv9",
     nullptr,
     {{{"pocketmine\\event\\entity\\EntityDamageByEntityEvent", kDamager3, kPlayer | kAttacker | kCancel},
       {"pocketmine\\event\\entity\\EntityDamageByEntityEvent", kDamager45, kPlayer | kAttacker | kCancel},
       {"pocketmine\\event\\entity\\EntityDamageByEntityEvent", kDamager45, kPlayer | kAttacker | kCancel}}}},
    {10, "EVNT.evnt10", C::Player, 5, "onEv10", nullptr,
     player("pocketmine\\event\\player\\PlayerChatEvent", kMessage | kTyped | kCancel)},
    {11, "EVNT.evnt11", C::Player, 5, "onEv11", nullptr, player("pocketmine\\event\\player\\PlayerMoveEvent", kCancel)},
    {12, "EVNT.evnt12", C::Player, 5, "onEv12", "setDeathMessage",
     player("pocketmine\\event\\player\\PlayerDeathEvent", kEventText | kDeath | kDrops)},
    // API 5 places several blocks at once and has no single block to name.
    {13,
     "EVNT.evnt13",
     C::Block,
     7,
     "onEv13",
     nullptr,
     {{{"pocketmine\\event\\block\\BlockPlaceEvent", kGetPlayer, kPlayer | kBlock | kItem | kCancel},
       {"pocketmine\\event\\block\\BlockPlaceEvent", kGetPlayer, kPlayer | kBlock | kItem | kCancel},
       {"pocketmine\\event\\block\\BlockPlaceEvent", kGetPlayer, kPlayer | kItem | kCancel}}}},
    {14, "EVNT.evnt14", C::Block, 7, "onEv14", nullptr,
     player("pocketmine\\event\\block\\SignChangeEvent", kBlock | kCancel)},
    // Any sender runs commands, the console too: no player.
    {15, "EVNT.evnt15", C::Server, 6, "onEv15", nullptr,
     same("pocketmine\\event\\server\\CommandEvent", "", kCommand | kTyped | kCancel)},
    {16, "EVNT.evnt16", C::Player, 5, "onEv16", nullptr, player("pocketmine\\event\\player\\PlayerRespawnEvent", 0)},
    {17, "EVNT.evnt17", C::Player, 5, "onEv17", nullptr,
     player("pocketmine\\event\\player\\PlayerLoginEvent", kCancel)},
    {18, "EVNT.evnt18", C::Entity, 8, "onEv18", nullptr,
     entity("pocketmine\\event\\entity\\EntityTeleportEvent", kCancel)},
    {19, "EVNT.evnt19", C::Inventory, 4, "onEv19", nullptr,
     player("pocketmine\\event\\player\\PlayerItemHeldEvent", kItem | kCancel)},
    {20, "EVNT.evnt20", C::Inventory, 4, "onEv20", nullptr,
     player("pocketmine\\event\\player\\PlayerItemConsumeEvent", kItem | kCancel)},
    {21, "EVNT.evnt21", C::Inventory, 4, "onEv21", nullptr,
     player("pocketmine\\event\\player\\PlayerDropItemEvent", kItem | kCancel)},
    {22,
     "EVNT.evnt22",
     C::Player,
     5,
     "onEv22",
     nullptr,
     {{{"pocketmine\\event\\player\\PlayerInteractEvent", kAirTap3, kPlayer | kItem | kCancel},
       {"pocketmine\\event\\player\\PlayerItemUseEvent", kGetPlayer, kPlayer | kItem | kCancel},
       {"pocketmine\\event\\player\\PlayerItemUseEvent", kGetPlayer, kPlayer | kItem | kCancel}}}},
    {23, "EVNT.evnt23", C::Player, 5, "onEv23", nullptr,
     player("pocketmine\\event\\player\\PlayerToggleSneakEvent", kCancel)},
    {24, "EVNT.evnt24", C::Player, 5, "onEv24", nullptr,
     player("pocketmine\\event\\player\\PlayerGameModeChangeEvent", kCancel)},
    {25, "EVNT.evnt25", C::Entity, 8, "onEv25", nullptr,
     entity("pocketmine\\event\\entity\\EntityRegainHealthEvent", kCancel)},
    {26, "EVNT.evnt26", C::Player, 5, "onEv26", "setQuitMessage",
     player("pocketmine\\event\\player\\PlayerKickEvent", kEventText | kCancel)},
    {27, "EVNT.evnt27", C::Inventory, 4, "onEv27", nullptr,
     player("pocketmine\\event\\inventory\\CraftItemEvent", kCancel)},
    {28, "EVNT.evnt28", C::Server, 6, "onEv28", nullptr,
     same("pocketmine\\event\\server\\QueryRegenerateEvent", "", 0)},
    // Commands of the plugin's own all go into its one onCommand; timers are
    // scheduled in onEnable. Their menu items ask for the settings.
    {40, "EVNT.evnt40", C::Server, 6, "onCommand", nullptr, same("", "", kSender), 20},
    {60,
     "EVNT.evnt60",
     C::Server,
     6,
     "onEnable",
     nullptr,
     {{{"", kTimer3, 0}, {"", kTimer45, 0}, {"", kTimer45, 0}}},
     10},
};

} // namespace

std::span<const EventRow> eventRows() { return kEvents; }

const EventRow *eventRow(const QString &id)
{
    const std::optional<int> number = eventNumber(id);
    for (const EventRow &row : kEvents) {
        if (number && *number >= row.number && *number < row.number + row.slots)
            return &row;
    }
    return nullptr;
}

QString eventIdOf(const EventRow &row) { return QStringLiteral("ev_") + QString::number(row.number); }

} // namespace vorlune::script
