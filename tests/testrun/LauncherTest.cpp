#include "testrun/Launcher.h"
#include "base/Error.h"
#include "base/FileIo.h"
#include "base/IniImage.h"
#include "base/RuntimeFiles.h"
#include "support/Programs.h"
#include "support/SharedInputs.h"
#include "support/SmallDisk.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "support/TreeSnapshot.h"
#include "testrun/Installer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTest>

#include <optional>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vorlune;
using namespace Qt::StringLiterals;
using test::errorOf;
using test::readFile;
using test::snapshotTree;
using test::treeOf;
using test::writeFile;

namespace {

// Makes the entries of `layout` below `root`: "name/" a folder, "name=N" a
// file of N bytes (sparse), "name@target" a link, "name" a small file.
void lay(const QString &root, const QStringList &layout)
{
    for (const QString &item : layout) {
        const QString path = root + item.section(QRegularExpression(QStringLiteral("[=@]")), 0, 0);
        QDir().mkpath(item.endsWith(QLatin1Char('/')) ? path : QFileInfo(path).path());
        if (item.contains(QLatin1Char('@'))) {
            QFile::link(item.section(QLatin1Char('@'), 1), path);
        } else if (item.contains(QLatin1Char('='))) {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.resize(item.section(QLatin1Char('='), 1).toLongLong());
        } else if (!item.endsWith(QLatin1Char('/'))) {
            writeFile(path, "x");
        }
    }
}

QByteArray carriedTemplate() { return readFile(QStringLiteral(":/RESs/") + testrun::kServerPropertiesResource); }

// Lines "key<n>=value<n>" with a motd and a max-players line among them.
QStringList propertiesLines(int count)
{
    QStringList lines;
    for (int n = 0; n < count; ++n)
        lines << QStringLiteral("key%1=value%1").arg(n);
    lines[1] = QStringLiteral("motd=Someone's server");
    lines[2] = QStringLiteral("max-players=20");
    return lines;
}

} // namespace

class LauncherTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void coreEntry_data()
    {
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<QString>("entry");
        QTest::newRow("first known name wins")
            << QStringList{u"PocketMine-Soft.phar"_s, u"PocketMine-MP.phar"_s} << u"PocketMine-MP.phar"_s;
        QTest::newRow("letter case ignored, spelling kept")
            << QStringList{u"Genisys.phar"_s, u"pocketmine-mp.PHAR"_s} << u"pocketmine-mp.PHAR"_s;
        QTest::newRow("source core") << QStringList{u"src/pocketmine/PocketMine.php"_s}
                                     << u"src/pocketmine/PocketMine.php"_s;
        QTest::newRow("source core in other case")
            << QStringList{u"Src/"_s, u"SRC/PocketMine/pocketmine.PHP"_s} << u"SRC/PocketMine/pocketmine.PHP"_s;
        QTest::newRow("a folder is no core")
            << QStringList{u"PocketMine-MP.phar/"_s, u"BukkitPE.phar"_s} << u"BukkitPE.phar"_s;
        QTest::newRow("a link to a core is one")
            << QStringList{u"kept/core"_s, u"ClearSky.phar@kept/core"_s} << u"ClearSky.phar"_s;
        QTest::newRow("larger of two other phars")
            << QStringList{u"small.phar=500"_s, u"big.phar=2000000"_s} << u"big.phar"_s;
        QTest::newRow("one byte over the limit") << QStringList{u"Above.PHAR=1000001"_s} << u"Above.PHAR"_s;
        QTest::newRow("only files over the limit at the top")
            << QStringList{u"edge.phar=1000000"_s, u"sub/big.phar=2000000"_s, u"folder.phar/"_s, u"big.txt=2000000"_s}
            << QString();
    }
    void coreEntry()
    {
        QFETCH(QStringList, layout);
        QFETCH(QString, entry);
        const QString server = m_env->path(testrun::kTestServerFolder);
        lay(server, layout);
        QCOMPARE(testrun::findCoreEntry(server), entry);
    }

    void ofLargePharsTheLastListedWins()
    {
        const QString server = m_env->path(testrun::kTestServerFolder);
        lay(server,
            {u"a.phar=2000000"_s, u"b.phar=3000000"_s, u"c.phar=1500000"_s, u"d.phar=2500000"_s, u"e.phar=12"_s});
        QByteArray last;
        DIR *dir = ::opendir(QFile::encodeName(server).constData());
        while (const dirent *entry = ::readdir(dir)) {
            if (QByteArray(entry->d_name) != "e.phar" && QByteArray(entry->d_name).endsWith(".phar"))
                last = entry->d_name;
        }
        ::closedir(dir);
        QCOMPARE(testrun::findCoreEntry(server), QString::fromLatin1(last));
    }

    void missingPhpBinary_data()
    {
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<QString>("missing");
        QTest::newRow("none") << QStringList{} << u"bin/php/php"_s;
        QTest::newRow("only php.ini missing") << QStringList{u"bin/php/php"_s} << u"bin/php/php.ini"_s;
        QTest::newRow("a folder as php") << QStringList{u"bin/php/php/"_s, u"bin/php/php.ini"_s} << u"bin/php/php"_s;
        QTest::newRow("both") << QStringList{u"bin/php/php"_s, u"bin/php/php.ini"_s} << QString();
    }
    void missingPhpBinary()
    {
        QFETCH(QStringList, layout);
        QFETCH(QString, missing);
        lay(m_env->home(), layout);
        QCOMPARE(testrun::missingPhpBinary(m_env->home()), missing);
    }

    void cleanUp_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QStringList>("kept");
        const QStringList always{u"CrashDump_.txt"_s, u"server.properties"_s, u"server.log"_s, u"server.log/x"_s};
        QTest::newRow("defaults") << QByteArray()
                                  << always + QStringList{u"Plugins"_s,         u"Plugins/old.phar"_s,
                                                          u"WORLDS"_s,          u"WORLDS/w"_s,
                                                          u"WORLDS/w/region"_s, u"WORLDS/w/region/r.mca"_s};
        QTest::newRow("all") << QByteArray("[Run]\ndelete_worlds=-1\ndelete_plugins=True\n") << always;
        QTest::newRow("none") << QByteArray("[Run]\ndelete_logs=0\ndelete_players=false\ndelete_crashs=0\n")
                              << QStringList{};
    }
    void cleanUp()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QStringList, kept);
        const QString server = m_env->path(testrun::kTestServerFolder);
        // "server.log/x" is in a folder named "server.log", which is no log file.
        lay(server, {u"SERVER.LOG"_s, u"server.log/x"_s, u"WORLDS/w/region/r.mca"_s, u"Players/steve.dat"_s,
                     u"Plugins/old.phar"_s, u"crashdumps/a"_s, u"CrashDump/b"_s, u"CRASHDUMPS/"_s,
                     u"CrashDump_2024.log"_s, u"crashdump_x.LOG"_s, u"CrashDump_.txt"_s, u"server.properties"_s});
        const QStringList before = treeOf(server);
        testrun::cleanUpBeforeRun(server, base::IniImage::fromBytes(settings));
        kept.sort();
        QCOMPARE(treeOf(server), kept.isEmpty() ? before : kept);
    }

    void badSettingDeletesNothing()
    {
        const QString server = m_env->path(testrun::kTestServerFolder);
        lay(server, {u"server.log"_s, u"players/p"_s});
        const QStringList before = treeOf(server);
        // Read last, after options that would already have deleted.
        const QString error = errorOf(
            [&] { testrun::cleanUpBeforeRun(server, base::IniImage::fromBytes("[Run]\ndelete_crashs=yes\n")); });
        QCOMPARE(error, QStringLiteral("'yes' is not a valid boolean value"));
        QCOMPARE(treeOf(server), before);
    }

    void linksAreRemovedNotFollowed()
    {
        const QString server = m_env->path(testrun::kTestServerFolder);
        const QString outside = m_env->path(u"outside"_s);
        test::makeBystanderFolder(outside);
        const QStringList before = snapshotTree(outside);
        lay(server,
            {u"worlds@"_s + outside, u"players/escape@"_s + outside, u"plugins/sub/escape@"_s + outside + u"/sub"_s,
             u"server.log@"_s + outside + u"/keep.txt"_s, u"crashdump@"_s + outside + u"/keep.txt"_s});
        testrun::cleanUpBeforeRun(server, base::IniImage::fromBytes("[Run]\ndelete_worlds=1\ndelete_plugins=1\n"));
        // A link to a file is no crash dump folder.
        QCOMPARE(treeOf(server), QStringList{u"crashdump"_s});
        QCOMPARE(snapshotTree(outside), before);
    }

    // A tree as deep as a pack could place goes with a few descriptors.
    void aVeryDeepPlayersFolderGoes()
    {
        const QString server = m_env->path(testrun::kTestServerFolder);
        lay(server, {u"players/"_s, u"bin/php/php"_s});
        test::makeDeepTree(server + u"players"_s, 32000);
        struct rlimit before {};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &before) == 0);
        struct rlimit lowered = before;
        lowered.rlim_cur = std::min<rlim_t>(before.rlim_cur, 1024);
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &lowered) == 0);
        testrun::cleanUpBeforeRun(server, base::IniImage::fromBytes("[Run]\ndelete_players=1\n"));
        ::setrlimit(RLIMIT_NOFILE, &before);
        QCOMPARE(treeOf(server), (QStringList{u"bin"_s, u"bin/php"_s, u"bin/php/php"_s}));
    }

    // A link at a file the run writes is replaced: what it names, if
    // anything, is the user's and stays as it was (or missing).
    void linksAtTheRunsFilesAreReplaced_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("dangling");
        QTest::newRow("server.properties") << testrun::kServerPropertiesFileName << false;
        QTest::newRow("bnop.phar") << testrun::kPluginFile << false;
        QTest::newRow("bnop.phar leading nowhere") << testrun::kPluginFile << true;
        QTest::newRow("console icon leading nowhere") << testrun::kConsoleIconFileName << true;
    }
    void linksAtTheRunsFilesAreReplaced()
    {
        QFETCH(QString, file);
        QFETCH(bool, dangling);
        const QString shared = m_env->path(u"shared"_s);
        const QByteArray sharedBytes = propertiesLines(30).join(u'\n').toUtf8();
        const QString path = m_env->path(file);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        if (!dangling)
            writeFile(shared, sharedBytes);
        QVERIFY(QFile::link(shared, path));
        if (file == testrun::kServerPropertiesFileName)
            testrun::prepareServerProperties(m_env->home());
        else if (file == testrun::kPluginFile)
            QCOMPARE(testrun::pluginTarget(m_env->home()), path);
        else
            base::ExtractRes(base::kResourceType, testrun::kConsoleIconResource, path);
        QVERIFY(!QFileInfo(path).isSymLink());
        QCOMPARE(QFileInfo::exists(shared) ? readFile(shared) : "missing", dangling ? "missing" : sharedBytes);
    }

    void readOnlyFoldersGoWhole()
    {
        const QString server = m_env->path(testrun::kTestServerFolder);
        lay(server, {u"worlds/w/region/r.mca"_s, u"worlds/level.dat"_s, u"worlds/locked/"_s});
        const std::initializer_list<std::pair<const char *, int>> modes{{"worlds/w/region/r.mca", 0444},
                                                                        {"worlds/w/region", 0555},
                                                                        {"worlds/locked", 0},
                                                                        {"worlds/level.dat", 0444},
                                                                        {"worlds", 0500}};
        // Root ignores permissions, so the clean-up runs as a user that has to reset them.
        QVERIFY(::chmod(QFile::encodeName(m_env->home() + u".."_s).constData(), 0711) == 0);
        QVERIFY(::chmod(QFile::encodeName(m_env->home()).constData(), 0711) == 0);
        if (::geteuid() == 0)
            QCOMPARE(test::runProgram(u"chown"_s, {u"-R"_s, u"65534:65534"_s, server}).exitCode, 0);
        for (const auto &[path, mode] : modes)
            QVERIFY(::chmod(QFile::encodeName(server + QLatin1String(path)).constData(), mode) == 0);
        const pid_t child = ::fork();
        if (child == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(77);
            testrun::cleanUpBeforeRun(server, base::IniImage::fromBytes("[Run]\ndelete_worlds=-1\n"));
            ::_exit(0);
        }
        int status = -1;
        QVERIFY(child > 0 && ::waitpid(child, &status, 0) == child);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
            QSKIP("cannot switch to an unprivileged user here");
        QCOMPARE(status, 0);
        QCOMPARE(treeOf(server), QStringList{});
    }

    void pluginsFolderIsMadeAfresh()
    {
        const QString server = m_env->path(u"deep/"_s + testrun::kTestServerFolder);
        testrun::makePluginsFolder(server);
        lay(server, {u"plugins/old.phar"_s});
        testrun::cleanUpBeforeRun(server, base::IniImage::fromBytes("[Run]\ndelete_plugins=-1\n"));
        testrun::makePluginsFolder(server);
        QCOMPARE(treeOf(server), QStringList{u"plugins"_s});
    }

    void serverProperties_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<QByteArray>("after");
        const QByteArray standard = carriedTemplate();
        QStringList lines = propertiesLines(30);
        lines[4] = u"motd =spaced key"_s;
        lines[5] = u"motd"_s;
        lines[6] = u"MOTD=other case"_s;
        lines[7] = u"motd=a second one"_s;
        lines[8] = u"level-name=Мир"_s;
        QStringList set = lines;
        set[1] = set[7] = u"motd=Vorlune-PluginTest"_s;
        set[2] = u"max-players=777"_s;
        const QString in = lines.join(QLatin1Char('\n'));
        const QString out = set.join(QLatin1String("\r\n")) + QLatin1String("\r\n");
        const auto utf16 = [](QStringEncoder::Encoding encoding, const QString &text) {
            return QByteArray(QStringEncoder(encoding, QStringEncoder::Flag::WriteBom).encode(text));
        };
        QTest::newRow("missing") << QByteArray() << standard + "\r\n";
        QTest::newRow("30 lines, ANSI, LF") << QByteArray(QStringEncoder("windows-1251").encode(in))
                                            << QByteArray(QStringEncoder("windows-1251").encode(out));
        QTest::newRow("UTF-8 with mark") << "\xEF\xBB\xBF" + in.toUtf8() << "\xEF\xBB\xBF" + out.toUtf8();
        QTest::newRow("UTF-16 LE, CR") << utf16(QStringEncoder::Utf16LE, QString(in).replace(u'\n', u'\r'))
                                       << utf16(QStringEncoder::Utf16LE, out);
        QTest::newRow("UTF-16 BE, CR LF") << utf16(QStringEncoder::Utf16BE, QString(in).replace(u"\n"_s, u"\r\n"_s))
                                          << utf16(QStringEncoder::Utf16BE, out);
        QTest::newRow("10 lines") << propertiesLines(10).join(u'\n').toUtf8() << standard;
        QTest::newRow("22 lines and a final break")
            << (propertiesLines(22).join(u"\r\n"_s) + u"\r\n"_s).toLatin1() << standard;
        QTest::newRow("23 lines, the last empty")
            << (propertiesLines(22).join(u'\n') + u"\n\n"_s).toLatin1()
            << QByteArray("key0=value0\r\nmotd=Vorlune-PluginTest\r\nmax-players=777\r\n") +
                   (propertiesLines(22).mid(3).join(u"\r\n"_s) + u"\r\n\r\n"_s).toLatin1();
        QTest::newRow("empty") << QByteArray("") << standard;
    }
    void serverProperties()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const QString file = m_env->path(testrun::kServerPropertiesFileName);
        if (!before.isNull())
            writeFile(file, before);
        testrun::prepareServerProperties(m_env->home());
        QCOMPARE(readFile(file), after);
    }

    void unusableServerPropertiesStayWhole_data()
    {
        QTest::addColumn<QString>("layout"); // empty: a full disk
        QTest::addColumn<QString>("reason");
        QTest::newRow("a folder") << u"server.properties/kept"_s << u"it is a folder"_s;
        QTest::newRow("too large") << u"server.properties=%1"_s.arg(fileio::kIniFileLimit + 1) << u"larger than"_s;
        QTest::newRow("full disk") << QString() << u"No space left on device"_s;
    }
    void unusableServerPropertiesStayWhole()
    {
        QFETCH(QString, layout);
        QFETCH(QString, reason);
        test::SmallDisk disk;
        QString server = m_env->home();
        if (!layout.isEmpty()) {
            lay(server, {layout});
        } else {
            VORLUNE_REQUIRE_MOUNTED(disk);
            server = disk.path();
            writeFile(server + testrun::kServerPropertiesFileName, propertiesLines(40).join(u'\n').toLatin1());
            disk.fill();
        }
        const QStringList before = snapshotTree(server);
        const QString error = errorOf([&] { testrun::prepareServerProperties(server); });
        QVERIFY2(error.contains(server + testrun::kServerPropertiesFileName) && error.contains(reason),
                 qPrintable(error));
        QCOMPARE(snapshotTree(server), before);
    }

    void templateIsByteForByte()
    {
        const QByteArray bytes = carriedTemplate();
        QCOMPARE(bytes, QByteArray("motd=Vorlune-PluginTest\r\nserver-port=19132\r\nmemory-limit=-1\r\n"
                                   "white-list=off\r\nannounce-player-achievements=on\r\nspawn-protection=0\r\n"
                                   "max-players=777\r\nallow-flight=off\r\nspawn-animals=on\r\nspawn-mobs=on\r\n"
                                   "gamemode=0\r\nforce-gamemode=off\r\nhardcore=off\r\npvp=on\r\ndifficulty=1\r\n"
                                   "generator-settings=\r\nlevel-name=world\r\nlevel-seed=\r\nlevel-type=DEFAULT\r\n"
                                   "enable-query=on\r\nenable-rcon=off\r\nrcon.password=Xw3bTq9Rkd\r\nauto-save=on"));
        QCOMPARE(bytes.split('\n').size(), 23);
    }

    void consoleIconIsAnIcoFile()
    {
        const QByteArray icon = readFile(QStringLiteral(":/RESs/") + testrun::kConsoleIconResource);
        QVERIFY(icon.size() > 22);
        const auto word = [&](int at) { return quint16(uchar(icon[at]) | uchar(icon[at + 1]) << 8); };
        const auto dword = [&](int at) { return quint32(word(at)) | quint32(word(at + 2)) << 16; };
        // Reserved, type icon, one image of 32 by 32 pixels.
        QCOMPARE((QList<int>{word(0), word(2), word(4), uchar(icon[6]), uchar(icon[7])}),
                 (QList<int>{0, 1, 1, 32, 32}));
        // The one image fills the rest of the file: a 40-byte bitmap header first.
        QCOMPARE(qsizetype(dword(18) + dword(14)), icon.size());
        QCOMPARE(dword(22), 40u);
    }

    void consoleRunsTheCoreWithPhp()
    {
        testrun::installPhpPack(m_env->home(), test::kBuiltPack);
        const QString server = m_env->path(testrun::kTestServerFolder);
        lay(server, {u"src/pocketmine/PocketMine.php"_s});
        writeFile(server + u"src/pocketmine/PocketMine.php"_s, "<?php echo getcwd(), '|', implode('|', $argv);");
        const testrun::ConsoleCommand command = testrun::consoleCommand(m_env->home(), testrun::findCoreEntry(server));
        QCOMPARE(command.program, server + u"bin/php/php"_s);
        if (!QFileInfo(QStringLiteral("/usr/bin/php")).isExecutable())
            QSKIP("php-cli is not installed");
        test::RunOptions options;
        options.workingFolder = command.workingFolder;
        const auto result = test::runProgram(command.program, command.arguments, options);
        QVERIFY2(result.exitCode == 0, qPrintable(result.describe()));
        QCOMPARE(result.out,
                 QDir::cleanPath(server) + u'|' + server + u"src/pocketmine/PocketMine.php|--enable-ansi|%*"_s);
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(LauncherTest)
#include "LauncherTest.moc"
