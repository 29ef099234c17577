#include "base/ScreenFit.h"
#include "support/TestRegistry.h"

#include <QTest>

using vorlune::base::fitOnScreen;

class ScreenFitTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void windowsMoveTheLeastToFit_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QPoint>("corner");
        const QRect wide(0, 0, 1280, 900), small(0, 0, 1366, 768);
        QTest::newRow("fits where it is") << QRect(450, 320, 689, 475) << wide << QPoint(450, 320);
        QTest::newRow("off the bottom") << QRect(450, 320, 689, 475) << small << QPoint(450, 293);
        QTest::newRow("off the right and bottom") << QRect(900, 700, 689, 475) << small << QPoint(677, 293);
        QTest::newRow("above and left of the area")
            << QRect(-50, -10, 300, 200) << QRect(100, 30, 800, 600) << QPoint(100, 30);
        QTest::newRow("taller than the screen") << QRect(10, 100, 300, 900) << small << QPoint(10, 0);
        QTest::newRow("exactly the screen") << QRect(0, 0, 1366, 768) << small << QPoint(0, 0);
    }
    void windowsMoveTheLeastToFit()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, screen);
        QFETCH(QPoint, corner);
        QCOMPARE(fitOnScreen(frame, screen), corner);
    }
};

VORLUNE_TEST(ScreenFitTest)
#include "ScreenFitTest.moc"
