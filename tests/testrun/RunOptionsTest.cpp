#include "testrun/RunOptions.h"
#include "base/Error.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace vorlune::testrun;
using vorlune::base::IniImage;

class RunOptionsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void booleanReading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("value");
        QTest::newRow("-1") << QStringLiteral("-1") << true;
        QTest::newRow("2") << QStringLiteral("2") << true;
        QTest::newRow("0") << QStringLiteral("0") << false;
        QTest::newRow("0.0") << QStringLiteral("0.0") << false;
        QTest::newRow("0.5") << QStringLiteral("0.5") << true;
        QTest::newRow("TRUE") << QStringLiteral("TRUE") << true;
        QTest::newRow("false") << QStringLiteral("false") << false;
    }
    void booleanReading()
    {
        QFETCH(QString, text);
        QFETCH(bool, value);
        QCOMPARE(parseBoolean(text), value);
    }

    void invalidBooleanNamesTheValue()
    {
        for (const QString &bad : {QStringLiteral("yes"), QString(), QStringLiteral("1x"), QStringLiteral("nan")}) {
            try {
                parseBoolean(bad);
                QFAIL(qPrintable(QStringLiteral("accepted ") + bad));
            } catch (const vorlune::Error &error) {
                QCOMPARE(error.text(), QStringLiteral("'%1' is not a valid boolean value").arg(bad));
            }
        }
        QCOMPARE(booleanText(true), QStringLiteral("-1"));
        QCOMPARE(booleanText(false), QStringLiteral("0"));
    }

    void setSettingKeepsExistingValuesAndAddsDefaults()
    {
        IniImage settings = IniImage::fromBytes("[run]\r\nDELETE_WORLDS = -1\r\ndelete_logs=yes\r\n[Mine]\r\na=b\r\n");
        ensureRunOptions(settings);
        QCOMPARE(settings.toBytes(),
                 QByteArray("\xEF\xBB\xBF[run]\r\ndelete_worlds=-1\r\ndelete_logs=yes\r\ndelete_crashs=-1\r\n"
                            "delete_players=-1\r\ndelete_plugins=0\r\n\r\n[Mine]\r\na=b\r\n\r\n"));
        QVERIFY(readRunOption(settings, QStringLiteral("delete_worlds")));
        QVERIFY_THROWS_EXCEPTION(vorlune::Error, readRunOption(settings, QStringLiteral("delete_logs")));
        writeRunOption(settings, QStringLiteral("delete_logs"), false);
        QVERIFY(!readRunOption(settings, QStringLiteral("delete_logs")));
    }
};

VORLUNE_TEST(RunOptionsTest)
#include "RunOptionsTest.moc"
