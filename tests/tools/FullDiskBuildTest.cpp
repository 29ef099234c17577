#include "support/Programs.h"
#include "support/SmallDisk.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/stat.h>

using namespace vorlune;
using test::namesIn;
using test::readFile;
using test::SmallDisk;
using test::TestEnvironment;

namespace {

using test::kBuildCommand;
using test::kCompiler;
const QString &kHello = test::kHelloProject;

// Runs a program to its end (20 s count as a hang), under a file size limit
// of `fileSizeLimit` bytes when one is given.
test::ProgramResult run(const QString &program, const QStringList &arguments, const QString &folder = {},
                        qint64 fileSizeLimit = -1)
{
    return test::runProgram(program, arguments,
                            {.workingFolder = folder, .timeoutMs = 20000, .fileSizeLimit = fileSizeLimit});
}

} // namespace

class FullDiskBuildTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void anArchiveOnAFullDiskIsAFailureWithTheReason()
    {
        TestEnvironment env;
        SmallDisk disk;
        VORLUNE_REQUIRE_MOUNTED(disk);
        disk.fill();
        for (const QStringList &kind : {QStringList{}, QStringList{QStringLiteral("--zip")}}) {
            const test::ProgramResult result =
                run(kBuildCommand, kind + QStringList{kHello, disk.path(QStringLiteral("x"))});
            QVERIFY2(result.exitCode == 1, qPrintable(result.describe()));
            QVERIFY2(result.err.contains(QStringLiteral("No space left on device")), qPrintable(result.describe()));
            QVERIFY(result.out.isEmpty());
            QCOMPARE(namesIn(disk.path()), QStringList{QStringLiteral("filler")});
        }
    }

    void aFullCacheDiskStopsTheBuildBeforeItPacks()
    {
        TestEnvironment env;
        SmallDisk disk;
        VORLUNE_REQUIRE_MOUNTED(disk);
        qputenv("XDG_CACHE_HOME", QFile::encodeName(disk.path(QStringLiteral("cache"))));
        QVERIFY(QDir().mkpath(disk.path(QStringLiteral("cache/vorlune"))));
        disk.fill();
        const test::ProgramResult result = run(kBuildCommand, {kHello, env.path(QStringLiteral("x"))});
        QVERIFY2(result.exitCode == 1 && result.err.contains(QStringLiteral("No space left on device")),
                 qPrintable(result.describe()));
        QVERIFY(!QFile::exists(env.path(QStringLiteral("x.phar"))));
    }

    void aFileSizeLimitFailsTheBuildInsteadOfEndingIt()
    {
        TestEnvironment env;
        // Large enough for the sources, too small for the carried compiler or the archive.
        for (const QStringList &kind : {QStringList{}, QStringList{QStringLiteral("--zip")}}) {
            const test::ProgramResult result =
                run(kBuildCommand, kind + QStringList{kHello, env.path(QStringLiteral("x"))}, {}, 300);
            QVERIFY2(result.exitCode == 1, qPrintable(result.describe()));
            QVERIFY2(result.err.contains(QStringLiteral("File too large")), qPrintable(result.describe()));
            QVERIFY(result.out.isEmpty());
        }
        QCOMPARE(namesIn(env.home()), QStringList{});
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

        const test::ProgramResult limited = run(kCompiler, {}, disk.path(), 4096);
        QVERIFY2(limited.exitCode == 1 && limited.err.contains(QStringLiteral("File too large")),
                 qPrintable(limited.describe()));
        QCOMPARE(namesIn(disk.path()), before);

        disk.fill();
        const test::ProgramResult full = run(kCompiler, {}, disk.path());
        QVERIFY2(full.exitCode == 1 && full.err.contains(QStringLiteral("No space left on device")),
                 qPrintable(full.describe()));
        QCOMPARE(namesIn(disk.path()), before + QStringList{QStringLiteral("filler")});
    }

    void specialFilesAreRefusedWithoutWaiting()
    {
        TestEnvironment env;
        const QString fifo = env.path(QStringLiteral("fifo.vlk"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString zero = env.path(QStringLiteral("zero.vlk"));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), zero));
        for (const QString &project : {fifo, zero}) {
            const test::ProgramResult result = run(kBuildCommand, {project, env.path(QStringLiteral("x"))});
            QVERIFY2(result.exitCode == 1, qPrintable(result.describe()));
            QCOMPARE(result.err, QStringLiteral("Cannot open \"%1\": it is not a regular file\n").arg(project));
        }

        // A language file that is a pipe is passed over: the build goes on with the built-in texts.
        QVERIFY(QFile::rename(fifo, env.path(QStringLiteral("Language.ini"))));
        const test::ProgramResult built = run(kBuildCommand, {kHello, env.path(QStringLiteral("x"))});
        QVERIFY2(built.exitCode == 0, qPrintable(built.describe()));
        QVERIFY(built.err.contains(QStringLiteral("Language.ini\": it is not a regular file")));
        QCOMPARE(built.out, QStringLiteral("Плагин успешно скомпилирован.\n"));
    }
};

VORLUNE_TEST(FullDiskBuildTest)
#include "FullDiskBuildTest.moc"
