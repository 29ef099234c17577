#include "base/IniImage.h"
#include "base/gui/FileDialogs.h"
#include "base/gui/PseudoModal.h"
#include "base/gui/YesNoQuestion.h"
#include "i18n/ExtraTexts.h"
#include "i18n/TextTable.h"
#include "support/LocalWebServer.h"
#include "support/Programs.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "testrun/DownloadState.h"
#include "testrun/Installer.h"
#include "testrun/gui/TForm5.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <memory>
#include <optional>

#include <sys/stat.h>

using namespace vorlune;
using gui::TForm5;
using test::LocalWebServer;
using test::readFile;
using test::writeFile;

namespace {

// Points the first core entry at a test server while it lives.
class FirstCoreHost {
public:
    explicit FirstCoreHost(const LocalWebServer &server)
    {
        qputenv("VORLUNE_JENKINS_1", QStringLiteral("127.0.0.1:%1").arg(server.port()).toLatin1());
    }
    ~FirstCoreHost() { qunsetenv("VORLUNE_JENKINS_1"); }
};

const QString kFirstListing = QStringLiteral("job/ClearSky/lastSuccessfulBuild/artifact/releases/");

QByteArray coreBytes() { return "<?php __HALT_COMPILER(); " + LocalWebServer::pattern(1200000); }

// The run settings window over a fresh program folder, as the program makes it.
struct Window {
    explicit Window(test::TestEnvironment &environment, const QString &siteBaseUrl = QStringLiteral("file:///nowhere/"))
        : settings(base::IniImage::fromBytes("[Run]\r\ndelete_logs=-1\r\ndelete_worlds=0\r\ndelete_crashs=-1\r\n"
                                             "delete_players=-1\r\ndelete_plugins=0\r\n")),
          form(std::make_unique<TForm5>(gui::RunSettingsContext{
              environment.home(), &settings, environment.path(QStringLiteral("settings.ini")), siteBaseUrl}))
    {
    }

    template <typename Control>
    Control *get(const char *name)
    {
        auto *control = form->findChild<Control *>(QLatin1String(name));
        if (!control)
            qFatal("no control %s", name);
        return control;
    }
    QCheckBox *box(int number)
    {
        return get<QCheckBox>(QByteArray("sCheckBox" + QByteArray::number(number)).constData());
    }

    base::IniImage settings;
    std::unique_ptr<TForm5> form;
};

QString networkFailure(const QString &code)
{
    return i18n::tx("MSG.msg8") + QStringLiteral("\r\nCODE [") + code + QLatin1Char(']');
}

bool usable(QWidget *control) { return control->isEnabled(); }

} // namespace

class RunSettingsWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup()
    {
        gui::FileDialogs::clearQueuedAnswers();
        gui::YesNoQuestion::clearQueuedAnswers();
        m_env.reset();
    }

    void controlsStandWhereTheyBelong()
    {
        Window w(*m_env);
        QCOMPARE(w.form->size(), QSize(584, 326));
        QCOMPARE(w.get<QComboBox>("sComboBox1")->geometry(), QRect(8, 8, 89, 21));
        // What works on Linux is chosen: today's server and its PHP.
        QCOMPARE(w.get<QComboBox>("sComboBox1")->currentText(), QStringLiteral("PHP8"));
        QCOMPARE(w.get<QComboBox>("sComboBox1")->count(), 3);
        QVERIFY(!w.get<QComboBox>("sComboBox1")->isEditable());
        QCOMPARE(w.get<QPushButton>("sBitBtn1")->geometry(), QRect(103, 8, 113, 21));
        QCOMPARE(w.get<QPushButton>("sBitBtn1")->text(), QStringLiteral("Установить"));
        QCOMPARE(w.get<QPushButton>("sBitBtn3")->geometry(), QRect(151, 33, 82, 27));
        QCOMPARE(w.get<QPushButton>("sBitBtn3")->text(), QStringLiteral("Установить с Джекинса"));
        QCOMPARE(w.get<QPushButton>("sBitBtn2")->text(), QStringLiteral("Установить вручную"));
        QCOMPARE(w.get<QProgressBar>("sProgressBar1")->geometry(), QRect(222, 8, 354, 21));
        QCOMPARE(w.get<QProgressBar>("sProgressBar2")->geometry(), QRect(330, 36, 246, 21));
        QVERIFY(w.get<QProgressBar>("sProgressBar1")->isHidden() && w.get<QProgressBar>("sProgressBar2")->isHidden());
        QStringList cores;
        for (int i = 0; i < w.get<QComboBox>("sComboBox2")->count(); ++i)
            cores << w.get<QComboBox>("sComboBox2")->itemText(i);
        QCOMPARE(
            cores.join(QLatin1Char('|')),
            QStringLiteral("ClearSky(PHP5)|Genisys(PHP7)|ImagicalMine(PHP7)|ImagicalMine 0.14.0(PHP7)|ClearSky(PHP7)|"
                           "PocketMine-MP(PHP8)"));
        QCOMPARE(w.get<QComboBox>("sComboBox2")->currentIndex(), 5);
        QCOMPARE(w.box(1)->text(), QStringLiteral("Удалять \"server.log\" перед запуском"));
        QCOMPARE(w.box(2)->text(), QStringLiteral("Удалять папку \"worlds\" перед запуском"));
        QCOMPARE(w.box(3)->text(), QStringLiteral("Удалять краш дампы перед запуском"));
        QCOMPARE(w.box(4)->text(), QStringLiteral("Удалять папку \"players\" перед запуском"));
        QCOMPARE(w.box(5)->text(), QStringLiteral("Удалять папку \"plugins\" перед запуском"));
        // The check boxes stand as the window's table places them.
        for (int row = 0; row < TForm5::kCheckBoxCount; ++row)
            QCOMPARE(w.box(row + 1)->geometry(), TForm5::kCheckBoxRows[row].geometry);

        // The lists' colours, as painted.
        w.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        // What is installed, below the check boxes, once shown.
        QCOMPARE(w.get<QLabel>("installedPhp")->text(), QStringLiteral("PHP: не установлено"));
        QCOMPARE(w.get<QLabel>("installedCore")->text(), QStringLiteral("Ядро сервера: не установлено"));
        QVERIFY(w.get<QLabel>("installedPhp")->geometry().top() > w.box(5)->geometry().bottom());
        const QImage list = w.get<QComboBox>("sComboBox2")->grab().toImage();
        QHash<QRgb, int> colours;
        for (int y = 0; y < list.height(); ++y)
            for (int x = 0; x < list.width(); ++x)
                ++colours[list.pixel(x, y)];
        const auto most = std::max_element(colours.cbegin(), colours.cend());
        QCOMPARE(QColor(most.key()), QColor(0x44, 0x44, 0x44));
    }

    void checkBoxesFollowTheSettingsEachShowingAndOnlyChangesAreSaved()
    {
        Window w(*m_env);
        w.settings.writeString(QStringLiteral("Run"), QStringLiteral("delete_worlds"), QStringLiteral("TRUE"));
        w.settings.writeString(QStringLiteral("Run"), QStringLiteral("delete_logs"), QStringLiteral("0"));
        w.form->shutDown(); // a quit, the window never shown: nothing is written
        QVERIFY(!QFile::exists(m_env->path(QStringLiteral("settings.ini"))));
        w.form->show();
        QCOMPARE(w.box(1)->isChecked(), false);
        QCOMPARE(w.box(2)->isChecked(), true);
        QCOMPARE(w.box(3)->isChecked(), true);
        QCOMPARE(w.box(5)->isChecked(), false);
        w.box(5)->setChecked(true);
        w.box(3)->setChecked(false);
        w.form->shutDown();
        const base::IniImage saved = base::IniImage::load(m_env->path(QStringLiteral("settings.ini")));
        QCOMPARE(saved.readString(QStringLiteral("Run"), QStringLiteral("delete_plugins"), QString()),
                 QStringLiteral("-1"));
        QCOMPARE(saved.readString(QStringLiteral("Run"), QStringLiteral("delete_crashs"), QString()),
                 QStringLiteral("0"));
        QCOMPARE(saved.readString(QStringLiteral("Run"), QStringLiteral("delete_worlds"), QString()),
                 QStringLiteral("TRUE")); // unchanged, kept as the user wrote it
        QVERIFY(QFile::remove(m_env->path(QStringLiteral("settings.ini"))));
        w.form->show();
        w.form->close(); // nothing changed: no write at all
        QVERIFY(!QFile::exists(m_env->path(QStringLiteral("settings.ini"))));

        // A value that is no Boolean: its error is shown, the boxes after it keep their state.
        w.settings.writeString(QStringLiteral("Run"), QStringLiteral("delete_crashs"), QStringLiteral("maybe"));
        w.settings.writeString(QStringLiteral("Run"), QStringLiteral("delete_players"), QStringLiteral("0"));
        w.form->show();
        QCOMPARE(m_env->messages(), QStringList{QStringLiteral("'maybe' is not a valid boolean value")});
        QCOMPARE(w.box(4)->isChecked(), true);
    }

    void aCoreDownloadLeavesTheBarAtZeroDuringTheListing()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        FirstCoreHost host(server);
        // Both trickle in, so the bar can be watched during each: the host
        // of the first entry is pointed at the trickling path.
        qputenv("VORLUNE_JENKINS_1",
                QStringLiteral("127.0.0.1:%1/trickle?chunk=5000&pause=0.1&file=").arg(server.port()).toLatin1());
        server.addFile(QStringLiteral("files/Core.phar"), coreBytes());
        QByteArray listing = "<html><a href=\"/trickle?chunk=200000&pause=0.15&file=files/Core.phar\">core</a>";
        listing += QByteArray(20000, ' ') + "</html>";
        server.addFile(kFirstListing + QStringLiteral("index.html"), listing);
        const QString serverFolder = m_env->home() + testrun::kTestServerFolder;
        QDir().mkpath(serverFolder);
        writeFile(serverFolder + testrun::kServerSettingsFileName, "old: settings\n");

        Window w(*m_env);
        w.form->show();
        w.get<QComboBox>("sComboBox2")->setCurrentIndex(0);
        auto *bar = w.get<QProgressBar>("sProgressBar2");
        QTest::mouseClick(w.get<QPushButton>("sBitBtn3"), Qt::LeftButton);
        QVERIFY(!usable(w.get<QPushButton>("sBitBtn3")) && !usable(w.get<QPushButton>("sBitBtn2")) &&
                !usable(w.get<QComboBox>("sComboBox2")));
        QVERIFY(bar->isVisible());
        int maxDuringListing = 0;
        int maxDuringCore = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                if (testrun::sharedDownloadState().downloadMode() == testrun::kCoreListing)
                    maxDuringListing = std::max(maxDuringListing, bar->value());
                else
                    maxDuringCore = std::max(maxDuringCore, bar->value());
                return usable(w.get<QPushButton>("sBitBtn3"));
            }(),
            60000);
        QCOMPARE(maxDuringListing, 0);
        QVERIFY2(maxDuringCore > 0, "the bar follows the core");
        QVERIFY(bar->isHidden());
        QCOMPARE(bar->value(), 0);
        QVERIFY(usable(w.get<QPushButton>("sBitBtn2")) && usable(w.get<QComboBox>("sComboBox2")));
        QCOMPARE(readFile(serverFolder + testrun::kCoreFileName), coreBytes());
        QVERIFY(!QFileInfo::exists(serverFolder + testrun::kServerSettingsFileName));
        QCOMPARE(m_env->messages(), QStringList());
    }

    void failuresAreShownAndGiveTheControlsBack()
    {
        LocalWebServer server({true});
        VORLUNE_REQUIRE_STARTED(server);
        test::TrustedCa trust(server.caFile());
        FirstCoreHost host(server); // an HTTPS server where a plain one belongs: nothing answers plain HTTP
        server.addFile(QStringLiteral("VL-Files/BINS/linux/php7_64.zip"), readFile(test::kBuiltPack));
        Window w(*m_env, server.url());

        // "PHP5": no build exists for this system; said plainly, nothing fetched.
        w.get<QComboBox>("sComboBox1")->setCurrentIndex(0);
        QTest::mouseClick(w.get<QPushButton>("sBitBtn1"), Qt::LeftButton);
        QCOMPARE(m_env->messages(), QStringList{i18n::extraText("php5_unavailable")});
        QVERIFY(usable(w.get<QPushButton>("sBitBtn1")) && usable(w.get<QComboBox>("sComboBox1")));
        QVERIFY(w.get<QProgressBar>("sProgressBar1")->isHidden());
        QVERIFY(!w.form->workersRunning());

        // "PHP7" and the core at once: the pack installs, the core fails on its own.
        m_env->messages().clear();
        w.get<QComboBox>("sComboBox1")->setCurrentIndex(1);
        w.get<QComboBox>("sComboBox2")->setCurrentIndex(0);
        QTest::mouseClick(w.get<QPushButton>("sBitBtn1"), Qt::LeftButton);
        QTest::mouseClick(w.get<QPushButton>("sBitBtn3"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(usable(w.get<QPushButton>("sBitBtn1")) && usable(w.get<QPushButton>("sBitBtn3")),
                                 60000);
        QTRY_COMPARE(m_env->messages().size(), 1);
        QVERIFY2(m_env->messages().first().startsWith(networkFailure(QString()).chopped(1)),
                 qPrintable(m_env->messages().first()));
        QVERIFY(usable(w.get<QPushButton>("sBitBtn2")) && usable(w.get<QComboBox>("sComboBox2")));
        QCOMPARE(test::runProgram(m_env->home() + testrun::kTestServerFolder + QStringLiteral("bin/php/php"),
                                  {QStringLiteral("-r"), QStringLiteral("echo 1;")})
                     .out,
                 QStringLiteral("1"));
    }

    void closingIsRefusedWhileADownloadRunsButTheLockIsLifted()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        Window w(*m_env, server.url(QStringLiteral("stall?size=100000&sent=10&seconds=60&")));
        QWidget other;
        other.show();
        gui::ShowFormModal(w.form.get());
        QVERIFY(!other.isEnabled());
        w.get<QComboBox>("sComboBox1")->setCurrentIndex(1);
        QTest::mouseClick(w.get<QPushButton>("sBitBtn1"), Qt::LeftButton);
        w.box(2)->setChecked(true);
        QVERIFY(!w.form->close());
        QVERIFY(w.form->isVisible());
        QVERIFY(other.isEnabled());
        const base::IniImage saved = base::IniImage::load(m_env->path(QStringLiteral("settings.ini")));
        QCOMPARE(saved.readString(QStringLiteral("Run"), QStringLiteral("delete_worlds"), QString()),
                 QStringLiteral("-1"));

        // The end of the program stops the download quietly.
        w.form->shutDown();
        QVERIFY(!w.form->isVisible());
        QTest::qWait(100);
        QCOMPARE(m_env->messages(), QStringList());
    }

    // Closing asks whether to stop the download: no keeps the window and the
    // download, yes stops it quietly and the old PHP stays.
    void closingOffersToCancelADownload()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        Window w(*m_env, server.url(QStringLiteral("stall?size=100000&sent=10&seconds=60&")));
        const QString launcher = m_env->home() + testrun::kTestServerFolder + QStringLiteral("bin/php/php");
        QVERIFY(QDir().mkpath(QFileInfo(launcher).path()));
        test::writeFile(launcher, "old launcher");
        gui::ShowFormModal(w.form.get());
        w.get<QComboBox>("sComboBox1")->setCurrentIndex(1);
        QTest::mouseClick(w.get<QPushButton>("sBitBtn1"), Qt::LeftButton);
        QVERIFY(w.form->workersRunning());

        gui::YesNoQuestion::queueAnswer(false);
        QVERIFY(!w.form->close());
        QVERIFY(w.form->workersRunning());
        gui::YesNoQuestion::queueAnswer(true);
        QVERIFY(w.form->close());
        QCOMPARE(gui::YesNoQuestion::askedTexts(), QStringList(2, i18n::extraText("download_cancel_question")));
        QTRY_VERIFY_WITH_TIMEOUT(!w.form->workersRunning(), 5000);
        QTest::qWait(100);
        QCOMPARE(m_env->messages(), QStringList());
        QCOMPARE(test::readFile(launcher), QByteArray("old launcher"));
    }

    // The bundled site is a file URL: a named pipe in a pack's place fails
    // at once with its reason instead of holding the install, and the end.
    void aPipeOnTheBundledSiteFailsAtOnce()
    {
        const QString site = m_env->path(QStringLiteral("site/"));
        QVERIFY(QDir().mkpath(site + QStringLiteral("VL-Files/BINS/linux")));
        const QString pack = site + QStringLiteral("VL-Files/BINS/linux/php7_64.zip");
        QVERIFY(::mkfifo(QFile::encodeName(pack).constData(), 0600) == 0);
        Window w(*m_env, QUrl::fromLocalFile(site).toString());
        w.get<QComboBox>("sComboBox1")->setCurrentIndex(1);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(w.get<QPushButton>("sBitBtn1"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(usable(w.get<QPushButton>("sBitBtn1")), 10000);
        QTRY_COMPARE(m_env->messages().size(), 1);
        QVERIFY2(m_env->messages().first().contains(QLatin1String("it is not a regular file")),
                 qPrintable(m_env->messages().first()));
        w.form->shutDown();
        QVERIFY(clock.elapsed() < 10000);
    }

    void theManualInstallTakesOnlyCores()
    {
        Window w(*m_env);
        const QString core = m_env->home() + testrun::kTestServerFolder + testrun::kCoreFileName;
        struct Case {
            QString name;
            qint64 size;
            bool copied;
        };
        // Which files are cores is InstallerTest's; here one of each kind.
        const Case cases[] = {
            {QStringLiteral("exact.phar"), 1000000, false},
            {QStringLiteral("good.phar"), 1000001, true},
        };
        for (const Case &c : cases) {
            m_env->messages().clear();
            const QString path = m_env->path(c.name);
            writeFile(path, QByteArray(c.size, 'c'));
            gui::FileDialogs::queueAnswer({path, 1});
            QTest::mouseClick(w.get<QPushButton>("sBitBtn2"), Qt::LeftButton);
            QCOMPARE(QFileInfo::exists(core), c.copied);
            QCOMPARE(m_env->messages(), c.copied ? QStringList() : QStringList{i18n::tx("MSG.msg14")});
        }
        // A cancelled dialog does nothing; a file that cannot be read is named.
        gui::FileDialogs::queueAnswer({});
        QTest::mouseClick(w.get<QPushButton>("sBitBtn2"), Qt::LeftButton);
        QCOMPARE(m_env->messages(), QStringList());
        gui::FileDialogs::queueAnswer({m_env->path(QStringLiteral("gone.phar")), 1});
        QTest::mouseClick(w.get<QPushButton>("sBitBtn2"), Qt::LeftButton);
        QCOMPARE(m_env->messages().size(), 1);
        QVERIFY2(m_env->messages().first().contains(QLatin1String("gone.phar")), qPrintable(m_env->messages().first()));
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(RunSettingsWindowTest)
#include "RunSettingsWindowTest.moc"
