// The run command of the main window: the project built into the local test
// server, which then starts in a console of its own.

#include "app/gui/TForm1.h"

#include "app/ConsoleFormatCodes.h"
#include "base/Error.h"
#include "base/Messages.h"
#include "base/RuntimeFiles.h"
#include "base/gui/ErrorHandler.h"
#include "i18n/Placeholder.h"
#include "i18n/TextTable.h"
#include "testrun/Installer.h"
#include "testrun/Launcher.h"
#include "testrun/gui/ServerConsole.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QPixmap>
#include <QThread>
#include <QTimer>

#include <memory>

namespace vorlune::gui {
namespace {

// The format codes as the text format dialog shows them, whose window-frame
// ink is drawn in the palette's dark role.
testrun::FormatCodeTable formatCodes()
{
    const QColor frame = QApplication::palette().color(QPalette::Dark);
    return app::consoleFormatCodes({frame.red(), frame.green(), frame.blue()});
}

} // namespace

void TForm1::N16Click()
{
    const QString P = m_state.programFolder;
    const QString serverFolder = P + testrun::kTestServerFolder;
    const QString coreEntry = testrun::findCoreEntry(serverFolder);
    if (coreEntry.isEmpty()) {
        Messages::show(
            i18n::setTextIntoVarInString(i18n::tx("MSG.msg13"), QStringLiteral("name"), i18n::tx("OTHR.othr4")));
        N14Click();
        return;
    }
    if (!testrun::missingPhpBinary(serverFolder).isEmpty()) {
        Messages::show(
            i18n::setTextIntoVarInString(i18n::tx("MSG.msg13"), QStringLiteral("name"), i18n::tx("OTHR.othr5")));
        N14Click();
        return;
    }
    if (m_runCleanUp)
        return; // the run asked for is on its way
    // A tree of any size may be deleted: off the window's thread, then the
    // run goes on here. A bad option value stops it before anything goes.
    auto failure = std::make_shared<QString>();
    QThread *cleanUp = QThread::create([serverFolder, settings = m_state.SettingsIni, failure] {
        try {
            testrun::cleanUpBeforeRun(serverFolder, settings);
        } catch (const Error &error) {
            *failure = error.text();
        }
    });
    m_runCleanUp = cleanUp;
    connect(cleanUp, &QThread::finished, this, [this, cleanUp, failure, coreEntry] {
        cleanUp->deleteLater();
        if (!failure->isEmpty()) {
            Messages::show(*failure);
            return;
        }
        guarded([this, coreEntry] { startRun(coreEntry); })();
    });
    cleanUp->start();
}

void TForm1::startRun(const QString &coreEntry)
{
    const QString P = m_state.programFolder;
    const QString serverFolder = P + testrun::kTestServerFolder;
    testrun::buildIntoServer(m_state.project.document, serverFolder);

    const QString iconFile = P + testrun::kConsoleIconFileName;
    base::ExtractRes(base::kResourceType, testrun::kConsoleIconResource, iconFile);
    // Read now: the file is gone a second later.
    const QIcon icon{QPixmap(iconFile)};
    auto *console = new ServerConsole(testrun::consoleCommand(P, coreEntry), icon, formatCodes());
    // Why the server may refuse the plugin, before its own words on it.
    console->showFindings(buildFindings());
    console->start();
    // The icon file is needed only while the console starts; a timer instead
    // of a wait keeps the window answering.
    QTimer::singleShot(1000, this, [iconFile] { QFile::remove(iconFile); });
}

} // namespace vorlune::gui
