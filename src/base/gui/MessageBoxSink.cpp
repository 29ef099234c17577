#include "base/gui/MessageBoxSink.h"

#include "base/Messages.h"

#include <QApplication>
#include <QMessageBox>

namespace vorlune::gui {

void installMessageBoxSink()
{
    Messages::setSink([](const QString &text) {
        QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
    });
}

} // namespace vorlune::gui
