#include "build/PhpPeer.h"
#include "support/Programs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

using vorlune::test::kCompiler;

// The build folder the tool prepares: params in windows-1251, sources below compile/.
void prepareBuildFolder(const QDir &dir, bool withParams)
{
    if (withParams)
        vorlune::test::writeFile(dir.filePath(QStringLiteral("cnfg.dll")),
                                 "[Params]\r\nname=\xCF\xEB\xE0\xE3\xE8\xED\r\nversion=1.0.0\r\n"
                                 "main=Plugin\\Main\r\napi=3.0.0\r\nauthors=me\r\nwebsite=\r\n\r\n");
    dir.mkpath(QStringLiteral("compile/src/Plugin"));
    vorlune::test::writeFile(dir.filePath(QStringLiteral("compile/plugin.yml")), "name: Plugin\r\n");
    vorlune::test::writeFile(dir.filePath(QStringLiteral("compile/src/Plugin/Main.php")), "<?php\r\n");
    vorlune::test::writeFile(dir.filePath(QStringLiteral("compile/.hidden")), "skip me");
}

// Runs the compiler without arguments in `folder`, as the tool does.
vorlune::test::ProgramResult runCompiler(const QString &folder)
{
    return vorlune::test::runProgram(kCompiler, {}, {.workingFolder = folder});
}

} // namespace

class PharcTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY2(QFileInfo(kCompiler).isExecutable(), "build the pharc target first"); }

    void packsWorkingFolderIntoCompPhar()
    {
        QTemporaryDir dir;
        prepareBuildFolder(QDir(dir.path()), true);
        const vorlune::test::ProgramResult run = runCompiler(dir.path());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QString());
        const QString phar = dir.filePath(QStringLiteral("comp.phar"));
        QVERIFY(QFileInfo::exists(phar));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral("cnfg.dll"), QStringLiteral("comp.phar")}));

        if (vorlune::test::phpProgram().isEmpty())
            QSKIP("php-cli is not installed");
        const QJsonObject result = vorlune::test::openWithPhp(phar);
        QVERIFY2(!result.contains(QStringLiteral("error")),
                 qPrintable(result.value(QStringLiteral("error")).toString()));
        QCOMPARE(result.value(QStringLiteral("signature")).toObject().value(QStringLiteral("hash_type")).toString(),
                 QStringLiteral("SHA-256"));
        const QJsonObject files = result.value(QStringLiteral("files")).toObject();
        QCOMPARE(files.keys(), (QStringList{QStringLiteral("plugin.yml"), QStringLiteral("src/Plugin/Main.php")}));
        QCOMPARE(QByteArray::fromBase64(files.value(QStringLiteral("plugin.yml")).toString().toLatin1()),
                 QByteArray("name: Plugin\r\n"));
        QCOMPARE(QByteArray::fromBase64(files.value(QStringLiteral("src/Plugin/Main.php")).toString().toLatin1()),
                 QByteArray("<?php\r\n"));
        const QJsonObject metadata = result.value(QStringLiteral("metadata")).toObject();
        QCOMPARE(metadata.value(QStringLiteral("name")).toString(), QStringLiteral("Плагин"));
        QCOMPARE(metadata.value(QStringLiteral("main")).toString(), QStringLiteral("Plugin\\Main"));
        QCOMPARE(metadata.value(QStringLiteral("website")).toString(), QString());
    }

    void failsOnBadParamsAndWritesNothing_data()
    {
        QTest::addColumn<bool>("withParams");
        QTest::addColumn<QByteArray>("paramsText");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no cnfg.dll") << false << QByteArray() << QStringLiteral("cnfg.dll\" is missing");
        QTest::newRow("no [Params]") << true << QByteArray("[Param]\r\nname=x\r\n")
                                     << QStringLiteral("has no [Params] section");
    }

    void failsOnBadParamsAndWritesNothing()
    {
        QFETCH(bool, withParams);
        QFETCH(QByteArray, paramsText);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        prepareBuildFolder(QDir(dir.path()), false);
        if (withParams)
            vorlune::test::writeFile(dir.filePath(QStringLiteral("cnfg.dll")), paramsText);
        const vorlune::test::ProgramResult run = runCompiler(dir.path());
        VORLUNE_VERIFY_EXIT(run, 1, reason);
        QVERIFY2(run.err.startsWith(QStringLiteral("PHAR_compiler: ")), qPrintable(run.err));
        QVERIFY(run.err.endsWith(QLatin1Char('\n')));
        const QStringList expected = withParams ? QStringList{QStringLiteral("cnfg.dll")} : QStringList();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), expected);
    }
};

VORLUNE_TEST(PharcTest)
#include "PharcTest.moc"
