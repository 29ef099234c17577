#include "app/gui/TForm1.h"
#include "base/gui/FileDialogs.h"
#include "build/PluginCheck.h"
#include "i18n/ExtraTexts.h"
#include "i18n/TextTable.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QFileInfo>
#include <QPushButton>
#include <QTest>

using namespace vorlune;

// File > Compile: after the box that says the plugin was built, one more
// lists what the check found.
class CompileFindingsWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { gui::FileDialogs::clearQueuedAnswers(); }

    void findingsFollowASuccessfulBuild()
    {
        test::TestEnvironment env;
        QByteArray project = test::readFile(QStringLiteral(VORLUNE_SOURCE_DIR "/examples/hello.vlk"));
        test::writeFile(env.path(QStringLiteral("old.vlk")), project);
        test::writeFile(env.path(QStringLiteral("new.vlk")), project.replace("api=\"1.0.0\"", "api=\"5.0.0\""));

        gui::TForm1 old({env.path(QStringLiteral("old.vlk"))});
        old.show();
        const QStringList findings = build::checkPlugin(old.state().project.document);
        QCOMPARE(findings.size(), 1);
        gui::FileDialogs::queueAnswer({env.path(QStringLiteral("old")), 1});
        QTest::mouseClick(old.findChild<QPushButton *>(QStringLiteral("sBitBtn12")), Qt::LeftButton);
        QCOMPARE(env.messages(), (QStringList{i18n::tx("MSG.msg10"),
                                              i18n::extraText("check_heading") + QStringLiteral("\n\n") + findings.first()}));
        QVERIFY(QFileInfo(env.path(QStringLiteral("old.phar"))).size() > 0);

        env.messages().clear();
        gui::TForm1 fine({env.path(QStringLiteral("new.vlk"))});
        fine.show();
        gui::FileDialogs::queueAnswer({env.path(QStringLiteral("new")), 1});
        QTest::mouseClick(fine.findChild<QPushButton *>(QStringLiteral("sBitBtn12")), Qt::LeftButton);
        QCOMPARE(env.messages(), QStringList{i18n::tx("MSG.msg10")});
    }
};

VORLUNE_TEST(CompileFindingsWindowTest)
#include "CompileFindingsWindowTest.moc"
