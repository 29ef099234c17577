#include "i18n/ExtraTexts.h"
#include "app/AppState.h"
#include "base/IniImage.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace vorlune;
using vorlune::test::readFile;

class ExtraTextsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sectionSurvivesTheWriteBack()
    {
        test::TestEnvironment env;
        test::writeFile(env.path(QStringLiteral("Language.ini")),
                        "[MSG]\r\nmsg10=Done!\r\n[vorlune]\r\nConsole_Stop=Halt\r\nconsole_stop=second\r\n"
                        "other=kept\r\n");
        app::AppState state;
        state.programFolder = env.home();
        app::loadLanguage(state);

        QCOMPARE(i18n::extraText(QStringLiteral("console_stop"), QStringLiteral("Стоп")), QStringLiteral("Halt"));
        QCOMPARE(i18n::extraText(QStringLiteral("missing"), QStringLiteral("Нет")), QStringLiteral("Нет"));
        const base::IniImage written = base::IniImage::load(env.path(QStringLiteral("Language.ini")));
        QCOMPARE(
            written.keys(QStringLiteral("VORLUNE")),
            QStringList({QStringLiteral("Console_Stop"), QStringLiteral("console_stop"), QStringLiteral("other")}));
        QCOMPARE(written.readString(QStringLiteral("VORLUNE"), QStringLiteral("other"), QString()),
                 QStringLiteral("kept"));
        QVERIFY(env.messages().isEmpty());
    }

    void freshLanguageFileGetsNoSection()
    {
        test::TestEnvironment env;
        app::AppState state;
        state.programFolder = env.home();
        // Texts of an earlier language do not linger.
        i18n::loadExtraTexts(base::IniImage::fromBytes("[VORLUNE]\r\nconsole_stop=Halt\r\n"));
        app::loadLanguage(state);

        QCOMPARE(i18n::extraText(QStringLiteral("console_stop"), QStringLiteral("Стоп")), QStringLiteral("Стоп"));
        const QByteArray written = readFile(env.path(QStringLiteral("Language.ini")));
        QVERIFY(written.contains("[MSG]"));
        QVERIFY(!written.toUpper().contains("[VORLUNE]"));
    }
};

VORLUNE_TEST(ExtraTextsTest)
#include "ExtraTextsTest.moc"
