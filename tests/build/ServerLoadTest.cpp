// Built plugins loaded the way servers of API 3, 4 and 5 load them (the
// loader in tests/fixtures/plugin-loader/ follows their rules).

#include "build/CodeGenerator.h"
#include "build/PhpPeer.h"
#include "project/ProjectDocument.h"
#include "support/Programs.h"
#include "support/ScriptParts.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <optional>

using namespace vorlune;
using vorlune::project::ProjectDocument;
using vorlune::test::addMessage;
using vorlune::test::TestEnvironment;

namespace {

// A project whose name and version YAML would misread when written plain.
ProjectDocument projectFor(const QString &api)
{
    ProjectDocument document = ProjectDocument::newProject();
    project::XmlElement settings = document.settings();
    settings.setAttribute(QStringLiteral("name"), QStringLiteral("N"));
    settings.setAttribute(QStringLiteral("version"), QStringLiteral("2.0"));
    settings.setAttribute(QStringLiteral("api"), api);
    addMessage(document, QStringLiteral("ev_1"), QStringLiteral("Hello"));
    addMessage(document, QStringLiteral("ev_2"), QStringLiteral("loading"));
    addMessage(document, QStringLiteral("ev_3"), QStringLiteral("bye"));
    return document;
}

// Builds the project with vorlune-build and loads the archive as a server of that API.
test::ProgramResult loadOnServer(const TestEnvironment &env, ProjectDocument &document, const QString &serverApi)
{
    document.save(env.path(QStringLiteral("p.vlk")));
    const test::ProgramResult built =
        test::runBuildCommand({env.path(QStringLiteral("p.vlk")), env.path(QStringLiteral("p"))});
    if (built.exitCode != 0)
        return built;
    return test::runProgram(test::phpProgram(), {QStringLiteral(VORLUNE_FIXTURES "/plugin-loader/load.php"),
                                                 env.path(QStringLiteral("p.phar")), serverApi});
}

} // namespace

class ServerLoadTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void eachApiLoadsItsPlugin_data()
    {
        QTest::addColumn<QString>("api");
        QTest::addColumn<QString>("server");
        QTest::newRow("API 3") << QStringLiteral("3.0.0") << QStringLiteral("3");
        QTest::newRow("API 4") << QStringLiteral("4.0.0") << QStringLiteral("4");
        QTest::newRow("API 5") << QStringLiteral("5.0.0") << QStringLiteral("5");
    }
    void eachApiLoadsItsPlugin()
    {
        QFETCH(QString, api);
        QFETCH(QString, server);
        ProjectDocument document = projectFor(api);
        const test::ProgramResult loaded = loadOnServer(*m_env, document, server);
        QVERIFY2(loaded.exitCode == 0, qPrintable(loaded.describe()));
        const QJsonObject shown = QJsonDocument::fromJson(loaded.out.toUtf8()).object();
        QCOMPARE(shown.value(QStringLiteral("name")).toString(), QStringLiteral("N"));
        QCOMPARE(shown.value(QStringLiteral("version")).toString(), QStringLiteral("2.0"));
        QCOMPARE(shown.value(QStringLiteral("log")).toArray(),
                 (QJsonArray{QStringLiteral("loading"), QStringLiteral("Hello"), QStringLiteral("bye")}));
    }

    // Messages that once stopped the class from parsing or running print as typed.
    void trickyMessagesPrintAsTyped_data() { eachApiLoadsItsPlugin_data(); }
    void trickyMessagesPrintAsTyped()
    {
        QFETCH(QString, api);
        QFETCH(QString, server);
        ProjectDocument document = projectFor(api);
        document.settings().setAttribute(QStringLiteral("name"), QStringLiteral("My Plugin"));
        document.settings().setAttribute(QStringLiteral("site"), QStringLiteral("https://example.com/p"));
        const QStringList typed = {
            QStringLiteral("say \"hi\""),      QStringLiteral("C:\\dir\\"),
            QStringLiteral("$x {$x} ${x}"),    QStringLiteral("$this {$this} $this->x {$this->x}"),
            QStringLiteral("a\\u{zz}b \\400"),
        };
        for (const QString &message : typed)
            addMessage(document, QStringLiteral("ev_1"), message);
        addMessage(document, QStringLiteral("ev_1"), QStringLiteral("I am {$this->getName()}\\x21"));
        const test::ProgramResult loaded = loadOnServer(*m_env, document, server);
        QVERIFY2(loaded.exitCode == 0, qPrintable(loaded.describe()));
        const QJsonObject shown = QJsonDocument::fromJson(loaded.out.toUtf8()).object();
        QCOMPARE(shown.value(QStringLiteral("name")).toString(), QStringLiteral("My_Plugin"));
        QCOMPARE(shown.value(QStringLiteral("website")).toString(), QStringLiteral("https://example.com/p"));
        QJsonArray expected{QStringLiteral("loading"), QStringLiteral("Hello")};
        for (const QString &message : typed)
            expected << message;
        expected << QStringLiteral("I am My_Plugin!") << QStringLiteral("bye");
        QCOMPARE(shown.value(QStringLiteral("log")).toArray(), expected);
    }

    void api3KeepsTodaysClassBytes()
    {
        ProjectDocument document = projectFor(QStringLiteral("3.0.0"));
        const QByteArray mainClass = build::generatePlugin(document).mainClass;
        const build::MainSplit split = build::splitMain(QStringLiteral("Plugin\\Main"));
        QCOMPARE(mainClass, build::makeMainClass(split.nameSpace, split.className, document.mainScript()));
        QVERIFY(mainClass.contains("public function onEnable(){\r\n"));
    }

    // What the check warns of: a new project's api, refused from API 3 on.
    void theDefaultApiIsRefusedFromApi3On()
    {
        ProjectDocument document = projectFor(QStringLiteral("1.0.0"));
        const test::ProgramResult loaded = loadOnServer(*m_env, document, QStringLiteral("3"));
        QCOMPARE(loaded.exitCode, 1);
        QCOMPARE(loaded.err, QStringLiteral("refused: no compatible api\n"));
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(ServerLoadTest)
#include "ServerLoadTest.moc"
