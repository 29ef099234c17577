#include "app/CommandLine.h"
#include "app/gui/TForm1.h"
#include "app/gui/VorluneApplication.h"
#include "base/EndSignals.h"
#include "base/FileIo.h"
#include "base/gui/MessageBoxSink.h"
#include "script/gui/TForm2.h"
#include "script/gui/TForm4.h"
#include "testrun/gui/TForm5.h"
#include "textformat/gui/TForm3.h"

int main(int argc, char *argv[])
{
    using namespace vorlune::gui;
    vorlune::fileio::reportOversizeWritesAsErrors();
    vorlune::app::CommandLine commandLine(argc, argv);
    VorluneApplication application(commandLine.toolkitArgc(), commandLine.toolkitArgv());
    QApplication::setApplicationName(QStringLiteral("Vorlune"));
    // Lets the desktop match the windows to the installed launcher and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vorlune.Vorlune"));
    installMessageBoxSink();
    // Ended from outside, the program leaves as when it quits, so its
    // servers go with it; the windows are not asked.
    vorlune::base::EndSignals endSignals;
    QObject::connect(&endSignals, &vorlune::base::EndSignals::received,
                     [](int number) { QCoreApplication::exit(128 + number); });

    // The main window first: its creation step runs before the others exist.
    TForm1 form1(commandLine.projectArguments());
    TForm2 form2;
    TForm3 form3;
    TForm4 form4;
    TForm5 form5(form1.runSettingsContext());
    form1.attachWindows({&form2, &form3, &form4, &form5});
    form1.show();
    return QApplication::exec();
}
