#include "support/Programs.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "testrun/Installer.h"
#include "testrun/TestZip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <optional>

#include <sys/stat.h>

using namespace vorlune;
using test::readFile;
using test::writeFile;

namespace {

const QString kPackFolder = QStringLiteral(VORLUNE_BINARY_DIR "/site/VL-Files/BINS/linux/");

using Run = test::ProgramResult;

// Runs the launcher with PATH and the search override set as given (an
// unset override is a null text).
Run runLauncher(const QString &launcher, const QStringList &arguments, const QString &path, const QString &searchPath)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), path);
    environment.remove(QStringLiteral("VORLUNE_PHP_SEARCH_PATH"));
    if (!searchPath.isNull())
        environment.insert(QStringLiteral("VORLUNE_PHP_SEARCH_PATH"), searchPath);
    return test::runProgram(launcher, arguments, {}, environment);
}

// A stand-in interpreter that prints its name and arguments.
void makeFakePhp(const QString &path)
{
    writeFile(path, "#!/bin/sh\nprintf '%s' \"${0##*/}\"\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done\n");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace

class PhpPackTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void theBuiltPacksHoldTheLauncherWithItsRunBit()
    {
        for (const char *name : {"php7_64.zip", "php7_32.zip"}) {
            const auto entries = test::readZip(readFile(kPackFolder + QLatin1String(name)));
            QVERIFY2(entries.contains("bin/php/php") && entries.contains("bin/php/php.ini"), name);
            const auto launcher = entries.value("bin/php/php");
            QCOMPARE(launcher.system, zip_uint8_t(ZIP_OPSYS_UNIX));
            QVERIFY(S_ISREG(launcher.mode) && (launcher.mode & 0111) == 0111);
            QVERIFY(launcher.bytes.startsWith("#!/bin/sh\n"));
            QVERIFY(entries.value("bin/php/php.ini").bytes.contains("phar.readonly = 0"));
        }
    }

    void theLauncherFindsAnInterpreterAndPassesItsArguments()
    {
        // A program folder with a space, reached the way the console does.
        const QString home = m_env->path(QStringLiteral("program folder/"));
        testrun::installPhpPack(home, test::kBuiltPack);
        const QString launcher = home + testrun::kTestServerFolder + QStringLiteral("bin/php/php");
        const QString ini = QFileInfo(launcher).absolutePath() + QStringLiteral("/php.ini");
        const QString first = m_env->path(QStringLiteral("first"));
        const QString second = m_env->path(QStringLiteral("second"));
        QDir().mkpath(first);
        QDir().mkpath(second);
        makeFakePhp(first + QStringLiteral("/php7.4"));
        makeFakePhp(second + QStringLiteral("/php8.1"));
        const QStringList arguments{QStringLiteral("PocketMine-Soft.phar"), QStringLiteral("--enable-ansi"),
                                    QStringLiteral("two words"), QString()};
        const QString passed = QStringLiteral("[-c][%1][PocketMine-Soft.phar][--enable-ansi][two words][]").arg(ini);

        // The newer version wins over the earlier folder.
        const QString search = first + QLatin1Char(':') + second;
        Run run = runLauncher(launcher, arguments, QStringLiteral("/nonexistent"), search);
        QCOMPARE(run.out, QStringLiteral("php8.1") + passed);
        // Plain "php" wins over every versioned name.
        makeFakePhp(first + QStringLiteral("/php"));
        run = runLauncher(launcher, arguments, QStringLiteral("/nonexistent"), search);
        QCOMPARE(run.out, QStringLiteral("php") + passed);
        // PATH is searched when there is no override.
        run = runLauncher(launcher, arguments, second, QString());
        QCOMPARE(run.out, QStringLiteral("php8.1") + passed);
    }

    void withoutAnInterpreterItNamesThePackage()
    {
        testrun::installPhpPack(m_env->home(), kPackFolder + QStringLiteral("php7_32.zip"));
        const QString launcher = m_env->home() + testrun::kTestServerFolder + QStringLiteral("bin/php/php");
        const QString empty = m_env->path(QStringLiteral("empty"));
        QDir().mkpath(empty);
        const Run run = runLauncher(launcher, {QStringLiteral("-v")}, QStringLiteral("/nonexistent"), empty);
        QVERIFY2(run.exitCode > 0, qPrintable(run.err));
        QVERIFY2(run.err.contains(QLatin1String("php-cli")), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }

    void theSystemInterpreterRunsWithThePacksSettings()
    {
        testrun::installPhpPack(m_env->home(), test::kBuiltPack);
        const QString launcher = m_env->home() + testrun::kTestServerFolder + QStringLiteral("bin/php/php");
        const QStringList arguments{QStringLiteral("-r"),
                                    QStringLiteral("echo 1, ini_get('phar.readonly'), date_default_timezone_get();")};
        // An empty PATH leaves only the fixed fallback.
        const Run run = runLauncher(launcher, arguments, QString(), QString());
        if (QFileInfo(QStringLiteral("/usr/bin/php")).isExecutable()) {
            QCOMPARE(run.exitCode, 0);
            QCOMPARE(run.out, QStringLiteral("10UTC"));
        } else {
            QVERIFY(run.exitCode > 0 && run.err.contains(QLatin1String("php-cli")));
        }
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(PhpPackTest)
#include "PhpPackTest.moc"
