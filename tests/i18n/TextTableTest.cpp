#include "i18n/TextTable.h"
#include "base/Error.h"
#include "base/IniImage.h"
#include "i18n/Placeholder.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

#include <optional>

using namespace vorlune;
using vorlune::base::IniImage;

class TextTableTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void partialFileKeepsItsOrderAndGainsTheRest()
    {
        IniImage language = IniImage::fromBytes("\xEF\xBB\xBF; old comment\r\n[msg]\r\nMSG10=Done!\r\n"
                                                "custom=kept\r\n[buttons]\r\nBTN1=\r\n");
        i18n::TextTable table;
        table.GetStringsLanguage(language, m_env->path(QStringLiteral("Language.ini")));

        QCOMPARE(table.text("MSG.msg10"), QStringLiteral("Done!"));
        QCOMPARE(table.text("BUTTONS.btn1"), QString()); // present but empty: no default
        QCOMPARE(table.text("MSG.msg11"), QStringLiteral("Нет права на запись в эту директорию!"));

        const IniImage written = IniImage::load(m_env->path(QStringLiteral("Language.ini")));
        QStringList expectedMsgKeys{QStringLiteral("msg10"), QStringLiteral("custom")};
        for (int i = 1; i <= 14; ++i) {
            if (i != 10)
                expectedMsgKeys << QStringLiteral("msg%1").arg(i);
        }
        QCOMPARE(written.keys(QStringLiteral("MSG")), expectedMsgKeys);
        QCOMPARE(
            written.sectionNames(),
            QStringList({QStringLiteral("msg"), QStringLiteral("buttons"), QStringLiteral("RDOBTN"),
                         QStringLiteral("TTL"), QStringLiteral("MENU"), QStringLiteral("CNFG"), QStringLiteral("EVNT"),
                         QStringLiteral("OTHR"), QStringLiteral("RSRS"), QStringLiteral("PGS"), QStringLiteral("FNCT"),
                         QStringLiteral("VLS"), QStringLiteral("CHC"), QStringLiteral("CKBOX")}));
        QCOMPARE(written.keys(QStringLiteral("BUTTONS")).first(), QStringLiteral("btn1"));
        QVERIFY(!test::readFile(m_env->path(QStringLiteral("Language.ini"))).contains("comment"));
    }

    void unwritableLanguageFileIsAnError()
    {
        IniImage language;
        i18n::TextTable table;
        QVERIFY_THROWS_EXCEPTION(vorlune::Error,
                                 table.GetStringsLanguage(language, m_env->path(QStringLiteral("none/Language.ini"))));
        // The texts were still loaded.
        QCOMPARE(table.text("OTHR.othr1"), QStringLiteral("Новый плагин"));
    }

    void placeholderFilling()
    {
        using i18n::setTextIntoVarInString;
        const QString name = QStringLiteral("name");
        QCOMPARE(setTextIntoVarInString(QStringLiteral("a {name} b {name}"), name, QStringLiteral("X")),
                 QStringLiteral("a X b X"));
        QCOMPARE(setTextIntoVarInString(QStringLiteral("{Name} {nam}"), name, QStringLiteral("X")),
                 QStringLiteral("{Name} {nam}"));
        // A value holding the placeholder ends and is inserted as it is.
        QCOMPARE(setTextIntoVarInString(QStringLiteral("<{name}>"), name, QStringLiteral("{name}{name}")),
                 QStringLiteral("<{name}{name}>"));
        QCOMPARE(setTextIntoVarInString(QStringLiteral("{{name}}"), name, QStringLiteral("name")),
                 QStringLiteral("{name}"));
        QCOMPARE(setTextIntoVarInString(QStringLiteral("{name}"), name, QString()), QString());
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(TextTableTest)
#include "TextTableTest.moc"
