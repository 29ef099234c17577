#include "script/ActionTable.h"

namespace vorlune::script {
namespace {

using K = ArgumentKind;

constexpr std::array<const char *, kApiCount> same(const char *code) { return {code, code, code}; }

// An action of one text argument; `required` says whether it may be empty.
constexpr ActionRow oneText(int id, i18n::TextId name, int tab, unsigned needs, int required, i18n::TextId label,
                            std::array<const char *, kApiCount> code, ArgumentKind kind = ArgumentKind::Text)
{
    return {id, name, tab, needs, 1, required, {kind, kind, kind}, {label, label, label}, code};
}

struct Argument {
    ArgumentKind kind;
    i18n::TextId label;
};

// An action whose arguments must all be given, in this order.
template <typename... Arguments>
constexpr ActionRow action(int id, i18n::TextId name, int tab, unsigned needs, std::array<const char *, kApiCount> code,
                           Arguments... arguments)
{
    static_assert(sizeof...(Arguments) <= kMaxArguments);
    ActionRow row{id,
                  name,
                  tab,
                  needs,
                  int(sizeof...(Arguments)),
                  int(sizeof...(Arguments)),
                  {},
                  {"VLS.vls1", "VLS.vls1", "VLS.vls1"},
                  code};
    size_t at = 0;
    ((row.kinds[at] = arguments.kind, row.labels[at] = arguments.label, ++at), ...);
    return row;
}

// A condition: whether it holds or is turned round, then its values. Its
// template is the PHP expression that holds.
template <typename... Arguments>
constexpr ActionRow condition(int id, i18n::TextId name, unsigned needs, std::array<const char *, kApiCount> code,
                              Arguments... arguments)
{
    ActionRow row = action(id, name, 2, needs, code, Argument{K::IsNot, "VLS.vls22"}, arguments...);
    row.shape = ActionShape::Guard;
    return row;
}

// An action that stands in its list otherwise than as one statement, and
// what the rest of the list gets from it.
constexpr ActionRow shaped(ActionRow row, ActionShape shape, unsigned grants = 0)
{
    row.shape = shape;
    row.grants = grants;
    return row;
}

constexpr std::array<const char *, kApiCount> split(const char *api3, const char *api45)
{
    return {api3, api45, api45};
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
     {"VLS.vls1", "VLS.vls1", "VLS.vls1"},
     {"$event->setCancelled();", "$event->cancel();", "$event->cancel();"}},
    {5,
     "FNCT.fnct5",
     0,
     kPlayer,
     2,
     1,
     {K::Text, K::Text},
     {"VLS.vls2", "VLS.vls3", "VLS.vls3"},
     same("$player->sendTitle(%1, %2, -1, -1, -1);")},
    oneText(6, "FNCT.fnct6", 0, kPlayer, 1, "VLS.vls1", same("$player->sendPopup(%1);")),
    oneText(7, "FNCT.fnct7", 0, kPlayer, 1, "VLS.vls1", same("$player->sendTip(%1);")),
    oneText(8, "FNCT.fnct8", 0, kPlayer, 1, "VLS.vls1", same("$player->sendActionBarMessage(%1);")),
    // An empty text hides the server's own message.
    oneText(9, "FNCT.fnct9", 0, kEventText, 0, "VLS.vls4", same("$event->%s(%1);")),
    action(10, "FNCT.fnct10", 1, kPlayer, same("$player->teleport(new \\pocketmine\\math\\Vector3(%1, %2, %3));"),
           Argument{K::Coordinate, "VLS.vls5"}, Argument{K::Coordinate, "VLS.vls6"},
           Argument{K::Coordinate, "VLS.vls7"}),
    action(11, "FNCT.fnct11", 1, kPlayer,
           split("$player->teleport($this->getServer()->getDefaultLevel()->getSafeSpawn());",
                 "$player->teleport($this->getServer()->getWorldManager()->getDefaultWorld()->getSafeSpawn());")),
    // A name the server does not know is logged, and the event goes on: API 3
    // throws for it, the later APIs give null.
    action(12, "FNCT.fnct12", 1, kPlayer,
           split("try{ $player->getInventory()->addItem(\\pocketmine\\item\\ItemFactory::fromStringSingle(%1)->"
                 "setCount(%2)); }catch(\\InvalidArgumentException $e){ $this->getLogger()->warning(\"Unknown item: \" "
                 ". %1); }",
                 "$item = \\pocketmine\\item\\StringToItemParser::getInstance()->parse(%1); if($item !== null){ "
                 "$player->getInventory()->addItem($item->setCount(%2)); }else{ $this->getLogger()->warning(\"Unknown "
                 "item: \" . %1); }"),
           Argument{K::Item, "VLS.vls8"}, Argument{K::Count, "VLS.vls9"}),
    action(13, "FNCT.fnct13", 1, kPlayer,
           same("$player->getInventory()->clearAll(); $player->getArmorInventory()->clearAll();")),
    oneText(14, "FNCT.fnct14", 1, kPlayer, 0, "VLS.vls10", split("$player->kick(%1, false);", "$player->kick(%1);")),
    // 0 heals fully.
    action(15, "FNCT.fnct15", 1, kPlayer, same("$player->setHealth(%1 ?: $player->getMaxHealth());"),
           Argument{K::Number, "VLS.vls11"}),
    action(16, "FNCT.fnct16", 1, kPlayer, split("$player->setFood(%1);", "$player->getHungerManager()->setFood(%1);"),
           Argument{K::Food, "VLS.vls12"}),
    action(17, "FNCT.fnct17", 1, kPlayer, same("$player->setGamemode(%1);"), Argument{K::GameMode, "VLS.vls13"}),
    // Level 1 is the server's amplifier 0.
    action(18, "FNCT.fnct18", 1, kPlayer,
           split("$effect = \\pocketmine\\entity\\Effect::getEffectByName(%1); if($effect !== null){ "
                 "$player->addEffect(new \\pocketmine\\entity\\EffectInstance($effect, %2 * 20, %3 - 1)); }else{ "
                 "$this->getLogger()->warning(\"Unknown effect: \" . %1); }",
                 "$effect = \\pocketmine\\entity\\effect\\StringToEffectParser::getInstance()->parse(%1); "
                 "if($effect !== null){ $player->getEffects()->add(new "
                 "\\pocketmine\\entity\\effect\\EffectInstance($effect, %2 * 20, %3 - 1)); }else{ "
                 "$this->getLogger()->warning(\"Unknown effect: \" . %1); }"),
           Argument{K::Effect, "VLS.vls14"}, Argument{K::Seconds, "VLS.vls15"}, Argument{K::Level, "VLS.vls16"}),
    action(19, "FNCT.fnct19", 1, kPlayer, split("$player->removeAllEffects();", "$player->getEffects()->clear();")),
    // A typed "/" would make the server look for a command named "/...".
    oneText(20, "FNCT.fnct20", 2, 0, 1, "VLS.vls17",
            split("$this->getServer()->dispatchCommand(new \\pocketmine\\command\\ConsoleCommandSender(), ltrim(%1, "
                  "\"/\"));",
                  "$this->getServer()->dispatchCommand(new "
                  "\\pocketmine\\console\\ConsoleCommandSender($this->getServer(), "
                  "$this->getServer()->getLanguage()), ltrim(%1, \"/\"));")),
    oneText(21, "FNCT.fnct21", 1, kPlayer, 1, "VLS.vls17",
            same("$this->getServer()->dispatchCommand($player, ltrim(%1, \"/\"));")),
    oneText(22, "FNCT.fnct22", 1, kPlayer, 1, "VLS.vls18", same("$player->setNameTag(%1);")),
    action(23, "FNCT.fnct23", 1, kPlayer, same("$player->setAllowFlight(%1);"), Argument{K::YesNo, "VLS.vls19"}),
    action(24, "FNCT.fnct24", 1, kPlayer, same("$player->setOnFire(%1);"), Argument{K::FireSeconds, "VLS.vls15"}),
    action(25, "FNCT.fnct25", 1, kPlayer,
           split("$player->getLevel()->setTime(%1);", "$player->getWorld()->setTime(%1);"),
           Argument{K::Number, "VLS.vls20"}),
    action(26, "FNCT.fnct26", 1, kPlayer, split("$player->addXp(%1);", "$player->getXpManager()->addXp(%1);"),
           Argument{K::Number, "VLS.vls21"}),
    oneText(27, "FNCT.fnct27", 2, kMessage, 1, "VLS.vls1", same("$event->setMessage(%1);")),
    // The closure shape is checked by the server when the task is made: API 3
    // passes the current tick, the later APIs nothing.
    shaped(action(28, "FNCT.fnct28", 2, 0,
                  split("$this->getScheduler()->scheduleDelayedTask(new \\pocketmine\\scheduler\\ClosureTask("
                        "function(int $currentTick)%u : void{",
                        "$this->getScheduler()->scheduleDelayedTask(new \\pocketmine\\scheduler\\ClosureTask("
                        "function()%u : void{"),
                  Argument{K::WaitSeconds, "VLS.vls15"}),
           ActionShape::Delay),
    action(29, "FNCT.fnct29", 2, kDeath, same("$event->setKeepInventory(true);")),
    action(30, "FNCT.fnct30", 2, kDrops, same("$event->setDrops([]);")),
    shaped(action(31, "FNCT.fnct31", 2, 0, same("foreach($this->getServer()->getOnlinePlayers() as $player){")),
           ActionShape::EachPlayer, kPlayer),
    condition(100, "FNCT.fnct100", kPlayer, same("$player->hasPermission(%2)"), Argument{K::Text, "VLS.vls23"}),
    condition(101, "FNCT.fnct101", kPlayer, same("$this->getServer()->isOp($player->getName())")),
    condition(102, "FNCT.fnct102", kPlayer, same("strcasecmp($player->getName(), %2) === 0"),
              Argument{K::Text, "VLS.vls18"}),
    // In any case, Cyrillic too; PCRE is in every PHP, mbstring is not.
    condition(103, "FNCT.fnct103", kTyped, same("preg_match(\"/\" . preg_quote(%2, \"/\") . \"/iu\", %m) === 1"),
              Argument{K::Text, "VLS.vls4"}),
    condition(104, "FNCT.fnct104", kPlayer,
              split("$player->getLevel()->getFolderName() === %2", "$player->getWorld()->getFolderName() === %2"),
              Argument{K::Text, "VLS.vls24"}),
    // Names as the server shows them, in any case: "stone" is "Stone".
    condition(105, "FNCT.fnct105", kBlock, same("strcasecmp($event->getBlock()->getName(), %2) === 0"),
              Argument{K::Text, "VLS.vls25"}),
    condition(106, "FNCT.fnct106", kPlayer,
              same("strcasecmp($player->getInventory()->getItemInHand()->getName(), %2) === 0"),
              Argument{K::Text, "VLS.vls8"}),
    condition(107, "FNCT.fnct107", kPlayer,
              split("$player->getGamemode() === %2", "$player->getGamemode()->equals(%2)"),
              Argument{K::GameMode, "VLS.vls13"}),
    condition(108, "FNCT.fnct108", 0, same("mt_rand(1, 100) <= %2"), Argument{K::Percent, "VLS.vls26"}),
    condition(109, "FNCT.fnct109", kPlayer, same("$player->isSneaking()")),
    condition(110, "FNCT.fnct110", kCause, same("in_array($event->getCause(), [%2], true)"),
              Argument{K::DamageCause, "VLS.vls10"}),
    // A sender that is a player is the player of the rest of the list.
    shaped(condition(111, "FNCT.fnct111", kSender,
                     split("($player = $sender) instanceof \\pocketmine\\Player",
                           "($player = $sender) instanceof \\pocketmine\\player\\Player")),
           ActionShape::Guard, kPlayer),
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
