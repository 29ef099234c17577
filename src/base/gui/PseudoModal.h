#pragma once

#include <QString>

class QWidget;

namespace vorlune::gui {

// Centres Form over the main window with the title title1 and shows it:
// pseudo-modally when Mode is true, normally otherwise.
void OpenFormOnCenter(QWidget *mainWindow, QWidget *Form, const QString &title1, bool Mode);

// Disables every window of the application except Form and the spared
// ones, shows Form and returns at once. Closing Form enables all windows
// again (FormModalClose).
void ShowFormModal(QWidget *Form);

// Keeps a window usable beside pseudo-modal dialogs, even when the window
// that owns it is disabled: the MCPE text format dialog, which the user keeps
// open while filling in other dialogs, and a server console, a terminal of
// its own.
void spareFromPseudoModal(QWidget *window);
void FormModalClose();

} // namespace vorlune::gui
