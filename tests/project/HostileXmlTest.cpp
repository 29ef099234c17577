#include "base/Error.h"
#include "project/AttributeCount.h"
#include "project/ProjectDocument.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace vorlune;
using namespace vorlune::project;

namespace {

const QString kEntityRefusal =
    QStringLiteral("%1: the entities it declares (<!ENTITY ...>) expand to more than 1 MB of text or refer to "
                   "themselves, so the file is not opened.");

// A project whose DOCTYPE declares `entities`, with one event holding `actions`.
QByteArray projectWith(const QByteArray &entities, const QByteArray &settings, const QByteArray &actions)
{
    const QByteArray main = kMainScriptElementName.toUtf8();
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plugin [" + entities + "]>\n<plugin>\n<settings " +
           settings + "/>\n<phpscripts><" + main + "><ev_1>" + actions + "</ev_1></" + main +
           "></phpscripts>\n</plugin>\n";
}

QByteArray entity(const QByteArray &name, const QByteArray &value)
{
    return "<!ENTITY " + name + " \"" + value + "\">";
}

QByteArray reference(const QByteArray &name) { return '&' + name + ';'; }

QByteArray attributes(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += " a" + QByteArray::number(i) + "=\"x\"";
    return text;
}

QByteArray argumentsReferring(const QByteArray &name, int count)
{
    return QByteArray("<actn id=\"1\" args=\"" + reference(name) + "\"/>").repeated(count);
}

// lol0 is `leaf`; every further level refers to the one below `branch` times.
QByteArray nestedEntities(const QByteArray &leaf, int branch, int levels)
{
    QByteArray declarations = entity("lol0", leaf);
    for (int level = 1; level <= levels; ++level)
        declarations += entity("lol" + QByteArray::number(level),
                               reference("lol" + QByteArray::number(level - 1)).repeated(branch));
    return declarations;
}

QString refusalOf(const QByteArray &bytes, const QString &name)
{
    try {
        ProjectDocument::fromBytes(bytes, name);
    } catch (const Error &error) {
        return error.text();
    }
    return QStringLiteral("(accepted)");
}

} // namespace

class HostileXmlTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void entitiesExpandingTooFarAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray big = entity("big", QByteArray(250000, 'x'));
        QTest::newRow("one big entity in arguments") << projectWith(big, "name=\"P\"", argumentsReferring("big", 20));
        QTest::newRow("one big entity in settings and text") << projectWith(
            big, "name=\"&big;\" creator=\"&big;\"", QByteArray("<actn id=\"1\" args=\"\">&big;</actn>").repeated(3));
        // A long document dilutes the ratio libxml2 watches, so only counting
        // through the nesting finds these 1.1 MB.
        QTest::newRow("nested entities in a long document")
            << projectWith(nestedEntities(QByteArray(1000, 'x'), 10, 2), "site=\"" + QByteArray(500000, 'p') + '"',
                           argumentsReferring("lol2", 11));
        QTest::newRow("billion laughs in an argument")
            << projectWith(nestedEntities("lol", 10, 9), "name=\"P\"", argumentsReferring("lol9", 1));
        QTest::newRow("billion laughs in text")
            << projectWith(nestedEntities("lol", 10, 9), "name=\"P\"", "<actn id=\"1\" args=\"\">&lol9;</actn>");
        QTest::newRow("entities referring to each other")
            << projectWith(entity("a", "x&b;") + entity("b", "y&a;"), "name=\"&a;\"", {});
    }

    void entitiesExpandingTooFarAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(refusalOf(bytes, QStringLiteral("hostile.vlk")), kEntityRefusal.arg(QStringLiteral("hostile.vlk")));
    }

    void smallEntitiesStillReadBackExpanded()
    {
        const QByteArray entities = entity("who", "Alice &amp; Bob") + entity("greet", "Hello, &who;&#33;");
        ProjectDocument document = ProjectDocument::fromBytes(
            projectWith(entities, "name=\"P\" creator=\"&who;\"",
                        "<actn id=\"1\" args=\"&#8291;:[&greet;]&#8291;\"/><actn id=\"2\" args=\"\">&who;</actn>"));
        QCOMPARE(document.settings().attribute(QStringLiteral("creator")), QStringLiteral("Alice & Bob"));
        const XmlElement event = document.mainScript().childElements().at(0);
        QCOMPARE(event.childElements().size(), size_t(2));
        const QString expected = QStringLiteral("\u2063:[Hello, Alice & Bob!]\u2063");
        QCOMPARE(event.childElements().at(0).attribute(QStringLiteral("args")), expected);

        // Saving keeps the declarations, so the reopened file reads the same.
        const ProjectDocument reopened = ProjectDocument::fromBytes(document.toBytes());
        QCOMPARE(reopened.mainScript().childElements().at(0).childElements().at(0).attribute(QStringLiteral("args")),
                 expected);
    }

    void entitiesJustWithinTheBoundOpen()
    {
        // Ten times 100,000 characters: 1,000,000 bytes, under 1 MB.
        const ProjectDocument document = ProjectDocument::fromBytes(
            projectWith(entity("part", QByteArray(100000, 'y')), "name=\"P\"", argumentsReferring("part", 10)));
        const auto actions = document.mainScript().childElements().at(0).childElements();
        QCOMPARE(actions.size(), size_t(10));
        for (const XmlElement &action : actions)
            QCOMPARE(action.attribute(QStringLiteral("args")), QString(100000, QLatin1Char('y')));
    }

    void parserLimitsNameTheCause_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        const QString textTooLong = QStringLiteral("too long (the limit is 10,000,000 bytes).");
        const QString nameTooLong =
            QStringLiteral("p.vlk, line 2: a name of an element, attribute or entity is too long (the limit is "
                           "50,000 bytes).");
        QTest::newRow("deep nesting")
            << "<plugin>\n" + QByteArray("<a>").repeated(300) + QByteArray("</a>").repeated(300) + "</plugin>"
            << QStringLiteral("p.vlk, line 2: elements are nested too deeply (the limit is 256 levels).");
        QTest::newRow("long attribute value")
            << "<plugin>\n<settings/>\n<settings name=\"" + QByteArray(10000001, 'v') + "\"/></plugin>"
            << QStringLiteral("p.vlk, line 3: an attribute value is ") + textTooLong;
        QTest::newRow("long element name") << "<plugin>\n<" + QByteArray(60000, 'n') + "/></plugin>" << nameTooLong;
        QTest::newRow("long attribute name")
            << "<plugin>\n<a " + QByteArray(60000, 'n') + "=\"1\"/></plugin>" << nameTooLong;
        QTest::newRow("deep declaration")
            << "<!DOCTYPE plugin [\n<!ELEMENT a " + QByteArray(300, '(') + "b" + QByteArray(300, ')') + ">]>\n<plugin/>"
            << QStringLiteral("p.vlk, line 2: a declaration in the DOCTYPE is nested too deeply.");
        QTest::newRow("long comment") << "<plugin>\n<!--" + QByteArray(10000001, 'c') + "--></plugin>"
                                      << QStringLiteral("p.vlk, line 2: a text, comment or other part is ") +
                                             textTooLong;
        QTest::newRow("200,000 attributes")
            << "<plugin>\n<settings " + attributes(200000) + "/></plugin>"
            << QStringLiteral("p.vlk, line 2: an element has more than 256 attributes, "
                              "more than a project can have, so the file is not opened.");
        QTest::newRow("a byte windows-1251 lacks")
            << QByteArray(
                   "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<plugin><settings name=\"A\x98\"/></plugin>")
            << QStringLiteral("p.vlk, line 2: it holds bytes that are not text in the encoding it declares (the byte "
                              "0x98), so the file is not opened.");
    }

    // Only attributes of start tags count, found without parsing.
    void attributesAreCountedInStartTagsOnly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("line");
        const QByteArray many = attributes(kMaxAttributes + 1);
        QTest::newRow("at the limit") << "<plugin " + attributes(kMaxAttributes) + "/>" << 0;
        QTest::newRow("over it, on line 3") << "<a>\n<b/>\n<plugin " + many + "/>" << 3;
        QTest::newRow("= in values") << "<plugin a=\"" + QByteArray(1000, '=') + "\" b='==>'/>" << 0;
        QTest::newRow("comment") << "<!-- <x " + many + "> -->\n<plugin/>" << 0;
        QTest::newRow("CDATA") << "<p><![CDATA[<x " + many + ">]]></p>" << 0;
        QTest::newRow("instruction") << "<?x " + many + "?><p/>" << 0;
        QTest::newRow("DOCTYPE") << "<!DOCTYPE p [<!ENTITY e \"<x " + many + ">\">]><p/>" << 0;
        QByteArray utf16;
        for (const char c : "<plugin " + many + "/>")
            utf16 += QByteArray(1, c) + '\0';
        QTest::newRow("UTF-16") << utf16 << 1;
    }
    void attributesAreCountedInStartTagsOnly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, line);
        QCOMPARE(lineOfTooManyAttributes(bytes), line);
    }

    void parserLimitsNameTheCause()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(refusalOf(bytes, QStringLiteral("p.vlk")), expected);
    }

    void otherParserMessagesStayAsTheyWere()
    {
        QCOMPARE(refusalOf("<plugin><settings>", QStringLiteral("p.vlk")),
                 QStringLiteral("p.vlk, line 1: Premature end of data in tag settings line 1"));
        QCOMPARE(refusalOf("<plugin>\n<settings name=\"&nope;\"/></plugin>", QStringLiteral("p.vlk")),
                 QStringLiteral("p.vlk, line 2: Entity 'nope' not defined"));
    }
};

VORLUNE_TEST(HostileXmlTest)
#include "HostileXmlTest.moc"
