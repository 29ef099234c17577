#include "base/Error.h"
#include "build/CodeGenerator.h"
#include "project/PluginSettings.h"

#include "support/TestRegistry.h"

#include <QTest>

using namespace vorlune;

namespace {

QString refusal(const QString &main)
{
    try {
        build::classFilePath(main);
    } catch (const Error &error) {
        return error.text();
    }
    return {};
}

} // namespace

class MainClassNameTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void whatCannotNameAPhpClassIsRefused_data()
    {
        QTest::addColumn<QString>("main");
        QTest::addColumn<QString>("character");
        QTest::newRow("star") << QStringLiteral("Plugin\\Ma*in") << QStringLiteral("*");
        QTest::newRow("question mark") << QStringLiteral("Plugin\\Ma?in") << QStringLiteral("?");
        QTest::newRow("in the namespace") << QStringLiteral("Plu[g]in\\Main") << QStringLiteral("[");
        QTest::newRow("space") << QStringLiteral("Plugin\\Ma in") << QStringLiteral(" ");
        QTest::newRow("dot inside") << QStringLiteral("Plugin\\Main.php") << QStringLiteral(".");
        QTest::newRow("colon") << QStringLiteral("Plugin\\C:Main") << QStringLiteral(":");
        QTest::newRow("quote") << QStringLiteral("Plugin\\Ma\"in") << QStringLiteral("\"");
    }

    void whatCannotNameAPhpClassIsRefused()
    {
        QFETCH(QString, main);
        QFETCH(QString, character);
        const QString text = refusal(main);
        QVERIFY2(text.contains(QStringLiteral("main class \"%1\"").arg(main)), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("\"%1\" is not allowed").arg(character)), qPrintable(text));
    }

    // Whatever the settings editor lets through builds as it always did.
    void everyCharacterTheSettingsEditorAllowsStillBuilds()
    {
        const QString allowed =
            QStringLiteral("0987654321abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_-");
        for (const QChar c : allowed) {
            const QString main = QString(c) + QStringLiteral("\\A") + c + QStringLiteral("\\") + c;
            QVERIFY2(project::isValidMain(main), qPrintable(main));
            QCOMPARE(build::classFilePath(main),
                     QStringLiteral("src/") + c + QStringLiteral("/A") + c + QLatin1Char('/') + c + QStringLiteral(".php"));
        }
    }

    void namesBeyondAsciiAndWithoutNamespaceStillBuild()
    {
        // PHP takes every byte beyond ASCII in a name.
        QCOMPARE(build::classFilePath(QStringLiteral("Плагин\\Главный")), QStringLiteral("src/Плагин/Главный.php"));
        QCOMPARE(build::classFilePath(QStringLiteral("Main")), QStringLiteral("src/Main/Main.php"));
    }
};

VORLUNE_TEST(MainClassNameTest)
#include "MainClassNameTest.moc"
