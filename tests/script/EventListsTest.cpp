#include "script/EventLists.h"
#include "base/Error.h"
#include "project/ProjectDocument.h"
#include "script/ActionCatalogue.h"
#include "script/EventSettings.h"
#include "support/Programs.h"
#include "support/ScriptParts.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

#include <optional>

using namespace vorlune;
using namespace vorlune::script;
using vorlune::project::ProjectDocument;
using vorlune::project::XmlElement;
using vorlune::test::addAction;
using vorlune::test::TestEnvironment;

namespace {

const QString kSep = QStringLiteral("\u2063");

QString block(const QString &value) { return kSep + QStringLiteral(":[") + value + QStringLiteral("]") + kSep; }

QString line(const QString &value) { return makeActionLine(1, {value}); }

QByteArray projectBytes(const QString &mainScriptContent)
{
    return (QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plugin><settings/><phpscripts><") +
            project::kMainScriptElementName + QLatin1Char('>') + mainScriptContent + QStringLiteral("</") +
            project::kMainScriptElementName + QStringLiteral("></phpscripts></plugin>"))
        .toUtf8();
}

} // namespace

class EventListsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void saveAndOpen()
    {
        EventLists lists;
        const QStringList view{line(QStringLiteral("a")), line(QStringLiteral("b")), line(QStringLiteral("a"))};
        lists.SaveEventList(QStringLiteral("ev_2"), view);
        QCOMPARE(lists.EventListOpen(QStringLiteral("ev_2")), view); // order and duplicates kept
        QCOMPARE(lists.lines(2), view);
        QVERIFY(lists.EventListOpen(QStringLiteral("ev_1")).isEmpty());

        // Saving replaces, it does not append.
        lists.SaveEventList(QStringLiteral("ev_2"), {line(QStringLiteral("c"))});
        QCOMPARE(lists.EventListOpen(QStringLiteral("ev_2")), QStringList{line(QStringLiteral("c"))});
        lists.SaveEventList(QStringLiteral("ev_2"), {});
        QVERIFY(lists.EventListOpen(QStringLiteral("ev_2")).isEmpty());

        lists.SaveEventList(QStringLiteral("ev_3"), view);
        lists.DeleteEventList(QStringLiteral("ev_3"));
        QVERIFY(lists.lines(3).isEmpty());
        lists.append(QStringLiteral("ev_3"), line(QStringLiteral("x")));
        QCOMPARE(lists.lines(3).size(), 1);
    }

    void clearEmptiesEveryList()
    {
        EventLists lists;
        for (int number = 0; number < kEventListCount; ++number)
            lists.append(QStringLiteral("ev_") + QString::number(number), QStringLiteral("line"));
        QCOMPARE(lists.lines(0).size(), 1);
        QCOMPARE(lists.lines(100).size(), 1);
        lists.EventListClear();
        QVERIFY(lists.isEmpty());
        for (int number = 0; number < kEventListCount; ++number)
            QVERIFY(lists.lines(number).isEmpty());
    }

    void invalidIdsTouchNoList()
    {
        EventLists lists;
        const QStringList bad{QStringLiteral("ev_101"), QStringLiteral("ev_-1"), QStringLiteral("ev_1x"),
                              QStringLiteral("ev_"), QString()};
        for (const QString &id : bad) {
            lists.SaveEventList(id, {QStringLiteral("x")});
            lists.append(id, QStringLiteral("x"));
            QVERIFY(lists.EventListOpen(id).isEmpty());
        }
        QVERIFY(lists.isEmpty());
        QVERIFY(lists.lines(-1).isEmpty());
        QVERIFY(lists.lines(101).isEmpty());
    }

    void documentRoundTrip()
    {
        ProjectDocument document = ProjectDocument::newProject();
        EventLists lists;
        lists.SaveEventList(QStringLiteral("ev_3"),
                            {line(QStringLiteral("bye")), line(QStringLiteral("a & \"b\" <c>"))});
        lists.SaveEventList(QStringLiteral("ev_1"), {line(QStringLiteral("hi"))});
        // A command and a timer carry their settings on their elements.
        const QString heal = commandArgs({QStringLiteral("heal"), QStringLiteral("Heal & \"rest\""),
                                          QStringLiteral("/heal <who>"), QString::fromLatin1(kOperators)});
        lists.setSettings(QStringLiteral("ev_41"), heal);
        lists.SaveEventList(QStringLiteral("ev_41"), {line(QStringLiteral("healed"))});
        lists.setSettings(QStringLiteral("ev_60"), timerArgs(300));
        lists.SaveEventList(QStringLiteral("ev_60"), {line(QStringLiteral("tick"))});
        // ev_2 was added but left without actions.
        const QStringList order{QStringLiteral("ev_3"), QStringLiteral("ev_2"), QStringLiteral("ev_1"),
                                QStringLiteral("ev_41"), QStringLiteral("ev_60")};
        rebuildMainScript(document, order, lists);

        const auto events = document.mainScript().childElements();
        QCOMPARE(events.size(), size_t(4));
        QCOMPARE(events[2].attribute(QStringLiteral("args")), heal);
        QVERIFY(!events[1].hasAttribute(QStringLiteral("args")));
        QCOMPARE(events[0].name(), QStringLiteral("ev_3"));
        QCOMPARE(events[1].name(), QStringLiteral("ev_1"));
        const auto actions = events[0].childElements();
        QCOMPARE(actions.size(), size_t(2));
        QCOMPARE(actions[0].name(), QStringLiteral("actn"));
        QCOMPARE(actions[0].attribute(QStringLiteral("id")), QStringLiteral("1"));
        QCOMPARE(actions[0].attribute(QStringLiteral("args")), block(QStringLiteral("bye")));

        // Through the file's bytes and back.
        ProjectDocument reopened = ProjectDocument::fromBytes(document.toBytes());
        EventLists read;
        read.SaveEventList(QStringLiteral("ev_50"), {QStringLiteral("stale")});
        read.setSettings(QStringLiteral("ev_42"), timerArgs(1));
        const QStringList ids = readMainScript(reopened, read);
        QCOMPARE(ids, (QStringList{QStringLiteral("ev_3"), QStringLiteral("ev_1"), QStringLiteral("ev_41"),
                                   QStringLiteral("ev_60")}));
        QCOMPARE(read.settings(QStringLiteral("ev_41")), heal);
        QCOMPARE(read.lines(41), lists.lines(41));
        QVERIFY(read.settings(QStringLiteral("ev_42")).isEmpty());
        QCOMPARE(eventCaption(QStringLiteral("ev_41"), read.settings(QStringLiteral("ev_41"))),
                 QStringLiteral("/heal"));
        QCOMPARE(eventCaption(QStringLiteral("ev_60"), read.settings(QStringLiteral("ev_60"))),
                 QStringLiteral("Таймер 1: каждые 300 с"));
        refuseBrokenSettings(reopened, QStringLiteral("p.vlk"));
        QCOMPARE(read.lines(3), lists.lines(3));
        QCOMPARE(read.lines(1), lists.lines(1));
        QVERIFY(read.lines(2).isEmpty());
        QVERIFY(read.lines(50).isEmpty()); // reading starts from empty lists

        // Rebuilding replaces what was there.
        rebuildMainScript(reopened, {QStringLiteral("ev_1")}, read);
        QCOMPARE(reopened.mainScript().childElements().size(), size_t(1));

        // Opening refuses settings that are missing or broken, by their line.
        for (const QString &broken :
             {QStringLiteral("<ev_40>"), QStringLiteral("<ev_40 args=\"%1\">").arg(block(QStringLiteral("a b"))),
              QStringLiteral("<ev_61 args=\"%1\">").arg(block(QStringLiteral("86401")))}) {
            const ProjectDocument file = ProjectDocument::fromBytes(projectBytes(
                QStringLiteral("<ev_1/>\n\n") + broken + QStringLiteral("</") + broken.mid(1, 5) + QLatin1Char('>')));
            const QString error = test::errorOf([&] { refuseBrokenSettings(file, QStringLiteral("p.vlk")); });
            QVERIFY2(error.contains(QStringLiteral("p.vlk")) && error.contains(QStringLiteral("Строка 3:")) &&
                         error.contains(broken.mid(1, 5)),
                     qPrintable(error));
        }
    }

    void linesAreRebuiltInTheCurrentLanguage()
    {
        ProjectDocument document = ProjectDocument::newProject();
        XmlElement event = document.mainScript().appendChildElement(QStringLiteral("ev_1"));
        addAction(event, QStringLiteral("1"), block(QStringLiteral("Hello")));
        addAction(event, QStringLiteral("77"), block(QStringLiteral("unknown")));
        addAction(event, QStringLiteral("1"), QString());
        EventLists lists;
        readMainScript(document, lists);
        QCOMPARE(lists.lines(1),
                 (QStringList{line(QStringLiteral("Hello")), block(QStringLiteral("unknown")), getActionName(1)}));
    }

    void foreignContentIsIgnoredItemByItem()
    {
        const QString a = block(QStringLiteral("A"));
        const QString content =
            QStringLiteral("<ev_101><actn id=\"1\" args=\"x\"/></ev_101>"
                           "<ev_-1><actn id=\"1\" args=\"x\"/></ev_-1>"
                           "<ev_1x><actn id=\"1\" args=\"x\"/></ev_1x>"
                           "<ev_><actn id=\"1\" args=\"x\"/></ev_>"
                           "<other/>text<!-- note -->"
                           "<ev_2><actn args=\"no id\"/><actn id=\"one\" args=\"x\"/><actn id=\"-1\" args=\"x\"/>"
                           "<anything id=\"1\" args=\"%1\"/></ev_2>"
                           "<ev_100><actn id=\"1\" args=\"%1\"/></ev_100>"
                           "<ev_2><actn id=\"1\" args=\"%1\"/></ev_2>")
                .arg(a);
        ProjectDocument document = ProjectDocument::fromBytes(projectBytes(content));
        EventLists lists;
        const QStringList ids = readMainScript(document, lists);
        // A repeated event keeps its first place and collects both elements' actions.
        QCOMPARE(ids, (QStringList{QStringLiteral("ev_2"), QStringLiteral("ev_100")}));
        QCOMPARE(lists.lines(2), (QStringList{line(QStringLiteral("A")), line(QStringLiteral("A"))}));
        QCOMPARE(lists.lines(100), QStringList{line(QStringLiteral("A"))});
        int filled = 0;
        for (int number = 0; number < kEventListCount; ++number)
            filled += lists.lines(number).isEmpty() ? 0 : 1;
        QCOMPARE(filled, 2);

        // Writing back gives each event once.
        rebuildMainScript(document, ids + ids, lists);
        const auto events = document.mainScript().childElements();
        QCOMPARE(events.size(), size_t(2));
        QCOMPARE(events[0].childElements().size(), size_t(2));
    }

    void missingElementsAreReported()
    {
        EventLists lists;
        ProjectDocument noScripts = ProjectDocument::fromBytes("<plugin><settings/></plugin>");
        try {
            readMainScript(noScripts, lists);
            QFAIL("no error");
        } catch (const Error &error) {
            QVERIFY(error.text().contains(QStringLiteral("phpscripts")));
        }
        // Latin letters only: a different element.
        ProjectDocument latinName = ProjectDocument::fromBytes(
            "<plugin><phpscripts><php_main_file><ev_1/></php_main_file></phpscripts></plugin>");
        try {
            rebuildMainScript(latinName, {}, lists);
            QFAIL("no error");
        } catch (const Error &error) {
            QVERIFY(error.text().contains(project::kMainScriptElementName));
        }
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(EventListsTest)
#include "EventListsTest.moc"
