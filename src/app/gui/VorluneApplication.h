#pragma once

#include "base/gui/ErrorHandler.h"

#include <QApplication>

namespace vorlune::gui {

// The application's general error handler: an exception that leaves an
// event handler is caught here and its text shown; the program goes on.
class VorluneApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace vorlune::gui
