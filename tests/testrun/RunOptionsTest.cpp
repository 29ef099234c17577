#include "testrun/RunOptions.h"
#include "base/Error.h"
#include "support/TestRegistry.h"

#include <QSet>
#include <QTest>

#include <stdexcept>

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
        QVERIFY(readRunOption(settings, RunKey::DeleteWorlds));
        QVERIFY_THROWS_EXCEPTION(vorlune::Error, readRunOption(settings, RunKey::DeleteLogs));
        writeRunOption(settings, RunKey::DeleteLogs, false);
        QVERIFY(!readRunOption(settings, RunKey::DeleteLogs));
        QCOMPARE(readRunText(settings, RunKey::CoreFeed), QString()); // never written at start
        settings.writeString(kRunSection, QStringLiteral("core_feed"), QStringLiteral(" https://feed.example/ "));
        QCOMPARE(readRunText(settings, RunKey::CoreFeed), QStringLiteral("https://feed.example/"));
    }

    // Keys are read through the table only; a key without its row, or a
    // text read as an option, is caught here rather than read as "0".
    void everyKeyHasItsRow()
    {
        QSet<QString> names;
        for (int value = 0; value <= int(RunKey::CoreFeed); ++value) {
            const auto key = RunKey(value);
            QCOMPARE(int(runSetting(key).key), value);
            QVERIFY(!names.contains(runKeyName(key)));
            names.insert(runKeyName(key));
            const IniImage empty;
            if (runSetting(key).isOption)
                QCOMPARE(readRunOption(empty, key), parseBoolean(QLatin1String(runSetting(key).defaultValue)));
            else
                QVERIFY_THROWS_EXCEPTION(std::logic_error, readRunOption(empty, key));
        }
        QCOMPARE(names.size(), int(kRunSettings.size()));
        QVERIFY_THROWS_EXCEPTION(std::logic_error, runSetting(RunKey(int(kRunSettings.size()))));
    }
};

VORLUNE_TEST(RunOptionsTest)
#include "RunOptionsTest.moc"
