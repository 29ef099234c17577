#include "app/gui/TForm1.h"
#include "base/IniImage.h"
#include "i18n/TextRows.h"
#include "i18n/TextTable.h"
#include "project/gui/ProjectTree.h"
#include "project/gui/SettingsEditor.h"
#include "script/gui/TForm2.h"
#include "script/gui/TForm4.h"
#include "support/LocalWebServer.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "testrun/gui/TForm5.h"
#include "textformat/gui/TForm3.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <optional>

using namespace vorlune;
using gui::TForm1;
using test::LocalWebServer;

namespace {

const QString kLanguages = QStringLiteral(VORLUNE_SOURCE_DIR "/site/VL-Files/languages/");

// The site's language files on a test server.
void serveLanguages(const LocalWebServer &server)
{
    for (const QString &name : QDir(kLanguages).entryList({QStringLiteral("*.ini")}))
        server.addFile(QStringLiteral("VL-Files/languages/") + name, test::readFile(kLanguages + name));
}

QString siteText(const QString &file, const char *section, const char *key)
{
    return base::IniImage::load(kLanguages + file).readString(QLatin1String(section), QLatin1String(key), QString());
}

// The main window with the other four, as the program makes them.
struct Windows {
    Windows() : runSettings(main.runSettingsContext())
    {
        main.attachWindows({&eventDialog, &textFormat, &argumentDialog, &runSettings});
        main.show();
    }
    TForm1 main{QStringList()};
    gui::TForm2 eventDialog;
    gui::TForm3 textFormat;
    gui::TForm4 argumentDialog;
    gui::TForm5 runSettings;

    void choose(const char *item) { main.findChild<QAction *>(QLatin1String(item))->trigger(); }
    QStringList checkedLanguages()
    {
        QStringList names;
        for (const char *item : {"E1", "N10", "N11", "N12", "Lietuvi1"}) {
            if (main.findChild<QAction *>(QLatin1String(item))->isChecked())
                names << QLatin1String(item);
        }
        return names;
    }
    bool finished()
    {
        return QTest::qWaitFor([this] { return !main.languageDownloadPending(); }, 30000);
    }
    QString button(QWidget &window, const char *name)
    {
        return window.findChild<QPushButton *>(QLatin1String(name))->text();
    }
    bool controlsEnabled()
    {
        for (QAction *entry : main.menuBar()->actions())
            if (!entry->isEnabled())
                return false;
        for (const char *name : {"sBitBtn9", "sBitBtn10", "sBitBtn11", "sBitBtn12", "sBitBtn13"})
            if (!main.findChild<QPushButton *>(QLatin1String(name))->isEnabled())
                return false;
        return main.projectTree().widget()->isEnabled();
    }
};

// Every one of the 90 texts against the Russian defaults: the first that differs.
QString firstNonDefault(const base::IniImage &languageIni)
{
    for (const i18n::TextRow &row : i18n::kTextRows) {
        const QString section = QString::fromUtf8(row.section.data(), qsizetype(row.section.size()));
        const QString key = QString::fromUtf8(row.key.data(), qsizetype(row.key.size()));
        if (languageIni.readString(section, key, QString()) !=
            QString::fromUtf8(row.defaultText.data(), qsizetype(row.defaultText.size())))
            return section + QLatin1Char('.') + key;
    }
    return {};
}

} // namespace

class LanguageSwitchTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup()
    {
        qunsetenv("VORLUNE_SITE_URL");
        m_env.reset();
    }

    void englishAndBackOverHttps()
    {
        LocalWebServer server({true});
        VORLUNE_REQUIRE_STARTED(server);
        test::TrustedCa trust(server.caFile());
        serveLanguages(server);
        qputenv("VORLUNE_SITE_URL", server.url().toUtf8());
        Windows w;
        QCOMPARE(w.checkedLanguages(), QStringList{QStringLiteral("N10")}); // the built-in texts' language

        w.choose("E1");
        QVERIFY(!w.controlsEnabled());
        QVERIFY(w.finished());
        QCOMPARE(m_env->messages(), QStringList());
        QVERIFY(w.controlsEnabled());
        const QString en = QStringLiteral("English.ini");
        QCOMPARE(w.button(w.runSettings, "sBitBtn1"), siteText(en, "BUTTONS", "btn14"));
        QCOMPARE(w.button(w.eventDialog, "sBitBtn1"), siteText(en, "BUTTONS", "btn7"));
        QCOMPARE(w.button(w.argumentDialog, "sBitBtn2"), siteText(en, "BUTTONS", "btn1"));
        QCOMPARE(w.textFormat.windowTitle(), siteText(en, "TTL", "ttl1"));
        QCOMPARE(w.main.projectTree().widget()->topLevelItem(0)->text(0), siteText(en, "RSRS", "rsrs1"));
        QCOMPARE(w.main.state().project.ProjectFileName, siteText(en, "OTHR", "othr1") + QStringLiteral(".vlk"));
        QVERIFY(w.main.windowTitle().contains(siteText(en, "OTHR", "othr1")));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        QCOMPARE(w.checkedLanguages(), QStringList{QStringLiteral("E1")});

        w.choose("N10");
        QVERIFY(w.finished());
        QCOMPARE(firstNonDefault(base::IniImage::load(m_env->path(QStringLiteral("Language.ini")))), QString());
        QCOMPARE(w.button(w.runSettings, "sBitBtn3"), QStringLiteral("Установить с Джекинса"));
        QCOMPARE(w.main.state().project.ProjectFileName, QStringLiteral("Новый плагин.vlk"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    }

    void theBundledSiteServesToo()
    {
        Windows w;
        QVERIFY(w.main.state().SiteBaseUrl.startsWith(QLatin1String("file://")));
        w.choose("N11");
        QVERIFY(w.finished());
        QCOMPARE(m_env->messages(), QStringList());
        QCOMPARE(i18n::tx("MSG.msg7"), siteText(QStringLiteral("Ukrainian.ini"), "MSG", "msg7"));
    }

    void anOpenEditorRefusesTheSwitch()
    {
        Windows w;
        const QByteArray before = test::readFile(m_env->path(QStringLiteral("Language.ini")));
        w.main.settingsEditor().OpenPluginSettings();
        w.choose("E1");
        QCOMPARE(m_env->messages(), QStringList{i18n::tx("MSG.msg7")});
        QVERIFY(!w.main.languageDownloadPending());
        QVERIFY(w.controlsEnabled());
        QCOMPARE(test::readFile(m_env->path(QStringLiteral("Language.ini"))), before);
    }

    void failuresLeaveTheTextsAndGiveTheControlsBack_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("code");
        QTest::newRow("404") << QStringLiteral("VL-Files/languages/English.ini")
                             << QStringLiteral("HTTP/1.1 404 File not found");
        QTest::newRow("redirect") << QStringLiteral("redirect?to=/elsewhere") << QStringLiteral("HTTP/1.1 302 Found");
        QTest::newRow("cut") << QStringLiteral("halfway?size=5000&sent=300") << QString();
    }
    void failuresLeaveTheTextsAndGiveTheControlsBack()
    {
        QFETCH(QString, path);
        QFETCH(QString, code);
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        Windows w;
        const QByteArray before = test::readFile(m_env->path(QStringLiteral("Language.ini")));
        w.main.SetLanguage(server.url(path));
        QVERIFY(w.finished());
        QTRY_COMPARE(m_env->messages().size(), 1);
        const QString expected = i18n::tx("MSG.msg8") + QStringLiteral("\r\nCODE [") + code;
        QVERIFY2(m_env->messages().first().startsWith(expected), qPrintable(m_env->messages().first()));
        QVERIFY(m_env->messages().first().endsWith(QLatin1Char(']')));
        QVERIFY(w.controlsEnabled());
        QCOMPARE(test::readFile(m_env->path(QStringLiteral("Language.ini"))), before);
        QCOMPARE(w.button(w.runSettings, "sBitBtn1"), QStringLiteral("Установить"));
    }

    void aPageThatIsNoLanguageFileFallsBackToTheDefaults()
    {
        LocalWebServer server;
        VORLUNE_REQUIRE_STARTED(server);
        server.addFile(QStringLiteral("page.html"), "<html><body>Not a language file</body></html>");
        QByteArray utf16("\xFF\xFE", 2);
        const QString english = QStringLiteral("[BUTTONS]\r\nbtn14=Install\r\n");
        utf16 += QByteArray(reinterpret_cast<const char *>(english.utf16()), english.size() * 2);
        server.addFile(QStringLiteral("utf16.ini"), utf16);
        Windows w;
        w.main.SetLanguage(server.url(QStringLiteral("utf16.ini")));
        QVERIFY(w.finished());
        QCOMPARE(w.button(w.runSettings, "sBitBtn1"), QStringLiteral("Install"));
        w.main.SetLanguage(server.url(QStringLiteral("page.html")));
        QVERIFY(w.finished());
        QCOMPARE(m_env->messages(), QStringList());
        QCOMPARE(firstNonDefault(base::IniImage::load(m_env->path(QStringLiteral("Language.ini")))), QString());
        QCOMPARE(w.button(w.runSettings, "sBitBtn1"), QStringLiteral("Установить"));
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(LanguageSwitchTest)
#include "LanguageSwitchTest.moc"
