#include "build/PhpPeer.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include "build/Cp1251.h"
#include "build/PharCompiler.h"
#include "build/PharWriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <ctime>

#include <sys/stat.h>
#include <unistd.h>

using namespace vorlune;
using namespace vorlune::build;

namespace {

const QByteArray stub("<?php __HALT_COMPILER(); ?>\r\n");

QByteArray bytesOf(const std::string &text) { return QByteArray::fromStdString(text); }

std::filesystem::path pathOf(const QString &path) { return std::filesystem::path(path.toStdString()); }

quint32 u32At(const QByteArray &bytes, qsizetype offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

std::vector<PharEntry> twoFiles()
{
    return {{"plugin.yml", "name: Plugin\r\n"}, {"src/Plugin/Main.php", "<?php\r\nnamespace Plugin;\r\n"}};
}

void makeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    test::writeFile(path, bytes);
}

QStringList namesOf(const std::vector<PharEntry> &entries)
{
    QStringList names;
    for (const PharEntry &entry : entries)
        names << QString::fromStdString(entry.name);
    return names;
}

QStringList filesIn(const QString &folder) { return QDir(folder).entryList(QDir::Files | QDir::Hidden); }

// "[Params]" with a Cyrillic name, in windows-1251 as the tool writes it.
const QByteArray params = "[Params]\r\nname=\xCF\xEB\xE0\xE3\xE8\xED\r\nversion=1.0.0\r\nmain=Plugin\\Main\r\n"
                          "api=3.0.0\r\nauthors=me\r\nwebsite=http://example.org\r\n\r\n";

const std::string plaginUtf8 = "\xD0\x9F\xD0\xBB\xD0\xB0\xD0\xB3\xD0\xB8\xD0\xBD"; // "Плагин"

// Metadata as "key=value;" text, so a mismatch prints readably.
QByteArray describe(const std::optional<PharMetadata> &metadata)
{
    if (!metadata)
        return "(no [Params])";
    QByteArray text;
    for (const auto &[key, value] : *metadata)
        text += bytesOf(key) + '=' + bytesOf(value) + ';';
    return text;
}

QByteArray parsed(const QByteArray &cnfg)
{
    return describe(parseParams(std::string_view(cnfg.constData(), size_t(cnfg.size()))));
}

} // namespace

class PharWriterTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void serializesMetadataAsPhpArray()
    {
        QCOMPARE(bytesOf(serializeMetadata({})), QByteArray());
        // s:N counts UTF-8 bytes; quotes inside a value are not escaped.
        const PharMetadata metadata{{"name", plaginUtf8}, {"main", "a\"b\\c"}};
        QCOMPARE(bytesOf(serializeMetadata(metadata)),
                 QByteArray("a:2:{s:4:\"name\";s:12:\"\xD0\x9F\xD0\xBB\xD0\xB0\xD0\xB3\xD0\xB8\xD0\xBD\";"
                            "s:4:\"main\";s:5:\"a\"b\\c\";}"));
    }

    void laysOutStubManifestContentsAndSignature()
    {
        const std::vector<PharEntry> entries{{"check.txt", "123456789"}, {"src/\xD0\xAF.php", "<?php"}};
        const PharMetadata metadata{{"name", plaginUtf8}};
        const QByteArray phar = bytesOf(makePhar(entries, metadata, 0x01020304));

        QVERIFY(phar.startsWith(stub));
        QCOMPARE(phar.count("__HALT_COMPILER();"), 1);

        qsizetype at = stub.size();
        const quint32 manifestLength = u32At(phar, at);
        const qsizetype contentsStart = at + 4 + manifestLength;
        at += 4;
        QCOMPARE(u32At(phar, at), 2u);
        QCOMPARE(phar.mid(at + 4, 2), QByteArray("\x11\x00", 2));
        QCOMPARE(u32At(phar, at + 6), 0x00010000u);
        QCOMPARE(u32At(phar, at + 10), 0u); // alias
        const QByteArray serialized = bytesOf(serializeMetadata(metadata));
        QCOMPARE(u32At(phar, at + 14), quint32(serialized.size()));
        QCOMPARE(phar.mid(at + 18, serialized.size()), serialized);
        at += 18 + serialized.size();

        struct Expected {
            QByteArray name;
            quint32 size;
            quint32 crc;
        };
        // 0xCBF43926 is the published CRC-32 check value of "123456789";
        // the other is Python's zlib.crc32(b"<?php").
        const Expected expected[] = {{"check.txt", 9, 0xCBF43926u}, {"src/\xD0\xAF.php", 5, 0xA36BB2AEu}};
        for (const Expected &entry : expected) {
            QCOMPARE(u32At(phar, at), quint32(entry.name.size()));
            QCOMPARE(phar.mid(at + 4, entry.name.size()), entry.name);
            at += 4 + entry.name.size();
            QCOMPARE(u32At(phar, at), entry.size);
            QCOMPARE(u32At(phar, at + 4), 0x01020304u);
            QCOMPARE(u32At(phar, at + 8), entry.size);
            QCOMPARE(u32At(phar, at + 12), entry.crc);
            QCOMPARE(u32At(phar, at + 16), 0x1A4u);
            QCOMPARE(u32At(phar, at + 20), 0u);
            at += 24;
        }
        QCOMPARE(at, contentsStart);
        QCOMPARE(phar.mid(contentsStart, 14), QByteArray("123456789<?php"));

        const qsizetype signatureStart = contentsStart + 14;
        QCOMPARE(phar.size(), signatureStart + 32 + 8);
        QCOMPARE(phar.mid(signatureStart, 32),
                 QCryptographicHash::hash(phar.left(signatureStart), QCryptographicHash::Sha256));
        QCOMPARE(u32At(phar, signatureStart + 32), 3u);
        QVERIFY(phar.endsWith("GBMB"));
    }

    void padsManifestWhoseLengthEndsInLineBreak_data()
    {
        QTest::addColumn<char>("lowByte");
        QTest::newRow("LF") << '\n';
        QTest::newRow("CR") << '\r';
    }

    void padsManifestWhoseLengthEndsInLineBreak()
    {
        QFETCH(char, lowByte);
        // Unpadded length: 18 fixed bytes + 28 per entry + the name.
        const int nameLength = (quint8(lowByte) - 18 - 28 + 256) % 256;
        const std::vector<PharEntry> entries{{std::string(size_t(nameLength), 'n'), "body"}};
        const QByteArray phar = bytesOf(makePhar(entries, {}, 0));
        const quint32 length = u32At(phar, stub.size());
        QCOMPARE(length, quint32(18 + 28 + nameLength + 1));
        QCOMPARE(phar.at(stub.size() + 4 + length - 1), '\0');
        QCOMPARE(phar.mid(stub.size() + 4 + length, 4), QByteArray("body"));
    }

    void rejectsEmptyOrBadEntryLists()
    {
        QVERIFY_THROWS_EXCEPTION(PharError, makePhar({}, {}, 0));
        QVERIFY_THROWS_EXCEPTION(PharError, makePhar({{std::string(), "x"}}, {}, 0));
        QVERIFY_THROWS_EXCEPTION(PharError, makePhar({{"a", "1"}, {"b", "2"}, {"a", "3"}}, {}, 0));
        // An empty file is fine.
        QVERIFY(bytesOf(makePhar({{"empty", std::string()}}, {}, 0)).endsWith("GBMB"));
    }

    void writesArchiveFileOrFailsClearly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.phar"));
        makeFile(path, "an older archive");
        writePhar(pathOf(path), twoFiles(), {}, 7);
        QCOMPARE(test::readFile(path), bytesOf(makePhar(twoFiles(), {}, 7)));
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("x.phar")});

        QVERIFY_THROWS_EXCEPTION(PharError,
                                 writePhar(pathOf(dir.filePath(QStringLiteral("no/such/x.phar"))), twoFiles(), {}, 7));
        QVERIFY_THROWS_EXCEPTION(PharError, writePhar(pathOf(dir.filePath(QStringLiteral("y.phar"))), {}, {}, 7));
        // A folder in the way fails at the rename; the temporary file must go.
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("z.phar/inner")));
        try {
            writePhar(pathOf(dir.filePath(QStringLiteral("z.phar"))), twoFiles(), {}, 7);
            QFAIL("writePhar wrote over a folder");
        } catch (const PharError &error) {
            QVERIFY2(QByteArray(error.what()).contains("z.phar"), error.what());
        }
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("x.phar")});
    }

    void collectsFilesSortedWithPluginYmlFirst()
    {
        QTemporaryDir dir;
        makeFile(dir.filePath(QStringLiteral("src/Plugin/Main.php")), "main");
        makeFile(dir.filePath(QStringLiteral("plugin.yml")), "yml");
        makeFile(dir.filePath(QStringLiteral("a.txt")), "a");
        makeFile(dir.filePath(QStringLiteral("B.txt")), "b");
        makeFile(dir.filePath(QStringLiteral(".hidden")), "h");
        makeFile(dir.filePath(QStringLiteral(".git/config")), "h");
        makeFile(dir.filePath(QStringLiteral("src/.cache/x")), "h");
        makeFile(dir.filePath(QStringLiteral("src/plugin.yml")), "nested");
        // Sorted as UTF-16 units: U+1F600 (a surrogate pair) before U+FF21.
        makeFile(dir.filePath(QStringLiteral("\uFF21.txt")), "fullwidth");
        makeFile(dir.filePath(QStringLiteral("\U0001F600.txt")), "emoji");
        QDir().mkpath(dir.filePath(QStringLiteral("empty/folder")));
        QVERIFY(QFile::link(dir.path(), dir.filePath(QStringLiteral("src/loop"))));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("a.txt")), dir.filePath(QStringLiteral("link.txt"))));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe"))).constData(), 0600), 0);

        const std::vector<PharEntry> entries = collectEntries(pathOf(dir.path()));
        QCOMPARE(namesOf(entries),
                 (QStringList{QStringLiteral("plugin.yml"), QStringLiteral("B.txt"), QStringLiteral("a.txt"),
                              QStringLiteral("src/Plugin/Main.php"), QStringLiteral("src/plugin.yml"),
                              QStringLiteral("\U0001F600.txt"), QStringLiteral("\uFF21.txt")}));
        QCOMPARE(bytesOf(entries.at(0).bytes), QByteArray("yml"));
        QCOMPARE(bytesOf(entries.at(3).bytes), QByteArray("main"));
        QCOMPARE(bytesOf(entries.at(5).bytes), QByteArray("emoji"));
    }

    void collectFailsOnUnreadableFile()
    {
        if (::geteuid() == 0)
            QSKIP("root reads files whatever their permissions");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("secret.php"));
        makeFile(path, "x");
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
        try {
            collectEntries(pathOf(dir.path()));
            QFAIL("an unreadable file was packed");
        } catch (const PharError &error) {
            QVERIFY2(QByteArray(error.what()).contains("secret.php"), error.what());
        }
    }

    void decodesWindows1251LikeQt()
    {
        QStringDecoder qt("windows-1251");
        QVERIFY(qt.isValid());
        for (int byte = 0; byte < 256; ++byte) {
            const char one = char(byte);
            const QString ours = QString::fromStdString(cp1251ToUtf8(std::string_view(&one, 1)));
            const QString expected =
                byte == 0x98 ? QString(QChar::ReplacementCharacter) : qt.decode(QByteArray(1, one));
            QVERIFY2(ours == expected, qPrintable(QStringLiteral("byte 0x%1").arg(byte, 2, 16, QLatin1Char('0'))));
        }
        QCOMPARE(bytesOf(cp1251ToUtf8("\xCF\xEB\xE0\xE3\xE8\xED v1\x98")),
                 QByteArray("\xD0\x9F\xD0\xBB\xD0\xB0\xD0\xB3\xD0\xB8\xD0\xBD v1\xEF\xBF\xBD"));
    }

    void readsParams_data()
    {
        QTest::addColumn<QByteArray>("cnfg");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("as the tool writes it")
            << params
            << QByteArray("name=" + QByteArray::fromStdString(plaginUtf8) +
                          ";version=1.0.0;main=Plugin\\Main;api=3.0.0;authors=me;website=http://example.org;");
        QTest::newRow("fixed key order, missing keys left out, empty value kept")
            << QByteArray("[Params]\r\nwebsite=\r\napi=4.0.0\r\nname=P\r\nother=x\r\n")
            << QByteArray("name=P;api=4.0.0;website=;");
        QTest::newRow("section and keys in any case")
            << QByteArray("[ PARAMS ]\r\nNAME=P\r\nVersion=2\r\n") << QByteArray("name=P;version=2;");
        QTest::newRow("first section and first key count")
            << QByteArray("[params]\r\nname=first\r\nname=second\r\n[Params]\r\nname=third\r\nversion=9\r\n")
            << QByteArray("name=first;");
        QTest::newRow("other sections, comments, stray lines")
            << QByteArray("name=before\r\n[Other]\r\nname=other\r\n[Params]\r\n; name=comment\r\nnoise\r\n"
                          "main=A\\B\r\n[Tail]\r\nversion=tail\r\n")
            << QByteArray("main=A\\B;");
        QTest::newRow("trimmed, split at the first =")
            << QByteArray("  [Params]  \r\n\tname = Plug in \xA0\r\n website = http://x/?a=b \r\n")
            << QByteArray("name=Plug in;website=http://x/?a=b;");
        QTest::newRow("LF and CR line ends")
            << QByteArray("[Params]\nname=a\rversion=b\n\nmain=c") << QByteArray("name=a;version=b;main=c;");
        QTest::newRow("UTF-8 after a byte-order mark")
            << QByteArray("\xEF\xBB\xBF[Params]\r\nname=" + QByteArray::fromStdString(plaginUtf8) + "\r\n")
            << QByteArray("name=" + QByteArray::fromStdString(plaginUtf8) + ";");
        QTest::newRow("empty [Params]") << QByteArray("[Params]\r\n") << QByteArray();
        QTest::newRow("no [Params]") << QByteArray("[Other]\r\nname=x\r\n") << QByteArray("(no [Params])");
        QTest::newRow("unclosed bracket") << QByteArray("[Params\r\nname=x\r\n") << QByteArray("(no [Params])");
        QTest::newRow("empty file") << QByteArray() << QByteArray("(no [Params])");
    }

    void readsParams()
    {
        QFETCH(QByteArray, cnfg);
        QFETCH(QByteArray, expected);
        QCOMPARE(parsed(cnfg), expected);
    }

    void compilesFolderWithParamsAsMetadata()
    {
        QTemporaryDir dir;
        makeFile(dir.filePath(QStringLiteral("cnfg.dll")), params);
        makeFile(dir.filePath(QStringLiteral("compile/src/Plugin/Main.php")), "<?php");
        makeFile(dir.filePath(QStringLiteral("compile/plugin.yml")), "name: x");
        // time() reads the kernel's coarse clock, which may lag Qt's by a
        // tick: compare with the same clock.
        const quint32 before = quint32(std::time(nullptr));
        compileFolder(pathOf(dir.path()));
        const quint32 after = quint32(std::time(nullptr));

        const QByteArray phar = test::readFile(dir.filePath(QStringLiteral("comp.phar")));
        const PharMetadata metadata{{"name", plaginUtf8}, {"version", "1.0.0"}, {"main", "Plugin\\Main"},
                                    {"api", "3.0.0"},     {"authors", "me"},    {"website", "http://example.org"}};
        const std::vector<PharEntry> entries{{"plugin.yml", "name: x"}, {"src/Plugin/Main.php", "<?php"}};
        // The timestamp is the only free field: find it and rebuild the archive around it.
        const qsizetype firstEntry = stub.size() + 4 + 18 + qsizetype(serializeMetadata(metadata).size());
        const quint32 timestamp = u32At(phar, firstEntry + 4 + 10 + 4);
        QVERIFY(timestamp >= before && timestamp <= after);
        QCOMPARE(phar.toHex(), bytesOf(makePhar(entries, metadata, timestamp)).toHex());
        QCOMPARE(filesIn(dir.path()), (QStringList{QStringLiteral("cnfg.dll"), QStringLiteral("comp.phar")}));
    }

    void compileFailsWithoutWritingOnBadInput_data()
    {
        QTest::addColumn<bool>("withParams");
        QTest::addColumn<QByteArray>("paramsText");
        QTest::addColumn<QString>("compileFile");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no cnfg.dll") << false << QByteArray() << QStringLiteral("plugin.yml")
                                     << QStringLiteral("cnfg.dll");
        QTest::newRow("no [Params]") << true << QByteArray("[Other]\r\nname=x\r\n") << QStringLiteral("plugin.yml")
                                     << QStringLiteral("[Params]");
        QTest::newRow("no compile folder") << true << params << QString() << QStringLiteral("compile");
        QTest::newRow("only hidden files") << true << params << QStringLiteral(".hidden") << QStringLiteral("no files");
    }

    void compileFailsWithoutWritingOnBadInput()
    {
        QFETCH(bool, withParams);
        QFETCH(QByteArray, paramsText);
        QFETCH(QString, compileFile);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        if (withParams)
            makeFile(dir.filePath(QStringLiteral("cnfg.dll")), paramsText);
        if (!compileFile.isEmpty())
            makeFile(dir.filePath(QStringLiteral("compile/") + compileFile), "x");
        try {
            compileFolder(pathOf(dir.path()));
            QFAIL("compileFolder accepted bad input");
        } catch (const PharError &error) {
            QVERIFY2(QString::fromUtf8(error.what()).contains(expected), error.what());
        }
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("comp.phar"))));
    }

    void phpOpensArchive_data()
    {
        QTest::addColumn<QString>("secondName");
        QTest::newRow("plain") << QStringLiteral("src/Plugin/Main.php");
        QTest::newRow("padded manifest") << paddedName();
    }

    void phpOpensArchive()
    {
        QFETCH(QString, secondName);
        if (test::phpProgram().isEmpty())
            QSKIP("php-cli is not installed");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("plugin.phar"));
        std::vector<PharEntry> entries = twoFiles();
        entries[1].name = secondName.toStdString();
        writePhar(pathOf(path), entries, peerMetadata(), 1700000000);

        const QJsonObject result = test::openWithPhp(path);
        QVERIFY2(!result.contains(QStringLiteral("error")),
                 qPrintable(result.value(QStringLiteral("error")).toString()));
        const QJsonObject signature = result.value(QStringLiteral("signature")).toObject();
        QCOMPARE(signature.value(QStringLiteral("hash_type")).toString(), QStringLiteral("SHA-256"));
        const QByteArray bytes = test::readFile(path);
        QCOMPARE(signature.value(QStringLiteral("hash")).toString().toLatin1(),
                 bytes.mid(bytes.size() - 40, 32).toHex().toUpper());
        const QJsonObject files = result.value(QStringLiteral("files")).toObject();
        QCOMPARE(files.size(), 2);
        for (const PharEntry &entry : entries)
            QCOMPARE(QByteArray::fromBase64(files.value(QString::fromStdString(entry.name)).toString().toLatin1()),
                     bytesOf(entry.bytes));
        QCOMPARE(result.value(QStringLiteral("metadataKeys")).toArray(),
                 (QJsonArray{QStringLiteral("name"), QStringLiteral("version")}));
        QCOMPARE(result.value(QStringLiteral("metadata")).toObject().value(QStringLiteral("name")).toString(),
                 QStringLiteral("Плагин"));
    }

    void anArchiveRunsItsOwnStub()
    {
        QVERIFY_THROWS_EXCEPTION(PharError, makePhar(twoFiles(), {}, 1, "<?php echo 1; ?>"));
        if (test::phpProgram().isEmpty())
            QSKIP("php-cli is not installed");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("run.phar"));
        test::writeFile(path, bytesOf(makePhar({{"start.php", "<?php echo 'ran ', $argv[1];"}}, {}, 1,
                                               "<?php Phar::mapPhar('run.phar'); require 'phar://run.phar/start.php';"
                                               " __HALT_COMPILER(); ?>\r\n")));
        QProcess php;
        php.start(test::phpProgram(), {path, QStringLiteral("%*")});
        QVERIFY(php.waitForFinished(30000));
        QCOMPARE(php.readAllStandardOutput(), QByteArray("ran %*"));
    }

    void matchesPhpOwnWriterByteForByte()
    {
        if (test::phpProgram().isEmpty())
            QSKIP("php-cli is not installed");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("php.phar"));
        static const QString build = QStringLiteral(R"php(
$p = new Phar($argv[1]);
$p->startBuffering();
$p->setStub('<?php __HALT_COMPILER(); ?>');
$p->addFromString('plugin.yml', "name: Plugin\r\n");
$p->addFromString('src/Plugin/Main.php', "<?php\r\nnamespace Plugin;\r\n");
$p->setMetadata(['name' => 'Плагин', 'version' => '1.0.0']);
$p->setSignatureAlgorithm(Phar::SHA256);
$p->stopBuffering();
)php");
        static const QString readTimes = QStringLiteral(R"php(
$times = [];
foreach (new RecursiveIteratorIterator(new Phar($argv[1])) as $f) $times[] = $f->getMTime();
echo json_encode(array_values(array_unique($times)));
)php");
        const QByteArray built = test::runPhp(build, {path}, false);
        QVERIFY2(built.isEmpty(), built.constData());
        const QJsonArray times = QJsonDocument::fromJson(test::runPhp(readTimes, {path})).array();
        if (times.size() != 1)
            QSKIP("PHP gave its entries different timestamps");
        const QByteArray ours = bytesOf(makePhar(twoFiles(), peerMetadata(), quint32(times.at(0).toInteger())));
        QCOMPARE(ours.toHex(), test::readFile(path).toHex());
    }

private:
    static PharMetadata peerMetadata() { return {{"name", plaginUtf8}, {"version", "1.0.0"}}; }

    // A second file name that, next to "plugin.yml" and peerMetadata(), makes
    // the unpadded manifest length end in 0x0A.
    static QString paddedName()
    {
        const int fixed = 18 + int(serializeMetadata(peerMetadata()).size()) + 28 + 10 + 28 + 8;
        const int extra = (0x0A - fixed % 256 + 256) % 256;
        return QStringLiteral("src/") + QString(extra, QLatin1Char('x')) + QStringLiteral(".php");
    }
};

VORLUNE_TEST(PharWriterTest)
#include "PharWriterTest.moc"
