#include "app/gui/TForm1.h"
#include "base/gui/FileDialogs.h"
#include "support/SharedInputs.h"
#include "support/SmallDisk.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include <optional>

using namespace vorlune;
using vorlune::gui::TForm1;

class FullDiskSaveTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup()
    {
        gui::FileDialogs::clearQueuedAnswers();
        m_env.reset();
    }

    void aSaveOnAFullDiskIsReportedAndKeepsTheFile()
    {
        test::SmallDisk disk;
        VORLUNE_REQUIRE_MOUNTED(disk);
        const QString project = disk.path(QStringLiteral("hello.vlk"));
        const QByteArray original = test::readFile(test::kHelloProject);
        test::writeFile(project, original);
        TForm1 window({project});
        window.show();
        disk.fill();

        // The project grows, so its new text needs room the disk no longer has.
        window.state().project.document.settings().setAttribute(QStringLiteral("site"),
                                                                QString(8000, QLatin1Char('s')));
        auto *save = window.findChild<QPushButton *>(QStringLiteral("sBitBtn11"));
        QVERIFY(save);
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(m_env->messages(),
                 QStringList{QStringLiteral("Cannot write \"%1\": No space left on device").arg(project)});
        QCOMPARE(test::readFile(project), original);

        // Save as to a new file on the same disk: nothing is created, the names stay.
        m_env->messages().clear();
        gui::FileDialogs::queueAnswer({disk.path(QStringLiteral("copy")), 1});
        window.findChild<QAction *>(QStringLiteral("N5"))->trigger();
        QCOMPARE(m_env->messages().size(), 1);
        QVERIFY(m_env->messages().first().endsWith(QStringLiteral("No space left on device")));
        QVERIFY(!QFile::exists(disk.path(QStringLiteral("copy.vlk"))));
        QCOMPARE(test::namesIn(disk.path()), (QStringList{QStringLiteral("filler"), QStringLiteral("hello.vlk")}));
        QCOMPARE(window.state().project.ProjectFilePath, project);
        QTRY_COMPARE(window.windowTitle(), QStringLiteral("Vorlune [hello.vlk] {TEST EDITION}"));
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(FullDiskSaveTest)
#include "FullDiskSaveTest.moc"
