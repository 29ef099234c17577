#include "XSession.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

#include <optional>

using namespace vorlune;

// The real application started with the toolkit's own options among the
// words of a project path.
class CommandLineRunTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void toolkitOptionsStayInTheProjectPath()
    {
        constexpr int timeout = 10000;
        test::XSession session;
        if (!session.unavailable().isEmpty())
            QSKIP(qPrintable(session.unavailable()));
        // Both exist: a toolkit that took "-reverse" would open the second,
        // laid out right to left.
        const QByteArray project = test::readFile(test::kHelloProject);
        test::writeFile(m_env->path(QStringLiteral("a -reverse b.vlk")), project);
        test::writeFile(m_env->path(QStringLiteral("a b.vlk")), project);
        session.startApplication(
            {m_env->path(QStringLiteral("a")), QStringLiteral("-reverse"), QStringLiteral("b.vlk")});
        const QString mainWindow = QStringLiteral("^Vorlune \\[");
        QTRY_VERIFY2_WITH_TIMEOUT(!session.windows(mainWindow).isEmpty(), qPrintable(session.describe()), timeout);
        const QString window = session.windows(mainWindow).first();

        // Left to right: the file menu opens at the left end of the menu bar.
        session.click(window, QPoint(12, 8));
        QTRY_COMPARE_WITH_TIMEOUT(session.windows().size(), 2, timeout);
        QCOMPARE(session.windowTitle(window), QStringLiteral("Vorlune [a -reverse b.vlk] {TEST EDITION}"));
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(CommandLineRunTest)
#include "CommandLineRunTest.moc"
