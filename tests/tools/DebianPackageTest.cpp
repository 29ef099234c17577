#include "tools/PackagingTools.h"

#include "build/PhpPeer.h"
#include "support/Programs.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace vorlune;

// The .deb that `cpack -G DEB` makes of this build tree, unpacked into a
// scratch root and run from there.
class DebianPackageTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }
    void initTestCase()
    {
        VORLUNE_REQUIRE_TOOLS({QStringLiteral("dpkg-deb"), QStringLiteral("dpkg-shlibdeps"), QStringLiteral("file")});
        const QString out = m_scratch.path() + QStringLiteral("/out");
        test::RunOptions inBuildTree;
        inBuildTree.workingFolder = QStringLiteral(VORLUNE_BINARY_DIR);
        inBuildTree.timeoutMs = 300000;
        const test::ProgramResult cpack =
            test::runProgram(QStringLiteral(VORLUNE_CPACK),
                             {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out}, inBuildTree);
        QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.describe()));
        const QStringList debs = QDir(out).entryList({QStringLiteral("*.deb")}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        m_deb = out + QLatin1Char('/') + debs.first();
        m_root = m_scratch.path() + QStringLiteral("/root");
        QCOMPARE(test::runProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_root}).exitCode, 0);
    }

    void controlFieldsComeFromTheBuild()
    {
        const test::ProgramResult control =
            test::runProgram(QStringLiteral("dpkg-deb"),
                             {QStringLiteral("-f"), m_deb, QStringLiteral("Package"), QStringLiteral("Version"),
                              QStringLiteral("Depends"), QStringLiteral("Recommends")});
        QCOMPARE(control.exitCode, 0);
        QMap<QString, QString> fields;
        for (const QString &line : control.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            fields.insert(line.section(QStringLiteral(": "), 0, 0), line.section(QStringLiteral(": "), 1));
        QCOMPARE(fields.value(QStringLiteral("Package")), QStringLiteral("vorlune"));
        QCOMPARE(fields.value(QStringLiteral("Version")), QStringLiteral(VORLUNE_VERSION));
        QCOMPARE(fields.value(QStringLiteral("Recommends")), QStringLiteral("php-cli"));
        // Found in the programs' libraries, with the versions they need.
        for (const char *library : {"libqt6widgets6 (", "libxml2 (", "libzip4 (", "libcurl4 ("})
            QVERIFY2(fields.value(QStringLiteral("Depends")).contains(QLatin1String(library)),
                     qPrintable(fields.value(QStringLiteral("Depends"))));
    }

    // Debian's own check of the package: no error and no warning, the few
    // overrides the package carries aside (each says why).
    void passesLintian()
    {
        if (!test::missingTools({QStringLiteral("lintian")}).isEmpty()) {
            if (qEnvironmentVariableIsSet("VORLUNE_REQUIRE_LINTIAN"))
                QFAIL("lintian is not installed");
            QSKIP("lintian is not installed");
        }
        test::RunOptions slow;
        slow.timeoutMs = 300000;
        const test::ProgramResult lintian = test::runProgram(
            QStringLiteral("lintian"), {QStringLiteral("--fail-on"), QStringLiteral("error,warning"), m_deb}, slow);
        QVERIFY2(lintian.exitCode == 0, qPrintable(lintian.describe()));
        QVERIFY2(!lintian.out.contains(QLatin1String("E: ")) && !lintian.out.contains(QLatin1String("W: ")),
                 qPrintable(lintian.out));
    }

    void theInstalledBuildCommandBuildsWithItsCarriedCompiler()
    {
        const QStringList before = test::snapshotTree(m_root);
        const test::ProgramResult build = test::runProgram(m_root + QStringLiteral("/usr/bin/vorlune-build"),
                                                           {test::kHelloProject, m_env->path(QStringLiteral("hello"))},
                                                           {}, test::installedProgramEnvironment());
        QVERIFY2(build.exitCode == 0, qPrintable(build.describe()));
        const QJsonObject files =
            test::openWithPhp(m_env->path(QStringLiteral("hello.phar"))).value(QStringLiteral("files")).toObject();
        QVERIFY2(files.contains(QStringLiteral("plugin.yml")), qPrintable(QStringList(files.keys()).join(u' ')));
        QCOMPARE(test::snapshotTree(m_root), before);
    }

    void theInstalledApplicationStartsWithAProject()
    {
        const QStringList before = test::snapshotTree(m_root);
        QProcessEnvironment environment = test::installedProgramEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess application;
        application.setProcessEnvironment(environment);
        application.start(m_root + QStringLiteral("/usr/bin/vorlune"), {test::kHelloProject});
        // Written in the user's data folder just before the first window shows.
        const QString language = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/vorlune/Language.ini");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(language) || application.state() == QProcess::NotRunning, 30000);
        QVERIFY2(QFileInfo::exists(language), application.readAllStandardError().constData());
        // Still there a moment later: it showed the window and waits in its event loop.
        QTest::qWait(1000);
        QCOMPARE(application.state(), QProcess::Running);
        application.kill();
        QVERIFY(application.waitForFinished(10000));
        // Nothing of the user's beside the program, although root may write there.
        QCOMPARE(test::snapshotTree(m_root), before);
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
    QTemporaryDir m_scratch;
    QString m_deb;
    QString m_root;
};

VORLUNE_TEST(DebianPackageTest)
#include "DebianPackageTest.moc"
