#include "textformat/gui/TForm3.h"

#include "base/gui/PseudoModal.h"
#include "i18n/TextRows.h"

#include <QButtonGroup>
#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>

#include <algorithm>
#include <cmath>

namespace vorlune::gui {
namespace {

using textformat::Emphasis;
using textformat::FormatOption;
using textformat::Ink;
using textformat::kFormatOptionCount;

// The caption is longer than the button is wide: like the original control it
// wraps onto two lines instead of being cut off. text() keeps the caption.
class WrappingButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
        const QRect textRect = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        style()->drawItemText(&painter, textRect, Qt::AlignCenter | Qt::TextWordWrap, option.palette, isEnabled(),
                              caption, QPalette::ButtonText);
    }
};

// Some caption colours are close to any one background the dialog could
// have (grey on the theme's grey, white or yellow on a light window), so
// each caption gets a backing of its own: near black for light colours,
// white for dark ones, whichever contrasts more with the colour the
// caption is drawn in.
const QColor kDarkBacking(16, 17, 20);
const QColor kLightBacking(255, 255, 255);
constexpr int kBackingReach = 3; // beyond the text, left and right

double relativeLuminance(const QColor &colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double first = relativeLuminance(a);
    const double second = relativeLuminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor backingFor(const QColor &ink)
{
    return contrastRatio(ink, kDarkBacking) >= contrastRatio(ink, kLightBacking) ? kDarkBacking : kLightBacking;
}

// The backing follows the colour the caption is really drawn in, which for
// the normal-text and frame options comes from the palette or the theme.
class CaptionButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

    // Room for the backing's overhang on the right; the left one lies in
    // the gap after the indicator.
    QSize sizeHint() const override { return QRadioButton::sizeHint() + QSize(kBackingReach, 0); }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        {
            QStyleOptionButton option;
            initStyleOption(&option);
            const QRect contents = style()->subElementRect(QStyle::SE_RadioButtonContents, &option, this);
            const Qt::Alignment alignment =
                QStyle::visualAlignment(layoutDirection(), Qt::AlignLeft | Qt::AlignVCenter);
            const QRect text = style()->itemTextRect(option.fontMetrics, contents, alignment, isEnabled(), option.text);
            // One pixel above and below the text: the rows are only 16 px
            // apart, and taller backings would run into each other.
            const QRect backing = text.adjusted(-kBackingReach, -1, kBackingReach, 1) & rect();
            QPainter painter(this);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(backingFor(palette().color(foregroundRole())));
            painter.drawRoundedRect(QRectF(backing), 3, 3);
        }
        QRadioButton::paintEvent(event);
    }
};

// Style sheets, not palettes or fonts: the application's theme is a style
// sheet and would override both for every widget.
QString captionStyle(const FormatOption &option)
{
    QString rules;
    switch (option.ink) {
    case Ink::Fixed:
        rules +=
            QStringLiteral("color: rgb(%1, %2, %3);").arg(option.rgb.red).arg(option.rgb.green).arg(option.rgb.blue);
        break;
    case Ink::WindowFrame:
        // Qt has no window-frame role; frames are drawn in the dark role.
        rules += QStringLiteral("color: palette(dark);");
        break;
    case Ink::NormalText:
        break;
    }
    if (option.emphasis == Emphasis::Bold)
        rules += QStringLiteral("font-weight: bold;");
    else if (option.emphasis == Emphasis::Italic)
        rules += QStringLiteral("font-style: italic;");
    return rules.isEmpty() ? QString() : QStringLiteral("QRadioButton { %1 }").arg(rules);
}

QString defaultText(i18n::TextId id)
{
    const std::string_view text = i18n::kTextRows[id.slot()].defaultText;
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// How wide a button of a column may grow before it reaches the next column.
int columnRoom(int column)
{
    const auto &lefts = TForm3::kColumnLefts;
    const int right = column + 1 < int(std::size(lefts)) ? lefts[column + 1] : TForm3::kClientWidth;
    return right - lefts[column];
}

} // namespace

TForm3::TForm3()
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("TForm3"));
    spareFromPseudoModal(this);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setStyleSheet(QStringLiteral("QWidget { font-family: \"Tahoma\"; font-size: 8pt; }"));

    // Created first so that it lies behind the buttons.
    sRadioGroup1 = new QGroupBox(this);
    sRadioGroup1->setObjectName(QStringLiteral("sRadioGroup1"));
    sRadioGroup1->setGeometry(0, -8, kClientWidth, 161);

    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    const auto &options = textformat::formatOptions();
    for (int i = 0; i < kFormatOptionCount; ++i) {
        auto *button = new CaptionButton(this);
        button->setObjectName(textformat::optionObjectName(i));
        button->setStyleSheet(captionStyle(options[i]));
        const int column = std::min(i / kButtonsPerColumn, 2);
        const int row = i - column * kButtonsPerColumn;
        button->setText(defaultText(options[i].caption));
        button->ensurePolished();
        m_defaultWidths[i] = button->sizeHint().width();
        button->setGeometry(kColumnLefts[column], kRowTops[row], m_defaultWidths[i], kButtonHeight);
        m_group->addButton(button, i + 1);
        m_buttons[i] = button;
    }
    m_buttons[0]->setChecked(true);

    sBitBtn1 = new WrappingButton(this);
    sBitBtn1->setObjectName(QStringLiteral("sBitBtn1"));
    sBitBtn1->setGeometry(362, 120, 111, 33);
    connect(sBitBtn1, &QPushButton::clicked, this, &TForm3::sBitBtn1Click);

    applyTexts();
}

void TForm3::applyTexts()
{
    // The main window sets the same title when it shows the dialog; setting it
    // here too keeps the dialog recognisable before its first showing.
    setWindowTitle(i18n::tx("TTL.ttl1"));
    const auto &options = textformat::formatOptions();
    for (int i = 0; i < kFormatOptionCount; ++i) {
        QRadioButton *button = m_buttons[i];
        button->setText(i18n::tx(options[i].caption));
        // Sized for the default text; a longer translation may use the room up to the next column.
        const int column = std::min(i / kButtonsPerColumn, 2);
        const int grown = std::min(button->sizeHint().width(), columnRoom(column));
        button->resize(std::max(m_defaultWidths[i], grown), kButtonHeight);
    }
    sBitBtn1->setText(i18n::tx("BUTTONS.btn6"));
}

void TForm3::sBitBtn1Click()
{
    for (int i = 0; i < kFormatOptionCount; ++i) {
        auto *button = findChild<QRadioButton *>(textformat::optionObjectName(i), Qt::FindDirectChildrenOnly);
        if (button && button->isChecked())
            QGuiApplication::clipboard()->setText(textformat::formatCode(i));
    }
}

} // namespace vorlune::gui
