#include "script/ActionCatalogue.h"
#include "base/IniImage.h"
#include "i18n/TextTable.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace vorlune;
using namespace vorlune::script;
using vorlune::test::TestEnvironment;

namespace {

const QString kSep = QStringLiteral("\u2063");
const QString kMessageAction = QStringLiteral("Вывести сообщение в консоль");

QString arg(const QString &value) { return kSep + QStringLiteral(":[") + value + QStringLiteral("]") + kSep; }

} // namespace

class ActionCatalogueTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lineForHello()
    {
        TestEnvironment env;
        const QString line = makeActionLine(1, {QStringLiteral("Hello")});
        QCOMPARE(line, kMessageAction + arg(QStringLiteral("Hello")));
        QCOMPARE(getActionId(line), 1);
        QCOMPARE(ArgumentsCount(line), 1);
        QCOMPARE(getArgumentValue(line, 1), QStringLiteral("Hello"));
        QCOMPARE(actionIconIndex(line), 0);

        const QString block = actionLineBlock(line);
        QCOMPARE(block.size(), 10);
        QCOMPARE(block, arg(QStringLiteral("Hello")));
        QCOMPARE(actionLineName(line), kMessageAction);
        QCOMPARE(actionLineName(QStringLiteral("name only")), QStringLiteral("name only"));
        QCOMPARE(actionLineBlock(QStringLiteral("name only")), QString());
        QCOMPARE(ArgumentsCount(block), 1);
        QCOMPARE(getArgumentValue(block, 1), QStringLiteral("Hello"));
    }

    void blockRoundTrip_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::newRow("none") << QStringList();
        QTest::newRow("empty value") << QStringList{QString()};
        QTest::newRow("two") << QStringList{QStringLiteral("A"), QStringLiteral("B")};
        QTest::newRow("xml and quotes") << QStringList{QStringLiteral("a & \"b\" <c> $x \\n")};
        QTest::newRow("bracket alone") << QStringList{QStringLiteral("x]y"), QStringLiteral("[z]")};
        QTest::newRow("opening marker inside") << QStringList{QStringLiteral("p") + kSep + QStringLiteral(":[q")};
        QTest::newRow("cyrillic") << QStringList{QStringLiteral("Привет, мир")};
    }

    void blockRoundTrip()
    {
        QFETCH(QStringList, values);
        const QString block = makeArgumentBlock(values);
        QCOMPARE(block.isEmpty(), values.isEmpty());
        QCOMPARE(ArgumentsCount(block), int(values.size()));
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(getArgumentValue(block, i + 1), values[i]);
    }

    void argumentValueEdges()
    {
        const QString two = arg(QStringLiteral("A")) + arg(QStringLiteral("B"));
        QCOMPARE(ArgumentsCount(two), 2);
        QCOMPARE(getArgumentValue(two, 0), QString());
        QCOMPARE(getArgumentValue(two, -1), QString());
        QCOMPARE(getArgumentValue(two, 3), QStringLiteral("B")); // beyond: the last value
        QCOMPARE(getArgumentValue(QString(), 1), QString());
        QCOMPARE(ArgumentsCount(QString()), 0);

        // A closing marker inside a value cuts it there.
        QCOMPARE(getArgumentValue(arg(QStringLiteral("ab]") + kSep + QStringLiteral("cd")), 1), QStringLiteral("ab"));
        // No closing marker: the value reads empty.
        QCOMPARE(getArgumentValue(kSep + QStringLiteral(":[open"), 1), QString());
        // No opening marker: no argument.
        QCOMPARE(getArgumentValue(QStringLiteral("plain]") + kSep, 1), QString());
        QCOMPARE(ArgumentsCount(kSep + kSep + kSep), 1);
    }

    void actionIdLooksOnlyAtTheNamePrefix()
    {
        TestEnvironment env;
        QCOMPARE(getActionId(kMessageAction), 1);
        QCOMPARE(getActionId(kMessageAction + QStringLiteral("anything")), 1);
        QCOMPARE(getActionId(kMessageAction.left(5)), 0);
        QCOMPARE(getActionId(QStringLiteral("x") + kMessageAction), 0);
        QCOMPARE(getActionId(QString()), 0);
        QCOMPARE(actionIconIndex(QStringLiteral("other")), -1);
        QCOMPARE(getActionName(1), kMessageAction);
        QVERIFY(getActionName(0).isEmpty());
        QVERIFY(getActionName(99).isEmpty());
        // The other actions are known by their whole name.
        QCOMPARE(getActionId(makeActionLine(5, {QStringLiteral("a"), QStringLiteral("b")})), 5);
        QCOMPARE(getActionId(getActionName(4)), 4);
        QCOMPARE(getActionId(getActionName(4) + QStringLiteral("x")), 0);

        const QString oldLine = makeActionLine(1, {QStringLiteral("Hi")});
        base::IniImage image;
        image.writeString(QStringLiteral("FNCT"), QStringLiteral("fnct1"), QStringLiteral("Log to console"));
        i18n::texts().GetStringFromLanguage(image, QStringLiteral("FNCT"), QStringLiteral("fnct1"), QString(),
                                            i18n::TextId("FNCT.fnct1").slot());
        QCOMPARE(getActionId(oldLine), 0);
        QCOMPARE(makeActionLine(1, {QStringLiteral("Hi")}),
                 QStringLiteral("Log to console") + arg(QStringLiteral("Hi")));
    }

    void readableLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expected");
        const QString name = kMessageAction;
        const QString shown = name + QStringLiteral(": ");
        const auto row = [](const char *what, const QString &line, const QString &expected) {
            QTest::newRow(what) << line << expected;
        };
        row("message", name + arg(QStringLiteral("Hello, world")), shown + QStringLiteral("Hello, world"));
        row("no arguments", name, name);
        row("two values", QStringLiteral("Kick") + arg(QStringLiteral("Steve")) + arg(QStringLiteral("spam")),
            QStringLiteral("Kick: Steve; spam"));
        row("empty value", name + arg(QString()), shown);
        row("brackets and colons typed", name + arg(QStringLiteral("[x]: y]")), shown + QStringLiteral("[x]: y]"));
        row("format codes", name + arg(QStringLiteral("§6Gold")), shown + QStringLiteral("§6Gold"));
        row("opening marker inside", name + arg(QStringLiteral("p") + kSep + QStringLiteral(":[q")),
            shown + QStringLiteral("p:[q"));
        row("unclosed value", name + kSep + QStringLiteral(":[open end"), shown + QStringLiteral("open end"));
        row("stray separators", name + kSep + kSep + kSep, name);
    }

    void readableLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, expected);
        QCOMPARE(readableActionLine(line), expected);
    }

    void parsingActionIds()
    {
        QCOMPARE(parseActionId(QStringLiteral("1")), std::optional<int>(1));
        QCOMPARE(parseActionId(QStringLiteral("0")), std::optional<int>(0));
        QCOMPARE(parseActionId(QStringLiteral("01")), std::optional<int>(1));
        const QStringList invalid{QString(),
                                  QStringLiteral("-1"),
                                  QStringLiteral("+1"),
                                  QStringLiteral(" 1"),
                                  QStringLiteral("1 "),
                                  QStringLiteral("1a"),
                                  QStringLiteral("0x1"),
                                  QStringLiteral("99999999999999999999"),
                                  QStringLiteral("\u0661")};
        for (const QString &text : invalid)
            QVERIFY2(!parseActionId(text).has_value(), qPrintable(text));
    }
};

VORLUNE_TEST(ActionCatalogueTest)
#include "ActionCatalogueTest.moc"
