#include "XSession.h"
#include "i18n/TextTable.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QMargins>
#include <QTest>

#include <optional>

using namespace vorlune;

namespace {

const QString kMainWindow = QStringLiteral("^Vorlune \\[");
constexpr QRect kMainOuter(450, 320, 689, 475);
constexpr int kTimeout = 10000; // generous: the sanitizer build starts slowly

#define REQUIRE_SESSION(session)                                                                                       \
    do {                                                                                                               \
        if (!(session).unavailable().isEmpty())                                                                        \
            QSKIP(qPrintable((session).unavailable()));                                                                \
    } while (false)

#define REQUIRE_WINDOW_MANAGER(session)                                                                                \
    do {                                                                                                               \
        const QString reason = (session).startWindowManager();                                                         \
        if (!reason.isEmpty())                                                                                         \
            QSKIP(qPrintable(reason));                                                                                 \
        QTRY_VERIFY2_WITH_TIMEOUT((session).windowManagerReady(), qPrintable((session).describe()), kTimeout);         \
    } while (false)

} // namespace

// The real application on an X display of its own: its outer size is the
// frame's, drawn by a window manager or by none.
class WindowFrameTest : public QObject {
    Q_OBJECT

    // Starts the application and waits for its main window to show.
    void startMainWindow(test::XSession &session, QString &window)
    {
        session.startApplication({});
        QTRY_VERIFY2_WITH_TIMEOUT(!session.windows(kMainWindow).isEmpty(), qPrintable(session.describe()), kTimeout);
        window = session.windows(kMainWindow).first();
    }

private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    // A 768-pixel screen: the window moves up just enough to show whole.
    void onASmallScreenTheWindowMovesUpToFit()
    {
        test::XSession session(QSize(1366, 768));
        REQUIRE_SESSION(session);
        QString window;
        startMainWindow(session, window);
        if (QTest::currentTestFailed())
            return;
        QTRY_COMPARE_WITH_TIMEOUT(session.outerGeometry(window), QRect(450, 293, 689, 475), kTimeout);
    }

    void withoutAWindowManagerTheInnerSizeIsTheOuterOne()
    {
        test::XSession session;
        REQUIRE_SESSION(session);
        QString window;
        startMainWindow(session, window);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(session.frameExtents(window), QMargins());
        QTRY_COMPARE_WITH_TIMEOUT(session.outerGeometry(window), kMainOuter, kTimeout);
    }

    void aFramedWindowKeepsItsOuterSize()
    {
        test::XSession session;
        REQUIRE_SESSION(session);
        REQUIRE_WINDOW_MANAGER(session);
        QString window;
        startMainWindow(session, window);
        if (QTest::currentTestFailed())
            return;
        // Until the title bar is drawn the outer size would pass unframed.
        QTRY_VERIFY_WITH_TIMEOUT(session.frameExtents(window).top() > 0, kTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(session.outerGeometry(window), kMainOuter, kTimeout);
    }

    void dialogsAreCentredFrameOnFrame()
    {
        test::XSession session;
        REQUIRE_SESSION(session);
        REQUIRE_WINDOW_MANAGER(session);
        QString window;
        startMainWindow(session, window);
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY_WITH_TIMEOUT(session.frameExtents(window).top() > 0, kTimeout);

        // The file menu, then the settings menu two to the right and its first entry: the run settings.
        session.click(window, QPoint(12, 8));
        QTRY_COMPARE_WITH_TIMEOUT(session.windows().size(), 2, kTimeout);
        session.pressKeys(
            {QStringLiteral("Right"), QStringLiteral("Right"), QStringLiteral("Down"), QStringLiteral("Return")});
        const QString title = QLatin1Char('^') + i18n::tx("TTL.ttl5") + QLatin1Char('$');
        QTRY_VERIFY_WITH_TIMEOUT(!session.windows(title).isEmpty(), kTimeout);
        const QString dialog = session.windows(title).first();
        QTRY_VERIFY_WITH_TIMEOUT(session.frameExtents(dialog).top() > 0, kTimeout);

        // Within a pixel: an odd difference of sizes has no exact centre.
        const auto offCentre = [&] {
            const QPoint distance = session.outerGeometry(dialog).center() - session.outerGeometry(window).center();
            return qMax(qAbs(distance.x()), qAbs(distance.y()));
        };
        const auto geometries = [&] {
            const QRect outer = session.outerGeometry(dialog);
            const QRect main = session.outerGeometry(window);
            return QStringLiteral("dialog %1,%2 %3x%4 over %5,%6 %7x%8")
                .arg(outer.x())
                .arg(outer.y())
                .arg(outer.width())
                .arg(outer.height())
                .arg(main.x())
                .arg(main.y())
                .arg(main.width())
                .arg(main.height());
        };
        QTRY_VERIFY2_WITH_TIMEOUT(offCentre() <= 1, qPrintable(geometries()), kTimeout);
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(WindowFrameTest)
#include "WindowFrameTest.moc"
