#include "app/gui/TForm1.h"

#include "app/ProgramFolder.h"
#include "app/RuntimeFiles.h"
#include "app/gui/Theme.h"

#include <QCloseEvent>
#include <QShowEvent>

namespace vorlune::gui {

TForm1::TForm1(const QStringList &arguments, QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("TForm1"));
    FormCreate(arguments);
}

void TForm1::FormCreate(const QStringList &arguments)
{
    m_state.programFolder = app::programFolder();
    resize(689, 475);
    app::runCreationSteps(m_state, arguments);
    applyThemeFrom(m_state.programFolder);
    refreshTitle();
}

void TForm1::refreshTitle()
{
    setWindowTitle(app::mainWindowTitle(m_state.project.ProjectFileName));
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TForm1::FormShow()
{
    app::FileImportant(m_state.themeFilePath());
    m_sharedFileList.clear();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    FormClose();
    QMainWindow::closeEvent(event);
}

void TForm1::FormClose()
{
    // Dropped without saving and without asking.
    m_state.project.document = project::ProjectDocument();
}

} // namespace vorlune::gui
