#include "testrun/gui/TForm5.h"

#include "base/Error.h"
#include "base/Messages.h"
#include "base/Platform.h"
#include "base/gui/ErrorHandler.h"
#include "base/gui/FileDialogs.h"
#include "base/gui/WrappingButton.h"
#include "base/gui/YesNoQuestion.h"
#include "i18n/ExtraTexts.h"
#include "i18n/Placeholder.h"
#include "i18n/TextTable.h"
#include "testrun/DownloadSources.h"
#include "testrun/Installer.h"
#include "testrun/RunOptions.h"
#include "testrun/ServerFeed.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QSysInfo>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace vorlune::gui {
namespace {

constexpr int kRows = TForm5::kCheckBoxCount;

constexpr int kPhp5Item = 0;
constexpr int kPhp8Item = 2;
// What is installed, in the space below the check boxes.
constexpr QRect kInstalledPhpGeometry{8, 200, 568, 17};
constexpr QRect kInstalledCoreGeometry{8, 220, 568, 17};

// Light grey on dark grey, whatever the theme does with other lists.
const QString kListColours =
    QStringLiteral("QComboBox { color: #d8d8d8; background-color: #444444; border: 1px solid #5c5c5c; }");
// The window's own small type, with room for two-line captions in its buttons.
const QString kWindowStyle = QStringLiteral("QWidget { font-size: 8pt; } QPushButton { padding: 1px 2px; }");

QComboBox *makeList(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    list->setEditable(false);
    list->setGeometry(geometry);
    list->setStyleSheet(kListColours);
    return list;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QProgressBar *makeBar(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setGeometry(geometry);
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->hide();
    return bar;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *button = new WrappingButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    return button;
}

// Progress bars count in int; bodies are at most 512 MB.
int barValue(qint64 bytes) { return int(std::clamp<qint64>(bytes, 0, std::numeric_limits<int>::max())); }

void beginBar(QProgressBar *bar, qint64 expected)
{
    bar->setValue(0);
    // An unknown size shows as a busy bar.
    bar->setMaximum(expected > 0 ? barValue(expected) : 0);
}

void advanceBar(QProgressBar *bar, qint64 received)
{
    if (bar->maximum() > 0)
        bar->setValue(qMin(barValue(received), bar->maximum()));
}

} // namespace

const TForm5::CheckBoxRow TForm5::kCheckBoxRows[kCheckBoxCount] = {
    {"sCheckBox1", {8, 66, 215, 19}, "CKBOX.ckbox1", "server.log", testrun::RunKey::DeleteLogs},
    {"sCheckBox2", {8, 91, 230, 19}, "CKBOX.ckbox2", "worlds", testrun::RunKey::DeleteWorlds},
    {"sCheckBox3", {8, 116, 220, 19}, "CKBOX.ckbox3", nullptr, testrun::RunKey::DeleteCrashes},
    {"sCheckBox4", {8, 141, 234, 19}, "CKBOX.ckbox2", "players", testrun::RunKey::DeletePlayers},
    {"sCheckBox5", {8, 166, 232, 19}, "CKBOX.ckbox2", "plugins", testrun::RunKey::DeletePlugins},
};

TForm5::TForm5(const RunSettingsContext &context, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_context(context)
{
    setObjectName(QStringLiteral("TForm5"));
    setFixedSize(584, 326);
    // Tahoma's widths, which the controls were measured for: where it is
    // missing, a face of the same widths as Arial comes closest.
    QFont face = font();
    face.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    face.setPointSize(8);
    setFont(face);
    setStyleSheet(kWindowStyle);

    sComboBox1 = makeList(this, "sComboBox1", {8, 8, 89, 21});
    sComboBox1->addItems({QStringLiteral("PHP5"), QStringLiteral("PHP7"), QStringLiteral("PHP8")});
    // On Linux no PHP 5 build exists and today's server needs PHP 8: the
    // item that works is chosen, so a newcomer's first click installs it.
    sComboBox1->setCurrentIndex(kPhp8Item);
    sBitBtn1 = makeButton(this, "sBitBtn1", {103, 8, 113, 21});
    sProgressBar1 = makeBar(this, "sProgressBar1", {222, 8, 354, 21});

    sComboBox2 = makeList(this, "sComboBox2", {8, 36, 137, 21});
    for (const testrun::CoreSource &source : testrun::coreSources())
        sComboBox2->addItem(source.name);
    // Today's server, after the five build servers, which are gone; chosen
    // for the same reason as PHP8.
    sComboBox2->addItem(testrun::kFeedCoreName);
    sComboBox2->setCurrentIndex(sComboBox2->count() - 1);
    // The closed list is narrow: its drop-down shows the cores' whole names,
    // and the hint the chosen one.
    int widest = 0;
    for (int i = 0; i < sComboBox2->count(); ++i)
        widest = std::max(widest, sComboBox2->fontMetrics().horizontalAdvance(sComboBox2->itemText(i)));
    sComboBox2->view()->setTextElideMode(Qt::ElideNone);
    sComboBox2->view()->setMinimumWidth(widest + 32);
    sComboBox2->setToolTip(sComboBox2->currentText());
    connect(sComboBox2, &QComboBox::currentTextChanged, sComboBox2, &QComboBox::setToolTip);
    sBitBtn3 = makeButton(this, "sBitBtn3", {151, 33, 82, 27});
    sBitBtn2 = makeButton(this, "sBitBtn2", {239, 33, 85, 27});
    sProgressBar2 = makeBar(this, "sProgressBar2", {330, 36, 246, 21});

    for (int row = 0; row < kRows; ++row) {
        auto *box = new QCheckBox(this);
        box->setObjectName(QLatin1String(kCheckBoxRows[row].name));
        box->setGeometry(kCheckBoxRows[row].geometry);
        m_checkBoxes[row] = box;
    }
    m_installedPhp = makeLabel(this, "installedPhp", kInstalledPhpGeometry);
    m_installedCore = makeLabel(this, "installedCore", kInstalledCoreGeometry);

    tNotifier = new QTimer(this);
    tNotifier->setObjectName(QStringLiteral("tNotifier"));
    tNotifier->setInterval(50);
    tNotifier->setSingleShot(false);

    connect(sBitBtn1, &QPushButton::clicked, this, guarded([this] { sBitBtn1Click(); }));
    connect(sBitBtn3, &QPushButton::clicked, this, guarded([this] { sBitBtn3Click(); }));
    connect(sBitBtn2, &QPushButton::clicked, this, guarded([this] { sBitBtn2Click(); }));
    connect(tNotifier, &QTimer::timeout, this, guarded([this] { tNotifierTimer(); }));

    applyTexts();
    guarded([this] { FormCreate(); })();
}

TForm5::~TForm5()
{
    // Workers first: they still use the clients.
    m_lastPhpWorker.reset();
    m_lastCoreWorker.reset();
}

void TForm5::FormCreate()
{
    // The user agents come with the clients' options.
    IdHTTP1 = std::make_unique<testrun::HttpClient>(testrun::IdHTTP1Options());
    IdHTTP2 = std::make_unique<testrun::HttpClient>(testrun::IdHTTP2Options());
    m_feedClient = std::make_unique<testrun::HttpClient>(testrun::serverFeedOptions());
}

void TForm5::applyTexts()
{
    sBitBtn1->setText(i18n::tx("BUTTONS.btn14"));
    sBitBtn3->setText(i18n::tx("BUTTONS.btn16"));
    sBitBtn2->setText(i18n::tx("BUTTONS.btn15"));
    for (int row = 0; row < kRows; ++row) {
        QString text = i18n::tx(kCheckBoxRows[row].text);
        if (kCheckBoxRows[row].placeholder)
            text = i18n::setTextIntoVarInString(text, QStringLiteral("name"),
                                                QLatin1String(kCheckBoxRows[row].placeholder));
        m_checkBoxes[row]->setText(text);
    }
    // Looked up on the disk: at start-up it waits for the first showing.
    if (isVisible())
        showInstalled();
}

void TForm5::showInstalled()
{
    const auto line = [](const char *key, QString what) {
        if (what.isEmpty())
            what = i18n::extraText("run_installed_none");
        else if (what == QLatin1String("?"))
            what = i18n::extraText("run_installed_unknown");
        return i18n::setTextIntoVarInString(i18n::extraText(key), QStringLiteral("what"), what);
    };
    m_installedPhp->setText(line("run_installed_php", testrun::installedPhpLabel(m_context.programFolder)));
    m_installedCore->setText(line("run_installed_core", testrun::installedCoreLabel(m_context.programFolder)));
}

void TForm5::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    guarded([this] { FormShow(); })();
}

void TForm5::FormShow()
{
    showInstalled();
    m_loaded.fill(false);
    // A value that is no Boolean stops here: the boxes after it keep their
    // state and are not written back.
    for (int row = 0; row < kRows; ++row) {
        m_checkBoxes[row]->setChecked(testrun::readRunOption(*m_context.settings, kCheckBoxRows[row].key));
        m_loaded[row] = true;
    }
}

void TForm5::saveCheckBoxes()
{
    // Only what the user changed is written: a box never loaded (the window
    // not shown this session) must not overwrite the user's options, and a
    // file nothing changed in stays as it is, byte for byte.
    for (int row = 0; row < kRows; ++row) {
        const testrun::RunKey key = kCheckBoxRows[row].key;
        const bool checked = m_checkBoxes[row]->isChecked();
        if (m_loaded[row] && checked != testrun::readRunOption(*m_context.settings, key)) {
            testrun::writeRunOption(*m_context.settings, key, checked);
            m_unsaved = true;
        }
    }
    // A write that failed is tried again at the next close.
    if (m_unsaved) {
        m_context.settings->save(m_context.settingsFile);
        m_unsaved = false;
    }
}

void TForm5::closeEvent(QCloseEvent *event)
{
    if (m_context.settings)
        guarded([this] { saveCheckBoxes(); })();
    if (!m_shuttingDown && workersRunning()) {
        // Kept open while the user lets the download go on; cancelled, it
        // stops within a second and leaves the installed files as they were.
        if (!YesNoQuestion::ask(this, i18n::extraText("download_cancel_question"),
                                i18n::extraText("download_cancel_yes"), i18n::extraText("download_cancel_no"))) {
            event->ignore();
            return;
        }
        cancelWorkers();
    }
    QWidget::closeEvent(event);
}

bool TForm5::workersRunning() const
{
    return (m_lastPhpWorker && !m_lastPhpWorker->isFinished()) || (m_lastCoreWorker && !m_lastCoreWorker->isFinished());
}

void TForm5::cancelWorkers()
{
    for (testrun::TStreamDownload *worker : {m_lastPhpWorker.get(), m_lastCoreWorker.get()}) {
        if (worker)
            worker->cancel();
    }
}

void TForm5::shutDown()
{
    m_shuttingDown = true;
    cancelWorkers();
    for (testrun::TStreamDownload *worker : {m_lastPhpWorker.get(), m_lastCoreWorker.get()}) {
        if (worker)
            worker->wait();
    }
    close();
}

void TForm5::sBitBtn1Click()
{
    testrun::SharedDownloadState &shared = testrun::sharedDownloadState();
    const int item = sComboBox1->currentIndex();
    if (item == kPhp5Item) {
        Messages::show(i18n::extraText("php5_unavailable"));
        return;
    }
    if (item == kPhp8Item) {
        const QString cpu = QSysInfo::currentCpuArchitecture();
        if (!testrun::phpBuildExistsFor(cpu)) {
            Messages::show(i18n::setTextIntoVarInString(i18n::extraText("php8_wrong_cpu"), QStringLiteral("cpu"), cpu));
            return;
        }
        shared.setDownloadUrl(testrun::coreFeedUrl(*m_context.settings));
        shared.setDownloadMode(testrun::kPhpBuild);
    } else {
        shared.setDownloadUrl(testrun::phpPackUrl(m_context.siteBaseUrl, false, base::is64Bit()));
        shared.setDownloadMode(testrun::kPhpPack);
    }
    sProgressBar1->show();
    sBitBtn1->setEnabled(false);
    sComboBox1->setEnabled(false);
    startWorker(m_lastPhpWorker);
}

void TForm5::sBitBtn3Click()
{
    sBitBtn3->setEnabled(false);
    sBitBtn2->setEnabled(false);
    sComboBox2->setEnabled(false);
    sProgressBar2->show();
    testrun::SharedDownloadState &shared = testrun::sharedDownloadState();
    if (sComboBox2->currentText() == testrun::kFeedCoreName) {
        shared.setDownloadUrl(testrun::coreFeedUrl(*m_context.settings));
        shared.setDownloadMode(testrun::kCoreFeed);
    } else {
        QString url;
        for (const testrun::CoreSource &source : testrun::coreSources()) {
            if (source.name == sComboBox2->currentText())
                url = source.listingUrl;
        }
        shared.setDownloadUrl(url);
        shared.setDownloadMode(testrun::kCoreListing);
    }
    startWorker(m_lastCoreWorker);
}

void TForm5::startWorker(std::unique_ptr<testrun::TStreamDownload> &last)
{
    const int kind = testrun::sharedDownloadState().downloadMode();
    if (!IdHTTP1 || !IdHTTP2 || !m_feedClient) {
        restoreControls(kind);
        throw Error(QStringLiteral("Downloads are not possible: the network library could not start"));
    }
    // The previous worker of this kind has given back its controls and is
    // at most a few instructions from its end.
    last.reset();
    last = std::make_unique<testrun::TStreamDownload>(
        m_context.programFolder, testrun::DownloadClients{*IdHTTP1, *IdHTTP2, *m_feedClient}, i18n::tx("MSG.msg8"));
    testrun::TStreamDownload *worker = last.get();
    const bool php = kind == testrun::kPhpPack || kind == testrun::kPhpBuild;
    // The worker's signals arrive queued on this window's thread.
    connect(worker, &testrun::TStreamDownload::workBegin, this,
            php ? &TForm5::IdHTTPWorkBegin : &TForm5::IdHTTP2WorkBegin);
    connect(worker, &testrun::TStreamDownload::workPosted, this, [this, php, sender = QPointer(worker)] {
        if (!sender)
            return;
        const qint64 received = sender->takeReceived();
        php ? IdHTTPWork(received) : IdHTTP2Work(received);
    });
    connect(worker, &testrun::TStreamDownload::notifierRaised, this, &TForm5::raiseNotifier);
    connect(worker, &testrun::TStreamDownload::workEnded, this, &TForm5::restoreControls);
    worker->start();
}

void TForm5::restoreControls(int kind)
{
    showInstalled();
    if (kind == testrun::kPhpPack || kind == testrun::kPhpBuild) {
        sProgressBar1->hide();
        sProgressBar1->setValue(0);
        sBitBtn1->setEnabled(true);
        sComboBox1->setEnabled(true);
    } else {
        sProgressBar2->hide();
        sProgressBar2->setValue(0);
        sBitBtn2->setEnabled(true);
        sBitBtn3->setEnabled(true);
        sComboBox2->setEnabled(true);
    }
}

void TForm5::sBitBtn2Click()
{
    const FileDialogs::Answer answer = FileDialogs::getOpenFileName(
        this, QString(), {i18n::tx("OTHR.othr2") + QStringLiteral(" (*.phar)")}, QDir::homePath());
    if (answer.path.isEmpty())
        return;
    if (!testrun::installCoreFromFile(m_context.programFolder, answer.path))
        Messages::show(i18n::tx("MSG.msg14"));
    showInstalled();
}

void TForm5::IdHTTPWorkBegin(qint64 expected) { beginBar(sProgressBar1, expected); }

void TForm5::IdHTTPWork(qint64 received) { advanceBar(sProgressBar1, received); }

void TForm5::IdHTTP2WorkBegin(qint64 expected) { beginBar(sProgressBar2, expected); }

void TForm5::IdHTTP2Work(qint64 received)
{
    // The listing leaves the bar at 0; it follows the core itself.
    if (testrun::sharedDownloadState().downloadMode() == testrun::kCoreArtifact || sProgressBar2->value() > 0)
        advanceBar(sProgressBar2, received);
}

void TForm5::raiseNotifier() { tNotifier->start(); }

void TForm5::tNotifierTimer()
{
    tNotifier->stop();
    // Taken before the box shows: a failure reported while it is open gets
    // a box of its own instead of being emptied unseen.
    const QString message = testrun::sharedDownloadState().takeNotifierMessage();
    if (!message.isEmpty())
        Messages::show(message);
}

} // namespace vorlune::gui
