#include "base/IniImage.h"
#include "base/Error.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

using vorlune::base::IniImage;

namespace {
QByteArray utf8Bom(const char *text) { return QByteArray("\xEF\xBB\xBF") + text; }
} // namespace

class IniImageTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readingRules()
    {
        const IniImage image = IniImage::fromBytes("ignored=before any section\r\n"
                                                   "  [ Run ]  \r\n"
                                                   "; a comment\r\n"
                                                   "\r\n"
                                                   "  DELETE_WORLDS  =  -1  \r\n"
                                                   "delete_worlds=0\r\n"
                                                   "a line without equals\r\n"
                                                   "empty=\r\n"
                                                   "eq=a=b\n"
                                                   "[Other]\n"
                                                   "key=value\n");
        QCOMPARE(image.sectionNames(), QStringList({QStringLiteral("Run"), QStringLiteral("Other")}));
        // Case-insensitive lookup, first match counts, values trimmed.
        QCOMPARE(image.readString(QStringLiteral("run"), QStringLiteral("delete_worlds"), QStringLiteral("x")),
                 QStringLiteral("-1"));
        QCOMPARE(image.readString(QStringLiteral("Run"), QStringLiteral("empty"), QStringLiteral("x")), QString());
        QCOMPARE(image.readString(QStringLiteral("Run"), QStringLiteral("eq"), {}), QStringLiteral("a=b"));
        QCOMPARE(
            image.readString(QStringLiteral("Run"), QStringLiteral("a line without equals"), QStringLiteral("dflt")),
            QStringLiteral("dflt"));
        QCOMPARE(image.readString(QStringLiteral("Missing"), QStringLiteral("k"), QStringLiteral("dflt")),
                 QStringLiteral("dflt"));
        QVERIFY(!image.hasEntry(QStringLiteral("Run"), QStringLiteral("ignored")));
    }

    void writingReplacesAppendsAndKeepsUnknownLines()
    {
        IniImage image = IniImage::fromBytes("[run]\r\n DELETE_WORLDS = -1 \r\nstray line\r\n[Extra]\r\nx=1\r\n");
        image.writeString(QStringLiteral("Run"), QStringLiteral("delete_worlds"), QStringLiteral("-1"));
        image.writeString(QStringLiteral("Run"), QStringLiteral("delete_logs"), QStringLiteral("0"));
        image.writeString(QStringLiteral("New"), QStringLiteral("k"), QStringLiteral("v"));
        QCOMPARE(image.toBytes(), utf8Bom("[run]\r\ndelete_worlds=-1\r\nstray line\r\ndelete_logs=0\r\n\r\n"
                                          "[Extra]\r\nx=1\r\n\r\n"
                                          "[New]\r\nk=v\r\n\r\n"));
    }

    void decodesByByteOrderMarkElseWindows1251()
    {
        const QString word = QStringLiteral("Привет");
        QByteArray utf16le("\xFF\xFE");
        QByteArray utf16be("\xFE\xFF");
        for (QChar c : QStringLiteral("[S]\r\nk=") + word) {
            utf16le += char(c.unicode() & 0xFF);
            utf16le += char(c.unicode() >> 8);
            utf16be += char(c.unicode() >> 8);
            utf16be += char(c.unicode() & 0xFF);
        }
        const QByteArray variants[] = {utf8Bom("[S]\r\nk=") + word.toUtf8(), utf16le, utf16be,
                                       QByteArray("[S]\r\nk=\xCF\xF0\xE8\xE2\xE5\xF2")};
        for (const QByteArray &bytes : variants)
            QCOMPARE(IniImage::fromBytes(bytes).readString(QStringLiteral("S"), QStringLiteral("k"), {}), word);

        // UTF-8 without a mark is read as windows-1251: garbled, but intact bytes survive a write.
        const QString garbled =
            IniImage::fromBytes("[S]\r\nk=" + word.toUtf8()).readString(QStringLiteral("S"), QStringLiteral("k"), {});
        QVERIFY(garbled != word);
        QCOMPARE(garbled.size(), word.toUtf8().size());
    }

    void garbageLoadsWithoutCrash()
    {
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage += char((i * 7919) % 256);
        garbage += "\n[\n]\n[]\n=\n==\n[S\n";
        const IniImage image = IniImage::fromBytes(garbage);
        QVERIFY(image.toBytes().startsWith("\xEF\xBB\xBF"));
        QCOMPARE(IniImage::fromBytes("<html><body>not found</body></html>").sectionNames(), QStringList());
    }

    // Found by fuzzing: a lone surrogate in UTF-16 read as itself, and no
    // UTF-8 can hold it, so the file written back read as another name.
    void anUnpairedSurrogateReadsAsTheReplacementCharacter()
    {
        const IniImage image = IniImage::fromBytes(
            vorlune::test::readFile(vorlune::test::fixture(QStringLiteral("fuzz/ini-unpaired-surrogate.ini"))));
        QCOMPARE(image.sectionNames(), QStringList{QString(QChar::ReplacementCharacter)});
        QCOMPARE(IniImage::fromBytes(image.toBytes()).sectionNames(), image.sectionNames());
        // A pair that belongs together stays one character.
        const char16_t section[] = u"[\U0001F600]";
        const QByteArray utf16le = QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(section), 8);
        QCOMPARE(IniImage::fromBytes(utf16le).sectionNames(), QStringList{QStringLiteral("\U0001F600")});
    }

    void missingFileIsEmptyAndUnwritableFileThrows()
    {
        vorlune::test::TestEnvironment env;
        QVERIFY(IniImage::load(env.path(QStringLiteral("none.ini"))).sectionNames().isEmpty());
        IniImage image;
        image.writeString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v"));
        QVERIFY_THROWS_EXCEPTION(vorlune::Error, image.save(env.path(QStringLiteral("no/such/folder/x.ini"))));
        image.save(env.path(QStringLiteral("x.ini")));
        QCOMPARE(vorlune::test::readFile(env.path(QStringLiteral("x.ini"))), utf8Bom("[S]\r\nk=v\r\n\r\n"));
    }
};

VORLUNE_TEST(IniImageTest)
#include "IniImageTest.moc"
