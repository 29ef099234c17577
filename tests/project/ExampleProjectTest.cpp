#include "project/ProjectDocument.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace vorlune::project;

// examples/hello.vlk must stay a file this code saves: a new project whose
// plugin-enabled event writes "Hello, world" to the console.
class ExampleProjectTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void helloExampleIsWhatTheCodeSaves()
    {
        ProjectDocument document = ProjectDocument::newProject();
        XmlElement action =
            document.mainScript().appendChildElement(QStringLiteral("ev_1")).appendChildElement(QStringLiteral("actn"));
        action.setAttribute(QStringLiteral("id"), QStringLiteral("1"));
        action.setAttribute(QStringLiteral("args"), QStringLiteral("\u2063:[Hello, world]\u2063"));

        const QString &path = vorlune::test::kHelloProject;
        if (qEnvironmentVariableIsSet("VORLUNE_UPDATE_EXAMPLES"))
            document.save(path);
        QCOMPARE(vorlune::test::readFile(path), document.toBytes());
    }
};

VORLUNE_TEST(ExampleProjectTest)
#include "ExampleProjectTest.moc"
