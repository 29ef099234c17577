#include "app/CommandLine.h"
#include "app/AppState.h"
#include "support/TestRegistry.h"

#include <QTest>

#include <string>
#include <vector>

using namespace vorlune;

namespace {

// An argv as the system hands it over: writable strings and a closing null.
struct Argv {
    explicit Argv(std::vector<std::string> words) : strings(std::move(words))
    {
        for (std::string &word : strings)
            pointers.push_back(word.data());
        pointers.push_back(nullptr);
    }
    int argc() const { return int(strings.size()); }
    char **argv() { return pointers.data(); }

    std::vector<std::string> strings;
    std::vector<char *> pointers;
};

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void toolkitOptionsArePartOfTheProjectPath()
    {
        Argv given({"/usr/bin/vorlune", "/tmp/x/a", "-reverse", "b.vlk", "-style", "fusion", "-platform", "xcb",
                    "-geometry", "10x10", "--", "-qwindowtitle"});
        app::CommandLine commandLine(given.argc(), given.argv());
        QCOMPARE(commandLine.toolkitArgc(), 1);
        QCOMPARE(commandLine.toolkitArgv()[0], given.argv()[0]);
        QVERIFY(!commandLine.toolkitArgv()[1]);
        QCOMPARE(
            app::joinArguments(commandLine.projectArguments()),
            QStringLiteral("/tmp/x/a -reverse b.vlk -style fusion -platform xcb -geometry 10x10 -- -qwindowtitle"));
    }

    void wordsAreDecodedAsTheSystemWritesThem()
    {
        Argv given({"vorlune", "/tmp/Мои плагины/демо.vlk", "  "});
        app::CommandLine commandLine(given.argc(), given.argv());
        QCOMPARE(commandLine.projectArguments(),
                 QStringList({QStringLiteral("/tmp/Мои плагины/демо.vlk"), QStringLiteral("  ")}));
    }

    void withoutProjectOrProgramName()
    {
        Argv nameOnly({"vorlune"});
        QVERIFY(app::CommandLine(nameOnly.argc(), nameOnly.argv()).projectArguments().isEmpty());

        // Started with an empty argv the toolkit still needs a name.
        Argv empty({});
        app::CommandLine commandLine(empty.argc(), empty.argv());
        QCOMPARE(commandLine.toolkitArgc(), 1);
        QVERIFY(commandLine.toolkitArgv()[0] && *commandLine.toolkitArgv()[0]);
        QVERIFY(!commandLine.toolkitArgv()[1]);
        QVERIFY(commandLine.projectArguments().isEmpty());
    }
};

VORLUNE_TEST(CommandLineTest)
#include "CommandLineTest.moc"
