#include "support/Programs.h"
#include "support/SharedInputs.h"
#include "support/SmallDisk.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <optional>

#include <sys/stat.h>

using namespace vorlune;
using test::namesIn;
using test::readFile;
using test::SmallDisk;
using test::TestEnvironment;

namespace {

using test::kCompiler;
using test::kHelloProject;
using test::runBuildCommand;
using test::runProgram;

constexpr int kHangMs = 20000; // a program still running then counts as hanging

} // namespace

class FullDiskBuildTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void anArchiveOnAFullDiskIsAFailureWithTheReason()
    {
        SmallDisk disk;
        VORLUNE_REQUIRE_MOUNTED(disk);
        disk.fill();
        for (const QStringList &kind : {QStringList{}, QStringList{QStringLiteral("--zip")}}) {
            const test::ProgramResult result = runBuildCommand(
                kind + QStringList{kHelloProject, disk.path(QStringLiteral("x"))}, {.timeoutMs = kHangMs});
            VORLUNE_VERIFY_EXIT(result, 1, QStringLiteral("No space left on device"));
            QVERIFY(result.out.isEmpty());
            QCOMPARE(namesIn(disk.path()), QStringList{QStringLiteral("filler")});
        }
    }

    void aFullCacheDiskStopsTheBuildBeforeItPacks()
    {
        SmallDisk disk;
        VORLUNE_REQUIRE_MOUNTED(disk);
        qputenv("XDG_CACHE_HOME", QFile::encodeName(disk.path(QStringLiteral("cache"))));
        QVERIFY(QDir().mkpath(disk.path(QStringLiteral("cache/vorlune"))));
        disk.fill();
        const test::ProgramResult result =
            runBuildCommand({kHelloProject, m_env->path(QStringLiteral("x"))}, {.timeoutMs = kHangMs});
        VORLUNE_VERIFY_EXIT(result, 1, QStringLiteral("No space left on device"));
        QVERIFY(!QFile::exists(m_env->path(QStringLiteral("x.phar"))));
    }

    void aFileSizeLimitFailsTheBuildInsteadOfEndingIt()
    {
        // Large enough for the sources, too small for the carried compiler or the archive.
        for (const QStringList &kind : {QStringList{}, QStringList{QStringLiteral("--zip")}}) {
            const test::ProgramResult result =
                runBuildCommand(kind + QStringList{kHelloProject, m_env->path(QStringLiteral("x"))},
                                {.timeoutMs = kHangMs, .fileSizeLimit = 300});
            VORLUNE_VERIFY_EXIT(result, 1, QStringLiteral("File too large"));
            QVERIFY(result.out.isEmpty());
        }
        QCOMPARE(namesIn(m_env->home()), QStringList{});
    }

    void theCompilerReportsAnArchiveItCouldNotWrite()
    {
        SmallDisk disk;
        VORLUNE_REQUIRE_MOUNTED(disk);
        QVERIFY(QDir().mkpath(disk.path(QStringLiteral("compile/src/Plugin"))));
        test::writeFile(disk.path(QStringLiteral("compile/plugin.yml")), "name: P\r\n");
        test::writeFile(disk.path(QStringLiteral("compile/src/Plugin/Main.php")), QByteArray(20000, 'x'));
        test::writeFile(disk.path(QStringLiteral("cnfg.dll")), "[Params]\r\nname=P\r\n\r\n");
        const QStringList before = namesIn(disk.path());

        const test::ProgramResult limited =
            runProgram(kCompiler, {}, {.workingFolder = disk.path(), .timeoutMs = kHangMs, .fileSizeLimit = 4096});
        VORLUNE_VERIFY_EXIT(limited, 1, QStringLiteral("File too large"));
        QCOMPARE(namesIn(disk.path()), before);

        disk.fill();
        const test::ProgramResult full =
            runProgram(kCompiler, {}, {.workingFolder = disk.path(), .timeoutMs = kHangMs});
        VORLUNE_VERIFY_EXIT(full, 1, QStringLiteral("No space left on device"));
        QCOMPARE(namesIn(disk.path()), before + QStringList{QStringLiteral("filler")});
    }

    void specialFilesAreRefusedWithoutWaiting()
    {
        const QString fifo = m_env->path(QStringLiteral("fifo.vlk"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString zero = m_env->path(QStringLiteral("zero.vlk"));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), zero));
        for (const QString &project : {fifo, zero}) {
            const test::ProgramResult result =
                runBuildCommand({project, m_env->path(QStringLiteral("x"))}, {.timeoutMs = kHangMs});
            QVERIFY2(result.exitCode == 1, qPrintable(result.describe()));
            QCOMPARE(result.err, QStringLiteral("Cannot open \"%1\": it is not a regular file\n").arg(project));
        }

        // A language file that is a pipe is passed over: the build goes on with the built-in texts.
        QVERIFY(QFile::rename(fifo, m_env->path(QStringLiteral("Language.ini"))));
        const test::ProgramResult built =
            runBuildCommand({kHelloProject, m_env->path(QStringLiteral("x"))}, {.timeoutMs = kHangMs});
        VORLUNE_VERIFY_EXIT(built, 0, QStringLiteral("Language.ini\": it is not a regular file"));
        QCOMPARE(built.out, QStringLiteral("Плагин успешно скомпилирован.\n"));
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(FullDiskBuildTest)
#include "FullDiskBuildTest.moc"
