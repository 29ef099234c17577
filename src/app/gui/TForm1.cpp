#include "app/gui/TForm1.h"

#include "app/FileImportant.h"
#include "app/gui/PanelSplitter.h"
#include "app/gui/QtTranslations.h"
#include "app/gui/SaveQuestion.h"
#include "app/gui/Theme.h"
#include "app/gui/VorluneApplication.h"
#include "base/Messages.h"
#include "base/ProgramFolder.h"
#include "base/RuntimeFiles.h"
#include "base/ScreenFit.h"
#include "base/gui/FileDialogs.h"
#include "base/gui/FitTexts.h"
#include "base/gui/IconList.h"
#include "base/gui/PseudoModal.h"
#include "build/Compile.h"
#include "build/PluginCheck.h"
#include "i18n/ExtraTexts.h"
#include "i18n/Placeholder.h"
#include "i18n/TextTable.h"
#include "project/gui/ProjectTree.h"
#include "project/gui/SettingsEditor.h"
#include "script/EventSettings.h"
#include "script/gui/ScriptEditor.h"
#include "script/gui/TForm2.h"
#include "script/gui/TForm4.h"
#include "textformat/gui/TForm3.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QThread>
#include <QTreeWidget>

namespace vorlune::gui {
namespace {

// The window's outer size, frame included.
constexpr QSize kOuterSize(689, 475);

struct MenuShortcut {
    const char *name;
    QKeyCombination keys;
};
const MenuShortcut kShortcuts[] = {{"N2", Qt::CTRL | Qt::Key_N},
                                   {"N3", Qt::CTRL | Qt::Key_O},
                                   {"N4", Qt::CTRL | Qt::Key_S},
                                   {"N6", Qt::CTRL | Qt::Key_B},
                                   {"N16", QKeyCombination(Qt::Key_F5)}};

QString projectFilter() { return i18n::tx("OTHR.othr2") + QStringLiteral(" (*.vlk)"); }

bool isInputEvent(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Drop:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

TForm1::TForm1(const QStringList &arguments, QWidget *parent) : QMainWindow(parent), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("TForm1"));
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, &TForm1::Timer1Timer);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("editorArea"));
    setCentralWidget(central);
    central->installEventFilter(this);

    auto *panel = new QWidget(central);
    panel->setObjectName(QStringLiteral("sPanel1"));
    panel->resize(185, 400);
    auto *splitter = new PanelSplitter(panel, 150, 270, central);
    splitter->setObjectName(QStringLiteral("sSplitter1"));
    splitter->resize(8, 400);
    connect(splitter, &PanelSplitter::moved, this, &TForm1::scheduleRefresh);

    m_tree = std::make_unique<ProjectTree>(central);
    connect(m_tree->widget(), &QTreeWidget::itemDoubleClicked, this, guarded([this] { sTreeView1DblClick(); }));
    m_settingsEditor = new SettingsEditor(central, m_state.project, m_state.editorMode);
    connect(m_settingsEditor, &SettingsEditor::changed, this, &TForm1::scheduleRefresh);
    m_scriptEditor = new ScriptEditor(central, m_state.project, m_state.editorMode);
    connect(m_scriptEditor, &ScriptEditor::changed, this, &TForm1::scheduleRefresh);

    buildToolBar(central);
    buildMenus();
    m_layout = MainWindowLayout{central->findChild<QWidget *>(QStringLiteral("sPanel2")),
                                panel,
                                splitter,
                                m_tree->widget(),
                                m_settingsEditor->grid(),
                                m_settingsEditor->okButton(),
                                m_settingsEditor->cancelButton(),
                                &m_scriptEditor->controls()};
    qApp->installEventFilter(this);

    FormCreate(arguments);
}

void TForm1::attachWindows(const OtherWindows &windows)
{
    m_windows = windows;
    m_scriptEditor->attach(this, windows.TForm2, windows.TForm4);
    if (windows.TForm2)
        windows.TForm2->attach(m_scriptEditor);
    if (windows.TForm4)
        windows.TForm4->attach(m_scriptEditor);
    applyTexts();
}

TForm1::~TForm1()
{
    qApp->removeEventFilter(this);
    // Its own copies of what it needs; it ends by itself.
    if (m_runCleanUp)
        m_runCleanUp->wait();
}

QAction *TForm1::addMenuAction(QMenu *menu, const char *name, int icon, void (TForm1::*handler)())
{
    QAction *action = menu->addAction(icon >= 0 ? mainIcon(icon) : QIcon(), QString());
    action->setObjectName(QLatin1String(name));
    for (const MenuShortcut &shortcut : kShortcuts) {
        if (qstrcmp(shortcut.name, name) == 0)
            action->setShortcut(shortcut.keys);
    }
    if (handler)
        connect(action, &QAction::triggered, this, guarded([this, handler] { (this->*handler)(); }));
    return action;
}

void TForm1::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    const auto submenu = [bar](const char *name) {
        QMenu *menu = bar->addMenu(QString());
        menu->setObjectName(QLatin1String(name));
        return menu;
    };
    QMenu *file = submenu("N1");
    addMenuAction(file, "N2", 12, &TForm1::N2Click);
    addMenuAction(file, "N3", 11, &TForm1::N3Click);
    addMenuAction(file, "N4", 10, &TForm1::N4Click);
    addMenuAction(file, "N5", 10, &TForm1::N5Click);
    file->addSeparator()->setObjectName(QStringLiteral("N15"));
    addMenuAction(file, "N6", 13, &TForm1::N6Click);
    addMenuAction(file, "N16", 15, &TForm1::N16Click);

    QMenu *metadata = submenu("N7");
    QAction *textFormat = addMenuAction(metadata, "N9", -1, nullptr);
    connect(textFormat, &QAction::triggered, this, [this] {
        if (m_windows.TForm3)
            OpenFormOnCenter(this, m_windows.TForm3, i18n::tx("TTL.ttl1"), false);
    });
    addMenuAction(metadata, "I1", -1, nullptr); // the effect ids entry does nothing

    QMenu *settings = submenu("N13");
    addMenuAction(settings, "N14", -1, &TForm1::N14Click);

    buildLanguageMenu(submenu("N8"));
}

void TForm1::buildToolBar(QWidget *central)
{
    auto *toolBar = new QWidget(central);
    toolBar->setObjectName(QStringLiteral("sPanel2"));
    toolBar->setGeometry(0, 0, 689, 20);
    struct ToolButton {
        const char *name;
        int left;
        int icon;
        void (TForm1::*handler)();
        const char *menuItem; // the same command in the menu
    };
    const ToolButton buttons[] = {{"sBitBtn9", 0, 12, &TForm1::N2Click, "N2"},
                                  {"sBitBtn10", 21, 11, &TForm1::N3Click, "N3"},
                                  {"sBitBtn11", 42, 10, &TForm1::N4Click, "N4"},
                                  {"sBitBtn12", 68, 13, &TForm1::N6Click, "N6"},
                                  {"sBitBtn13", 89, 15, &TForm1::N16Click, "N16"}};
    for (const ToolButton &tool : buttons) {
        auto *button = new QPushButton(toolBar);
        button->setObjectName(QLatin1String(tool.name));
        m_toolButtonItems.emplace_back(button, tool.menuItem);
        button->setGeometry(tool.left, 0, 20, 20);
        button->setIcon(mainIcon(tool.icon));
        button->setFlat(true);
        if (tool.handler)
            connect(button, &QPushButton::clicked, this,
                    guarded([this, handler = tool.handler] { (this->*handler)(); }));
    }
}

void TForm1::applyTexts()
{
    struct Caption {
        const char *name;
        i18n::TextId text;
    };
    static constexpr Caption captions[] = {{"N1", "MENU.menu1"},   {"N2", "MENU.menu3"},   {"N3", "MENU.menu4"},
                                           {"N4", "MENU.menu5"},   {"N5", "MENU.menu6"},   {"N6", "MENU.menu7"},
                                           {"N16", "MENU.menu12"}, {"N7", "MENU.menu2"},   {"N9", "MENU.menu8"},
                                           {"I1", "MENU.menu9"},   {"N13", "MENU.menu10"}, {"N14", "MENU.menu11"}};
    for (const Caption &caption : captions) {
        const QString text = i18n::tx(caption.text);
        if (auto *menu = findChild<QMenu *>(QLatin1String(caption.name)))
            menu->setTitle(text);
        else if (auto *action = findChild<QAction *>(QLatin1String(caption.name)))
            action->setText(text);
    }
    for (const auto &[button, item] : m_toolButtonItems) {
        if (auto *action = findChild<QAction *>(QLatin1String(item)))
            button->setToolTip(action->text());
    }
    m_tree->applyTexts();
    m_settingsEditor->applyTexts();
    m_scriptEditor->controls().applyTexts();
    if (m_windows.TForm2)
        m_windows.TForm2->applyTexts();
    if (m_windows.TForm3)
        m_windows.TForm3->applyTexts();
    if (m_windows.TForm4)
        m_windows.TForm4->applyTexts();
    if (m_windows.TForm5)
        m_windows.TForm5->applyTexts();
    for (QWidget *window : {static_cast<QWidget *>(this), static_cast<QWidget *>(m_windows.TForm2),
                            static_cast<QWidget *>(m_windows.TForm3), static_cast<QWidget *>(m_windows.TForm4),
                            static_cast<QWidget *>(m_windows.TForm5)}) {
        if (window)
            fitButtonTexts(window);
    }
    m_fittedWidth = width();
    scheduleRefresh();
}

void TForm1::FormCreate(const QStringList &arguments)
{
    m_state.programFolder = base::programFolder();
    // At its place when it fits on the screen there, else moved the least.
    const QPoint place(450, 320);
    const QScreen *screen =
        QGuiApplication::screenAt(place) ? QGuiApplication::screenAt(place) : QGuiApplication::primaryScreen();
    move(screen ? base::fitOnScreen(QRect(place, kOuterSize), screen->availableGeometry()) : place);
    // The frame is not known before the window manager has framed the
    // window; until then the inner size stands for the outer one.
    resize(kOuterSize);
    app::runCreationSteps(m_state, arguments, [this] { applyThemeFrom(m_state.programFolder); });
    loadQtTranslations(m_state.LanguageIni);
    applyTexts();
    Timer1Timer();
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    settleOuterSize();
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TForm1::FormShow()
{
    app::FileImportant(m_state.themeFilePath());
    UpdateStringsLanguage();
    m_sharedFileList.clear();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (!projectMaySetAside()) {
        event->ignore();
        return;
    }
    FormClose();
    QMainWindow::closeEvent(event);
    // The dialogs live as long as the program; closing the main window ends it.
    if (m_languageWorker)
        m_languageWorker->cancel();
    // Downloads still running are stopped: nobody is left to install for.
    if (m_windows.TForm5)
        m_windows.TForm5->shutDown();
    for (QWidget *window : {static_cast<QWidget *>(m_windows.TForm2), static_cast<QWidget *>(m_windows.TForm3),
                            static_cast<QWidget *>(m_windows.TForm4)}) {
        if (window)
            window->close();
    }
}

void TForm1::FormClose()
{
    // Dropped without saving and without asking.
    m_state.project.document = project::ProjectDocument();
}

void TForm1::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    settleOuterSize();
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    settleOuterSize();
    scheduleRefresh();
}

void TForm1::settleOuterSize()
{
    // Once, at the first event that tells the frame: later sizes are the user's.
    if (m_outerSizeSettled)
        return;
    const QSize frameThickness = frameGeometry().size() - size();
    if (frameThickness.isNull())
        return;
    m_outerSizeSettled = true;
    resize(kOuterSize - frameThickness);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (isInputEvent(event->type()))
        scheduleRefresh();
    if (watched == centralWidget() && event->type() == QEvent::MouseButtonPress)
        FormClick();
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::scheduleRefresh()
{
    if (!m_timer->isActive())
        m_timer->start();
}

void TForm1::Timer1Timer()
{
    setWindowTitle(app::mainWindowTitle(m_state.project.ProjectFileName));
    if (!m_state.project.document.isNull()) {
        const QString main = m_state.project.document.settings().attribute(QStringLiteral("main"));
        m_tree->setMainScriptText(project::getMainClassName(main) + QStringLiteral(".php"));
    }
    if (m_state.editorMode == 2)
        m_scriptEditor->updateEventButtons();
    RecizeChange();
}

void TForm1::RecizeChange()
{
    // The rules take the outer size and place the controls in the inner area.
    // Run twice: rules that read later rules' values settle on the second pass.
    const QSize outer = frameGeometry().size();
    m_layout.RecizeChange(outer.width(), outer.height());
    m_layout.RecizeChange(outer.width(), outer.height());
    // The editors' buttons change width with the window only.
    if (width() != m_fittedWidth) {
        m_fittedWidth = width();
        fitButtonTexts(this);
    }
}

RunSettingsContext TForm1::runSettingsContext()
{
    return {m_state.programFolder, &m_state.SettingsIni, m_state.settingsFilePath(), m_state.SiteBaseUrl};
}

void TForm1::N14Click()
{
    if (m_windows.TForm5)
        OpenFormOnCenter(this, m_windows.TForm5, i18n::tx("TTL.ttl5"), true);
}

void TForm1::FormClick()
{
    m_tree->widget()->clearSelection();
    m_tree->widget()->setCurrentItem(nullptr);
}

void TForm1::closeEditorsWithoutSaving()
{
    m_settingsEditor->ClosePluginSettings(false);
    m_scriptEditor->ClosePhpScript(false);
}

bool TForm1::editorHoldsChanges()
{
    return m_settingsEditor->hasUnconfirmedChanges() || m_scriptEditor->hasUnconfirmedChanges();
}

bool TForm1::confirmEditorChanges()
{
    if (m_settingsEditor->hasUnconfirmedChanges()) {
        m_settingsEditor->sBitBtn1Click();
        return m_state.editorMode != 1;
    }
    if (m_scriptEditor->hasUnconfirmedChanges())
        m_scriptEditor->ClosePhpScript(true);
    return true;
}

QStringList TForm1::buildFindings()
{
    QStringList findings = build::checkPlugin(m_state.project.document);
    // Someone who just typed the value a finding asked for learns why it did not count.
    if (editorHoldsChanges())
        findings.prepend(
            i18n::fillPlaceholders(i18n::extraText("editor_unconfirmed"), {{"ok", i18n::tx("BUTTONS.btn1")}}));
    return findings;
}

bool TForm1::projectMaySetAside()
{
    if (m_state.project.document.isNull() || (!m_state.project.modified && !editorHoldsChanges()))
        return true;
    const QString question =
        i18n::fillPlaceholders(i18n::extraText("save_question"), {{"name", m_state.project.ProjectFileName}});
    switch (SaveQuestion::ask(this, question)) {
    case SaveQuestion::Answer::Discard:
        return true;
    case SaveQuestion::Answer::Cancel:
        return false;
    case SaveQuestion::Answer::Save:
        break;
    }
    try {
        // Saved as the user sees it: an open editor's changes go in first.
        if (!confirmEditorChanges())
            return false;
        N4Click();
    } catch (...) {
        showCurrentException();
        return false;
    }
    // A save-as the user cancelled leaves the mark: the action stops too.
    return !m_state.project.modified;
}

QString TForm1::workFolder() const
{
    const QString path = m_state.project.ProjectFilePath;
    return path.isEmpty() ? QDir::homePath() : QFileInfo(path).absolutePath();
}

QString TForm1::compileTarget()
{
    // The plugin's name, as a file name in the work folder.
    QString name = m_state.project.document.isNull()
                       ? QString()
                       : m_state.project.document.settings().attribute(QStringLiteral("name")).trimmed();
    name.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return name.isEmpty() || name.startsWith(QLatin1Char('.')) ? workFolder() : workFolder() + QLatin1Char('/') + name;
}

void TForm1::N2Click()
{
    if (projectMaySetAside())
        NewPlugin();
}

void TForm1::NewPlugin()
{
    m_state.project.NewPlugin();
    // An open script editor would show the previous project's events.
    closeEditorsWithoutSaving();
    scheduleRefresh();
}

void TForm1::N3Click()
{
    if (!projectMaySetAside())
        return;
    const FileDialogs::Answer answer = FileDialogs::getOpenFileName(this, QString(), {projectFilter()}, workFolder());
    if (answer.path.isEmpty())
        return;
    try {
        m_state.project.OpenPlugin(answer.path, script::refuseBrokenSettings);
    } catch (...) {
        showCurrentException();
    }
    closeEditorsWithoutSaving();
    scheduleRefresh();
}

void TForm1::N4Click()
{
    if (m_state.project.ProjectFilePath.isEmpty()) {
        SaveDialogOpenEx();
        return;
    }
    m_state.project.saveTo(m_state.project.ProjectFilePath);
    scheduleRefresh();
}

void TForm1::SaveDialogOpenEx()
{
    const FileDialogs::Answer answer = FileDialogs::getSaveFileName(
        this, QString(), {projectFilter()}, workFolder() + QLatin1Char('/') + m_state.project.ProjectFileName);
    if (answer.path.isEmpty())
        return;
    const QString name = project::ProjectSession::saveAsTarget(answer.path);
    if (name.isEmpty())
        return;
    m_state.project.saveTo(name);
    scheduleRefresh();
}

void TForm1::N6Click()
{
    const QString caption = i18n::tx("OTHR.othr3");
    const FileDialogs::Answer answer = FileDialogs::getSaveFileName(
        this, i18n::tx("MENU.menu7"), {caption + QStringLiteral(" (*.phar)"), caption + QStringLiteral(" (*.zip)")},
        compileTarget());
    if (answer.path.isEmpty())
        return;
    const QString archive = build::Compile(m_state.project.document, answer.filterIndex, answer.path,
                                           build::kShowErrors, build::kShowCompletion);
    if (archive.isEmpty())
        return;
    // A plugin that builds may still be refused by a server or print other
    // than typed; a user who builds from the window is told so here.
    const QStringList findings = buildFindings();
    if (!findings.isEmpty())
        Messages::show(i18n::extraText("check_heading") + QStringLiteral("\n\n") +
                       findings.join(QStringLiteral("\n\n")));
}

void TForm1::sTreeView1DblClick()
{
    const QString text = m_tree->selectedText();
    if (text.isEmpty() || m_state.project.document.isNull())
        return;
    if (text == i18n::tx("RSRS.rsrs1")) {
        if (m_state.editorMode == 0)
            m_settingsEditor->OpenPluginSettings();
        return;
    }
    const QString main = m_state.project.document.settings().attribute(QStringLiteral("main"));
    if (text == project::getMainClassName(main) + QStringLiteral(".php") && m_state.editorMode == 0)
        m_scriptEditor->OpenPhpScript();
}

} // namespace vorlune::gui
