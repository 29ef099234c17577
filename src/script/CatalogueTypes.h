#pragma once

#include <QString>

namespace vorlune::script {

// The server APIs whose PHP differs; every table has one column for each.
enum class Api { V3, V4, V5 };
inline constexpr int kApiCount = 3;
inline constexpr Api kApis[kApiCount] = {Api::V3, Api::V4, Api::V5};

// The api setting's first number picks the column: 4 the API 4 one, 5 and
// more API 5, anything else (1, 2, 3, no number) API 3.
Api apiColumn(const QString &api);
// "3", "4" or "5", as the messages name the API.
QString apiName(Api api);

// What an event gives to the actions and placeholders of its list, and what
// an action or placeholder needs of it.
enum Value : unsigned {
    kPlayer = 1u << 0,    // $player, after the prelude
    kBlock = 1u << 1,     // $event->getBlock()
    kItem = 1u << 2,      // $event->getItem()
    kMessage = 1u << 3,   // $event->getMessage()
    kCommand = 1u << 4,   // $event->getCommand()
    kEventText = 1u << 5, // a join, quit or death text the event lets set
    kAttacker = 1u << 6,  // the player who hit
    kCancel = 1u << 7,    // the event can be cancelled
    kTyped = 1u << 8,     // a chat message or a command line, "%m" in templates
    kCause = 1u << 9,     // $event->getCause(), why a player is hurt
    kDrops = 1u << 10,    // $event->setDrops()
    kDeath = 1u << 11,    // $event->setKeepInventory()
    kSender = 1u << 12,   // $sender and $args of a command of the plugin's own
};

// The event dialog's category buttons.
enum class EventCategory { Plugin, Player, Block, Entity, Inventory, Server };

} // namespace vorlune::script
