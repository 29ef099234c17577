#include "build/Compile.h"
#include "base/Error.h"
#include "base/ProgramFolder.h"
#include "build/CodeGenerator.h"
#include "build/PhpPeer.h"
#include "i18n/TextTable.h"
#include "project/ProjectSession.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <optional>

using namespace vorlune;
using vorlune::test::TestEnvironment;

namespace {

project::ProjectDocument helloDocument() { return project::ProjectDocument::fromFile(test::kHelloProject); }

// Lists a ZIP with Python's zipfile: one line "name|compress_type|utf8flag|hex(content)" per entry.
QStringList listZipWithPython(const QString &path)
{
    QProcess python;
    python.start(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys, zipfile\n"
                        "z = zipfile.ZipFile(sys.argv[1])\n"
                        "assert z.testzip() is None\n"
                        "for i in z.infolist():\n"
                        "    print(i.filename, i.compress_type, i.flag_bits & 0x800, z.read(i).hex(), sep='|')\n"),
         path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {QStringLiteral("python failed: ") + QString::fromUtf8(python.readAllStandardError())};
    return QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class CompileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void pharOfTheExampleRunsInPhp()
    {
        if (test::phpProgram().isEmpty())
            QSKIP("php is not installed");
        project::ProjectDocument document = helloDocument();
        const QString archive = build::Compile(document, build::kPharArchive, m_env->path(QStringLiteral("hello")),
                                               build::kShowErrors, build::kShowCompletion);
        QCOMPARE(archive, m_env->path(QStringLiteral("hello.phar")));
        QCOMPARE(m_env->messages(), QStringList{i18n::tx("MSG.msg10")});
        QVERIFY(!QDir(base::buildFolder()).exists());

        const build::GeneratedPlugin expected = build::generatePlugin(document);
        const QJsonObject opened = test::openWithPhp(archive);
        QVERIFY2(!opened.contains(QStringLiteral("error")),
                 qPrintable(opened.value(QStringLiteral("error")).toString()));
        const QJsonObject files = opened.value(QStringLiteral("files")).toObject();
        QCOMPARE(files.keys(), QStringList({QStringLiteral("plugin.yml"), QStringLiteral("src/Plugin/Main.php")}));
        QCOMPARE(QByteArray::fromBase64(files.value(QStringLiteral("plugin.yml")).toString().toLatin1()),
                 expected.pluginYml);
        QCOMPARE(opened.value(QStringLiteral("signature")).toObject().value(QStringLiteral("hash_type")).toString(),
                 QStringLiteral("SHA-256"));

        // The generated class, loaded next to a stand-in plugin base whose logger prints.
        const QString run = QStringLiteral(R"php(
namespace pocketmine\plugin {
    class Logger { function info($m) { echo $m, "\n"; } }
    abstract class PluginBase { function getLogger() { return new Logger(); } }
}
namespace {
    require 'phar://' . $argv[1] . '/src/Plugin/Main.php';
    (new Plugin\Main())->onEnable();
}
)php");
        QCOMPARE(test::runPhp(run, {archive}), QByteArray("Hello, world\n"));
    }

    void zipOfTheExampleReadsInPython()
    {
        project::ProjectDocument document = helloDocument();
        const QString archive = build::Compile(document, build::kZipArchive, m_env->path(QStringLiteral("hello.phar")),
                                               build::kShowErrors, build::kHideCompletion);
        QCOMPARE(archive, m_env->path(QStringLiteral("hello.phar.zip")));
        QVERIFY(m_env->messages().isEmpty());
        const build::GeneratedPlugin expected = build::generatePlugin(document);
        QCOMPARE(listZipWithPython(archive),
                 QStringList(
                     {QStringLiteral("plugin.yml|8|0|") + QString::fromLatin1(expected.pluginYml.toHex()),
                      QStringLiteral("src/Plugin/Main.php|8|0|") + QString::fromLatin1(expected.mainClass.toHex())}));
    }

    void archiveNamesGetTheirExtension()
    {
        QCOMPARE(build::archiveTarget(1, QStringLiteral("Plugin.PHAR")), QStringLiteral("Plugin.PHAR.phar"));
        QCOMPARE(build::archiveTarget(2, QStringLiteral("x.phar")), QStringLiteral("x.phar.zip"));
        QCOMPARE(build::archiveTarget(1, QStringLiteral("x")), QStringLiteral("x.phar"));
        QCOMPARE(build::archiveTarget(1, QStringLiteral("x.phar")), QStringLiteral("x.phar"));
        QCOMPARE(build::archiveTarget(7, QStringLiteral("x.zip")), QStringLiteral("x.zip"));
    }

    void metadataShowsAQuestionMarkForWhatTheCodePageCannotHold()
    {
        project::ProjectDocument document = helloDocument();
        document.settings().setAttribute(QStringLiteral("name"), QStringLiteral("Plugin \u2605 \U0001F600"));
        const QString archive = build::Compile(document, build::kPharArchive, m_env->path(QStringLiteral("symbols")),
                                               build::kShowErrors, build::kHideCompletion);
        const QJsonObject opened = test::openWithPhp(archive);
        QCOMPARE(opened.value(QStringLiteral("metadata")).toObject().value(QStringLiteral("name")).toString(),
                 QStringLiteral("Plugin ? ?"));
    }

    void anUnwritableTargetEndsTheBuildWithTheSystemsReason()
    {
        project::ProjectDocument document = helloDocument();
        for (int typec : {1, 2}) {
            const QString target = m_env->path(QStringLiteral("missing/folder/out"));
            try {
                build::Compile(document, typec, target, build::kShowErrors, build::kShowCompletion);
                QFAIL("a build into a missing folder succeeded");
            } catch (const Error &error) {
                QVERIFY2(error.text().contains(target) &&
                             error.text().endsWith(QStringLiteral(": No such file or directory")),
                         qPrintable(error.text()));
            }
            QVERIFY(m_env->messages().isEmpty());
            QVERIFY(!QDir(base::buildFolder()).exists());
        }
    }

    void anOldArchiveThatCannotBeReplacedIsNoSuccess()
    {
        QVERIFY(QDir().mkpath(m_env->path(QStringLiteral("taken.phar/inside"))));
        project::ProjectDocument document = helloDocument();
        for (int typec : {1, 2}) {
            m_env->messages().clear();
            const QString target = typec == 1 ? QStringLiteral("taken") : QStringLiteral("taken.phar");
            if (typec == 2)
                QVERIFY(QDir().mkpath(m_env->path(QStringLiteral("taken.phar.zip/inside"))));
            QCOMPARE(build::Compile(document, typec, m_env->path(target), build::kShowErrors, build::kShowCompletion),
                     QString());
            QCOMPARE(m_env->messages(), QStringList{i18n::tx("MSG.msg11")});
        }
    }

    void staleBuildFilesDoNotLeakIntoTheArchive()
    {
        const QString stale = base::buildFolder() + QStringLiteral("/compile/src/Old");
        QVERIFY(QDir().mkpath(stale));
        test::writeFile(stale + QStringLiteral("/Leftover.php"), "<?php");
        test::writeFile(base::buildFolder() + QStringLiteral("/compile/.hidden"), "x");
        project::ProjectDocument document = helloDocument();
        const QString archive = build::Compile(document, build::kZipArchive, m_env->path(QStringLiteral("out")),
                                               build::kShowErrors, build::kShowCompletion);
        const QStringList entries = listZipWithPython(archive);
        QCOMPARE(entries.size(), 2);
        QVERIFY(!entries.join(QLatin1Char('\n')).contains(QStringLiteral("Leftover")));
    }

    void brokenProjectEndsTheBuildWithAnErrorAndRemovesTheOldArchive()
    {
        test::writeFile(m_env->path(QStringLiteral("out.zip")), "old archive");
        project::ProjectDocument document =
            project::ProjectDocument::fromBytes("<plugin><settings main=\"A\\B\"/></plugin>");
        try {
            build::Compile(document, build::kZipArchive, m_env->path(QStringLiteral("out")), build::kShowErrors,
                           build::kShowCompletion);
            QFAIL("a project without scripts was built");
        } catch (const Error &error) {
            QVERIFY2(error.text().contains(QStringLiteral("phpscripts")), qPrintable(error.text()));
        }
        QVERIFY(!QFile::exists(m_env->path(QStringLiteral("out.zip"))));
        QVERIFY(m_env->messages().isEmpty());
        QVERIFY(!QDir(base::buildFolder()).exists());
    }

private:
    std::optional<TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(CompileTest)
#include "CompileTest.moc"
