// Writers killed with SIGKILL part way through a whole-file write: the file
// is always the old one or the new one, whole, and the temporary a killed
// writer leaves is removed by the next write of the same file.
#include "base/IniImage.h"
#include "project/ProjectDocument.h"
#include "support/Programs.h"
#include "support/SharedInputs.h"
#include "support/SmallDisk.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <thread>

using namespace vorlune;
using test::namesIn;
using test::readFile;
using test::writeFile;

namespace {

const QString kWriter = QStringLiteral(VORLUNE_WRITE_UNTIL_KILLED);
constexpr int kKills = 50;

struct KillCounts {
    int old = 0;
    int renewed = 0;
    int temporaryLeft = 0;
};

// Runs the writer once to its end in `folder`; tells how long its write took.
void writeOnce(const QString &mode, const QString &folder, std::chrono::microseconds &took)
{
    const test::ProgramResult result = test::runProgram(kWriter, {mode, folder, QStringLiteral("once")});
    QVERIFY2(result.exitCode == 0, qPrintable(result.describe()));
    took = std::chrono::microseconds(result.out.split(QLatin1Char('\n')).value(1).toLongLong());
}

// Starts the writer in `folder` and kills it `delay` after its first write
// began.
void killWhileWriting(const QString &mode, const QString &folder, std::chrono::microseconds delay)
{
    QProcess writer;
    writer.start(kWriter, {mode, folder});
    QVERIFY2(writer.waitForReadyRead(20000), qPrintable(writer.errorString()));
    QCOMPARE(writer.readLine(), QByteArray("writing\n"));
    std::this_thread::sleep_for(delay);
    writer.kill();
    QVERIFY(writer.waitForFinished(10000));
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
}

// Kills the writer of `fileName` at delays spread over two of its writes,
// starting from `old`; after each kill the file must be `old` or what one
// whole write gives, with at most the last killed writer's temporary beside
// it. Gives the new file.
void killRepeatedly(const QString &mode, const QString &fileName, const QByteArray &old, KillCounts &counts,
                    QByteArray &renewed)
{
    QTemporaryDir reference;
    writeFile(reference.filePath(fileName), old);
    std::chrono::microseconds writeTime{};
    writeOnce(mode, reference.path(), writeTime);
    renewed = readFile(reference.filePath(fileName));
    QVERIFY(renewed != old);
    QVERIFY(writeTime.count() > 0);

    QTemporaryDir dir;
    const QString file = dir.filePath(fileName);
    writeFile(file, old);
    const QRegularExpression temporary(QLatin1Char('^') + QRegularExpression::escape(QLatin1Char('.') + fileName) +
                                       QStringLiteral("\\.tmp-[a-z0-9]{8}$"));
    for (int i = 0; i < kKills; ++i) {
        killWhileWriting(mode, dir.path(), writeTime * 2 * i / kKills);
        if (QTest::currentTestFailed())
            return;
        const QByteArray now = readFile(file);
        QVERIFY2(now == old || now == renewed,
                 qPrintable(QStringLiteral("kill %1 left %2 bytes").arg(i).arg(now.size())));
        (now == old ? counts.old : counts.renewed)++;
        QStringList others = namesIn(dir.path());
        others.removeOne(fileName);
        QVERIFY2(others.size() <= 1 && (others.isEmpty() || temporary.match(others.first()).hasMatch()),
                 qPrintable(others.join(QLatin1Char(' '))));
        counts.temporaryLeft += int(others.size());
    }
    writeOnce(mode, dir.path(), writeTime);
    QCOMPARE(namesIn(dir.path()), QStringList{fileName});
    QCOMPARE(readFile(file), renewed);
}

// The kills must have struck before, during and after a write, or the test
// proved nothing.
void checkKillsWereSpread(const KillCounts &counts)
{
    const QString seen =
        QStringLiteral("old %1, new %2, temporaries %3").arg(counts.old).arg(counts.renewed).arg(counts.temporaryLeft);
    QVERIFY2(counts.old > 0 && counts.renewed > 0 && counts.temporaryLeft > 0, qPrintable(seen));
}

} // namespace

class KilledWriteTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aKilledProjectSaveLeavesTheOldOrTheNewProject()
    {
        KillCounts counts;
        QByteArray saved;
        killRepeatedly(QStringLiteral("project"), QStringLiteral("big.vlk"), readFile(test::kHelloProject), counts,
                       saved);
        if (QTest::currentTestFailed())
            return;
        checkKillsWereSpread(counts);
        const project::ProjectDocument reopened = project::ProjectDocument::fromBytes(saved);
        QCOMPARE(reopened.mainScript().childElements().size(), size_t(3));
    }

    void aKilledLanguageFileWriteLeavesTheOldOrTheNewFile()
    {
        KillCounts counts;
        QByteArray written;
        killRepeatedly(QStringLiteral("language"), QStringLiteral("Language.ini"),
                       "[BUTTONS]\r\nbtn1=OK\r\nbtn2=Cancel\r\n", counts, written);
        if (QTest::currentTestFailed())
            return;
        checkKillsWereSpread(counts);
        const base::IniImage image = base::IniImage::fromBytes(written);
        QCOMPARE(image.readString(QStringLiteral("BUTTONS"), QStringLiteral("btn2"), {}), QStringLiteral("Cancel"));
        QCOMPARE(image.readString(QStringLiteral("FNCT"), QStringLiteral("fnct1"), {}),
                 QStringLiteral("Вывести сообщение в консоль"));
    }

    void aKilledServerPropertiesWriteLeavesTheOldOrTheNewFile()
    {
        QByteArray old = readFile(QStringLiteral(":/RESs/standartServerCNFG1"));
        old.replace("motd=Vorlune-PluginTest", "motd=A server of my own");
        old += "\r\nlevel-name=world\r\nlevel-seed=\r\nspawn-protection=16\r\n";
        KillCounts counts;
        QByteArray written;
        killRepeatedly(QStringLiteral("properties"), QStringLiteral("server.properties"), old, counts, written);
        if (QTest::currentTestFailed())
            return;
        checkKillsWereSpread(counts);
        QVERIFY(written.startsWith("motd=Vorlune-PluginTest\r\n"));
        QVERIFY(written.endsWith("spawn-protection=16\r\n"));
    }
};

VORLUNE_TEST(KilledWriteTest)
#include "KilledWriteTest.moc"
