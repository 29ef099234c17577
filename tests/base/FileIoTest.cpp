#include "base/FileIo.h"
#include "base/Error.h"
#include "base/IniImage.h"
#include "base/RuntimeFiles.h"
#include "project/ProjectDocument.h"
#include "support/Programs.h"
#include "support/SmallDisk.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vorlune;
using test::errorOf;
using test::namesIn;
using test::readFile;
using test::SmallDisk;
using test::writeFile;

namespace {

// Lowers the file size limit of this process while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit lowered = m_old;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

const QByteArray kOld = "the old content, which must survive\r\n";

} // namespace

class FileIoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aFullDiskKeepsTheOldFileOfEveryKind()
    {
        SmallDisk disk;
        VORLUNE_REQUIRE_MOUNTED(disk);
        const QString target = disk.path(QStringLiteral("target"));
        writeFile(target, kOld);
        disk.fill();
        const QByteArray big(64 * 1024, 'x');

        const QList<std::pair<const char *, std::function<void()>>> writers{
            {"writeAtomically", [&] { fileio::writeAtomically(target, big); }},
            {"replaceFile", [&] { fileio::replaceFile(target, big); }},
            {"project", [&] { project::ProjectDocument::newProject().save(target); }},
            {"ini",
             [&] {
                 base::IniImage image;
                 image.writeString(QStringLiteral("Run"), QStringLiteral("k"), QString(40000, QLatin1Char('v')));
                 image.save(target);
             }},
            {"runtime file", [&] { base::ExtractRes(base::kResourceType, QStringLiteral("design"), target); }},
        };
        for (const auto &[kind, write] : writers) {
            const QString error = errorOf(write);
            QVERIFY2(error.contains(QStringLiteral("No space left on device")), kind);
            QVERIFY2(error.contains(target), qPrintable(error));
            QCOMPARE(readFile(target), kOld);
            QCOMPARE(namesIn(disk.path()), (QStringList{QStringLiteral("filler"), QStringLiteral("target")}));
        }

        // A scratch file is not kept half written.
        const QString scratch = disk.path(QStringLiteral("scratch"));
        QVERIFY(errorOf([&] { fileio::writeScratch(scratch, big); }).contains(QStringLiteral("No space left")));
        QVERIFY(!QFile::exists(scratch));
    }

    void aFileSizeLimitFailsTheWriteLikeAFullDisk()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("target"));
        writeFile(target, kOld);
        QString atomic;
        QString scratch;
        {
            const FileSizeLimit limit(4096);
            atomic = errorOf([&] { fileio::writeAtomically(target, QByteArray(10000, 'x')); });
            scratch = errorOf([&] { fileio::writeScratch(dir.filePath(QStringLiteral("s")), QByteArray(10000, 'x')); });
        }
        QVERIFY2(atomic.contains(QStringLiteral("File too large")), qPrintable(atomic));
        QVERIFY2(scratch.contains(QStringLiteral("File too large")), qPrintable(scratch));
        QCOMPARE(readFile(target), kOld);
        QCOMPARE(namesIn(dir.path()), QStringList{QStringLiteral("target")});
    }

    void aReplacedFileKeepsItsPermissionsAndLinks()
    {
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("real.vlk"));
        const QString link = dir.filePath(QStringLiteral("link.vlk"));
        writeFile(real, kOld);
        QVERIFY(QFile::setPermissions(real, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QVERIFY(QFile::link(real, link));

        fileio::writeAtomically(link, "new");
        QCOMPARE(readFile(real), QByteArray("new"));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFile::permissions(real),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
        QCOMPARE(namesIn(dir.path()), (QStringList{QStringLiteral("link.vlk"), QStringLiteral("real.vlk")}));

        // Or the link itself is replaced, and what it names stays as it was.
        fileio::writeAtomically(link, "replaced", fileio::AtLink::Replace);
        QVERIFY(!QFileInfo(link).isSymLink());
        QCOMPARE(readFile(link), QByteArray("replaced"));
        QCOMPARE(readFile(real), QByteArray("new"));
    }

    void temporaryFilesNeverFollowAPlantedLink()
    {
        QTemporaryDir dir;
        const QString victim = dir.filePath(QStringLiteral("victim"));
        const QString target = dir.filePath(QStringLiteral("Language.ini"));
        writeFile(victim, kOld);
        // The names a fixed-name scheme would have used.
        for (const QString &planted : {target + QStringLiteral(".part"), target + QStringLiteral(".tmp")})
            QVERIFY(QFile::link(victim, planted));
        fileio::replaceFile(target, "new");
        fileio::writeAtomically(target, "newer");
        QCOMPARE(readFile(victim), kOld);
        QCOMPARE(readFile(target), QByteArray("newer"));

        // Scratch files do not write through a link either.
        const QString scratchLink = dir.filePath(QStringLiteral("plugin.yml"));
        QVERIFY(QFile::link(victim, scratchLink));
        QVERIFY(!errorOf([&] { fileio::writeScratch(scratchLink, "x"); }).isEmpty());
        QCOMPARE(readFile(victim), kOld);
    }

    void aTemporaryIsRemovedOnlyWhenNoLiveWriterHoldsIt()
    {
        QTemporaryDir dir;
        const QString victim = dir.filePath(QStringLiteral("victim"));
        writeFile(victim, kOld);
        // Not ours to remove: another name's, another pattern, a link.
        const QStringList kept{QStringLiteral(".q.vlk.tmp-abcd1234"), QStringLiteral(".p.vlk.tmp-ABCD1234"),
                               QStringLiteral(".p.vlk.tmp-link0000"), QStringLiteral("p.vlk"),
                               QStringLiteral("victim")};
        for (const QString &name :
             {QStringLiteral(".p.vlk.tmp-left0000"), QStringLiteral(".p.vlk.tmp-held0000"), kept.at(0), kept.at(1)})
            writeFile(dir.filePath(name), "part of a write");
        QVERIFY(QFile::link(victim, dir.filePath(kept.at(2))));
        // Held the way a live writer in another process holds its temporary.
        const int held = ::open(QFile::encodeName(dir.filePath(QStringLiteral(".p.vlk.tmp-held0000"))).constData(),
                                O_RDONLY | O_CLOEXEC);
        QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
        const auto sorted = [](QStringList names) {
            names.sort();
            return names;
        };

        const QString target = dir.filePath(QStringLiteral("p.vlk"));
        fileio::writeAtomically(target, "new");
        QCOMPARE(sorted(namesIn(dir.path())), sorted(kept + QStringList{QStringLiteral(".p.vlk.tmp-held0000")}));
        ::close(held);
        fileio::replaceFile(target, "newer");
        QCOMPARE(sorted(namesIn(dir.path())), sorted(kept));
        QCOMPARE(readFile(victim), kOld);
        QCOMPARE(readFile(target), QByteArray("newer"));
    }

    void aRuntimeFileIsReplacedInOneStep()
    {
        QTemporaryDir dir;
        const QString theme = dir.filePath(QStringLiteral("RSRhWpOleMfdcA.dll"));
        writeFile(theme, kOld);
        // Another reader of the folder never finds the file missing.
        std::atomic<bool> done = false;
        std::atomic<int> missing = 0;
        std::thread reader([&] {
            const QByteArray name = QFile::encodeName(theme);
            struct stat info {};
            while (!done) {
                if (::stat(name.constData(), &info) != 0)
                    ++missing;
            }
        });
        for (int i = 0; i < 300; ++i)
            base::ExtractRes(base::kResourceType, QStringLiteral("design"), theme);
        done = true;
        reader.join();
        QCOMPARE(missing.load(), 0);
        QCOMPARE(readFile(theme), readFile(QStringLiteral(":/RESs/design")));
        QCOMPARE(namesIn(dir.path()), QStringList{QStringLiteral("RSRhWpOleMfdcA.dll")});
    }

    void onlyRegularFilesAreRead()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("fifo.vlk"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString zero = dir.filePath(QStringLiteral("zero.vlk"));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), zero));

        QElapsedTimer clock;
        clock.start();
        QVERIFY(errorOf([&] {
                    fileio::readAll(fifo, fileio::kProjectFileLimit);
                }).endsWith(QStringLiteral("it is not a regular file")));
        QVERIFY(errorOf([&] {
                    fileio::readAll(zero, fileio::kProjectFileLimit);
                }).endsWith(QStringLiteral("it is not a regular file")));
        QVERIFY(errorOf([&] { fileio::readAll(dir.path()); }).endsWith(QStringLiteral("it is a folder")));
        QVERIFY(errorOf([&] { fileio::writeScratch(fifo, "x"); }).contains(fifo));
        QVERIFY(errorOf([&] { fileio::writeAtomically(fifo, "x"); }).endsWith(QStringLiteral("not a regular file")));
        QVERIFY(QFileInfo(fifo).exists());

        // A sparse file is large without taking room.
        const QString large = dir.filePath(QStringLiteral("large.ini"));
        writeFile(large, "[Run]\r\n");
        QVERIFY(QFile::resize(large, fileio::kIniFileLimit + 1));
        QCOMPARE(errorOf([&] { fileio::readAll(large, fileio::kIniFileLimit); }),
                 QStringLiteral("Cannot open \"%1\": the file is larger than 16 MB").arg(large));
        QVERIFY(QFile::resize(large, fileio::kIniFileLimit));
        QCOMPARE(fileio::readAll(large, fileio::kIniFileLimit).size(), fileio::kIniFileLimit);
        QVERIFY(errorOf([&] { base::IniImage::load(fifo); }).contains(fifo));
        QVERIFY(errorOf([&] { project::ProjectDocument::fromFile(zero); }).contains(zero));
    }
};

VORLUNE_TEST(FileIoTest)
#include "FileIoTest.moc"
