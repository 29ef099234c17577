#include "project/PluginSettings.h"
#include "i18n/TextTable.h"
#include "project/ProjectDocument.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace vorlune;
using namespace vorlune::project;

class PluginSettingsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void versionRule()
    {
        const QString digits = QStringLiteral("0123456789.");
        for (const char *good : {"1.0.0", "2", "10.20", "1..0"})
            QVERIFY2(isValidVersion(QLatin1String(good), digits), good);
        for (const char *bad : {"", ".1", "1.", "1.0a", "1,0", "."})
            QVERIFY2(!isValidVersion(QLatin1String(bad), digits), bad);
    }

    void mainRule()
    {
        for (const char *good : {"Plugin\\Main", "a\\b\\c", "1\\2", "My-Plug_1\\Main"})
            QVERIFY2(isValidMain(QLatin1String(good)), good);
        for (const char *bad :
             {"", "Main", "\\Plugin\\Main", "Plugin\\", "Plugin\\\\Main", "Plug in\\Main", "Plugin.Main", "Plugin\\Ма"})
            QVERIFY2(!isValidMain(QString::fromUtf8(bad)), bad);
    }

    void errorsComeOnePerRuleInFixedOrder()
    {
        test::TestEnvironment env;
        PluginSettings broken; // everything empty: all six rules fail
        broken.loading = QStringLiteral("postworld");
        QCOMPARE(settingsErrors(broken),
                 QStringList({i18n::tx("MSG.msg1"), i18n::tx("MSG.msg2"),
                              QStringLiteral("Поле \"Автор Плагина\", не может быть пустым."),
                              QStringLiteral("Поле \"Имя Плагина\", не может быть пустым."),
                              QStringLiteral("Поле \"Версия Плагина\", не может быть пустым."), i18n::tx("MSG.msg4")}));

        ProjectDocument document = ProjectDocument::newProject();
        PluginSettings fine = PluginSettings::fromElement(document.settings());
        QVERIFY(settingsErrors(fine).isEmpty());
        fine.site.clear();
        fine.name = QStringLiteral(" ");
        fine.loading = QStringLiteral("STARTUP");
        QVERIFY(settingsErrors(fine).isEmpty());
    }

    void writingKeepsPlacesAndAppendsMissingAttributes()
    {
        ProjectDocument document = ProjectDocument::fromBytes("<plugin><settings main=\"A\\B\" name=\"N\"/></plugin>");
        PluginSettings settings = PluginSettings::fromElement(document.settings());
        QCOMPARE(settings.site, QString());
        settings.site = QStringLiteral("x.org");
        settings.writeTo(document.settings());
        QVERIFY(document.toBytes().contains(
            "<settings main=\"A\\B\" name=\"N\" creator=\"\" version=\"\" site=\"x.org\" api=\"\" loading=\"\"/>"));
    }
};

VORLUNE_TEST(PluginSettingsTest)
#include "PluginSettingsTest.moc"
