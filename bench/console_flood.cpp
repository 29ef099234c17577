// Floods a server console with output and measures how it copes:
//   console_flood [LINES]          (default 100,000; offscreen unless QT_QPA_PLATFORM is set)
//   console_flood --kind KIND [MB] (an attacker's output, default 100 MB of it: cr-storm,
//                                   title-storm, colour-per-char, 8k-lines, invalid-utf8, emoji)
// The program runs itself as the "server", which writes LINES styled log lines as fast as it
// can, then waits for "stop" on its input. Reports the time until the last line is shown, the
// longest gap of a 10 ms timer (how long the window was held up), peak memory, whether the
// console kept exactly its last lines, and the CPU the console then uses in 3 s of quiet.
// Exits 0 when the longest gap is under the 100 ms target and the output is right, else 1.
#include "app/ConsoleFormatCodes.h"
#include "testrun/gui/ServerConsole.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextBlock>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kTargetStallMs = 100;
constexpr int kTickMs = 10;
constexpr int kGiveUpMs = 300000;
constexpr int kQuietMs = 3000;

QByteArray logLine(int number)
{
    return "\x1b[38;5;87m[12:00:00] \x1b[38;5;145m[Server thread/INFO]: \x1b[m\xc2\xa7"
           "aline " +
           QByteArray::number(number) + " \xc2\xa7lof\xc2\xa7r the flood \x1b[1;31m\xd0\x96\x1b[0m\r\n";
}

// As a server does: runs until "stop" comes.
int untilStop()
{
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        if (std::strcmp(line, "stop\n") == 0)
            return 0;
    }
    return 1;
}

int writeLines(int count)
{
    QByteArray buffer;
    for (int i = 1; i <= count; ++i) {
        buffer += logLine(i);
        if (buffer.size() >= 4096 || i == count) {
            std::fwrite(buffer.constData(), 1, size_t(buffer.size()), stdout);
            buffer.clear();
        }
    }
    std::fflush(stdout);
    return untilStop();
}

// One piece of an attacker's output, sent again and again.
QByteArray attackPiece(const QByteArray &kind)
{
    if (kind == "cr-storm")
        return QByteArray("x\r").repeated(32768);
    if (kind == "title-storm")
        return QByteArray("\x1b]0;a title of the flood\x07a line\n").repeated(2048);
    if (kind == "colour-per-char") {
        QByteArray piece;
        for (int i = 0; i < 8192; ++i)
            piece += "\x1b[3" + QByteArray::number(i % 8) + "mx";
        return piece + "\n";
    }
    if (kind == "8k-lines")
        return (QByteArray(8192, 'w') + "\n").repeated(8);
    if (kind == "invalid-utf8")
        return QByteArray("\xff\xfe\xc3").repeated(21845) + "\n";
    if (kind == "emoji")
        return QByteArray("\xf0\x9f\x98\x80").repeated(16384) + "\n";
    return {};
}

int writeAttack(const QByteArray &kind, int megabytes)
{
    const QByteArray piece = attackPiece(kind);
    if (piece.isEmpty())
        return 2;
    for (qint64 sent = 0; sent < qint64(megabytes) << 20; sent += piece.size())
        std::fwrite(piece.constData(), 1, size_t(piece.size()), stdout);
    // The mark the console is watched for.
    const QByteArray last = "\n" + logLine(1);
    std::fwrite(last.constData(), 1, size_t(last.size()), stdout);
    std::fflush(stdout);
    return untilStop();
}

rusage usage()
{
    rusage result{};
    getrusage(RUSAGE_SELF, &result);
    return result;
}

qint64 cpuMicroseconds()
{
    const rusage now = usage();
    return qint64(now.ru_utime.tv_sec + now.ru_stime.tv_sec) * 1000000 + now.ru_utime.tv_usec + now.ru_stime.tv_usec;
}

// The last line the server wrote is shown.
bool allShown(const vorlune::gui::ServerConsole &console, int lines)
{
    const QTextDocument *document = console.findChild<QPlainTextEdit *>()->document();
    return !console.hasPendingOutput() && document->findBlockByNumber(document->blockCount() - 2)
                                              .text()
                                              .contains(QStringLiteral("line %1 of the flood Ж").arg(lines));
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--write") == 0)
        return writeLines(std::atoi(argv[2]));
    if (argc == 4 && std::strcmp(argv[1], "--attack") == 0)
        return writeAttack(argv[2], std::atoi(argv[3]));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const bool attack = argc > 2 && std::strcmp(argv[1], "--kind") == 0;
    const QString kind = attack ? QString::fromLatin1(argv[2]) : QString();
    const int megabytes = attack && argc > 3 ? std::atoi(argv[3]) : 100;
    const int lines = attack ? 1 : argc > 1 ? std::atoi(argv[1]) : 100000;
    const QStringList writerArguments = attack
                                            ? QStringList{QStringLiteral("--attack"), kind, QString::number(megabytes)}
                                            : QStringList{QStringLiteral("--write"), QString::number(lines)};

    auto *console =
        new vorlune::gui::ServerConsole({QCoreApplication::applicationFilePath(), writerArguments, QDir::tempPath()},
                                        QIcon(), vorlune::app::consoleFormatCodes({85, 85, 85}));
    QPointer<vorlune::gui::ServerConsole> alive(console);

    // Each step runs an event loop of its own: the application's would end
    // the console's server when it returns.
    QEventLoop phase;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    qint64 drained = -1;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = qMax(longestGap, now - lastTick);
        lastTick = now;
        if (alive && allShown(*alive, lines))
            drained = now;
        if (drained >= 0 || !alive || now > kGiveUpMs)
            phase.quit();
    });
    clock.start();
    ticker.start(kTickMs);
    console->start();
    phase.exec();
    ticker.stop();

    int blocks = 0;
    qint64 quietCpu = -1;
    bool stopped = false;
    if (alive) {
        blocks = alive->findChild<QPlainTextEdit *>()->document()->blockCount();
        const qint64 before = cpuMicroseconds();
        QTimer::singleShot(kQuietMs, [&] { phase.quit(); });
        phase.exec();
        quietCpu = cpuMicroseconds() - before;
        // "stop" ends this server cleanly, so the console closes by itself.
        alive->stopServer();
        QTimer::singleShot(kGiveUpMs, [&] { phase.quit(); });
        QObject::connect(alive.data(), &QObject::destroyed, [&] { phase.quit(); });
        phase.exec();
        stopped = alive.isNull();
    }
    const bool rightOutput = drained >= 0 && (attack || blocks == qMin(lines + 1, 10000));
    if (attack)
        std::printf("output:          %d MB of %s\n", megabytes, qPrintable(kind));
    else
        std::printf("lines written:   %d\n", lines);
    std::printf("time to drain:   %lld ms%s\n", drained, drained < 0 ? " (did not drain)" : "");
    std::printf("longest stall:   %lld ms (gap of a %d ms timer; target < %d ms)\n", longestGap, kTickMs,
                kTargetStallMs);
    std::printf("peak memory:     %.1f MiB (maximum resident set)\n", usage().ru_maxrss / 1024.0);
    std::printf("lines kept:      %d blocks, %s\n", blocks, rightOutput ? "right" : "WRONG");
    std::printf("quiet CPU:       %.1f ms in %d ms with the server running and silent\n", quietCpu / 1000.0, kQuietMs);
    std::printf("stop:            %s\n", stopped ? "server ended, console closed" : "CONSOLE STILL OPEN");
    delete alive.data();
    const bool met = rightOutput && stopped && longestGap < kTargetStallMs;
    std::printf("target:          %s\n", met ? "met" : "NOT met");
    return met ? 0 : 1;
}
