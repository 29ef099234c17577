#include "testrun/Installer.h"
#include "support/Programs.h"
#include "support/RealServerFormats.h"
#include "support/SharedInputs.h"
#include "support/SmallDisk.h"
#include "support/TestCore.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "support/TestTar.h"
#include "support/TreeSnapshot.h"
#include "testrun/PhpBuild.h"
#include "testrun/PhpPack.h"
#include "testrun/TestZip.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vorlune;
using test::errorOf;
using test::makeOldServer;
using test::OldCore;
using test::OldPhp;
using test::readFile;
using test::snapshotTree;
using test::treeOf;
using test::writeFile;
using test::ZipEntry;

namespace {

const QString kDamaged = QStringLiteral("The PHP pack is damaged: ");

int modeOf(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode) : -1;
}

// The two files every pack must hold, then `more`.
QByteArray smallPack(const QList<ZipEntry> &more = {})
{
    return test::makeZip(QList<ZipEntry>{{"bin/php/php", "#!/bin/sh\necho new\n", S_IFREG | 0755},
                                         {"bin/php/php.ini", "phar.readonly=0\n", S_IFREG | 0644}} +
                         more);
}

// A body that looks like a core: a phar stub, padded to `size` bytes.
QByteArray coreBody(int size = testrun::kSmallestCoreSize + 1, char fill = 'c')
{
    QByteArray body = "<?php __HALT_COMPILER(); ?>";
    return body + QByteArray(size - body.size(), fill);
}

// Saves `body` as a download and installs it as the window's worker does.
void installPack(const test::TestEnvironment &env, const QByteArray &body)
{
    const QString pack = env.path(QStringLiteral("pack.download"));
    writeFile(pack, body);
    testrun::installPhpPack(env.home(), pack);
}

// Saves `body` as a downloaded core in `home` and installs it.
void installCore(const QString &home, const QByteArray &body)
{
    const QString core = home + QStringLiteral("core.download");
    writeFile(core, body);
    testrun::installCore(home, core);
}

bool haveSystemPhp()
{
    return QFileInfo(QStringLiteral("/usr/bin/php")).isExecutable() ||
           !QStandardPaths::findExecutable(QStringLiteral("php")).isEmpty();
}

} // namespace

class InstallerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void theBuiltPackGivesARunnableLauncher()
    {
        const QString server = m_env->home() + testrun::kTestServerFolder;
        testrun::installPhpPack(m_env->home(), test::kBuiltPack);
        QCOMPARE(treeOf(server + QStringLiteral("bin")),
                 (QStringList{QStringLiteral(".installed"), QStringLiteral("php"), QStringLiteral("php/php"),
                              QStringLiteral("php/php.ini")}));
        QCOMPARE(modeOf(server + QStringLiteral("bin/php/php")), int(S_IFREG | 0755));
        QCOMPARE(modeOf(server + QStringLiteral("bin/php/php.ini")), int(S_IFREG | 0644));
        QVERIFY(!QFileInfo::exists(m_env->path(testrun::kPackDownloadName)));
        if (!haveSystemPhp())
            QSKIP("php-cli is not installed, so the launcher has nothing to run");
        // Run as the server console runs it: from the test server folder.
        test::RunOptions options;
        options.workingFolder = server;
        const auto result =
            test::runProgram(QStringLiteral("bin/php/php"), {QStringLiteral("-r"), QStringLiteral("echo 1;")}, options);
        QVERIFY2(result.exitCode == 0 && result.out == QLatin1String("1"), qPrintable(result.describe()));
    }

    void aPackReplacesTheOldBinFolderWhole()
    {
        const QString server = makeOldServer(m_env->home(), OldPhp);
        installPack(*m_env, smallPack());
        QCOMPARE(treeOf(server), (QStringList{QStringLiteral("bin"), QStringLiteral("bin/.installed"),
                                              QStringLiteral("bin/php"), QStringLiteral("bin/php/php"),
                                              QStringLiteral("bin/php/php.ini"), QStringLiteral("server.properties")}));
        QCOMPARE(readFile(server + QStringLiteral("bin/php/php")), QByteArray("#!/bin/sh\necho new\n"));
        QCOMPARE(readFile(server + QStringLiteral("server.properties")), test::kOldServerProperties);
    }

    // Each pack is refused or fails: the old bin/ stays byte for byte, nothing
    // around it changes, nothing half made is left, and the reason is told.
    void hostilePacksKeepTheOldBin_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("reason");
        const ZipEntry good{"bin/php/php", "#!/bin/sh\n", S_IFREG | 0755};
        // Each hostile entry comes after good ones, so a pack checked only
        // while it is unpacked would already have written something.
        const auto withEntry = [&](const QByteArray &name) { return smallPack({{name, "evil", S_IFREG | 0755}}); };
        QTest::newRow("up and out") << withEntry("../evil") << QStringLiteral("leads outside");
        QTest::newRow("up from a folder") << withEntry("a/../../evil") << QStringLiteral("leads outside");
        // The archive reader reads a zip's backslashes as separators.
        QTest::newRow("backslashes") << withEntry("bin\\..\\..\\evil") << QStringLiteral("leads outside");
        QTest::newRow("dot folder") << withEntry("bin/./evil") << QStringLiteral("not a plain relative path");
        QTest::newRow("absolute") << withEntry("/tmp/vorlune-absolute-evil") << QStringLiteral("absolute path");

        QByteArray stored = test::makeZip({good, {"bin/php/php.ini", QByteArray(4000, 'A'), S_IFREG | 0644, true}});
        stored[stored.indexOf(QByteArray(4000, 'A')) + 2000] = 'B';
        QTest::newRow("wrong CRC") << stored << QStringLiteral("crc");
        const QByteArray whole = smallPack();
        QTest::newRow("truncated") << whole.left(whole.size() - 30) << kDamaged;
        QTest::newRow("not an archive") << QByteArray("<html><body>502 Bad Gateway</body></html>") << kDamaged;
        QTest::newRow("empty body") << QByteArray() << QStringLiteral("no files");

        QTest::newRow("a file and a folder of one name")
            << smallPack({{"bin/lib/x", "file"}, {"bin/lib/x/y", "under the file"}})
            << QStringLiteral("both a file and a folder");
        QTest::newRow("a folder and a file of one name")
            << smallPack({{"bin/lib/x/", {}}, {"bin/lib/x", "over the folder"}})
            << QStringLiteral("both a file and a folder");
        QTest::newRow("a 300-byte name") << withEntry("bin/" + QByteArray(300, 'n'))
                                         << QStringLiteral("part longer than 255 bytes");
        QTest::newRow("a 600-byte path") << withEntry("bin/" + (QByteArray(99, 'p') + '/').repeated(6) + "x")
                                         << QStringLiteral("longer than 512 bytes");
        QTest::newRow("33 levels deep") << withEntry("bin/" + QByteArray("d/").repeated(32) + "x")
                                        << QStringLiteral("more than 32 folders deep");
        QTest::newRow("bin as a file") << test::makeZip({{"bin", "x"}}) << QStringLiteral("is a file, not a folder");
        QTest::newRow("no launcher") << test::makeZip({{"bin/php/php.ini", "x"}}) << QStringLiteral("\"bin/php/php\"");
        QTest::newRow("a link on the way out of bin")
            << smallPack({{"worlds/w/level.dat", "x"}}) << QStringLiteral("link, which is not followed");
        // 40 MB of zeros pack into some 40 KB.
        QTest::newRow("a zip bomb") << smallPack({{"bin/zeros", QByteArray(40 << 20, '\0')}})
                                    << QStringLiteral("times its own size");
        QList<ZipEntry> many;
        for (int i = 0; i < testrun::kPackEntryLimit; ++i)
            many.append({"bin/e/" + QByteArray::number(i), {}});
        QTest::newRow("too many entries") << smallPack(many) << QStringLiteral("more than 50000 entries");
        many.clear();
        for (int i = 0; i < testrun::kPackFolderLimit; ++i)
            many.append({"bin/f/" + QByteArray::number(i) + "/x", {}});
        QTest::newRow("too many folders") << smallPack(many) << QStringLiteral("make more than 10000 folders");

        const test::TarEntry launcher{"bin/php/php", "#!/bin/sh\n", S_IFREG | 0755};
        const test::TarEntry ini{"bin/php/php.ini", "", S_IFREG | 0644};
        const auto tarWith = [&](const test::TarEntry &entry) { return test::makeTarGz({launcher, ini, entry}); };
        QTest::newRow("a link out of bin") << tarWith({"bin/php/lib", {}, S_IFLNK | 0777, "../../worlds"})
                                           << QStringLiteral("outside its bin/ folder");
        QTest::newRow("a link up after a name")
            << tarWith({"bin/php/lib", {}, S_IFLNK | 0777, "x/../../.."}) << QStringLiteral("outside its bin/ folder");
        QTest::newRow("an absolute link")
            << tarWith({"bin/php/lib", {}, S_IFLNK | 0777, "/etc"}) << QStringLiteral("outside its bin/ folder");
        QTest::newRow("a link outside bin")
            << tarWith({"plugins/p", {}, S_IFLNK | 0777, "x"}) << QStringLiteral("links only inside bin/");
        QTest::newRow("a device") << tarWith({"bin/null", {}, S_IFCHR | 0666}) << QStringLiteral("is a device");
        QTest::newRow("a hard link to nothing before it")
            << tarWith({"bin/php/copy", {}, S_IFREG | 0644, "bin/php/later"}) << QStringLiteral("links to");
        QTest::newRow("server.properties, then a hard link to itself")
            << test::makeTarGz({{"server.properties", "evil"}, launcher, ini, {"lib/self", {}, S_IFREG, "lib/self"}})
            << QStringLiteral("links to");
    }
    void hostilePacksKeepTheOldBin()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, reason);
        const QString server = makeOldServer(m_env->home(), OldPhp);
        // The user's worlds kept elsewhere: never entered by a pack.
        const QString worlds = m_env->path(QStringLiteral("my-worlds"));
        QVERIFY(QDir().mkpath(worlds));
        QVERIFY(QFile::link(worlds, server + QStringLiteral("worlds")));
        const QString pack = m_env->path(QStringLiteral("pack.download"));
        writeFile(pack, body);
        const QString root = QDir::cleanPath(m_env->home() + QStringLiteral(".."));
        const QStringList before = snapshotTree(root);
        const QString error = errorOf([&] { testrun::installPhpPack(m_env->home(), pack); });
        QVERIFY2(error.contains(reason, Qt::CaseInsensitive), qPrintable(error));
        QCOMPARE(snapshotTree(root), before);
        QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/vorlune-absolute-evil")));
    }

    // What the server project's own PHP builds hold: links among the
    // libraries, hard links, run bits.
    void aTarballWithLinksInsideBinInstalls()
    {
        const QString server = makeOldServer(m_env->home(), OldPhp);
        installPack(*m_env, test::makeTarGz({{"bin/", {}, S_IFDIR | 0755},
                                             {"bin/php/php", "#!/bin/sh\necho tar\n", S_IFREG | 0755},
                                             {"bin/php/php.ini", "memory_limit=1G\n", S_IFREG | 0644},
                                             {"bin/php7/lib/libx.so.1", "library", S_IFREG | 0644},
                                             {"bin/php7/lib/libx.so", {}, S_IFLNK | 0777, "libx.so.1"},
                                             {"bin/php7/bin/phar", {}, S_IFLNK | 0777, "../lib/./libx.so"},
                                             {"bin/php7/bin/php-copy", {}, S_IFREG | 0755, "bin/php/php"}}));
        QCOMPARE(readFile(server + QStringLiteral("bin/php7/bin/phar")), QByteArray("library"));
        QCOMPARE(QFileInfo(server + QStringLiteral("bin/php7/lib/libx.so")).symLinkTarget(),
                 server + QStringLiteral("bin/php7/lib/libx.so.1"));
        QCOMPARE(readFile(server + QStringLiteral("bin/php7/bin/php-copy")), QByteArray("#!/bin/sh\necho tar\n"));
        QCOMPARE(modeOf(server + QStringLiteral("bin/php/php")), int(S_IFREG | 0755));
        QVERIFY(!QFileInfo::exists(server + QStringLiteral("bin/lib")));
    }

    // The server project's PHP build: its php.ini gets the extensions folder
    // where it will lie, bin/php/php runs it as the server's start script
    // does, and what is installed is labelled.
    void thePhpBuildIsMadeRunnable()
    {
        if (!haveSystemPhp())
            QSKIP("php-cli is not installed, so the build's stand-in has nothing to run");
        const QString server = makeOldServer(m_env->home(), OldPhp);
        const QString tarball = m_env->path(QStringLiteral("php.tar.gz"));
        writeFile(tarball, test::phpBuildTarball());
        testrun::installPhpBuild(m_env->home(), tarball, QStringLiteral("PHP 8.2 (PocketMine-MP 5)"));
        const QString extensions = server + QStringLiteral("bin/php7/lib/php/extensions/no-debug-zts-20220829/");
        QVERIFY(readFile(server + QStringLiteral("bin/php7/bin/php.ini"))
                    .endsWith("extension_dir='" + QFile::encodeName(extensions) + "'\n"));
        QCOMPARE(readFile(server + QStringLiteral("bin/php/php.ini")),
                 readFile(server + QStringLiteral("bin/php7/bin/php.ini")));
        test::RunOptions options;
        options.workingFolder = server;
        const auto result =
            test::runProgram(server + QStringLiteral("bin/php/php"),
                             {QStringLiteral("-r"), QStringLiteral("echo PHP_MAJOR_VERSION > 0 ? 1 : 0;")}, options);
        QVERIFY2(result.exitCode == 0 && result.out == QLatin1String("1"), qPrintable(result.describe()));
        QCOMPARE(testrun::installedPhpLabel(m_env->home()), QStringLiteral("PHP 8.2 (PocketMine-MP 5)"));
    }

    void aPhpBuildThatDoesNotRunKeepsTheOldPhp()
    {
        const QString server = makeOldServer(m_env->home(), OldPhp);
        const QStringList before = snapshotTree(server);
        const QString tarball = m_env->path(QStringLiteral("php.tar.gz"));
        writeFile(tarball, test::phpBuildTarball(false));
        const QString error = errorOf([&] { testrun::installPhpBuild(m_env->home(), tarball, QStringLiteral("x")); });
        QVERIFY2(error.contains(QLatin1String("does not run on this system")) &&
                     error.contains(QLatin1String("Exec format error")) && error.contains(QLatin1String("kept")),
                 qPrintable(error));
        QCOMPARE(snapshotTree(server), before);
        // A zip of the bundled kind is no PHP build.
        const QString zip = m_env->path(QStringLiteral("php.zip"));
        writeFile(zip, smallPack());
        QVERIFY(errorOf([&] {
                    testrun::installPhpBuild(m_env->home(), zip, QStringLiteral("x"));
                }).contains(QLatin1String("\"bin/php7/bin/php\"")));
        QCOMPARE(snapshotTree(server), before);
    }

    // A PHP that hangs and leaves a child: cancelled, the install ends at once
    // with the child; the old PHP stays, the pack's server.properties unwritten.
    void aHangingPhpBuildIsCancelledWithItsChildren()
    {
        const QString server = makeOldServer(m_env->home(), OldPhp);
        const QStringList before = snapshotTree(server);
        const QString pidFile = m_env->path(QStringLiteral("child.pid"));
        const QString tarball = m_env->path(QStringLiteral("php.tar.gz"));
        const QByteArray hanging =
            "#!/bin/sh\nsleep 600 &\necho $! > '" + QFile::encodeName(pidFile) + "'\nexec sleep 600\n";
        writeFile(tarball, test::makeTarGz({{"server.properties", "motd=evil\n"},
                                            {"bin/php7/bin/php", hanging, S_IFREG | 0755},
                                            {"bin/php7/bin/php.ini", {}},
                                            {"bin/php7/lib/php/extensions/x/", {}, S_IFDIR | 0755}}));
        std::atomic_bool cancel = false;
        QString error;
        std::thread install([&] {
            error = errorOf([&] { testrun::installPhpBuild(m_env->home(), tarball, QStringLiteral("x"), &cancel); });
        });
        const bool started = QTest::qWaitFor([&] { return readFile(pidFile).endsWith('\n'); }, 10000);
        const QDeadlineTimer soon(2000);
        cancel = true;
        install.join();
        QVERIFY2(started && !soon.hasExpired() && error.contains(QLatin1String("cancelled")), qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(!test::processRuns(readFile(pidFile).trimmed().toLongLong()), 2000);
        QCOMPARE(snapshotTree(server), before);
    }

    // What is installed: a labelled core stays labelled until it is replaced
    // by other means; an unlabelled one shows its file name.
    void installedThingsAreLabelled()
    {
        QCOMPARE(testrun::installedPhpLabel(m_env->home()), QString());
        QCOMPARE(testrun::installedCoreLabel(m_env->home()), QString());
        installPack(*m_env, smallPack());
        QCOMPARE(testrun::installedPhpLabel(m_env->home()), QStringLiteral("?"));
        installCore(m_env->home(), coreBody());
        QCOMPARE(testrun::installedCoreLabel(m_env->home()), testrun::kCoreFileName);
        testrun::labelInstalledCore(m_env->home(), QStringLiteral("PocketMine-MP 5.43.2"));
        QCOMPARE(testrun::installedCoreLabel(m_env->home()), QStringLiteral("PocketMine-MP 5.43.2"));
        installCore(m_env->home(), coreBody(1500000, 'n'));
        QCOMPARE(testrun::installedCoreLabel(m_env->home()), testrun::kCoreFileName);
    }

    // An old bin/ 32,000 folders deep (a pack can place one) goes like any
    // other: the removal does not hold a descriptor per level.
    void aVeryDeepOldBinIsReplaced()
    {
        const QString server = makeOldServer(m_env->home(), OldPhp);
        test::makeDeepTree(server + QStringLiteral("bin"), 32000);
        // Fewer descriptors than levels, whatever the machine allows.
        struct rlimit before {};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &before) == 0);
        struct rlimit lowered = before;
        lowered.rlim_cur = std::min<rlim_t>(before.rlim_cur, 1024);
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &lowered) == 0);
        const QString error = errorOf([&] { installPack(*m_env, smallPack()); });
        ::setrlimit(RLIMIT_NOFILE, &before);
        QCOMPARE(error, QString());
        QCOMPARE(treeOf(server + QStringLiteral("bin")),
                 (QStringList{QStringLiteral(".installed"), QStringLiteral("php"), QStringLiteral("php/php"),
                              QStringLiteral("php/php.ini")}));
    }

    void entriesKeepTheirRunBitsAndFolders()
    {
        installPack(*m_env, test::makeZip({{"bin/php/php", "a", S_IFREG | 0750},
                                           {"bin/php/php.ini", "b", S_IFREG | 0600},
                                           {"bin/from-dos.txt", "c"},
                                           {"bin/empty/", {}, S_IFDIR | 0700},
                                           {"lib/nested/x.so", "d", S_IFREG | 0644}}));
        const QString server = m_env->home() + testrun::kTestServerFolder;
        QCOMPARE(modeOf(server + QStringLiteral("bin/php/php")), int(S_IFREG | 0754));
        QCOMPARE(modeOf(server + QStringLiteral("bin/php/php.ini")), int(S_IFREG | 0644));
        QCOMPARE(modeOf(server + QStringLiteral("bin/from-dos.txt")), int(S_IFREG | 0644));
        QVERIFY(S_ISDIR(modeOf(server + QStringLiteral("bin/empty"))));
        QCOMPARE(readFile(server + QStringLiteral("lib/nested/x.so")), QByteArray("d"));
    }

    void oldFilesAreReplacedNotWrittenInto()
    {
        const QString server = m_env->home() + testrun::kTestServerFolder;
        QDir().mkpath(server + QStringLiteral("lib"));
        const QString old = server + QStringLiteral("lib/readme.txt");
        writeFile(old, "old text");
        QVERIFY(::chmod(QFile::encodeName(old).constData(), 0444) == 0);
        // A second name of the old file shows whether the file itself was written to.
        const QByteArray kept = QFile::encodeName(server + QStringLiteral("kept"));
        QVERIFY(::link(QFile::encodeName(old).constData(), kept.constData()) == 0);
        installPack(*m_env, smallPack({{"lib/readme.txt", "new text", S_IFREG | 0644}}));
        QCOMPARE(readFile(old), QByteArray("new text"));
        QCOMPARE(modeOf(old), int(S_IFREG | 0644));
        QCOMPARE(readFile(server + QStringLiteral("kept")), QByteArray("old text"));
    }

    void linksInTheTestServerFolderAreNotFollowed()
    {
        const QString server = m_env->home() + testrun::kTestServerFolder;
        const QString outside = m_env->path(QStringLiteral("outside"));
        test::makeBystanderFolder(outside);
        QDir().mkpath(outside + QStringLiteral("/php"));
        writeFile(outside + QStringLiteral("/php/php"), "someone else's");
        const QStringList before = snapshotTree(outside);
        QDir().mkpath(server);

        // A link as bin/ is removed, not emptied.
        QVERIFY(QFile::link(outside, server + QStringLiteral("bin")));
        installPack(*m_env, smallPack());
        QVERIFY(S_ISDIR(modeOf(server + QStringLiteral("bin"))));
        QCOMPARE(readFile(server + QStringLiteral("bin/php/php")), QByteArray("#!/bin/sh\necho new\n"));
        QCOMPARE(snapshotTree(outside), before);

        // Neither is a link deeper in the old bin/.
        QVERIFY(QDir(server + QStringLiteral("bin/php")).removeRecursively());
        QVERIFY(QFile::link(outside, server + QStringLiteral("bin/php")));
        installPack(*m_env, smallPack());
        QVERIFY(S_ISDIR(modeOf(server + QStringLiteral("bin/php"))));
        QCOMPARE(snapshotTree(outside), before);

        // A link elsewhere in the folder stops the pack instead of leading it out.
        QVERIFY(QFile::link(outside, server + QStringLiteral("lib")));
        const QString error = errorOf([&] {
            installPack(*m_env, smallPack({{"lib/php/php", "evil", S_IFREG | 0755}}));
        });
        QVERIFY2(error.contains(server + QStringLiteral("lib")) && error.contains(QLatin1String("link")),
                 qPrintable(error));
        QCOMPARE(snapshotTree(outside), before);

        // A linked core is replaced by a downloaded one, never written through.
        const QString core = server + testrun::kCoreFileName;
        QVERIFY(QFile::link(outside + QStringLiteral("/php/php"), core));
        installCore(m_env->home(), coreBody());
        QCOMPARE(modeOf(core) & S_IFMT, int(S_IFREG));
        QCOMPARE(snapshotTree(outside), before);
    }

    // The manual install takes a link to a file for an installed core, and
    // replaces one that leads nowhere.
    void theManualInstallKeepsALinkedCore()
    {
        const QString server = m_env->home() + testrun::kTestServerFolder;
        QDir().mkpath(server);
        const QString mine = m_env->path(QStringLiteral("mine.phar"));
        writeFile(mine, coreBody());
        const QString core = server + testrun::kCoreFileName;
        QVERIFY(QFile::link(mine, core));
        const QString chosen = m_env->path(QStringLiteral("chosen.phar"));
        writeFile(chosen, coreBody(1500000, 'n'));
        QVERIFY(testrun::installCoreFromFile(m_env->home(), chosen));
        QVERIFY(QFileInfo(core).isSymLink());
        QCOMPARE(readFile(mine), coreBody());

        QVERIFY(QFile::remove(mine));
        QVERIFY(testrun::installCoreFromFile(m_env->home(), chosen));
        QCOMPARE(modeOf(core) & S_IFMT, int(S_IFREG));
        QCOMPARE(readFile(core), coreBody(1500000, 'n'));
        QVERIFY(!QFileInfo::exists(mine));
    }

    void aFailedUnpackingGivesTheSystemsReason()
    {
        const QString server = m_env->home() + testrun::kTestServerFolder;
        QDir().mkpath(server);
        writeFile(server + QStringLiteral("lib"), "a file where the pack wants a folder");
        const QString error = errorOf([&] { installPack(*m_env, smallPack({{"lib/x.so", "x", S_IFREG | 0644}})); });
        QVERIFY2(error.contains(QLatin1String("Not a directory")), qPrintable(error));
        QVERIFY(!QFileInfo::exists(m_env->path(testrun::kPackDownloadName)));
    }

    void aCoreReplacesTheOldOneAndDropsItsSettings()
    {
        const QString server = makeOldServer(m_env->home(), OldPhp | OldCore);
        const QRegularExpression bystanders(QStringLiteral("^(worlds|server|bin)"));
        const QStringList others = snapshotTree(server).filter(bystanders);

        installCore(m_env->home(), coreBody());
        QCOMPARE(readFile(server + testrun::kCoreFileName), coreBody());
        QVERIFY(!QFileInfo::exists(server + testrun::kServerSettingsFileName));
        QCOMPARE(snapshotTree(server).filter(bystanders), others);

        // The marker is found where it spans two reads of the file.
        QByteArray split = coreBody(1500000);
        split.replace(0, 27, QByteArray(27, ' '));
        split.replace(256 * 1024 - 15, 27, "<?php __HALT_COMPILER(); ?>");
        installCore(m_env->home(), split);
        QCOMPARE(readFile(server + testrun::kCoreFileName), split);

        // Into a program folder that has no test server folder yet.
        test::TestEnvironment fresh;
        installCore(fresh.home(), coreBody(1500000, 'n'));
        QCOMPARE(readFile(fresh.home() + testrun::kTestServerFolder + testrun::kCoreFileName), coreBody(1500000, 'n'));
    }

    // What is not a core, or cannot go in cleanly, changes nothing.
    void refusedCoresKeepTheOldOne_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("settingsFolder");
        QTest::addColumn<QString>("reason");
        QTest::newRow("short answer") << QByteArray("{\"error\":\"not found\"}") << false
                                      << QStringLiteral("it is 21 bytes long");
        QTest::newRow("exactly the limit")
            << coreBody(testrun::kSmallestCoreSize) << false << QStringLiteral("it is 1000000 bytes long");
        QTest::newRow("a large web page") << "<html><body>" + QByteArray(2000000, 'x') + "</body></html>" << false
                                          << QStringLiteral("it is no PHP archive");
        QTest::newRow("pocketmine.yml is a folder") << coreBody() << true << QStringLiteral("it is a folder");
    }
    void refusedCoresKeepTheOldOne()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, settingsFolder);
        QFETCH(QString, reason);
        const QString server = makeOldServer(m_env->home(), OldPhp | OldCore);
        if (settingsFolder)
            QVERIFY(QFile::remove(server + testrun::kServerSettingsFileName) &&
                    QDir().mkpath(server + testrun::kServerSettingsFileName));
        const QStringList before = snapshotTree(server);
        const QString error = errorOf([&] { installCore(m_env->home(), body); });
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(snapshotTree(server), before);
    }

    void aCoreOnAFullDiskKeepsTheOldOne()
    {
        test::SmallDisk disk;
        VORLUNE_REQUIRE_MOUNTED(disk);
        const QString home = disk.path(QStringLiteral("home/"));
        const QString server = home + testrun::kTestServerFolder;
        QDir().mkpath(server);
        writeFile(server + testrun::kCoreFileName, "old core");
        writeFile(server + testrun::kServerSettingsFileName, "settings");
        QTemporaryDir elsewhere;
        const QString download = elsewhere.filePath(QStringLiteral("core.download"));
        writeFile(download, coreBody(1500000));
        disk.fill();
        const QString error = errorOf([&] { testrun::installCore(home, download); });
        QVERIFY2(error.contains(QLatin1String("No space left on device")), qPrintable(error));
        QCOMPARE(readFile(server + testrun::kCoreFileName), QByteArray("old core"));
        QCOMPARE(test::namesIn(server), (QStringList{testrun::kCoreFileName, testrun::kServerSettingsFileName}));
    }

    void theManualInstallTakesOnlyLargePharFiles()
    {
        const QString server = m_env->home() + testrun::kTestServerFolder;
        const QString exact = m_env->path(QStringLiteral("exact.phar"));
        writeFile(exact, QByteArray(1000000, 'x'));
        const QString upper = m_env->path(QStringLiteral("big.PHAR"));
        writeFile(upper, QByteArray(1000001, 'x'));
        const QString doubled = m_env->path(QStringLiteral("big.phar.zip"));
        writeFile(doubled, QByteArray(1000001, 'x'));
        for (const QString &file : {exact, upper, doubled})
            QVERIFY2(!testrun::installCoreFromFile(m_env->home(), file), qPrintable(file));
        QVERIFY(!QFileInfo::exists(server));

        const QString core = m_env->path(QStringLiteral("my core.phar"));
        QByteArray bytes(1000001, 'y');
        bytes[5] = 'z';
        writeFile(core, bytes);
        QVERIFY(testrun::installCoreFromFile(m_env->home(), core));
        QCOMPARE(readFile(server + testrun::kCoreFileName), bytes);
        QCOMPARE(test::namesIn(server), QStringList{testrun::kCoreFileName});

        // An installed core stays; no message follows.
        writeFile(core, QByteArray(2000000, 'n'));
        QVERIFY(testrun::installCoreFromFile(m_env->home(), core));
        QCOMPARE(readFile(server + testrun::kCoreFileName), bytes);
        QCOMPARE(test::namesIn(server), QStringList{testrun::kCoreFileName});
    }

    void theManualInstallReadsOnlyRegularFiles()
    {
        const QString missing = m_env->path(QStringLiteral("gone.phar"));
        QVERIFY(errorOf([&] { testrun::installCoreFromFile(m_env->home(), missing); }).contains(missing));
        const QString pipe = m_env->path(QStringLiteral("pipe.phar"));
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(errorOf([&] { testrun::installCoreFromFile(m_env->home(), pipe); }).contains(pipe));
        QVERIFY(clock.elapsed() < 5000);
        const QString folder = m_env->path(QStringLiteral("folder.phar"));
        QDir().mkpath(folder);
        QVERIFY(errorOf([&] { testrun::installCoreFromFile(m_env->home(), folder); }).contains(folder));
        if (::geteuid() != 0) {
            const QString locked = m_env->path(QStringLiteral("locked.phar"));
            writeFile(locked, QByteArray(1000001, 'x'));
            ::chmod(QFile::encodeName(locked).constData(), 0);
            QVERIFY(errorOf([&] { testrun::installCoreFromFile(m_env->home(), locked); }).contains(locked));
        }
        QVERIFY(!QFileInfo::exists(m_env->home() + testrun::kTestServerFolder + testrun::kCoreFileName));
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(InstallerTest)
#include "InstallerTest.moc"
