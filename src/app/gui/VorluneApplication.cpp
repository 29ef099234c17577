#include "app/gui/VorluneApplication.h"

namespace vorlune::gui {

bool VorluneApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showCurrentException();
        return false;
    }
}

} // namespace vorlune::gui
