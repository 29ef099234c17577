#include "textformat/FormatCodes.h"

namespace vorlune::textformat {
namespace {

constexpr FormatOption colour(i18n::TextId caption, char16_t code, Rgb rgb)
{
    return {caption, code, Ink::Fixed, rgb, Emphasis::None};
}

constexpr FormatOption plain(i18n::TextId caption, char16_t code, Ink ink, Emphasis emphasis)
{
    return {caption, code, ink, Rgb{}, emphasis};
}

constexpr std::array<FormatOption, kFormatOptionCount> kOptions{{
    colour("RDOBTN.rdobtn1", u'f', {255, 255, 255}),
    colour("RDOBTN.rdobtn2", u'0', {0, 0, 0}),
    colour("RDOBTN.rdobtn3", u'e', {255, 255, 0}),
    colour("RDOBTN.rdobtn4", u'1', {0, 0, 128}),
    colour("RDOBTN.rdobtn5", u'd', {255, 0, 255}),
    colour("RDOBTN.rdobtn6", u'2', {0, 128, 0}),
    colour("RDOBTN.rdobtn7", u'c', {255, 0, 0}),
    colour("RDOBTN.rdobtn8", u'3', {0, 128, 128}),
    colour("RDOBTN.rdobtn9", u'b', {0, 255, 255}),
    colour("RDOBTN.rdobtn10", u'4', {128, 0, 0}),
    colour("RDOBTN.rdobtn11", u'a', {0, 255, 0}),
    colour("RDOBTN.rdobtn12", u'5', {128, 0, 128}),
    colour("RDOBTN.rdobtn13", u'7', {128, 128, 128}),
    colour("RDOBTN.rdobtn14", u'9', {0, 0, 255}),
    colour("RDOBTN.rdobtn15", u'6', {245, 180, 27}),
    plain("RDOBTN.rdobtn16", u'8', Ink::WindowFrame, Emphasis::None),
    plain("RDOBTN.rdobtn17", u'r', Ink::NormalText, Emphasis::None),
    plain("RDOBTN.rdobtn18", u'l', Ink::NormalText, Emphasis::Bold),
    plain("RDOBTN.rdobtn19", u'o', Ink::NormalText, Emphasis::Italic),
}};

bool inTable(int index) { return index >= 0 && index < kFormatOptionCount; }

} // namespace

const std::array<FormatOption, kFormatOptionCount> &formatOptions() { return kOptions; }

QString formatCode(int index)
{
    if (!inTable(index))
        return {};
    return QString(kFormatSign) + QChar(kOptions[index].code);
}

QString optionObjectName(int index)
{
    if (!inTable(index))
        return {};
    return QStringLiteral("sRadioButton") + QString::number(index + 1);
}

} // namespace vorlune::textformat
