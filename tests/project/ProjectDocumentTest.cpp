#include "project/ProjectDocument.h"
#include "base/Error.h"
#include "project/ProjectSession.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

#include <optional>

using namespace vorlune;
using namespace vorlune::project;
using vorlune::test::readFile;
using vorlune::test::TestEnvironment;
using vorlune::test::writeFile;

namespace {
const QString kInvisibleSeparator = QStringLiteral("\u2063");
}

class ProjectDocumentTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void newProjectSavedAtOnce()
    {
        ProjectSession session;
        session.NewPlugin();
        QCOMPARE(session.ProjectFileName, QStringLiteral("Новый плагин.vlk"));
        session.saveTo(m_env->path(QStringLiteral("p.vlk")));
        QCOMPARE(session.ProjectFileName, QStringLiteral("p.vlk"));

        const QByteArray bytes = readFile(m_env->path(QStringLiteral("p.vlk")));
        QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"windows-1251\"?>"));
        QVERIFY(bytes.contains("\xF0\x68\xF0\x5F\x6D\xE0\x69\xEF\x5F\x66\x69\x6C\xE5"));
        QVERIFY(bytes.contains("\xDF\xE4\xF0\xEE - PocketMine")); // the comment, in windows-1251

        ProjectDocument reopened = ProjectDocument::fromFile(m_env->path(QStringLiteral("p.vlk")));
        const XmlElement settings = reopened.settings();
        const QStringList expected{
            QStringLiteral("Plugin"), QStringLiteral("YourName"),  QStringLiteral("1.0.0"),       kDefaultSiteText,
            QStringLiteral("1.0.0"),  QStringLiteral("POSTWORLD"), QStringLiteral("Plugin\\Main")};
        const QStringList names{QStringLiteral("name"), QStringLiteral("creator"), QStringLiteral("version"),
                                QStringLiteral("site"), QStringLiteral("api"),     QStringLiteral("loading"),
                                QStringLiteral("main")};
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(settings.attribute(names[i]), expected[i]);
        QVERIFY(!reopened.mainScript().isNull());
        QVERIFY(reopened.mainScript().childElements().empty());
        QCOMPARE(reopened.root().childElements().size(), size_t(2));
    }

    void specialCharactersRoundTrip()
    {
        ProjectDocument document = ProjectDocument::newProject();
        const QString tricky = QStringLiteral("a & b < c \"quoted\" > 'single' Привет 中");
        document.settings().setAttribute(QStringLiteral("name"), tricky);
        XmlElement event = document.mainScript().appendChildElement(QStringLiteral("ev_1"));
        XmlElement action = event.appendChildElement(QStringLiteral("actn"));
        const QString args = kInvisibleSeparator + QStringLiteral(":[Hello]") + kInvisibleSeparator;
        action.setAttribute(QStringLiteral("id"), QStringLiteral("1"));
        action.setAttribute(QStringLiteral("args"), args);
        document.save(m_env->path(QStringLiteral("t.vlk")));

        const QByteArray bytes = readFile(m_env->path(QStringLiteral("t.vlk")));
        QVERIFY(bytes.contains("&#8291;") || bytes.contains("&#x2063;"));
        QVERIFY(bytes.contains("&#20013;") || bytes.contains("&#x4E2D;")); // not in windows-1251
        const ProjectDocument reopened = ProjectDocument::fromFile(m_env->path(QStringLiteral("t.vlk")));
        ProjectDocument &mutableReopened = const_cast<ProjectDocument &>(reopened);
        QCOMPARE(mutableReopened.settings().attribute(QStringLiteral("name")), tricky);
        const auto events = reopened.mainScript().childElements();
        QCOMPARE(events.size(), size_t(1));
        QCOMPARE(events[0].name(), QStringLiteral("ev_1"));
        const XmlElement stored = events[0].childElements().at(0);
        QCOMPARE(stored.attribute(QStringLiteral("args")), args);
        QCOMPARE(stored.attribute(QStringLiteral("args")).size(), 10);
    }

    void otherDeclaredEncodingsStayReadable()
    {
        // Latin-1 keeps its declaration; an encoding that cannot spell the
        // main-script element's name is saved as UTF-8 instead of breaking.
        ProjectDocument latin1 =
            ProjectDocument::fromBytes("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><plugin><settings "
                                       "name=\"Caf\xE9\"/><phpscripts/></plugin>");
        QCOMPARE(latin1.settings().attribute(QStringLiteral("name")), QStringLiteral("Café"));
        QVERIFY(latin1.toBytes().contains("encoding=\"ISO-8859-1\""));
        QVERIFY(latin1.toBytes().contains("Caf\xE9"));

        ProjectDocument ascii = ProjectDocument::fromBytes(
            "<?xml version=\"1.0\" encoding=\"US-ASCII\"?><plugin><settings/><phpscripts/></plugin>");
        ascii.phpscripts().appendChildElement(kMainScriptElementName).appendChildElement(QStringLiteral("ev_1"));
        const QByteArray saved = ascii.toBytes();
        QVERIFY(saved.contains("encoding=\"UTF-8\""));
        const ProjectDocument reopened = ProjectDocument::fromBytes(saved);
        QVERIFY(!reopened.mainScript().isNull());
        QCOMPARE(reopened.mainScript().childElements().size(), size_t(1));
    }

    // Found by fuzzing: libxml2 takes "window.s1251" for windows-1251
    // through ICU, whose converter drops U+2063 without a word, so the saved
    // file opened with every argument's separator gone.
    void anEncodingThatWouldDropCharactersIsSavedAsUtf8()
    {
        ProjectDocument document =
            ProjectDocument::fromFile(test::fixture(QStringLiteral("fuzz/project-encoding-only-icu-knows.vlk")));
        const auto args = [](const ProjectDocument &project) {
            return project.mainScript().childElements().at(0).childElements().at(0).attribute(QStringLiteral("args"));
        };
        QCOMPARE(args(document), kInvisibleSeparator + QStringLiteral(":"));
        const QByteArray saved = document.toBytes();
        QVERIFY(saved.startsWith("<?xml version=\"1.\" encoding=\"UTF-8\"?>"));
        const ProjectDocument reopened = ProjectDocument::fromBytes(saved);
        QCOMPARE(args(reopened), args(document));
        QCOMPARE(reopened.toBytes(), saved);
    }

    void charactersXmlCannotHoldAreDropped()
    {
        ProjectDocument document = ProjectDocument::newProject();
        document.settings().setAttribute(QStringLiteral("name"),
                                         QStringLiteral("a\u0001b\uFFFEc\td") + QChar(0xD800) + QStringLiteral("e😀"));
        const ProjectDocument reopened = ProjectDocument::fromBytes(document.toBytes());
        ProjectDocument &settingsOwner = const_cast<ProjectDocument &>(reopened);
        QCOMPARE(settingsOwner.settings().attribute(QStringLiteral("name")), QStringLiteral("abc\tde😀"));
    }

    void readersAcceptOtherLayoutsAndMissingParts()
    {
        // Any root name, any indentation, no site attribute, UTF-8 without declaration.
        ProjectDocument document = ProjectDocument::fromBytes(
            QStringLiteral(
                "<project>\n   <settings name=\"X\"/>\n\t<phpscripts>\n  <%1>\n  <ev_2>  <actn id=\"1\" args=\"\"/>"
                "</ev_2></%1></phpscripts></project>")
                .arg(kMainScriptElementName)
                .toUtf8());
        QCOMPARE(document.declaredEncoding(), QStringLiteral("UTF-8"));
        QVERIFY(!document.settings().hasAttribute(QStringLiteral("site")));
        QCOMPARE(document.settings().attribute(QStringLiteral("site")), QString());
        const auto events = document.mainScript().childElements();
        QCOMPARE(events.size(), size_t(1));
        QCOMPARE(events[0].childElements().size(), size_t(1));

        // A Latin-only spelling is a different element; settings are created when missing.
        ProjectDocument latin =
            ProjectDocument::fromBytes("<plugin><phpscripts><php_main_file/></phpscripts></plugin>");
        QVERIFY(latin.mainScript().isNull());
        QVERIFY(!latin.settings().isNull());
        QCOMPARE(latin.root().childElements().back().name(), QStringLiteral("settings"));
    }

    void badFilesAreRefusedAndLeaveTheProjectOpen()
    {
        ProjectSession session;
        session.NewPlugin();
        session.saveTo(m_env->path(QStringLiteral("good.vlk")));
        writeFile(m_env->path(QStringLiteral("broken.vlk")), "<plugin><settings></plugin>");
        writeFile(m_env->path(QStringLiteral("empty.vlk")), "");

        for (const QString &name :
             {QStringLiteral("broken.vlk"), QStringLiteral("empty.vlk"), QStringLiteral("missing.vlk")}) {
            try {
                session.OpenPlugin(m_env->path(name));
                QFAIL("a bad file was accepted");
            } catch (const Error &error) {
                QVERIFY2(error.text().contains(name), qPrintable(error.text()));
            }
            QCOMPARE(session.ProjectFileName, QStringLiteral("good.vlk"));
            QCOMPARE(session.ProjectFilePath, m_env->path(QStringLiteral("good.vlk")));
            QVERIFY(!session.document.settings().isNull());
        }

        QVERIFY(!session.OpenPlugin(m_env->path(QStringLiteral("demo.xml"))));
        QVERIFY(!session.OpenPlugin(m_env->path(QStringLiteral("demo.VLK"))));
        QCOMPARE(m_env->messages().size(), 2);
        QCOMPARE(session.ProjectFileName, QStringLiteral("good.vlk"));
    }

    void externalEntitiesAreNotLoaded()
    {
        writeFile(m_env->path(QStringLiteral("secret.txt")), "TOPSECRET");
        const QByteArray xxe = "<?xml version=\"1.0\"?>\n<!DOCTYPE plugin [<!ENTITY xxe SYSTEM \"file://" +
                               m_env->path(QStringLiteral("secret.txt")).toUtf8() +
                               "\"> <!ENTITY % remote SYSTEM \"http://127.0.0.1:9/x.dtd\"> %remote;]>\n"
                               "<plugin><settings name=\"&xxe;\"/></plugin>";
        writeFile(m_env->path(QStringLiteral("xxe.vlk")), xxe);
        ProjectSession session;
        try {
            session.OpenPlugin(m_env->path(QStringLiteral("xxe.vlk")));
            QVERIFY(
                !session.document.settings().attribute(QStringLiteral("name")).contains(QStringLiteral("TOPSECRET")));
            QVERIFY(!session.document.toBytes().contains("TOPSECRET"));
        } catch (const Error &) {
            // Refusing the file is as good as not loading the entity.
        }
    }

    void saveFailureKeepsNamesAndLeavesNoPartialFile()
    {
        ProjectSession session;
        session.NewPlugin();
        QVERIFY_THROWS_EXCEPTION(Error, session.saveTo(m_env->path(QStringLiteral("no/such/dir/p.vlk"))));
        QCOMPARE(session.ProjectFileName, QStringLiteral("Новый плагин.vlk"));
        QVERIFY(session.ProjectFilePath.isEmpty());
    }

    void pathRules()
    {
        QCOMPARE(ProjectSession::saveAsTarget(QStringLiteral("/p/demo")), QStringLiteral("/p/demo.vlk"));
        QCOMPARE(ProjectSession::saveAsTarget(QStringLiteral("/p/demo.vlk")), QStringLiteral("/p/demo.vlk"));
        QCOMPARE(ProjectSession::saveAsTarget(QStringLiteral("/p/demo.VLK")), QStringLiteral("/p/demo.VLK.vlk"));
        QCOMPARE(ProjectSession::saveAsTarget(QStringLiteral("abc")), QString());
        QCOMPARE(ProjectSession::saveAsTarget(QStringLiteral("abcd")), QStringLiteral("abcd.vlk"));
        QCOMPARE(ProjectSession::extensionOf(QStringLiteral("/a.b/demo")), QString());
        QCOMPARE(ProjectSession::extensionOf(QStringLiteral("/a/demo.x.vlk")), QStringLiteral(".vlk"));
        QCOMPARE(getMainClassName(QStringLiteral("A\\B\\C")), QStringLiteral("C"));
        QCOMPARE(getMainClassName(QStringLiteral("Main")), QStringLiteral("Main"));
        QCOMPARE(getMainClassName(QStringLiteral("A\\")), QString());
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(ProjectDocumentTest)
#include "ProjectDocumentTest.moc"
