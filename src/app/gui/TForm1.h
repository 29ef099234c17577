#pragma once

#include "app/AppState.h"
#include "app/LanguageDownload.h"
#include "app/gui/MainWindowLayout.h"
#include "testrun/gui/TForm5.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <utility>
#include <vector>

class QThread;

class QAction;
class QPushButton;

namespace vorlune::gui {

class ProjectTree;
class ScriptEditor;
class SettingsEditor;
class TForm2;
class TForm3;
class TForm4;

// The windows created at start-up after the main window.
struct OtherWindows {
    gui::TForm2 *TForm2 = nullptr; // event dialog
    gui::TForm3 *TForm3 = nullptr; // MCPE text format dialog
    gui::TForm4 *TForm4 = nullptr; // action argument dialog
    gui::TForm5 *TForm5 = nullptr; // run settings window
};

// The main window. It owns the program's global state for the run.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(const QStringList &arguments, QWidget *parent = nullptr);
    ~TForm1() override;

    void attachWindows(const OtherWindows &windows);
    // What the run settings window needs of the program's state.
    RunSettingsContext runSettingsContext();
    app::AppState &state() { return m_state; }
    SettingsEditor &settingsEditor() { return *m_settingsEditor; }
    ProjectTree &projectTree() { return *m_tree; }
    ScriptEditor &scriptEditor() { return *m_scriptEditor; }

    // Project operations of the file menu and the tool bar.
    void NewPlugin();
    void N2Click();
    void N3Click();
    void N4Click();
    void N5Click() { SaveDialogOpenEx(); }
    void SaveDialogOpenEx();
    void N6Click();
    void sTreeView1DblClick();
    void FormClick();
    void N14Click();
    void N16Click();                         // the test run
    void startRun(const QString &coreEntry); // the test run once the clean-up is done

    // One refresh of title, tree, editor buttons and layout. Asked for after
    // every input event instead of on a fast timer, so an idle window costs
    // no processor time.
    void Timer1Timer();
    void RecizeChange();
    void scheduleRefresh();
    // Puts the localized texts into the window's controls.
    void applyTexts();
    // applyTexts for this window and every other one, and the name of a
    // project never saved.
    void UpdateStringsLanguage();

    // The language menu: downloads the language file at Link and switches to it.
    void SetLanguage(const QString &Link);
    void ObjectUnBlockedLang(bool Action);
    bool languageDownloadPending() const { return LanguageDownloadPending; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate(const QStringList &arguments);
    void FormShow();
    void FormClose();
    void buildMenus();
    void buildToolBar(QWidget *central);
    QAction *addMenuAction(QMenu *menu, const char *name, int icon, void (TForm1::*handler)());
    void closeEditorsWithoutSaving();
    // Asks whether to save a changed project: true when it may be replaced
    // (saved, or the user chose not to), false when the action is to stop.
    bool projectMaySetAside();
    // An open editor holds changes its OK has not taken into the document.
    bool editorHoldsChanges();
    // Takes them in as the editor's OK does; false when the editor refused a
    // value and stays open with its message.
    bool confirmEditorChanges();
    // The findings on the document a build or run just used, with a word on
    // an editor's changes it could not see.
    QStringList buildFindings();
    // Where file dialogs open: the open project's folder, else the home folder.
    QString workFolder() const;
    QString compileTarget();
    void buildLanguageMenu(QMenu *language);
    // Checks the Language menu's item of the language file's own locale.
    void markActiveLanguage();
    void languageDownloaded();
    void languageDownloadFailed(const QString &text);
    void endLanguageDownload();
    void settleOuterSize();
    int m_fittedWidth = -1; // the width the buttons' captions were last fitted to

    app::AppState m_state;
    OtherWindows m_windows;
    QStringList m_sharedFileList;
    bool m_shown = false;
    bool m_outerSizeSettled = false;

    QTimer *m_timer;
    // The client before the worker that uses it.
    std::unique_ptr<testrun::HttpClient> IdHTTP1;
    std::unique_ptr<app::TSreamDownload> m_languageWorker;
    bool LanguageDownloadPending = false;
    // The clean-up before a run, while it deletes; the run goes on after it.
    QPointer<QThread> m_runCleanUp;
    QString LanguageDownloadUrl;
    std::unique_ptr<ProjectTree> m_tree;
    SettingsEditor *m_settingsEditor = nullptr;
    ScriptEditor *m_scriptEditor = nullptr;
    MainWindowLayout m_layout{};
    // Each tool button's tooltip is the text of its menu item.
    std::vector<std::pair<QPushButton *, const char *>> m_toolButtonItems;
};

} // namespace vorlune::gui
