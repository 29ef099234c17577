#include "app/AppState.h"
#include "base/FileIo.h"
#include "i18n/TextTable.h"
#include "support/SmallDisk.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <optional>

#include <sys/stat.h>

using namespace vorlune;
using test::namesIn;
using test::readFile;
using test::TestEnvironment;
using test::writeFile;

namespace {

const QByteArray kCustomLanguage = "\xEF\xBB\xBF[OTHR]\r\nothr1=My own plugin\r\n\r\n[MINE]\r\nnote=kept\r\n\r\n";
const QByteArray kCustomSettings = "\xEF\xBB\xBF[Run]\r\ndelete_worlds=-1\r\n\r\n";

bool anyContains(const QStringList &messages, const QString &part)
{
    for (const QString &message : messages) {
        if (message.contains(part))
            return true;
    }
    return false;
}

} // namespace

class StartupFaultTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void aFullDiskLeavesTheUsersFilesWhole()
    {
        test::SmallDisk disk;
        VORLUNE_REQUIRE_MOUNTED(disk);
        writeFile(disk.path(QStringLiteral("Language.ini")), kCustomLanguage);
        writeFile(disk.path(QStringLiteral("kFkXOUbgS12jtg.dll")), kCustomSettings);
        disk.fill();

        app::AppState state;
        state.programFolder = disk.path();
        app::runCreationSteps(state, {});
        // Theme, language file and settings file: each write reported with the reason.
        QCOMPARE(m_env->messages().size(), 3);
        for (const QString &message : m_env->messages())
            QVERIFY2(message.endsWith(QStringLiteral("No space left on device")), qPrintable(message));
        QCOMPARE(readFile(disk.path(QStringLiteral("Language.ini"))), kCustomLanguage);
        QCOMPARE(readFile(disk.path(QStringLiteral("kFkXOUbgS12jtg.dll"))), kCustomSettings);
        QCOMPARE(namesIn(disk.path()), (QStringList{QStringLiteral("Language.ini"), QStringLiteral("filler"),
                                                    QStringLiteral("kFkXOUbgS12jtg.dll")}));
        // The run goes on with what was read.
        QCOMPARE(state.project.ProjectFileName, QStringLiteral("My own plugin.vlk"));
        QCOMPARE(state.SettingsIni.readString(QStringLiteral("Run"), QStringLiteral("delete_worlds"), {}),
                 QStringLiteral("-1"));
    }

    void unreadableFilesAreReportedAndNotReplaced()
    {
        const QString language = m_env->path(QStringLiteral("Language.ini"));
        const QString settings = m_env->path(QStringLiteral("kFkXOUbgS12jtg.dll"));
        QCOMPARE(mkfifo(QFile::encodeName(language).constData(), 0600), 0);
        // Sparse: over the limit without taking room.
        writeFile(settings, kCustomSettings);
        QVERIFY(QFile::resize(settings, fileio::kIniFileLimit + 1));

        app::AppState state;
        app::runCreationSteps(state, {});
        QCOMPARE(m_env->messages().size(), 2);
        QVERIFY(anyContains(m_env->messages(), language + QStringLiteral("\": it is not a regular file")));
        QVERIFY(anyContains(m_env->messages(), settings + QStringLiteral("\": the file is larger than 16 MB")));
        QVERIFY(QFileInfo(language).isFile() == false && QFileInfo::exists(language));
        QCOMPARE(QFileInfo(settings).size(), fileio::kIniFileLimit + 1);
        // Built-in texts and default settings in memory, so the window works.
        QCOMPARE(i18n::tx("MSG.msg10"), QStringLiteral("Плагин успешно скомпилирован."));
        QCOMPARE(state.SettingsIni.keys(QStringLiteral("Run")).size(), 5);
        QCOMPARE(state.project.ProjectFileName, QStringLiteral("Новый плагин.vlk"));
    }

    void aProjectThatIsAPipeDoesNotHoldUpStartUp()
    {
        const QString fifo = m_env->path(QStringLiteral("pipe.vlk"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        app::AppState state;
        app::runCreationSteps(state, {fifo});
        QCOMPARE(m_env->messages(),
                 QStringList{QStringLiteral("Cannot open \"%1\": it is not a regular file").arg(fifo)});
        QVERIFY(state.project.ProjectFilePath.isEmpty());
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(StartupFaultTest)
#include "StartupFaultTest.moc"
