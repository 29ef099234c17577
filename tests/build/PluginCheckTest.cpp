#include "base/IniImage.h"
#include "build/PluginCheck.h"
#include "i18n/ExtraTexts.h"
#include "project/ProjectDocument.h"
#include "support/Programs.h"
#include "support/ScriptParts.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace vorlune;
using vorlune::project::PluginSettings;
using vorlune::project::ProjectDocument;
using vorlune::test::TestEnvironment;

namespace {

// Texts that name their finding and show every filled placeholder.
const QByteArray kKeyTexts = "[VORLUNE]\r\n"
                             "check_name_characters=characters {name}\r\n"
                             "check_name_reserved=reserved {word} in {name}\r\n"
                             "check_main_reserved=main {main}\r\n"
                             "check_api_form=form {api}\r\n"
                             "check_api_old=old {api}\r\n"
                             "check_load=load {load}\r\n"
                             "check_message_quote=quote {event}: {text}\r\n"
                             "check_message_backslash=backslash {event}: {text}\r\n"
                             "check_message_variable=variable {variable} {event}: {text}\r\n";

PluginSettings fineSettings()
{
    return {QStringLiteral("Plugin"), QStringLiteral("Plugin\\Main"), QStringLiteral("1.0.0"), QStringLiteral("3.0.0"),
            QStringLiteral("me"),     QStringLiteral("POSTWORLD"),    QStringLiteral("example.com")};
}

ProjectDocument withMessage(const QString &event, const QString &actionId, const QString &message)
{
    ProjectDocument document = ProjectDocument::newProject();
    fineSettings().writeTo(document.settings());
    test::addMessage(document, event, message, actionId);
    return document;
}

} // namespace

class PluginCheckTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { i18n::loadExtraTexts(base::IniImage::fromBytes(kKeyTexts)); }
    void cleanup() { i18n::loadExtraTexts(base::IniImage()); }

    void settingsFindings_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("main");
        QTest::addColumn<QString>("api");
        QTest::addColumn<QString>("load");
        QTest::addColumn<QStringList>("expected");
        const QString P = QStringLiteral("Plugin"), M = QStringLiteral("Plugin\\Main"), A = QStringLiteral("3.0.0"),
                      L = QStringLiteral("POSTWORLD");
        QTest::newRow("all fine") << P << M << A << L << QStringList();
        QTest::newRow("every allowed character") << QStringLiteral("My-Plugin_2.0 x") << M << QStringLiteral("5.19.0")
                                                 << QStringLiteral("startup") << QStringList();
        QTest::newRow("a YAML Boolean, now quoted") << QStringLiteral("N") << M << A << L << QStringList();
        QTest::newRow("letter beyond ASCII") << QStringLiteral("Plügin") << M << A << L
                                             << QStringList{QStringLiteral("characters Plügin")};
        QTest::newRow("empty name") << QString() << M << A << L << QStringList{QStringLiteral("characters ")};
        QTest::newRow("placeholder in the value stays") << QStringLiteral("a{word}") << M << A << L
                                                        << QStringList{QStringLiteral("characters a{word}")};
        QTest::newRow("reserved word, any case") << QStringLiteral("MyPocketMineTools") << M << A << L
                                                 << QStringList{QStringLiteral("reserved pocketmine in MyPocketMineTools")};
        QTest::newRow("reserved and a bad character")
            << QStringLiteral("Minecraft!") << M << A << L
            << QStringList{QStringLiteral("characters Minecraft!"), QStringLiteral("reserved minecraft in Minecraft!")};
        QTest::newRow("mojang") << QStringLiteral("xMOJANGx") << M << A << L
                                << QStringList{QStringLiteral("reserved mojang in xMOJANGx")};
        QTest::newRow("server's namespace") << P << QStringLiteral("PocketMine\\Main") << A << L
                                            << QStringList{QStringLiteral("main PocketMine\\Main")};
        QTest::newRow("namespace merely starting alike") << P << QStringLiteral("pocketmineplus\\Main") << A << L
                                                         << QStringList();
        QTest::newRow("api of two numbers") << P << M << QStringLiteral("3.0") << L
                                            << QStringList{QStringLiteral("form 3.0")};
        QTest::newRow("api of four numbers") << P << M << QStringLiteral("3.0.0.1") << L
                                             << QStringList{QStringLiteral("form 3.0.0.1")};
        QTest::newRow("empty api") << P << M << QString() << L << QStringList{QStringLiteral("form ")};
        QTest::newRow("api 1") << P << M << QStringLiteral("1.0.0") << L << QStringList{QStringLiteral("old 1.0.0")};
        QTest::newRow("api 2, short") << P << M << QStringLiteral("2.1") << L
                                      << QStringList{QStringLiteral("form 2.1"), QStringLiteral("old 2.1")};
        QTest::newRow("api 10 is not 1") << P << M << QStringLiteral("10.0.0") << L << QStringList();
        QTest::newRow("unknown load order") << P << M << A << QStringLiteral("LATER")
                                            << QStringList{QStringLiteral("load LATER")};
        QTest::newRow("in order name, main, api, load")
            << QStringLiteral("Mojang?") << QStringLiteral("pocketmine\\X") << QStringLiteral("2") << QString()
            << QStringList{QStringLiteral("characters Mojang?"), QStringLiteral("reserved mojang in Mojang?"),
                           QStringLiteral("main pocketmine\\X"),  QStringLiteral("form 2"),
                           QStringLiteral("old 2"),               QStringLiteral("load ")};
    }
    void settingsFindings()
    {
        QFETCH(QString, name);
        QFETCH(QString, main);
        QFETCH(QString, api);
        QFETCH(QString, load);
        QFETCH(QStringList, expected);
        PluginSettings settings = fineSettings();
        settings.name = name;
        settings.main = main;
        settings.api = api;
        settings.loading = load;
        QCOMPARE(build::checkPlugin(settings, project::XmlElement()), expected);
    }

    void messageFindings_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("expected");
        const auto one = [](const QString &kind, const QString &message) {
            return QStringList{kind + QStringLiteral(" При Включении Плагина: ") + message};
        };
        QTest::newRow("plain") << QStringLiteral("Hello, world") << QStringList();
        QTest::newRow("double quote") << QStringLiteral("say \"hi\"") << one(QStringLiteral("quote"), QStringLiteral("say \"hi\""));
        QTest::newRow("escaped quotes") << QStringLiteral("say \\\"hi\\\"") << QStringList();
        QTest::newRow("trailing backslash") << QStringLiteral("ends\\") << one(QStringLiteral("backslash"), QStringLiteral("ends\\"));
        QTest::newRow("escaped trailing backslash") << QStringLiteral("ends\\\\") << QStringList();
        QTest::newRow("three trailing backslashes") << QStringLiteral("ends\\\\\\")
                                                    << one(QStringLiteral("backslash"), QStringLiteral("ends\\\\\\"));
        QTest::newRow("quote and backslash")
            << QStringLiteral("a\"b\\")
            << one(QStringLiteral("quote"), QStringLiteral("a\"b\\")) + one(QStringLiteral("backslash"), QStringLiteral("a\"b\\"));
        QTest::newRow("dollar before a digit") << QStringLiteral("costs $5") << QStringList();
        QTest::newRow("lone dollar") << QStringLiteral("$") << QStringList();
        QTest::newRow("undefined variable") << QStringLiteral("hi $player!")
                                            << one(QStringLiteral("variable player"), QStringLiteral("hi $player!"));
        QTest::newRow("braced variable") << QStringLiteral("{$name}") << one(QStringLiteral("variable name"), QStringLiteral("{$name}"));
        QTest::newRow("dollar-brace variable") << QStringLiteral("${x1}") << one(QStringLiteral("variable x1"), QStringLiteral("${x1}"));
        QTest::newRow("the plugin itself") << QStringLiteral("I am $this") << QStringList();
        QTest::newRow("escaped dollar") << QStringLiteral("\\$y") << QStringList();
    }
    void messageFindings()
    {
        QFETCH(QString, message);
        QFETCH(QStringList, expected);
        TestEnvironment env;
        ProjectDocument document = withMessage(QStringLiteral("ev_1"), QStringLiteral("1"), message);
        QCOMPARE(build::checkPlugin(document), expected);
    }

    void onlyGeneratedMessagesAreChecked()
    {
        TestEnvironment env;
        ProjectDocument otherAction = withMessage(QStringLiteral("ev_1"), QStringLiteral("2"), QStringLiteral("\""));
        QCOMPARE(build::checkPlugin(otherAction), QStringList());
        ProjectDocument unknownEvent = withMessage(QStringLiteral("ev_9"), QStringLiteral("1"), QStringLiteral("\""));
        QCOMPARE(build::checkPlugin(unknownEvent), QStringList());
        ProjectDocument disabled = withMessage(QStringLiteral("ev_3"), QStringLiteral("1"), QStringLiteral("$y"));
        QCOMPARE(build::checkPlugin(disabled), QStringList{QStringLiteral("variable y При Выключении Плагина: $y")});
        ProjectDocument empty;
        QCOMPARE(build::checkPlugin(empty).size(), 3); // name, api and load of nothing
    }

    // The example's api is a new project's default, which today's servers refuse.
    void exampleHasOnlyTheApiFinding()
    {
        TestEnvironment env;
        i18n::loadExtraTexts(base::IniImage());
        ProjectDocument document = ProjectDocument::fromBytes(test::readFile(test::kHelloProject));
        QCOMPARE(build::checkPlugin(document),
                 QStringList{QStringLiteral("Версия API \"1.0.0\" подходит только серверам API 1 и 2: серверы API 3 "
                                            "и новее откажутся загружать плагин.")});
    }
};

VORLUNE_TEST(PluginCheckTest)
#include "PluginCheckTest.moc"
