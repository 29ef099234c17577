#include "base/IniImage.h"
#include "build/CodeGenerator.h"
#include "i18n/ExtraTexts.h"
#include "project/PluginSettings.h"
#include "support/Programs.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace vorlune;

namespace {

// Texts that name their fault and show every filled placeholder.
const QByteArray kKeyTexts = "[VORLUNE]\r\n"
                             "check_main_namespace=namespace {main}\r\n"
                             "check_main_empty=empty {main}\r\n"
                             "check_main_character=character {character} in {part} of {main}\r\n"
                             "check_main_digit=digit {part} of {main}\r\n"
                             "check_main_keyword=keyword {part} of {main}\r\n"
                             "check_main_class=class {part} of {main}\r\n";

} // namespace

class MainClassNameTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { i18n::loadExtraTexts(base::IniImage::fromBytes(kKeyTexts)); }
    void cleanup() { i18n::loadExtraTexts(base::IniImage()); }

    // The build refuses what PHP or the server cannot load; the rest builds.
    void mainClassesPhpCannotLoadAreRefused_data()
    {
        QTest::addColumn<QString>("main");
        QTest::addColumn<QString>("refusal"); // empty: builds into the path
        QTest::addColumn<QString>("path");
        const auto refused = [](const char *tag, const QString &main, const QString &refusal) {
            QTest::newRow(tag) << main << refusal << QString();
        };
        const auto builds = [](const char *tag, const QString &main, const QString &path) {
            QTest::newRow(tag) << main << QString() << path;
        };
        builds("two parts", QStringLiteral("Plugin\\Main"), QStringLiteral("src/Plugin/Main.php"));
        builds("three parts", QStringLiteral("A\\B\\C"), QStringLiteral("src/A/B/C.php"));
        builds("digits and underscores", QStringLiteral("_1a\\b_2"), QStringLiteral("src/_1a/b_2.php"));
        builds("beyond ASCII", QStringLiteral("Плагин\\Главный"), QStringLiteral("src/Плагин/Главный.php"));
        builds("a type's name as namespace", QStringLiteral("String\\Main"), QStringLiteral("src/String/Main.php"));
        builds("keyword inside a name", QStringLiteral("Classic\\Listener"),
               QStringLiteral("src/Classic/Listener.php"));
        refused("no backslash", QStringLiteral("Main"), QStringLiteral("namespace Main"));
        refused("empty", QString(), QStringLiteral("namespace "));
        refused("leading backslash", QStringLiteral("\\Main"), QStringLiteral("empty \\Main"));
        refused("trailing backslash", QStringLiteral("Plugin\\"), QStringLiteral("empty Plugin\\"));
        refused("double backslash", QStringLiteral("A\\\\B"), QStringLiteral("empty A\\\\B"));
        refused("hyphen", QStringLiteral("My-Plug\\Main"),
                QStringLiteral("character \"-\" in My-Plug of My-Plug\\Main"));
        refused("star", QStringLiteral("Plugin\\Ma*in"), QStringLiteral("character \"*\" in Ma*in of Plugin\\Ma*in"));
        refused("dot", QStringLiteral("Plugin\\Main.php"),
                QStringLiteral("character \".\" in Main.php of Plugin\\Main.php"));
        refused("dot dot", QStringLiteral("..\\Main"), QStringLiteral("character \".\" in .. of ..\\Main"));
        refused("slash", QStringLiteral("a/b\\Main"), QStringLiteral("character \"/\" in a/b of a/b\\Main"));
        refused("space", QStringLiteral("Plugin\\Ma in"), QStringLiteral("character \" \" in Ma in of Plugin\\Ma in"));
        refused("control character", QStringLiteral("Plug\nin\\Main"),
                QStringLiteral("character U+000A in Plug\nin of Plug\nin\\Main"));
        refused("leading digit", QStringLiteral("1st\\Main"), QStringLiteral("digit 1st of 1st\\Main"));
        refused("keyword as class", QStringLiteral("Foo\\List"), QStringLiteral("keyword List of Foo\\List"));
        refused("keyword any case", QStringLiteral("Plugin\\eCHO"), QStringLiteral("keyword eCHO of Plugin\\eCHO"));
        refused("keyword as namespace", QStringLiteral("Function\\Main"),
                QStringLiteral("keyword Function of Function\\Main"));
        refused("type as class", QStringLiteral("Plugin\\String"), QStringLiteral("class String of Plugin\\String"));
        refused("int", QStringLiteral("A\\Int"), QStringLiteral("class Int of A\\Int"));
        refused("self", QStringLiteral("A\\Self"), QStringLiteral("class Self of A\\Self"));
    }
    void mainClassesPhpCannotLoadAreRefused()
    {
        QFETCH(QString, main);
        QFETCH(QString, refusal);
        QFETCH(QString, path);
        QCOMPARE(test::errorOf([&] { QCOMPARE(build::classFilePath(main), path); }), refusal);
    }

    // Whatever the settings editor lets through and PHP can load still builds.
    void everyCharacterPhpTakesStillBuilds()
    {
        const QString allowed = QStringLiteral("0987654321abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_");
        for (const QChar c : allowed) {
            const QString main = QStringLiteral("X") + c + QStringLiteral("\\Y") + c;
            QVERIFY2(project::isValidMain(main), qPrintable(main));
            QCOMPARE(build::classFilePath(main), QStringLiteral("src/X%1/Y%1.php").arg(c));
        }
    }
};

VORLUNE_TEST(MainClassNameTest)
#include "MainClassNameTest.moc"
