#include "textformat/FormatCodes.h"
#include "i18n/TextTable.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QSet>
#include <QTest>

using namespace vorlune;
using textformat::Emphasis;
using textformat::Ink;
using textformat::Rgb;

namespace {

struct Expected {
    const char *caption; // the Russian default text, UTF-8
    char16_t code;
    Ink ink;
    Rgb rgb;
    Emphasis emphasis;
};

// Written out independently of the product table, row by row in button order.
const Expected kExpected[] = {
    {"Белый", u'f', Ink::Fixed, {255, 255, 255}, Emphasis::None},
    {"Чёрный", u'0', Ink::Fixed, {0, 0, 0}, Emphasis::None},
    {"Жёлтый", u'e', Ink::Fixed, {255, 255, 0}, Emphasis::None},
    {"Тёмно-синий", u'1', Ink::Fixed, {0, 0, 128}, Emphasis::None},
    {"Светло-фиолетовый", u'd', Ink::Fixed, {255, 0, 255}, Emphasis::None},
    {"Тёмно-зелёный", u'2', Ink::Fixed, {0, 128, 0}, Emphasis::None},
    {"Красный", u'c', Ink::Fixed, {255, 0, 0}, Emphasis::None},
    {"Тёмная морская волна", u'3', Ink::Fixed, {0, 128, 128}, Emphasis::None},
    {"Морская волна", u'b', Ink::Fixed, {0, 255, 255}, Emphasis::None},
    {"Тёмно-красный", u'4', Ink::Fixed, {128, 0, 0}, Emphasis::None},
    {"Зелёный", u'a', Ink::Fixed, {0, 255, 0}, Emphasis::None},
    {"Тёмно-фиолетовый", u'5', Ink::Fixed, {128, 0, 128}, Emphasis::None},
    {"Серый", u'7', Ink::Fixed, {128, 128, 128}, Emphasis::None},
    {"Синий", u'9', Ink::Fixed, {0, 0, 255}, Emphasis::None},
    {"Золотой", u'6', Ink::Fixed, {245, 180, 27}, Emphasis::None},
    {"Тёмно-серый", u'8', Ink::WindowFrame, {}, Emphasis::None},
    {"Обычный", u'r', Ink::NormalText, {}, Emphasis::None},
    {"Полужирный", u'l', Ink::NormalText, {}, Emphasis::Bold},
    {"Курсив", u'o', Ink::NormalText, {}, Emphasis::Italic},
};

} // namespace

class FormatCodesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyOptionHasItsCaptionCodeAndLook()
    {
        test::TestEnvironment env; // default texts
        const auto &options = textformat::formatOptions();
        QCOMPARE(int(std::size(kExpected)), textformat::kFormatOptionCount);
        for (int i = 0; i < textformat::kFormatOptionCount; ++i) {
            const Expected &want = kExpected[i];
            const auto &option = options[i];
            const QByteArray where = "option " + QByteArray::number(i + 1) + " " + want.caption;
            QVERIFY2(i18n::tx(option.caption) == QString::fromUtf8(want.caption), where);
            QVERIFY2(option.code == want.code, where);
            QVERIFY2(option.ink == want.ink, where);
            if (want.ink == Ink::Fixed)
                QVERIFY2(option.rgb == want.rgb, where);
            QVERIFY2(option.emphasis == want.emphasis, where);

            const QString code = textformat::formatCode(i);
            QCOMPARE(code.size(), 2);
            QCOMPARE(code.at(0).unicode(), char16_t(0x00A7));
            QVERIFY2(code.at(1).unicode() == want.code, where);
        }
    }

    void captionsFollowTheTextSlotsInOrder()
    {
        // Button n shows RDOBTN.rdobtn<n>: a shifted row would show one name and copy another code.
        const auto &options = textformat::formatOptions();
        const int first = i18n::TextId("RDOBTN.rdobtn1").slot();
        for (int i = 0; i < textformat::kFormatOptionCount; ++i)
            QCOMPARE(options[i].caption.slot(), first + i);
        QCOMPARE(options[18].caption.slot(), i18n::TextId("RDOBTN.rdobtn19").slot());
    }

    void codesAreDistinctAndKnownToMcpe()
    {
        QSet<QString> seen;
        const QString valid = QStringLiteral("0123456789abcdeflor");
        for (int i = 0; i < textformat::kFormatOptionCount; ++i) {
            const QString code = textformat::formatCode(i);
            QVERIFY2(!seen.contains(code), qPrintable(code));
            seen.insert(code);
            QVERIFY(valid.contains(code.at(1)));
        }
        QCOMPARE(seen.size(), valid.size());
    }

    void codesAreUtf16NotLatin1Bytes()
    {
        // "§6" as UTF-8 is C2 A7 36: a Latin-1 slip would double the sign's bytes.
        QCOMPARE(textformat::formatCode(14).toUtf8(), QByteArray("\xC2\xA7"
                                                                 "6"));
        QCOMPARE(textformat::formatCode(18), QString::fromUtf8("\xC2\xA7o"));
    }

    void indicesOutsideTheTableGiveNothing()
    {
        for (int index : {-1, 19, 100}) {
            QVERIFY(textformat::formatCode(index).isEmpty());
            QVERIFY(textformat::optionObjectName(index).isEmpty());
        }
    }

    void buttonNamesCountFromOneWithoutLeadingZeros()
    {
        QCOMPARE(textformat::optionObjectName(0), QStringLiteral("sRadioButton1"));
        QCOMPARE(textformat::optionObjectName(8), QStringLiteral("sRadioButton9"));
        QCOMPARE(textformat::optionObjectName(9), QStringLiteral("sRadioButton10"));
        QCOMPARE(textformat::optionObjectName(18), QStringLiteral("sRadioButton19"));
    }
};

VORLUNE_TEST(FormatCodesTest)
#include "FormatCodesTest.moc"
