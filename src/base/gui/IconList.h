#pragma once

#include <QIcon>

namespace vorlune::gui {

// The main window's list of sixteen 16 x 16 icons, shared by the menus,
// the tool bar and the project tree.
QIcon mainIcon(int index);
// The event icon list (16 x 16): 0 plugin events, 1 enabled, 2 disabled,
// 3 loaded, 4 inventory, 5 player, 6 server, 7 block, 8 entity.
QIcon eventIcon(int index);
// The action icon list (24 x 24): action k has icon k - 1. Conditions (ids
// from 100, icons from 99) share one icon of their own, so a list shows
// where the rest of an event depends on one.
QIcon actionIcon(int index);

} // namespace vorlune::gui
