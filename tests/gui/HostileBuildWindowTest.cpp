#include "app/gui/TForm1.h"
#include "base/ProgramFolder.h"
#include "base/gui/FileDialogs.h"
#include "build/PluginCheck.h"
#include "i18n/ExtraTexts.h"
#include "i18n/TextTable.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>

#include <optional>

using namespace vorlune;

class HostileBuildWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup()
    {
        gui::FileDialogs::clearQueuedAnswers();
        m_env.reset();
    }

    void linkedBuildFolderIsRefusedThroughTheCompileButton()
    {
        const QString bystander = m_env->path(QStringLiteral("bystander"));
        test::makeBystanderFolder(bystander);
        QVERIFY(QDir().mkpath(QFileInfo(base::buildFolder()).absolutePath()));
        QVERIFY(QFile::link(bystander, base::buildFolder()));
        const QStringList before = test::snapshotTree(bystander);

        gui::TForm1 window({test::kHelloProject});
        window.show();
        auto *compile = window.findChild<QPushButton *>(QStringLiteral("sBitBtn12"));
        QVERIFY(compile && compile->isEnabled());
        gui::FileDialogs::queueAnswer({m_env->path(QStringLiteral("out")), 1});
        QTest::mouseClick(compile, Qt::LeftButton);
        // The compile dialog proposes the plugin's name in the project's folder.
        QCOMPARE(gui::FileDialogs::lastStart(), QStringLiteral(VORLUNE_SOURCE_DIR "/examples/Plugin"));

        QCOMPARE(m_env->messages().size(), 1);
        QVERIFY2(
            m_env->messages().first().contains(QStringLiteral("\"%1\" is a symbolic link").arg(base::buildFolder())),
            qPrintable(m_env->messages().first()));
        QCOMPARE(test::snapshotTree(bystander), before);
        QCOMPARE(QFile::symLinkTarget(base::buildFolder()), bystander);
        QVERIFY(!QFileInfo::exists(m_env->path(QStringLiteral("out.phar"))));

        // The window goes on: with the link gone the same button builds.
        QVERIFY(QFile::remove(base::buildFolder()));
        m_env->messages().clear();
        gui::FileDialogs::queueAnswer({m_env->path(QStringLiteral("out")), 1});
        QTest::mouseClick(compile, Qt::LeftButton);
        // The example's api is refused by today's servers: a second box says so.
        const QStringList findings = build::checkPlugin(window.state().project.document);
        QCOMPARE(findings.size(), 1);
        QCOMPARE(m_env->messages(),
                 (QStringList{i18n::tx("MSG.msg10"),
                              i18n::extraText("check_heading") + QStringLiteral("\n\n") + findings.first()}));
        QVERIFY(QFileInfo(m_env->path(QStringLiteral("out.phar"))).size() > 0);
        QCOMPARE(test::snapshotTree(bystander), before);
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(HostileBuildWindowTest)
#include "HostileBuildWindowTest.moc"
