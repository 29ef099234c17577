#include "i18n/ExtraTexts.h"
#include "app/AppState.h"
#include "base/IniImage.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

#include <optional>

using namespace vorlune;
using vorlune::test::readFile;

class ExtraTextsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void sectionSurvivesTheWriteBack()
    {
        test::writeFile(m_env->path(QStringLiteral("Language.ini")),
                        "[MSG]\r\nmsg10=Done!\r\n[vorlune]\r\nConsole_Stop=Halt\r\nconsole_stop=second\r\n"
                        "other=kept\r\n");
        app::AppState state;
        state.programFolder = m_env->home();
        app::loadLanguage(state);

        QCOMPARE(i18n::extraText(QStringLiteral("console_stop"), QStringLiteral("Стоп")), QStringLiteral("Halt"));
        QCOMPARE(i18n::extraText(QStringLiteral("missing"), QStringLiteral("Нет")), QStringLiteral("Нет"));
        const base::IniImage written = base::IniImage::load(m_env->path(QStringLiteral("Language.ini")));
        QCOMPARE(
            written.keys(QStringLiteral("VORLUNE")),
            QStringList({QStringLiteral("Console_Stop"), QStringLiteral("console_stop"), QStringLiteral("other")}));
        QCOMPARE(written.readString(QStringLiteral("VORLUNE"), QStringLiteral("other"), QString()),
                 QStringLiteral("kept"));
        QVERIFY(m_env->messages().isEmpty());
    }

    void freshLanguageFileGetsNoSection()
    {
        app::AppState state;
        state.programFolder = m_env->home();
        // Texts of an earlier language do not linger.
        i18n::loadExtraTexts(base::IniImage::fromBytes("[VORLUNE]\r\nconsole_stop=Halt\r\n"));
        app::loadLanguage(state);

        QCOMPARE(i18n::extraText(QStringLiteral("console_stop"), QStringLiteral("Стоп")), QStringLiteral("Стоп"));
        const QByteArray written = readFile(m_env->path(QStringLiteral("Language.ini")));
        QVERIFY(written.contains("[MSG]"));
        QVERIFY(!written.toUpper().contains("[VORLUNE]"));
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(ExtraTextsTest)
#include "ExtraTextsTest.moc"
