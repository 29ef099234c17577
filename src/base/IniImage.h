#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace vorlune::base {

// An INI file held in memory. Sections and keys are matched without regard
// to letter case and the first match counts. Lines inside a section that are
// not entries are kept and written back as they were read (trimmed); comments,
// blank lines and lines before the first section are dropped.
class IniImage {
public:
    // Decodes by byte-order mark (UTF-8, UTF-16 LE/BE), else windows-1251;
    // broken sequences read as U+FFFD.
    static IniImage fromBytes(const QByteArray &bytes);
    // A missing file gives an empty image; an unreadable one throws.
    static IniImage load(const QString &path);

    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
    bool hasEntry(const QString &section, const QString &key) const;
    // Replaces the first matching entry, else appends it to its section,
    // else appends the section at the end.
    void writeString(const QString &section, const QString &key, const QString &value);

    // UTF-8 with byte-order mark, CR LF, one empty line after each section.
    QByteArray toBytes() const;
    // Writes the whole image over the file; throws vorlune::Error on failure.
    void save(const QString &path) const;

    QStringList sectionNames() const;
    // Keys of the first section with this name, in file order.
    QStringList keys(const QString &section) const;

private:
    struct Line {
        QString key;
        QString value;
        QString text; // the whole line, for lines that are not entries
        bool isEntry = false;
    };
    struct Section {
        QString name;
        std::vector<Line> lines;
    };

    const Section *findSection(const QString &name) const;
    Section *findSection(const QString &name);

    std::vector<Section> m_sections;
};

// Makes sure an entry exists: a missing one gets the default, an existing
// one keeps its value untouched.
void SetSetting(IniImage &settings, const QString &par1, const QString &par2, const QString &str);

// Decodes text the way INI files are read: by byte-order mark, else in the
// 8-bit code page that stands for the system's ANSI code page.
QString decodeByByteOrderMark(const QByteArray &bytes);

} // namespace vorlune::base
