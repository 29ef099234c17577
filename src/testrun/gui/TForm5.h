#pragma once

#include "base/IniImage.h"
#include "i18n/TextTable.h"
#include "testrun/HttpClient.h"
#include "testrun/RunOptions.h"
#include "testrun/StreamDownload.h"

#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace vorlune::gui {

// What the run settings window uses of the program's state.
struct RunSettingsContext {
    QString programFolder; // ends in a separator
    base::IniImage *settings = nullptr;
    QString settingsFile;
    QString siteBaseUrl; // ends in "/"
};

// The run settings window: installs PHP and a server core for the test run
// and holds the clean-up options. Created once at start-up; it keeps its
// controls' state between showings.
class TForm5 : public QWidget {
    Q_OBJECT
public:
    // The clean-up check boxes, top to bottom.
    struct CheckBoxRow {
        const char *name;
        QRect geometry;
        i18n::TextId text;
        const char *placeholder; // the value of "{name}", or nullptr
        testrun::RunKey key;     // its run option
    };
    static constexpr int kCheckBoxCount = 5;
    static const CheckBoxRow kCheckBoxRows[kCheckBoxCount];

    explicit TForm5(const RunSettingsContext &context, QWidget *parent = nullptr);
    ~TForm5() override;

    // Puts the localized texts into the controls.
    void applyTexts();

    void sBitBtn1Click(); // PHP binaries
    void sBitBtn3Click(); // a core from a build server
    void sBitBtn2Click(); // a core from a file the user picks

    void IdHTTPWorkBegin(qint64 expected);
    void IdHTTPWork(qint64 received);
    void IdHTTP2WorkBegin(qint64 expected);
    void IdHTTP2Work(qint64 received);
    void tNotifierTimer();
    // Switches the notifier on; other downloads report their failures so too.
    void raiseNotifier();

    bool workersRunning() const;
    // For the end of the program: stops the downloads without a message,
    // waits for their threads, then closes.
    void shutDown();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void saveCheckBoxes();
    void startWorker(std::unique_ptr<testrun::TStreamDownload> &last);
    // The installed PHP and core, below the check boxes.
    void showInstalled();
    void cancelWorkers();
    void restoreControls(int kind);

    RunSettingsContext m_context;

    QComboBox *sComboBox1 = nullptr;
    QPushButton *sBitBtn1 = nullptr;
    QProgressBar *sProgressBar1 = nullptr;
    QComboBox *sComboBox2 = nullptr;
    QPushButton *sBitBtn3 = nullptr;
    QPushButton *sBitBtn2 = nullptr;
    QProgressBar *sProgressBar2 = nullptr;
    std::array<QCheckBox *, kCheckBoxCount> m_checkBoxes{};
    // Boxes that show their option; only these are ever written back.
    std::array<bool, kCheckBoxCount> m_loaded{};
    bool m_unsaved = false; // the settings hold a change the file lacks
    QTimer *tNotifier = nullptr;

    // Declared before the workers, which use them until they are gone.
    std::unique_ptr<testrun::HttpClient> IdHTTP1;
    std::unique_ptr<testrun::HttpClient> IdHTTP2;
    std::unique_ptr<testrun::HttpClient> m_feedClient; // today's server: feed, core and PHP builds
    QLabel *m_installedPhp = nullptr;
    QLabel *m_installedCore = nullptr;
    std::unique_ptr<testrun::TStreamDownload> m_lastPhpWorker;
    std::unique_ptr<testrun::TStreamDownload> m_lastCoreWorker;
    bool m_shuttingDown = false;
};

} // namespace vorlune::gui
