#include "script/EventRegistry.h"
#include "base/IniImage.h"
#include "i18n/TextTable.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

#include <optional>

using namespace vorlune;
using namespace vorlune::script;
using vorlune::test::TestEnvironment;

namespace {

void setText(const char *key, i18n::TextId id, const QString &value)
{
    base::IniImage image;
    image.writeString(QStringLiteral("EVNT"), QLatin1String(key), value);
    i18n::texts().GetStringFromLanguage(image, QStringLiteral("EVNT"), QLatin1String(key), QString(), id.slot());
}

} // namespace

class EventRegistryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void lookupsFollowTheEventTable()
    {
        QCOMPARE(getEventId(QStringLiteral("При Включении Плагина")), QStringLiteral("ev_1"));
        QCOMPARE(getEventId(QStringLiteral("При Загрузке Плагина")), QStringLiteral("ev_2"));
        QCOMPARE(getEventId(QStringLiteral("При Выключении Плагина")), QStringLiteral("ev_3"));
        QCOMPARE(getEventFromId(QStringLiteral("ev_3")), QStringLiteral("При Выключении Плагина"));
        // Icons are not in event-number order.
        QCOMPARE(getImageIdFromId(QStringLiteral("ev_1")), 1);
        QCOMPARE(getImageIdFromId(QStringLiteral("ev_2")), 3);
        QCOMPARE(getImageIdFromId(QStringLiteral("ev_3")), 2);
        QCOMPARE(getFunctionNameFromId(QStringLiteral("ev_1")), QStringLiteral("onEnable"));
        QCOMPARE(getFunctionNameFromId(QStringLiteral("ev_2")), QStringLiteral("onLoad"));
        QCOMPARE(getFunctionNameFromId(QStringLiteral("ev_3")), QStringLiteral("onDisable"));
    }

    void unmatchedInputsSelectNothing()
    {
        const QStringList ids{QStringLiteral("EV_1"), QStringLiteral("ev_1 "), QStringLiteral("ev_29"),
                              QStringLiteral("ev_0"), QString()};
        for (const QString &id : ids) {
            QVERIFY2(getEventFromId(id).isEmpty(), qPrintable(id));
            QCOMPARE(getImageIdFromId(id), -1);
            QVERIFY(getFunctionNameFromId(id).isEmpty());
        }
        // Untrimmed and case-sensitive; the empty answer is not an event id.
        QCOMPARE(getEventId(QStringLiteral("При Загрузке Плагина ")), QString());
        QCOMPARE(getEventId(QStringLiteral("при загрузке плагина")), QString());
        QVERIFY(!eventNumber(getEventId(QStringLiteral("nothing"))));
    }

    void eventNumberAcceptsOnlyPlainDecimalsUpTo100()
    {
        QCOMPARE(eventNumber(QStringLiteral("ev_1")), std::optional<int>(1));
        QCOMPARE(eventNumber(QStringLiteral("ev_2")), std::optional<int>(2));
        QCOMPARE(eventNumber(QStringLiteral("ev_3")), std::optional<int>(3));
        QCOMPARE(eventNumber(QStringLiteral("ev_0")), std::optional<int>(0));
        QCOMPARE(eventNumber(QStringLiteral("ev_100")), std::optional<int>(100));
        const QStringList invalid{
            QStringLiteral("ev_101"),    QStringLiteral("ev_-1"),   QStringLiteral("ev_1x"),
            QStringLiteral("ev_"),       QStringLiteral("ev_+1"),   QStringLiteral("ev_ 1"),
            QStringLiteral("ev_01"),     QStringLiteral("ev_1000"), QStringLiteral("ev_4294967297"),
            QStringLiteral("xx_1"),      QStringLiteral("Ev_1"),
            QStringLiteral("ev_\u0661"), // ARABIC-INDIC DIGIT ONE
            QStringLiteral("ev_\uFF11"), // FULLWIDTH DIGIT ONE
        };
        for (const QString &id : invalid)
            QVERIFY2(!eventNumber(id).has_value(), qPrintable(id));
    }

    void displayNamesFollowTheCurrentLanguage()
    {
        setText("evnt1", "EVNT.evnt1", QStringLiteral("On Enable"));
        QCOMPARE(getEventFromId(QStringLiteral("ev_1")), QStringLiteral("On Enable"));
        QCOMPARE(getEventId(QStringLiteral("On Enable")), QStringLiteral("ev_1"));
        QCOMPARE(getEventId(QStringLiteral("При Включении Плагина")), QString());

        // Two events sharing a name both resolve to the lower id.
        setText("evnt3", "EVNT.evnt3", QStringLiteral("On Enable"));
        QCOMPARE(getEventId(QStringLiteral("On Enable")), QStringLiteral("ev_1"));
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(EventRegistryTest)
#include "EventRegistryTest.moc"
