#pragma once

#include <QIcon>

namespace vorlune::gui {

// The main window's list of sixteen 16 x 16 icons, shared by the menus,
// the tool bar and the project tree.
QIcon mainIcon(int index);

} // namespace vorlune::gui
