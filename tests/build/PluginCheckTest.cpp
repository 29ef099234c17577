#include "build/PluginCheck.h"
#include "base/IniImage.h"
#include "i18n/ExtraTexts.h"
#include "project/ProjectDocument.h"
#include "support/ScriptParts.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

#include <optional>

using namespace vorlune;
using vorlune::project::PluginSettings;
using vorlune::project::ProjectDocument;
using vorlune::test::TestEnvironment;

namespace {

// Texts that name their finding and show every filled placeholder.
const QByteArray kKeyTexts = "[VORLUNE]\r\n"
                             "check_effect_skip=skip\r\n"
                             "check_effect_stop=stop\r\n"
                             "check_name_characters=characters {name}, {effect}\r\n"
                             "check_name_reserved=reserved {word} in {name}, {effect}\r\n"
                             "check_name_spaces=spaces {name} as {loaded}\r\n"
                             "check_main_reserved=main {main}, {effect}\r\n"
                             "check_main_digit=digit {part} of {main}\r\n"
                             "check_api_number=number {api}\r\n"
                             "check_api_old=old {api}\r\n"
                             "check_api_form=form {api} like {example}\r\n"
                             "check_api_suffix=suffix {api} like {example}\r\n"
                             "check_api_newer=newer {api}\r\n"
                             "check_load=load {load}, {effect}\r\n"
                             "check_message_escape=escape {event}: {text} prints {printed}\r\n"
                             "check_message_value=value {event}: {text} prints {value}\r\n"
                             "check_placeholder=not given {placeholder}\r\n"
                             "check_placeholder_unknown=unknown {placeholder}\r\n";

PluginSettings fineSettings()
{
    return {QStringLiteral("Plugin"),     QStringLiteral("Plugin\\Main"), QStringLiteral("1.0.0"),
            QStringLiteral("3.0.0"),      QStringLiteral("me"),           QStringLiteral("POSTWORLD"),
            QStringLiteral("example.com")};
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
    void init()
    {
        i18n::loadExtraTexts(base::IniImage::fromBytes(kKeyTexts));
        m_env.emplace();
    }
    void cleanup()
    {
        m_env.reset();
        i18n::loadExtraTexts(base::IniImage());
    }

    void settingsFindings_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("main");
        QTest::addColumn<QString>("api");
        QTest::addColumn<QString>("load");
        QTest::addColumn<QStringList>("expected");
        const QString P = QStringLiteral("Plugin"), M = QStringLiteral("Plugin\\Main"), A = QStringLiteral("3.0.0"),
                      L = QStringLiteral("POSTWORLD");
        const auto none = QStringList();
        const auto one = [](const char *text) { return QStringList{QString::fromUtf8(text)}; };
        QTest::newRow("all fine") << P << M << A << L << none;
        QTest::newRow("every allowed character")
            << QStringLiteral("My-Plugin_2.0") << M << QStringLiteral("5.19.0") << QStringLiteral("startup") << none;
        QTest::newRow("a YAML Boolean, now quoted") << QStringLiteral("N") << M << A << L << none;
        QTest::newRow("spaces become underscores")
            << QStringLiteral("My  Plugin") << M << A << L << one("spaces My  Plugin as My__Plugin");
        QTest::newRow("letter beyond ASCII, API 3 skips")
            << QStringLiteral("Plügin") << M << A << L << one("characters Plügin, skip");
        QTest::newRow("empty name, API 5 stops")
            << QString() << M << QStringLiteral("5.0.0") << L << one("characters , stop");
        QTest::newRow("placeholder in the value stays")
            << QStringLiteral("a{word}") << M << A << L << one("characters a{word}, skip");
        QTest::newRow("reserved word, any case") << QStringLiteral("MyPocketMineTools") << M << A << L
                                                 << one("reserved pocketmine in MyPocketMineTools, skip");
        QTest::newRow("reserved and a bad character")
            << QStringLiteral("Minecraft!") << M << QStringLiteral("4.0.0") << L
            << QStringList{QStringLiteral("characters Minecraft!, stop"),
                           QStringLiteral("reserved minecraft in Minecraft!, stop")};
        QTest::newRow("server's namespace")
            << P << QStringLiteral("PocketMine\\Main") << A << L << one("main PocketMine\\Main, skip");
        QTest::newRow("namespace merely starting alike")
            << P << QStringLiteral("pocketmineplus\\Main") << A << L << none;
        QTest::newRow("main PHP cannot load")
            << P << QStringLiteral("1st\\Main") << A << L << one("digit 1st of 1st\\Main");
        QTest::newRow("API 3 pads short forms") << P << M << QStringLiteral("3") << L << none;
        QTest::newRow("API 3 pads 3.0") << P << M << QStringLiteral("3.0") << L << none;
        QTest::newRow("the last API 3 server") << P << M << QStringLiteral("3.28.0") << L << none;
        QTest::newRow("after the last API 3 server") << P << M << QStringLiteral("3.28.1") << L << one("newer 3.28.1");
        QTest::newRow("API 3 minor beyond") << P << M << QStringLiteral("3.29") << L << one("newer 3.29");
        QTest::newRow("API 3 with a suffix")
            << P << M << QStringLiteral("3.1.0-beta") << L << one("suffix 3.1.0-beta like 3.1.0");
        QTest::newRow("API 5 with a suffix") << P << M << QStringLiteral("5.0.0-beta") << L << none;
        QTest::newRow("API 4 short") << P << M << QStringLiteral("4.0") << L << one("form 4.0 like 4.0.0");
        QTest::newRow("API 5 of four numbers")
            << P << M << QStringLiteral("5.0.0.1") << L << one("form 5.0.0.1 like 5.0.0");
        QTest::newRow("empty api") << P << M << QString() << L << one("number ");
        QTest::newRow("api 1") << P << M << QStringLiteral("1.0.0") << L << one("old 1.0.0");
        QTest::newRow("api 2, short") << P << M << QStringLiteral("2.1") << L << one("old 2.1");
        QTest::newRow("api 10 is not 1") << P << M << QStringLiteral("10.0.0") << L << none;
        QTest::newRow("unknown load order") << P << M << A << QStringLiteral("LATER") << one("load LATER, skip");
        QTest::newRow("in order name, main, api, load")
            << QStringLiteral("Mojang?") << QStringLiteral("pocketmine\\X") << QStringLiteral("5") << QString()
            << QStringList{QStringLiteral("characters Mojang?, stop"),
                           QStringLiteral("reserved mojang in Mojang?, stop"),
                           QStringLiteral("main pocketmine\\X, stop"), QStringLiteral("form 5 like 5.0.0"),
                           QStringLiteral("load , stop")};
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
        const auto one = [](const char *text) {
            return QStringList{
                QString::fromUtf8(text).replace(QLatin1String("EV"), QStringLiteral("При Включении Плагина"))};
        };
        QTest::newRow("plain") << QStringLiteral("Hello, world") << QStringList();
        // Escaped by the build, so they print as typed.
        QTest::newRow("quote, backslash, variables") << QStringLiteral("say \"hi\" $x {$y} C:\\dir\\") << QStringList();
        QTest::newRow("unknown escape prints as typed") << QStringLiteral("\\d\\q") << QStringList();
        QTest::newRow("PHP escapes") << QStringLiteral("C:\\new\\table\\x41\\\\")
                                     << one("escape EV: C:\\new\\table\\x41\\\\ prints C:␊ew␉ableA\\");
        QTest::newRow("a call on the plugin") << QStringLiteral("I am {$this->getName()}!")
                                              << one("value EV: I am {$this->getName()}! prints {$this->getName()}");
        QTest::newRow("both") << QStringLiteral("\\t{$this->a()}{$this->b()}")
                              << one("escape EV: \\t{$this->a()}{$this->b()} prints ␉{$this->a()}{$this->b()}") +
                                     one("value EV: \\t{$this->a()}{$this->b()} prints {$this->a()}, {$this->b()}");
        const QString cut = QString(119, u'x') + QChar(0x2026);
        QTest::newRow("long text is cut")
            << QString(200, u'x') + QStringLiteral("\\n")
            << QStringList{QStringLiteral("escape При Включении Плагина: ") + cut + QStringLiteral(" prints ") + cut};
    }
    void messageFindings()
    {
        QFETCH(QString, message);
        QFETCH(QStringList, expected);
        ProjectDocument document = withMessage(QStringLiteral("ev_1"), QStringLiteral("1"), message);
        QCOMPARE(build::checkPlugin(document), expected);
    }

    // A placeholder the event does not give and one that does not exist are
    // told apart; one the event gives is no finding.
    void placeholderFindingsNameTheCause()
    {
        ProjectDocument document =
            withMessage(QStringLiteral("ev_1"), QStringLiteral("3"), QStringLiteral("{online} {player} {nope}"));
        QCOMPARE(build::checkPlugin(document),
                 (QStringList{QStringLiteral("not given {player}"), QStringLiteral("unknown {nope}")}));
    }

    void onlyGeneratedMessagesAreChecked()
    {
        ProjectDocument otherAction = withMessage(QStringLiteral("ev_1"), QStringLiteral("99"), QStringLiteral("\\n"));
        QCOMPARE(build::checkPlugin(otherAction), QStringList());
        ProjectDocument unknownEvent = withMessage(QStringLiteral("ev_29"), QStringLiteral("1"), QStringLiteral("\\n"));
        QCOMPARE(build::checkPlugin(unknownEvent), QStringList());
        ProjectDocument disabled = withMessage(QStringLiteral("ev_3"), QStringLiteral("1"), QStringLiteral("\\t"));
        QCOMPARE(build::checkPlugin(disabled),
                 QStringList{QStringLiteral("escape При Выключении Плагина: \\t prints ␉")});
        ProjectDocument empty;
        QCOMPARE(build::checkPlugin(empty).size(), 4); // name, main, api and load of nothing
    }

    // The example's api is a new project's default, which today's servers refuse.
    void exampleHasOnlyTheApiFinding()
    {
        i18n::loadExtraTexts(base::IniImage());
        ProjectDocument document = ProjectDocument::fromBytes(test::readFile(test::kHelloProject));
        QCOMPARE(build::checkPlugin(document),
                 QStringList{QStringLiteral("Версия API \"1.0.0\" подходит только старым серверам API 1 и 2: серверы "
                                            "API 3 и новее не загрузят плагин. Впишите в настройках плагина версию API "
                                            "своего сервера: 3.0.0, 4.0.0 или 5.0.0.")});
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(PluginCheckTest)
#include "PluginCheckTest.moc"
