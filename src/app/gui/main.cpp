#include "app/gui/MessageBoxSink.h"
#include "app/gui/TForm1.h"
#include "app/gui/VorluneApplication.h"

int main(int argc, char *argv[])
{
    vorlune::gui::VorluneApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorlune"));
    vorlune::gui::installMessageBoxSink();

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    vorlune::gui::TForm1 mainWindow(arguments);
    mainWindow.show();
    return QApplication::exec();
}
