#include "base/TextCodecs.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace vorlune;

class TextCodecsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void whatTheCodePageCannotHoldBecomesAQuestionMark()
    {
        // One "?" per character, a character beyond U+FFFF included.
        QCOMPARE(codecs::encodeAnsi(QStringLiteral("Plugin \u2605 \U0001F600")), QByteArray("Plugin ? ?"));
        QCOMPARE(codecs::encodeOem(QStringLiteral("\u2605/Main.php")), QByteArray("?/Main.php"));
        // A lone half of a surrogate pair, and a real SUB character, which stays.
        QCOMPARE(codecs::encodeAnsi(QString(QChar(0xD800)) + QStringLiteral("a\x1A")), QByteArray("?a\x1A"));
        // What the code pages hold is encoded as before.
        QCOMPARE(codecs::encodeAnsi(QStringLiteral("Плагин \u2605")), QByteArray("\xCF\xEB\xE0\xE3\xE8\xED ?"));
        QCOMPARE(codecs::encodeOem(QStringLiteral("Плагин")), QByteArray("\x8F\xAB\xA0\xA3\xA8\xAD"));
        QCOMPARE(codecs::decodeAnsi(codecs::encodeAnsi(QStringLiteral("Ядро - PocketMine"))),
                 QStringLiteral("Ядро - PocketMine"));
    }
};

VORLUNE_TEST(TextCodecsTest)
#include "TextCodecsTest.moc"
