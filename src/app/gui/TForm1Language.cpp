// The language menu of the main window: a language file downloaded on a
// worker thread, then the texts of every window replaced.

#include "app/gui/TForm1.h"

#include "app/gui/QtTranslations.h"
#include "app/gui/VorluneApplication.h"
#include "base/Messages.h"
#include "i18n/ExtraTexts.h"
#include "i18n/TextTable.h"
#include "project/gui/ProjectTree.h"
#include "testrun/DownloadState.h"

#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeWidget>

namespace vorlune::gui {
namespace {

// Icons of the menu items, in the order of the language sources.
constexpr int kLanguageIcons[] = {7, 5, 6, 8, 9};

} // namespace

void TForm1::buildLanguageMenu(QMenu *language)
{
    // The language menu is never localized.
    language->setTitle(QStringLiteral("Language"));
    int place = 0;
    for (const app::LanguageSource &source : app::kLanguageSources) {
        QAction *item = addMenuAction(language, source.menuItem, kLanguageIcons[place++], nullptr);
        item->setText(QString::fromUtf8(source.caption));
        item->setCheckable(true);
        const QString path = QLatin1String(source.path);
        connect(item, &QAction::triggered, this, guarded([this, path] { SetLanguage(m_state.SiteBaseUrl + path); }));
    }
}

void TForm1::markActiveLanguage()
{
    // The built-in texts are Russian: a language file without the key is taken for them.
    const QString active =
        m_state.LanguageIni.readString(i18n::kExtraTextSection, QStringLiteral("language"), QStringLiteral("ru"));
    for (const app::LanguageSource &source : app::kLanguageSources) {
        if (auto *item = findChild<QAction *>(QLatin1String(source.menuItem)))
            item->setChecked(active.compare(QLatin1String(source.locale), Qt::CaseInsensitive) == 0);
    }
}

void TForm1::SetLanguage(const QString &Link)
{
    if (m_state.editorMode != 0) {
        Messages::show(i18n::tx("MSG.msg7"));
        return;
    }
    if (LanguageDownloadPending)
        return; // the controls that start one are off until it ends
    if (!IdHTTP1)
        IdHTTP1 = std::make_unique<testrun::HttpClient>(app::languageClientOptions());
    LanguageDownloadPending = true;
    LanguageDownloadUrl = Link;
    ObjectUnBlockedLang(false);
    m_languageWorker.reset();
    m_languageWorker = std::make_unique<app::TSreamDownload>(*IdHTTP1, Link, m_state.languageFilePath());
    // Queued: the window changes on its own thread.
    connect(m_languageWorker.get(), &app::TSreamDownload::downloaded, this, guarded([this] { languageDownloaded(); }));
    connect(m_languageWorker.get(), &app::TSreamDownload::failed, this,
            [this](const QString &text) { guarded([this, text] { languageDownloadFailed(text); })(); });
    m_languageWorker->start();
}

void TForm1::languageDownloaded()
{
    // Whatever happens while reloading, the window must come back.
    struct Unblock {
        TForm1 *form;
        ~Unblock() { form->endLanguageDownload(); }
    } unblock{this};
    // Read, completed and saved by the worker.
    m_state.LanguageIni = m_languageWorker->takeLanguage();
    i18n::texts().loadFrom(m_state.LanguageIni);
    i18n::loadExtraTexts(m_state.LanguageIni);
    loadQtTranslations(m_state.LanguageIni);
    UpdateStringsLanguage();
}

void TForm1::languageDownloadFailed(const QString &text)
{
    endLanguageDownload();
    const QString message = testrun::downloadFailureMessage(i18n::tx("MSG.msg8"), text);
    if (m_windows.TForm5) {
        testrun::sharedDownloadState().setNotifierMessage(message);
        m_windows.TForm5->raiseNotifier();
    } else {
        Messages::show(message);
    }
}

void TForm1::endLanguageDownload()
{
    LanguageDownloadPending = false;
    LanguageDownloadUrl.clear();
    ObjectUnBlockedLang(true);
    markActiveLanguage(); // a click checked the item before the file came
}

void TForm1::ObjectUnBlockedLang(bool Action)
{
    for (QAction *entry : menuBar()->actions())
        entry->setEnabled(Action);
    m_tree->widget()->setEnabled(Action);
    for (const char *name : {"sBitBtn9", "sBitBtn10", "sBitBtn11", "sBitBtn12", "sBitBtn13"}) {
        if (auto *button = findChild<QPushButton *>(QLatin1String(name)))
            button->setEnabled(Action);
    }
}

void TForm1::UpdateStringsLanguage()
{
    applyTexts();
    markActiveLanguage();
    if (m_state.project.ProjectFilePath.isEmpty() && !m_state.project.document.isNull())
        m_state.project.ProjectFileName = project::ProjectSession::untitledName();
    Timer1Timer();
}

} // namespace vorlune::gui
