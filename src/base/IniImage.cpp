#include "base/IniImage.h"

#include "base/FileIo.h"
#include "base/TextCodecs.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

namespace vorlune::base {

namespace {

// Qt's UTF-16 decoder passes unpaired surrogates through; no encoder can
// write them back, so they read as U+FFFD, as broken UTF-8 does.
QString decodeUtf16(QStringDecoder::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (text.at(i).isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

} // namespace

QString decodeByByteOrderMark(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (bytes.startsWith("\xFF\xFE"))
        return decodeUtf16(QStringDecoder::Utf16LE, QByteArrayView(bytes).sliced(2));
    if (bytes.startsWith("\xFE\xFF"))
        return decodeUtf16(QStringDecoder::Utf16BE, QByteArrayView(bytes).sliced(2));
    return codecs::decodeAnsi(bytes);
}

IniImage IniImage::fromBytes(const QByteArray &bytes)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
    IniImage image;
    Section *current = nullptr;
    const QStringList lines = decodeByByteOrderMark(bytes).split(lineBreak);
    for (const QString &rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')) && line.size() >= 2) {
            image.m_sections.push_back(Section{line.mid(1, line.size() - 2).trimmed(), {}});
            current = &image.m_sections.back();
            continue;
        }
        if (!current)
            continue;
        Line entry;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals >= 0) {
            entry.isEntry = true;
            entry.key = line.left(equals).trimmed();
            entry.value = line.mid(equals + 1).trimmed();
        } else {
            entry.text = line;
        }
        current->lines.push_back(std::move(entry));
    }
    return image;
}

IniImage IniImage::load(const QString &path)
{
    if (!QFileInfo::exists(path))
        return {};
    return fromBytes(fileio::readAll(path, fileio::kIniFileLimit));
}

const IniImage::Section *IniImage::findSection(const QString &name) const
{
    for (const Section &section : m_sections) {
        if (section.name.compare(name, Qt::CaseInsensitive) == 0)
            return &section;
    }
    return nullptr;
}

IniImage::Section *IniImage::findSection(const QString &name)
{
    return const_cast<Section *>(std::as_const(*this).findSection(name));
}

bool IniImage::hasEntry(const QString &section, const QString &key) const
{
    if (const Section *found = findSection(section)) {
        for (const Line &line : found->lines) {
            if (line.isEntry && line.key.compare(key, Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

QString IniImage::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    if (const Section *found = findSection(section)) {
        for (const Line &line : found->lines) {
            if (line.isEntry && line.key.compare(key, Qt::CaseInsensitive) == 0)
                return line.value;
        }
    }
    return defaultValue;
}

void IniImage::writeString(const QString &section, const QString &key, const QString &value)
{
    Section *found = findSection(section);
    if (!found) {
        m_sections.push_back(Section{section, {}});
        found = &m_sections.back();
    }
    for (Line &line : found->lines) {
        if (line.isEntry && line.key.compare(key, Qt::CaseInsensitive) == 0) {
            line.key = key;
            line.value = value;
            return;
        }
    }
    Line entry;
    entry.isEntry = true;
    entry.key = key;
    entry.value = value;
    found->lines.push_back(std::move(entry));
}

QByteArray IniImage::toBytes() const
{
    QString text;
    const QLatin1String crlf("\r\n");
    for (const Section &section : m_sections) {
        text += QLatin1Char('[') + section.name + QLatin1Char(']') + crlf;
        for (const Line &line : section.lines) {
            if (line.isEntry)
                text += line.key + QLatin1Char('=') + line.value + crlf;
            else
                text += line.text + crlf;
        }
        text += crlf;
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

void IniImage::save(const QString &path) const { fileio::writeAtomically(path, toBytes()); }

QStringList IniImage::sectionNames() const
{
    QStringList names;
    for (const Section &section : m_sections)
        names << section.name;
    return names;
}

QStringList IniImage::keys(const QString &section) const
{
    QStringList result;
    if (const Section *found = findSection(section)) {
        for (const Line &line : found->lines) {
            if (line.isEntry)
                result << line.key;
        }
    }
    return result;
}

void SetSetting(IniImage &settings, const QString &par1, const QString &par2, const QString &str)
{
    settings.writeString(par1, par2, settings.readString(par1, par2, str));
}

} // namespace vorlune::base
