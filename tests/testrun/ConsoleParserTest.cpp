#include "testrun/ConsoleParser.h"
#include "app/ConsoleFormatCodes.h"
#include "support/TestRegistry.h"
#include "testrun/ConsoleBacklog.h"

#include <QProcess>
#include <QTest>

#include <optional>

using namespace vorlune::testrun;

namespace {

QString styleTag(const ConsoleStyle &style)
{
    QStringList parts;
    const auto colour = [](const char *name, const ConsoleColour &c) {
        return QStringLiteral("%1=%2,%3,%4").arg(QLatin1String(name)).arg(c.red).arg(c.green).arg(c.blue);
    };
    if (style.foreground)
        parts << colour("fg", *style.foreground);
    if (style.background)
        parts << colour("bg", *style.background);
    if (style.bold)
        parts << QStringLiteral("b");
    if (style.italic)
        parts << QStringLiteral("i");
    if (style.underline)
        parts << QStringLiteral("u");
    return QLatin1Char('[') + parts.join(QLatin1Char(' ')) + QLatin1Char(']');
}

// Events as one text: a style tag where the style changes, "\n" for a line
// end, "\r" for a return to the line start. Runs cut at chunk borders read
// the same as whole ones.
QString describe(const std::vector<ConsoleEvent> &events)
{
    QString out;
    std::optional<ConsoleStyle> last;
    for (const ConsoleEvent &event : events) {
        switch (event.kind) {
        case ConsoleEvent::Kind::Text:
            if (!last || *last != event.style)
                out += styleTag(event.style);
            last = event.style;
            out += event.text;
            break;
        case ConsoleEvent::Kind::LineEnd:
            out += QLatin1Char('\n');
            break;
        case ConsoleEvent::Kind::LineStart:
            out += QLatin1Char('\r');
            break;
        case ConsoleEvent::Kind::Title:
            out += QStringLiteral("<title ") + event.text + QLatin1Char('>');
            break;
        }
    }
    return out;
}

QString parseWhole(const QByteArray &bytes)
{
    ConsoleParser parser(vorlune::app::consoleFormatCodes({85, 85, 85}));
    std::vector<ConsoleEvent> events = parser.feed(bytes);
    for (ConsoleEvent &event : parser.finish())
        events.push_back(std::move(event));
    return describe(events);
}

// A server log line's worth of everything the parser knows.
const QByteArray kRichSample = "\x1b]0;Srv \xc3\xa9\x07\x1b[38;5;87m[12:00] \x1b[1;31mERR\x1b[22m \xe2\x82\xac "
                               "\xf0\x9f\x98\x80\x1b[K\r\n\xc2\xa7"
                               "c\xd0\x96\xc2\xa7lx\xc2\xa7r y\x1b[48;2;1;2;3mz\r"
                               "again\x1b[0m\n";

} // namespace

class ConsoleParserTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sgrStylesCombineAndReset()
    {
        QCOMPARE(parseWhole("\x1b[1;3;4;31;42ma\x1b[22;23;24;39mb\x1b[49;95;104mc\x1b[38;5;196;48;5;244md"
                            "\x1b[38;5;21me\x1b[38;2;10;20;30mf\x1b[0mg\x1b[1mh\x1b[mi\n"),
                 QStringLiteral("[fg=205,0,0 bg=0,205,0 b i u]a[bg=0,205,0]b[fg=255,0,255 bg=92,92,255]c"
                                "[fg=255,0,0 bg=128,128,128]d[fg=0,0,255 bg=128,128,128]e"
                                "[fg=10,20,30 bg=128,128,128]f[]g[b]h[]i\n"));
        // Out of range colours change nothing; an unknown colour form ends the sequence.
        QCOMPARE(parseWhole("\x1b[31;38;2;300;0;0ma\x1b[38;5;256mb\x1b[38;7;1mc\x1b[1;38mi\n"),
                 QStringLiteral("[fg=205,0,0]abc[fg=205,0,0 b]i\n"));
    }

    void otherSequencesLeaveNoTrace()
    {
        QCOMPARE(parseWhole("\x1b[2J\x1b[HA\x1b[K\x1b[?25lB\x1b(B\x1b"
                            "7C\x1b"
                            "8\x1bPq#0;2\x1b\\D\x1b[5;10H"
                            "\x1b[?1049h\x1b]8;;http://x\x1b\\E\x07\x08\x7f\n"),
                 QStringLiteral("[]ABCDE\n"));
        // A private mode ending in "m" is no style; a broken sequence ends at the
        // line break. Styles outlive lines, as in a terminal.
        QCOMPARE(parseWhole("\x1b[>4;1mA\x1b[31\nB\x1b]0;never ends\nC\n"), QStringLiteral("[]A\nB\nC\n"));
    }

    void titles()
    {
        QCOMPARE(parseWhole("\x1b]0;One\x07"
                            "a\x1b]2;Two \xd0\x96\x1b\\b\x1b]1;icon only\x07"
                            "c\n"),
                 QStringLiteral("<title One>[]a<title Two Ж>bc\n"));
    }

    void carriageReturnRestartsTheLine()
    {
        // CR LF is one line end; a lone CR only counts when text follows it.
        QCOMPARE(parseWhole("a\r\nload 10%\rload 20%\r\x1b[K\rdone\n\rb\r\r\nc\r"),
                 QStringLiteral("[]a\nload 10%\rload 20%\rdone\nb\nc\n"));
    }

    void overlongLinesAreBroken()
    {
        QByteArray accents;
        for (int i = 0; i < 300; ++i)
            accents += "\xc3\xa9";
        const QStringList lines = parseWhole(QByteArray(8000, 'a') + accents + QByteArray(9000, 'b') + "\n")
                                      .mid(2) // the style tag
                                      .split(QLatin1Char('\n'));
        QCOMPARE(lines, QStringList({QString(8000, u'a') + QString(192, u'\u00e9'),
                                     QString(108, u'\u00e9') + QString(8084, u'b'), QString(916, u'b'), QString()}));
    }

    void invalidUtf8BecomesReplacementCharacters()
    {
        QCOMPARE(parseWhole("\xff|\xc3(|\xe2\x82|\xed\xa0\x80|\xc0\xaf|\xf4\x90\x80\x80|\xe2\x82"),
                 QStringLiteral("[]\uFFFD|\uFFFD(|\uFFFD|\uFFFD|\uFFFD|\uFFFD|\uFFFD\n"));
        // A sequence cut by an escape does not swallow it.
        QCOMPARE(parseWhole("\xd0\x1b[31mx\n"), QStringLiteral("[]\uFFFD[fg=205,0,0]x\n"));
    }

    void formatCodes()
    {
        QCOMPARE(parseWhole("\xc2\xa7"
                            "cred\xc2\xa7lbold\xc2\xa7oit\xc2\xa7r plain\xc2\xa7zq\xc2\xa7"
                            "8g"
                            "\xc2\xa7"
                            "6\xc2\xa7"
                            "C!\xc2\xa7\nx\n"),
                 QStringLiteral("[fg=255,0,0]red[fg=255,0,0 b]bold[fg=255,0,0 b i]it[] plainq[fg=85,85,85]g"
                                "[fg=255,0,0]!\nx\n"));
        // Without a table the codes are still consumed.
        ConsoleParser bare;
        QCOMPARE(describe(bare.feed("\xc2\xa7"
                                    "ca\xc2\xa7")),
                 QStringLiteral("[]a"));
        QCOMPARE(describe(bare.feed("lb")), QStringLiteral("[]b"));
    }

    void anySplitGivesTheSameResult()
    {
        const QString whole = parseWhole(kRichSample);
        QCOMPARE(whole,
                 QStringLiteral("<title Srv é>[fg=95,255,255][12:00] [fg=205,0,0 b]ERR[fg=205,0,0] € \U0001F600\n"
                                "[fg=255,0,0]Ж[fg=255,0,0 b]x[] y[bg=1,2,3]z\ragain\n"));
        for (qsizetype cut = 1; cut < kRichSample.size(); ++cut) {
            for (qsizetype second = cut; second < kRichSample.size(); second += 7) {
                ConsoleParser parser(vorlune::app::consoleFormatCodes({85, 85, 85}));
                std::vector<ConsoleEvent> events;
                for (const QByteArray &chunk :
                     {kRichSample.first(cut), kRichSample.sliced(cut, second - cut), kRichSample.sliced(second)}) {
                    for (ConsoleEvent &event : parser.feed(chunk))
                        events.push_back(std::move(event));
                }
                for (ConsoleEvent &event : parser.finish())
                    events.push_back(std::move(event));
                QCOMPARE(describe(events), whole);
            }
        }
    }

    void outputOfARealProgram()
    {
        QProcess php;
        php.start(QStringLiteral("/usr/bin/php"),
                  {QStringLiteral("-r"),
                   QStringLiteral("echo \"\\e]0;PHP\\x07\\e[38;5;145m[INFO]\\e[m \\xc2\\xa7aok\\r\\n\"; "
                                  "for ($i = 0; $i < 3; $i++) { echo \"\\e[3{$i}m$i\"; } echo \"\\e[0m\\n\";")});
        QVERIFY(php.waitForFinished(30000));
        QCOMPARE(php.exitCode(), 0);
        QCOMPARE(parseWhole(php.readAllStandardOutput()),
                 QStringLiteral("<title PHP>[fg=175,175,175][INFO][] [fg=0,255,0]ok\n[fg=0,0,0]0[fg=205,0,0]1"
                                "[fg=0,205,0]2\n"));
    }

    void backlogKeepsTheLastLines()
    {
        ConsoleParser parser;
        ConsoleBacklog backlog(100);
        backlog.append(parser.feed("\x1b]0;first\x07unfinished "));
        QByteArray lines;
        for (int i = 1; i <= 250; ++i)
            lines += "line " + QByteArray::number(i) + "\n";
        backlog.append(parser.feed(lines.first(lines.size() / 2)));
        backlog.append(parser.feed(lines.sliced(lines.size() / 2) + "tail"));
        QCOMPARE(backlog.takeTitle(), std::optional<QString>(QStringLiteral("first")));
        std::vector<ConsoleEvent> kept;
        while (!backlog.isEmpty())
            kept.push_back(backlog.take());
        QString expected = QStringLiteral("\n");
        for (int i = 151; i <= 250; ++i)
            expected += QStringLiteral("%1line %2\n").arg(i == 151 ? QStringLiteral("[]") : QString()).arg(i);
        QCOMPARE(describe(kept), expected + QStringLiteral("tail"));
    }

    // Whatever a server sends, what waits to be shown stays bounded: in
    // characters, in events (each costs memory of its own), in titles.
    void hostileOutputStaysBounded_data()
    {
        QTest::addColumn<QByteArray>("chunk"); // sent again and again, 20 MB in all
        QTest::addColumn<qsizetype>("events"); // at most this many wait
        const qsizetype anyOutput = (kConsoleLineLimit + 1) * (kConsoleStyleRunsPerLine + 2);
        QTest::newRow("a carriage-return storm") << QByteArray("x\r").repeated(4096) << qsizetype(3);
        QTest::newRow("a title per line") << QByteArray("\x1b]0;title\x07line\n").repeated(512) << anyOutput;
        QByteArray colours;
        for (int i = 0; i < 4096; ++i)
            colours += "\x1b[3" + QByteArray::number(i % 8) + "mx";
        QTest::newRow("a colour per character") << colours + "\n" << anyOutput;
        QTest::newRow("8 KB lines") << QByteArray(8192, 'w') + "\n" << anyOutput;
        QTest::newRow("a line without end") << QByteArray(65536, 'n') << anyOutput;
        QTest::newRow("invalid UTF-8") << QByteArray("\xff\xfe\xc3").repeated(8192) << anyOutput;
        QTest::newRow("emoji") << QByteArray("\xf0\x9f\x98\x80").repeated(8192) << anyOutput;
    }
    void hostileOutputStaysBounded()
    {
        QFETCH(QByteArray, chunk);
        QFETCH(qsizetype, events);
        ConsoleParser parser;
        ConsoleBacklog backlog;
        for (qsizetype sent = 0; sent < (qsizetype(20) << 20); sent += chunk.size())
            backlog.append(parser.feed(chunk));
        QVERIFY2(backlog.characters() <= kConsoleCharacterLimit + kConsoleLineLength,
                 qPrintable(QString::number(backlog.characters())));
        QVERIFY2(backlog.size() <= events, qPrintable(QString::number(backlog.size())));
        const std::optional<QString> title = backlog.takeTitle();
        QVERIFY(!title || *title == QLatin1String("title"));
    }

    // Texts of the console's own are held to the same limits.
    void consoleTextsAreLinesWithinTheLimits()
    {
        ConsoleStyle style;
        style.bold = true;
        const std::vector<ConsoleEvent> events =
            consoleLines(QString(20000, QLatin1Char('q')) + QStringLiteral("\nend"), style);
        const QString bold = QStringLiteral("[b]");
        QCOMPARE(describe(events), bold + QString(8192, QLatin1Char('q')) + QLatin1Char('\n') +
                                       QString(8192, QLatin1Char('q')) + QLatin1Char('\n') +
                                       QString(3616, QLatin1Char('q')) + QStringLiteral("\nend\n"));
        ConsoleBacklog backlog;
        backlog.append(consoleLines(QString(5000000, QLatin1Char('f')), style));
        QVERIFY(backlog.characters() <= kConsoleCharacterLimit);
    }
};

VORLUNE_TEST(ConsoleParserTest)
#include "ConsoleParserTest.moc"
