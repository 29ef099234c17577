#include "base/FileIo.h"
#include "base/IniImage.h"
#include "i18n/ExtraTextRows.h"
#include "i18n/ExtraTexts.h"
#include "i18n/TextRows.h"
#include "i18n/TextTable.h"
#include "script/ActionTable.h"
#include "script/EventTable.h"
#include "support/TestRegistry.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <algorithm>

using namespace vorlune;
using vorlune::base::IniImage;

namespace {

QString fromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// The placeholders a text holds, as "{name}" etc., in order.
QStringList placeholders(const QString &text)
{
    static const QRegularExpression brace(QStringLiteral("\\{[^}]*\\}"));
    QStringList found;
    for (auto it = brace.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    return found;
}

bool hasCyrillic(const QString &text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x0400 && c.unicode() <= 0x052F; });
}

} // namespace

class LanguageFilesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void siteLanguageFileIsCompleteAndKeepsThePlaceholders_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("noCyrillic"); // nothing left over from the Russian
        QTest::newRow("English") << "English.ini"
                                 << "en" << true;
        QTest::newRow("Russian") << "Russian.ini"
                                 << "ru" << false;
        QTest::newRow("Ukrainian") << "Ukrainian.ini"
                                   << "uk" << false;
        QTest::newRow("Chinese") << "Chinese.ini"
                                 << "zh_CN" << true;
        QTest::newRow("Lithuanian") << "Lithuanian.ini"
                                    << "lt" << true;
    }

    void siteLanguageFileIsCompleteAndKeepsThePlaceholders()
    {
        QFETCH(QString, file);
        QFETCH(QString, locale);
        QFETCH(bool, noCyrillic);
        const QByteArray bytes = fileio::readAll(QStringLiteral(VORLUNE_SOURCE_DIR "/site/VL-Files/languages/") + file,
                                                 fileio::kIniFileLimit);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));

        // The loader adds nothing and writes it back byte for byte: no key is
        // missing, no comment or stray blank line is lost.
        IniImage image = IniImage::fromBytes(bytes);
        i18n::TextTable table;
        table.fillFrom(image);
        QCOMPARE(image.toBytes(), bytes);

        // Sections and keys in the table's order, nothing more.
        QStringList sections;
        QHash<QString, QStringList> keys;
        for (const i18n::TextRow &row : i18n::kTextRows) {
            if (sections.isEmpty() || sections.last() != fromUtf8(row.section))
                sections << fromUtf8(row.section);
            keys[sections.last()] << fromUtf8(row.key);
        }
        QCOMPARE(image.sectionNames(), sections + QStringList{i18n::kExtraTextSection});
        for (const QString &section : sections)
            QCOMPARE(image.keys(section), keys.value(section));

        for (int slot = 0; slot < int(i18n::kTextRows.size()); ++slot) {
            const QString russian = fromUtf8(i18n::kTextRows[slot].defaultText);
            const QString text = table.text(slot);
            const QByteArray where =
                QStringLiteral("%1.%2: %3")
                    .arg(fromUtf8(i18n::kTextRows[slot].section), fromUtf8(i18n::kTextRows[slot].key), text)
                    .toUtf8();
            QVERIFY2(!text.trimmed().isEmpty(), where.constData());
            QVERIFY2(placeholders(text) == placeholders(russian), where.constData());
            QVERIFY2(!noCyrillic || !hasCyrillic(text), where.constData());
            if (locale == QLatin1String("ru"))
                QCOMPARE(text, russian);
        }

        const QString extra = i18n::kExtraTextSection;
        QStringList extraKeys;
        for (const i18n::ExtraTextRow &row : i18n::kExtraTextRows)
            extraKeys << QString::fromLatin1(row.key.data(), qsizetype(row.key.size()));
        QCOMPARE(image.keys(extra), QStringList{QStringLiteral("language")} + extraKeys);
        QCOMPARE(image.readString(extra, QStringLiteral("language"), QString()), locale);
        for (const QString &key : extraKeys) {
            const QString text = image.readString(extra, key, QString());
            const QString russian = i18n::extraTextDefault(key.toStdString());
            const QByteArray where = (key + QStringLiteral(": ") + text).toUtf8();
            QVERIFY2(!text.trimmed().isEmpty(), where.constData());
            QVERIFY2(!noCyrillic || !hasCyrillic(text), where.constData());
            // A translation may put them in another order.
            QStringList have = placeholders(text), want = placeholders(russian);
            have.sort();
            want.sort();
            QVERIFY2(have == want, where.constData());
            if (locale == QLatin1String("ru"))
                QCOMPARE(text, russian);
        }

        // The settings grid finds its rows by caption, "API" being the fixed one.
        QSet<QString> captions{QStringLiteral("api")};
        for (const i18n::TextId id :
             {i18n::TextId("CNFG.cnfg1"), i18n::TextId("CNFG.cnfg2"), i18n::TextId("CNFG.cnfg3"),
              i18n::TextId("CNFG.cnfg4"), i18n::TextId("CNFG.cnfg5"), i18n::TextId("CNFG.cnfg6")})
            captions.insert(table.text(id).trimmed().toLower());
        QCOMPARE(captions.size(), 7);

        // Events and actions are found by their names: one per name, and no
        // action's name may start with the console message's (matched by prefix).
        QSet<QString> events, actions;
        for (const script::EventRow &row : script::eventRows())
            events.insert(table.text(row.name));
        QCOMPARE(events.size(), qsizetype(script::eventRows().size()));
        for (const script::ActionRow &row : script::actionRows()) {
            actions.insert(table.text(row.name));
            QVERIFY(row.id == 1 || !table.text(row.name).startsWith(table.text(i18n::TextId("FNCT.fnct1"))));
        }
        QCOMPARE(actions.size(), qsizetype(script::actionRows().size()));
    }
};

VORLUNE_TEST(LanguageFilesTest)
#include "LanguageFilesTest.moc"
