#include "project/ProjectDocument.h"
#include "support/Programs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <optional>

using vorlune::test::TestEnvironment;

namespace {

using Result = vorlune::test::ProgramResult;
using vorlune::test::runBuildCommand;

// A complete project whose one 250,000-character entity fills 20 action
// arguments: 5 MB of text from a quarter-megabyte file.
QByteArray hostileProject()
{
    const QByteArray main = vorlune::project::kMainScriptElementName.toUtf8();
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plugin [<!ENTITY big \"" + QByteArray(250000, 'x') +
           "\">]>\n<plugin><settings name=\"Plugin\" creator=\"YourName\" version=\"1.0.0\" site=\"example.com\" "
           "api=\"1.0.0\" loading=\"POSTWORLD\" main=\"Plugin\\Main\"/><phpscripts><" +
           main + "><ev_1>" + QByteArray("<actn id=\"1\" args=\"&#8291;:[&big;]&#8291;\"/>").repeated(20) +
           "</ev_1></" + main + "></phpscripts></plugin>\n";
}

} // namespace

class HostileProjectBuildTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void entityBombIsRefusedWithoutAnArchive()
    {
        const QString project = m_env->path(QStringLiteral("hostile.vlk"));
        vorlune::test::writeFile(project, hostileProject());
        for (const QStringList &options : {QStringList(), QStringList{QStringLiteral("--zip")}}) {
            const Result result = runBuildCommand(options + QStringList{project, m_env->path(QStringLiteral("out"))});
            QCOMPARE(result.exitCode, 1);
            QCOMPARE(result.out, QString());
            QCOMPARE(result.err, QStringLiteral("%1: the entities it declares (<!ENTITY ...>) expand to more than 1 MB "
                                                "of text or refer to themselves, so the file is not opened.\n")
                                     .arg(project));
        }
        QCOMPARE(QDir(m_env->home()).entryList({QStringLiteral("out*")}, QDir::Files), QStringList());
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(HostileProjectBuildTest)
#include "HostileProjectBuildTest.moc"
