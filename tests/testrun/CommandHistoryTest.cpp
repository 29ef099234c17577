#include "testrun/CommandHistory.h"
#include "support/TestRegistry.h"

#include <QTest>

using vorlune::testrun::CommandHistory;

class CommandHistoryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void browsingComesBackToTheDraft()
    {
        CommandHistory history(3);
        QVERIFY(!history.previous(QStringLiteral("x")));
        for (const char *line : {"a", "b", "", "b", "c", "d"})
            history.add(QLatin1String(line));
        // Empty lines and repeats are not kept; the oldest fell out of the limit.
        QCOMPARE(history.previous(QStringLiteral("draft")), QStringLiteral("d"));
        QCOMPARE(history.previous(QStringLiteral("d")), QStringLiteral("c"));
        QCOMPARE(history.previous(QStringLiteral("c")), QStringLiteral("b"));
        QVERIFY(!history.previous(QStringLiteral("b")));
        QCOMPARE(history.next(), QStringLiteral("c"));
        QCOMPARE(history.next(), QStringLiteral("d"));
        QCOMPARE(history.next(), QStringLiteral("draft"));
        QVERIFY(!history.next());
        // Sending ends browsing: Up starts again at the newest line.
        history.previous(QString());
        history.add(QStringLiteral("e"));
        QCOMPARE(history.previous(QString()), QStringLiteral("e"));
    }
};

VORLUNE_TEST(CommandHistoryTest)
#include "CommandHistoryTest.moc"
