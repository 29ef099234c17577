// The run command of the main window: the project built into the local test
// server, which then starts in a console of its own.

#include "app/gui/TForm1.h"

#include "base/RuntimeFiles.h"
#include "base/Messages.h"
#include "build/Compile.h"
#include "i18n/Placeholder.h"
#include "i18n/TextTable.h"
#include "testrun/Installer.h"
#include "testrun/Launcher.h"
#include "testrun/gui/ServerConsole.h"
#include "textformat/FormatCodes.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QPixmap>
#include <QTimer>

namespace vorlune::gui {
namespace {

testrun::ConsoleColour consoleColour(const QColor &colour)
{
    return {colour.red(), colour.green(), colour.blue()};
}

// The format codes as the text format dialog shows them.
testrun::FormatCodeTable consoleFormatCodes()
{
    using textformat::Emphasis;
    using textformat::Ink;
    testrun::FormatCodeTable table;
    for (const textformat::FormatOption &option : textformat::formatOptions()) {
        testrun::FormatCodeEffect effect;
        switch (option.ink) {
        case Ink::Fixed:
            effect.colour = testrun::ConsoleColour{option.rgb.red, option.rgb.green, option.rgb.blue};
            break;
        case Ink::WindowFrame:
            // As the text format dialog draws it.
            effect.colour = consoleColour(QApplication::palette().color(QPalette::Dark));
            break;
        case Ink::NormalText:
            // The option that only names the plain text is the reset.
            effect.reset = option.emphasis == Emphasis::None;
            break;
        }
        effect.bold = option.emphasis == Emphasis::Bold;
        effect.italic = option.emphasis == Emphasis::Italic;
        table.insert(option.code, effect);
    }
    return table;
}

} // namespace

void TForm1::N16Click()
{
    const QString P = m_state.programFolder;
    const QString serverFolder = P + testrun::kTestServerFolder;
    const QString coreEntry = testrun::findCoreEntry(serverFolder);
    if (coreEntry.isEmpty()) {
        Messages::show(i18n::setTextIntoVarInString(i18n::tx("MSG.msg13"), QStringLiteral("name"), i18n::tx("OTHR.othr4")));
        N14Click();
        return;
    }
    if (!testrun::missingPhpBinary(serverFolder).isEmpty()) {
        Messages::show(i18n::setTextIntoVarInString(i18n::tx("MSG.msg13"), QStringLiteral("name"), i18n::tx("OTHR.othr5")));
        N14Click();
        return;
    }
    testrun::cleanUpBeforeRun(serverFolder, m_state.SettingsIni);
    testrun::makePluginsFolder(serverFolder);
    // Its outcome is not examined: a failed build has shown its messages and
    // the server starts without the plugin. An error raised in it ends the run.
    build::Compile(m_state.project.document, build::kPharArchive, serverFolder + QStringLiteral("plugins/bnop.phar"),
                   true, false);
    testrun::prepareServerProperties(serverFolder);

    const QString iconFile = P + testrun::kConsoleIconFileName;
    base::ExtractRes(base::kResourceType, testrun::kConsoleIconResource, iconFile);
    // Read now: the file is gone a second later.
    const QIcon icon{QPixmap(iconFile)};
    auto *console = new ServerConsole(testrun::consoleCommand(P, coreEntry), icon, consoleFormatCodes());
    console->start();
    // The icon file is needed only while the console starts; a timer instead
    // of a wait keeps the window answering.
    QTimer::singleShot(1000, this, [iconFile] { QFile::remove(iconFile); });
}

} // namespace vorlune::gui
