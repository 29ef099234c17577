#include "base/IniImage.h"
#include "base/gui/PseudoModal.h"
#include "i18n/TextTable.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "textformat/FormatCodes.h"
#include "textformat/gui/TForm3.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QHash>
#include <QImage>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace vorlune;
using vorlune::gui::TForm3;

namespace {

const QString kUntouched = QStringLiteral("clipboard before copying");

QRadioButton *option(TForm3 &form, int number)
{
    return form.findChild<QRadioButton *>(QStringLiteral("sRadioButton%1").arg(number));
}

QRadioButton *optionByCaption(TForm3 &form, const QString &caption)
{
    for (int number = 1; number <= 19; ++number) {
        if (option(form, number)->text() == caption)
            return option(form, number);
    }
    return nullptr;
}

QPushButton *copyButton(TForm3 &form) { return form.findChild<QPushButton *>(QStringLiteral("sBitBtn1")); }

// Chooses and copies the way the user does: mouse clicks on the controls.
QString chooseAndCopy(TForm3 &form, QRadioButton *button)
{
    QGuiApplication::clipboard()->setText(kUntouched);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    QTest::mouseClick(copyButton(form), Qt::LeftButton);
    return QGuiApplication::clipboard()->text();
}

int checkedCount(TForm3 &form)
{
    int count = 0;
    for (int number = 1; number <= 19; ++number)
        count += option(form, number)->isChecked() ? 1 : 0;
    return count;
}

QColor captionColour(QRadioButton *button) { return button->palette().color(button->foregroundRole()); }

// WCAG 2 relative luminance and contrast ratio.
double luminance(const QColor &colour)
{
    const auto linear = [](int channel) {
        const double value = channel / 255.0;
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.red()) + 0.7152 * linear(colour.green()) + 0.0722 * linear(colour.blue());
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

int distance(QRgb pixel, const QColor &colour)
{
    return std::max({std::abs(qRed(pixel) - colour.red()), std::abs(qGreen(pixel) - colour.green()),
                     std::abs(qBlue(pixel) - colour.blue())});
}

// Where the style puts a radio button's caption, in the dialog's coordinates.
QRect captionBox(QRadioButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect contents = button->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button);
    const QRect text = button->style()->itemTextRect(button->fontMetrics(), contents, Qt::AlignLeft | Qt::AlignVCenter,
                                                     true, option.text);
    return text.translated(button->pos());
}

// Measured on what the dialog paints: the backing is the colour painted
// most often where the caption lies (its strokes cover far less), and the
// ink the pixel there that differs most from it.
struct Painted {
    QColor backing;
    QColor ink;
};

Painted paintedAt(const QImage &image, const QRect &box)
{
    QHash<QRgb, int> counts;
    const QRect inside = box & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];
    }
    const QList<QRgb> colours = counts.keys();
    if (colours.isEmpty())
        return {};
    const QRgb backing =
        *std::max_element(colours.begin(), colours.end(), [&](QRgb a, QRgb b) { return counts[a] < counts[b]; });
    const QRgb ink = *std::max_element(colours.begin(), colours.end(), [&](QRgb a, QRgb b) {
        return distance(a, QColor::fromRgb(backing)) < distance(b, QColor::fromRgb(backing));
    });
    return {QColor::fromRgb(backing), QColor::fromRgb(ink)};
}

} // namespace

class TextFormatDialogTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup()
    {
        qApp->setStyleSheet(QString());
        i18n::texts().resetToDefaults();
        m_env.reset();
    }

    void controlsCarryTheirNamesPlacesAndSizes()
    {
        TForm3 form;
        QCOMPARE(form.objectName(), QStringLiteral("TForm3"));
        QVERIFY(form.isWindow());
        QVERIFY(!form.parentWidget()); // not owned by the main window
        QVERIFY(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        // Places and sizes as the dialog's table gives them.
        const QSize client(TForm3::kClientWidth, TForm3::kClientHeight);
        QCOMPARE(form.minimumSize(), client);
        QCOMPARE(form.maximumSize(), client);

        auto *frame = form.findChild<QGroupBox *>(QStringLiteral("sRadioGroup1"));
        QVERIFY(frame);
        QCOMPARE(frame->geometry(), QRect(0, -8, TForm3::kClientWidth, 161));
        QVERIFY(frame->title().isEmpty());
        QVERIFY(frame->findChildren<QRadioButton *>().isEmpty());

        // Top to bottom, a column after another: 8, 8 and the last 3.
        const auto &lefts = TForm3::kColumnLefts;
        const auto &tops = TForm3::kRowTops;
        for (int number = 1; number <= 19; ++number) {
            QRadioButton *button = option(form, number);
            QVERIFY2(button, qPrintable(QString::number(number)));
            QCOMPARE(button->parentWidget(), &form);
            const int column = number <= 8 ? 0 : number <= 16 ? 1 : 2;
            const int row = (number - 1) % TForm3::kButtonsPerColumn;
            QCOMPARE(button->pos(), QPoint(lefts[column], tops[row]));
            QCOMPARE(button->height(), TForm3::kButtonHeight);
            // Fits its text, and does not run into the next column or off the window.
            QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->text()));
            const int right = column < 2 ? lefts[column + 1] : TForm3::kClientWidth;
            QVERIFY2(lefts[column] + button->width() <= right, qPrintable(button->text()));
        }
        QVERIFY(!option(form, 20));

        QPushButton *copy = copyButton(form);
        QVERIFY(copy);
        QCOMPARE(copy->geometry(), QRect(362, 120, 111, 33));
        QCOMPARE(form.font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(form.font().pointSize(), 8);
    }

    void firstOptionChosenAtStartAndCaptionsAreLocalized()
    {
        TForm3 form;
        QVERIFY(option(form, 1)->isChecked());
        QCOMPARE(checkedCount(form), 1);
        QCOMPARE(option(form, 1)->text(), QStringLiteral("Белый"));
        QCOMPARE(option(form, 15)->text(), QStringLiteral("Золотой"));
        QCOMPARE(option(form, 19)->text(), QStringLiteral("Курсив"));
        QCOMPARE(copyButton(form)->text(), QStringLiteral("Скопировать код формата цвета"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Формат MCPE текста"));

        // A language change: applyTexts puts the new texts in.
        base::IniImage language;
        language.writeString(QStringLiteral("RDOBTN"), QStringLiteral("rdobtn15"), QStringLiteral("Gold"));
        language.writeString(QStringLiteral("RDOBTN"), QStringLiteral("rdobtn8"),
                             QStringLiteral("A rather long dark aqua caption"));
        language.writeString(QStringLiteral("BUTTONS"), QStringLiteral("btn6"), QStringLiteral("Copy colour code"));
        language.writeString(QStringLiteral("TTL"), QStringLiteral("ttl1"), QStringLiteral("MCPE text format"));
        i18n::texts().loadFrom(language);
        const int defaultWidth = option(form, 8)->width();
        form.applyTexts();
        QCOMPARE(option(form, 15)->text(), QStringLiteral("Gold"));
        QCOMPARE(option(form, 1)->text(), QStringLiteral("Белый"));
        QCOMPARE(copyButton(form)->text(), QStringLiteral("Copy colour code"));
        QCOMPARE(form.windowTitle(), QStringLiteral("MCPE text format"));
        // A longer translation widens its button, but only up to the next column.
        QVERIFY(option(form, 8)->width() > defaultWidth);
        QVERIFY(TForm3::kColumnLefts[0] + option(form, 8)->width() <= TForm3::kColumnLefts[1]);
    }

    void italicAfterColourClearsTheColour()
    {
        TForm3 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QRadioButton *red = optionByCaption(form, QStringLiteral("Красный"));
        QCOMPARE(chooseAndCopy(form, red), QStringLiteral("§c"));
        QRadioButton *italic = optionByCaption(form, QStringLiteral("Курсив"));
        QCOMPARE(chooseAndCopy(form, italic), QStringLiteral("§o"));
        QVERIFY(!red->isChecked());
        QVERIFY(italic->isChecked());
        QCOMPARE(checkedCount(form), 1);
    }

    void everyOptionCopiesItsOwnCode()
    {
        TForm3 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Reverse order so that each click really moves the choice.
        for (int number = 19; number >= 1; --number) {
            const QString copied = chooseAndCopy(form, option(form, number));
            QCOMPARE(copied, textformat::formatCode(number - 1));
            QCOMPARE(checkedCount(form), 1);
        }
    }

    void nothingChosenLeavesTheClipboardAlone()
    {
        TForm3 form;
        QButtonGroup *group = option(form, 1)->group();
        QVERIFY(group);
        QVERIFY(group->exclusive());
        QCOMPARE(group->buttons().size(), 19);
        group->setExclusive(false);
        option(form, 1)->setChecked(false);
        QCOMPARE(checkedCount(form), 0);
        QGuiApplication::clipboard()->setText(kUntouched);
        form.sBitBtn1Click();
        QCOMPARE(QGuiApplication::clipboard()->text(), kUntouched);
    }

    void choiceSurvivesClosingAndReopening()
    {
        TForm3 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(chooseAndCopy(form, option(form, 12)), QStringLiteral("§5"));
        QVERIFY(form.close());
        QVERIFY(!form.isVisible());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(option(form, 12)->isChecked());
        QCOMPARE(checkedCount(form), 1);
        QGuiApplication::clipboard()->setText(kUntouched);
        QTest::mouseClick(copyButton(form), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("§5"));
    }

    void captionsKeepTheirLookUnderTheTheme()
    {
        QFile theme(QStringLiteral(":/RESs/design"));
        QVERIFY(theme.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(theme.readAll()));
        TForm3 form;
        QWidget plain; // how normal text looks under the theme
        form.show();
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        plain.ensurePolished();

        QCOMPARE(captionColour(option(form, 15)), QColor(245, 180, 27));
        QCOMPARE(captionColour(option(form, 1)), QColor(255, 255, 255));
        QCOMPARE(captionColour(option(form, 2)), QColor(0, 0, 0));
        QCOMPARE(captionColour(option(form, 4)), QColor(0, 0, 128));
        QCOMPARE(captionColour(option(form, 11)), QColor(0, 255, 0));
        const QColor normal = plain.palette().color(QPalette::WindowText);
        for (int number : {17, 18, 19})
            QCOMPARE(captionColour(option(form, number)), normal);
        QVERIFY(captionColour(option(form, 16)) != normal);

        QVERIFY(option(form, 18)->font().bold());
        QVERIFY(!option(form, 18)->font().italic());
        QVERIFY(option(form, 19)->font().italic());
        QVERIFY(!option(form, 19)->font().bold());
        QVERIFY(!option(form, 17)->font().bold() && !option(form, 17)->font().italic());
        // The theme asks for 10 points everywhere; the dialog keeps its 8.
        for (int number : {1, 16, 18, 19})
            QCOMPARE(option(form, number)->font().pointSize(), 8);
    }

    void everyCaptionStandsOutFromWhatIsBehindIt_data()
    {
        QTest::addColumn<bool>("themed");
        QTest::newRow("plain") << false;
        QTest::newRow("theme") << true;
    }

    void everyCaptionStandsOutFromWhatIsBehindIt()
    {
        QFETCH(bool, themed);
        // Set either way: a main window made by an earlier test leaves its theme behind.
        QString sheet;
        if (themed) {
            QFile theme(QStringLiteral(":/RESs/design"));
            QVERIFY(theme.open(QIODevice::ReadOnly));
            sheet = QString::fromUtf8(theme.readAll());
        }
        qApp->setStyleSheet(sheet);
        TForm3 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QImage image = form.grab().toImage();
        // One pixel per widget pixel, as captionBox counts.
        QCOMPARE(image.size(), QSize(TForm3::kClientWidth, TForm3::kClientHeight));
        QStringList unreadable;
        for (int number = 1; number <= 19; ++number) {
            QRadioButton *button = option(form, number);
            const QColor ink = captionColour(button);
            const Painted painted = paintedAt(image, captionBox(button));
            const double ratio = contrastRatio(ink, painted.backing);
            const QString what = QStringLiteral("%1 %2 on %3 %4:1")
                                     .arg(button->text(), ink.name(), painted.backing.name())
                                     .arg(ratio, 0, 'f', 2);
            // Anti-aliasing leaves the strongest stroke pixel close to the ink.
            if (distance(painted.ink.rgb(), ink) > 40)
                unreadable << what + QStringLiteral(" but drawn in ") + painted.ink.name();
            // 4.5:1 is what small text needs to be read comfortably.
            else if (ratio < 4.5)
                unreadable << what;
        }
        QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(QStringLiteral("; "))));
    }

    void staysUsableBesidePseudoModalDialogs()
    {
        QWidget mainWindow;
        mainWindow.resize(800, 600);
        mainWindow.show();
        TForm3 form;
        QWidget other;
        gui::OpenFormOnCenter(&mainWindow, &form, i18n::tx("TTL.ttl1"), false);
        QVERIFY(form.isVisible());
        QVERIFY(mainWindow.isEnabled());
        gui::OpenFormOnCenter(&mainWindow, &other, QStringLiteral("other"), true);
        QVERIFY(!mainWindow.isEnabled());
        QVERIFY(form.isEnabled());
        QCOMPARE(chooseAndCopy(form, option(form, 7)), QStringLiteral("§c"));
        other.close();
        QVERIFY(mainWindow.isEnabled());
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(TextFormatDialogTest)
#include "TextFormatDialogTest.moc"
