// What the server's YAML reader (PHP's yaml extension, YAML 1.1) makes of the
// plugin.yml we write: every value must come back as the text the user typed.

#include "build/CodeGenerator.h"
#include "build/PhpPeer.h"
#include "build/YamlScalar.h"
#include "support/Programs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTest>

using namespace vorlune;
using vorlune::project::PluginSettings;
using vorlune::test::TestEnvironment;

namespace {

// Keeps embedded null characters, which fromUtf16 without a size would end at.
template <qsizetype N>
QString utf16(const char16_t (&text)[N])
{
    return QString::fromUtf16(text, N - 1);
}

PluginSettings allSettings(const QString &value) { return {value, value, value, value, value, value, value}; }

// Parses each value's plugin.yml with php-yaml; gives one object per value,
// or a message naming what went wrong.
QJsonArray readBack(const QStringList &values, QString &failure)
{
    TestEnvironment env;
    QJsonArray files;
    for (const QString &value : values)
        files.append(QString::fromUtf8(build::joinLines(build::makePluginYml(allSettings(value)))));
    const QString input = env.path(QStringLiteral("files.json"));
    test::writeFile(input, QJsonDocument(files).toJson(QJsonDocument::Compact));
    const QByteArray out = test::runPhp(QStringLiteral(R"php(
if (!extension_loaded('yaml')) { fwrite(STDERR, "php-yaml is not installed"); exit(1); }
$parsed = [];
foreach (json_decode(file_get_contents($argv[1]), true) as $text) {
    $value = @yaml_parse($text);
    $parsed[] = is_array($value) ? $value : ['unreadable' => $text];
}
// NAN and INF become 0, which is no string either.
echo json_encode($parsed, JSON_PARTIAL_OUTPUT_ON_ERROR | JSON_UNESCAPED_UNICODE);
)php"),
                                        {input});
    const QJsonDocument json = QJsonDocument::fromJson(out);
    if (!json.isArray())
        failure = QString::fromUtf8(out);
    return json.array();
}

// The first value whose plugin.yml does not read back as typed, described.
QString firstMisread(const QStringList &values)
{
    QString failure;
    const QJsonArray parsed = readBack(values, failure);
    if (!failure.isEmpty())
        return failure;
    if (parsed.size() != values.size())
        return QStringLiteral("%1 files read for %2 values").arg(parsed.size()).arg(values.size());
    static const QStringList keys{QStringLiteral("name"),   QStringLiteral("main"),   QStringLiteral("version"),
                                  QStringLiteral("api"),    QStringLiteral("author"), QStringLiteral("load"),
                                  QStringLiteral("website")};
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QJsonObject read = parsed.at(i).toObject();
        for (const QString &key : keys) {
            const QJsonValue got = read.value(key);
            if (!got.isString() || got.toString() != values.at(i))
                return QStringLiteral("%1 (written %2) read as %3")
                    .arg(
                        QString::fromUtf8(QJsonDocument(QJsonArray{values.at(i)}).toJson(QJsonDocument::Compact)),
                        build::yamlScalar(values.at(i)),
                        QString::fromUtf8(
                            QJsonDocument(QJsonObject{{QStringLiteral("read"), read}}).toJson(QJsonDocument::Compact)));
        }
    }
    return {};
}

const QStringList &trickyValues()
{
    static const QStringList values{
        // Booleans and nulls in every spelling
        QStringLiteral("N"),
        QStringLiteral("y"),
        QStringLiteral("yes"),
        QStringLiteral("No"),
        QStringLiteral("TRUE"),
        QStringLiteral("false"),
        QStringLiteral("On"),
        QStringLiteral("OFF"),
        QStringLiteral("null"),
        QStringLiteral("Null"),
        QStringLiteral("~"),
        QString(),
        // numbers of every form
        QStringLiteral("2.0"),
        QStringLiteral("3"),
        QStringLiteral("-1"),
        QStringLiteral("+12"),
        QStringLiteral("0x1F"),
        QStringLiteral("0b101"),
        QStringLiteral("017"),
        QStringLiteral("1_000"),
        QStringLiteral("6.8523015e+5"),
        QStringLiteral(".5"),
        QStringLiteral("0."),
        QStringLiteral(".inf"),
        QStringLiteral("-.Inf"),
        QStringLiteral(".NaN"),
        QStringLiteral("190:20:30"),
        QStringLiteral("1:2"),
        // dates
        QStringLiteral("2001-12-14"),
        QStringLiteral("2001-12-14t21:59:43.10-05:00"),
        QStringLiteral("2001-12-14 21:59:43.10 -5"),
        // outer spaces, indicators, ": " and " #", quotes
        QStringLiteral(" Plugin"),
        QStringLiteral("Plugin "),
        QStringLiteral(" "),
        QStringLiteral("- item"),
        QStringLiteral("-"),
        QStringLiteral("? key"),
        QStringLiteral(":x"),
        QStringLiteral("[1, 2]"),
        QStringLiteral("{a: b}"),
        QStringLiteral("#comment"),
        QStringLiteral("&anchor"),
        QStringLiteral("*alias"),
        QStringLiteral("!tag"),
        QStringLiteral("|"),
        QStringLiteral(">folded"),
        QStringLiteral("%YAML"),
        QStringLiteral("@at"),
        QStringLiteral("`tick"),
        QStringLiteral("key: value"),
        QStringLiteral("end:"),
        QStringLiteral("text #comment"),
        QStringLiteral("\"quoted\""),
        QStringLiteral("'single'"),
        QStringLiteral("---"),
        QStringLiteral("..."),
        QStringLiteral("\"back\\\\slash\\"),
        // control characters and breaks
        QStringLiteral("a\tb"),
        QStringLiteral("line\nbreak"),
        QStringLiteral("cr\r\nlf"),
        utf16(u"nul\u0000bell\u0007esc\u001Bdel\u007F"),
        utf16(u"nel\u0085ls\u2028ps\u2029"),
        utf16(u"no\uFEFFbreak"),
        utf16(u"c1\u0090"),
    };
    return values;
}

} // namespace

class PluginYmlReadBackTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void trickyValuesAreQuotedAndReadBackAsTyped()
    {
        QVERIFY(trickyValues().size() >= 40);
        for (const QString &value : trickyValues())
            QVERIFY2(!build::isPlainYamlSafe(value), qPrintable(value));
        const QString misread = firstMisread(trickyValues());
        QVERIFY2(misread.isEmpty(), qPrintable(misread));
    }

    void ordinaryValuesStayPlain()
    {
        const QStringList values{QStringLiteral("Plugin"),
                                 QStringLiteral("Plugin\\Main"),
                                 QStringLiteral("1.0.0"),
                                 QStringLiteral("10.20.30.40"),
                                 QStringLiteral("YourName"),
                                 QStringLiteral("POSTWORLD"),
                                 QStringLiteral("example.com"),
                                 QStringLiteral("https://example.com/a?b=c#d"),
                                 QStringLiteral("My Plugin 2"),
                                 QStringLiteral("Плагин"),
                                 QStringLiteral("日本語"),
                                 QStringLiteral("it's"),
                                 QStringLiteral("say \"hi\""),
                                 QStringLiteral("a:b"),
                                 QStringLiteral("C:\\x"),
                                 QStringLiteral("a#b"),
                                 QStringLiteral("a, b [c] {d}"),
                                 QStringLiteral("1st place"),
                                 QStringLiteral("12:30 pm"),
                                 QStringLiteral("yess"),
                                 QStringLiteral("nope"),
                                 QStringLiteral("="),
                                 QStringLiteral("\\\"back\\\\slash\\")};
        for (const QString &value : values)
            QCOMPARE(build::yamlScalar(value), value);
        const QString misread = firstMisread(values);
        QVERIFY2(misread.isEmpty(), qPrintable(misread));
    }

    // Texts put together from the pieces YAML treats specially.
    void randomValuesReadBackAsTyped()
    {
        static const QStringList pieces{
            QStringLiteral("y"),  QStringLiteral("no"),  QStringLiteral("0"),    QStringLiteral("1"),
            QStringLiteral("."),  QStringLiteral("-"),   QStringLiteral(":"),    QStringLiteral(" "),
            QStringLiteral("#"),  QStringLiteral("\""),  QStringLiteral("'"),    QStringLiteral("\\"),
            QStringLiteral("\t"), QStringLiteral("\n"),  QStringLiteral("["),    QStringLiteral("{"),
            QStringLiteral("!"),  QStringLiteral("&"),   QStringLiteral("*"),    QStringLiteral("%"),
            QStringLiteral("~"),  QStringLiteral("e"),   QStringLiteral("x"),    QStringLiteral("_"),
            QStringLiteral("+"),  QStringLiteral("?"),   QStringLiteral("|"),    QStringLiteral(","),
            QStringLiteral("é"),  QStringLiteral("😀"),   utf16(u"\u0001"),       utf16(u"\u2028"),
            utf16(u"\u00A0"),     QStringLiteral("inf"), QStringLiteral("null"), QStringLiteral("Plugin")};
        QRandomGenerator random(20261209);
        QStringList values;
        for (int i = 0; i < 3000; ++i) {
            QString value;
            const int count = 1 + random.bounded(6);
            for (int j = 0; j < count; ++j)
                value += pieces.at(random.bounded(int(pieces.size())));
            values << value;
        }
        const QString misread = firstMisread(values);
        QVERIFY2(misread.isEmpty(), qPrintable(misread));
    }
};

VORLUNE_TEST(PluginYmlReadBackTest)
#include "PluginYmlReadBackTest.moc"
