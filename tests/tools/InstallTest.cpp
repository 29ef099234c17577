#include "tools/PackagingTools.h"

#include "support/Programs.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "support/TreeSnapshot.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace vorlune;

namespace {

const QString kAppId = QStringLiteral("org.vorlune.Vorlune");
const QString kProjectType = QStringLiteral("application/x-vorlune-project");

// `cmake --install` of this build tree; the prefix has a space, as a user's may.
QString installIntoScratch(const QTemporaryDir &scratch)
{
    const QString prefix = scratch.path() + QStringLiteral("/my prefix");
    test::RunOptions options;
    options.timeoutMs = 120000;
    const test::ProgramResult install = test::runProgram(
        QStringLiteral(VORLUNE_CMAKE),
        {QStringLiteral("--install"), QStringLiteral(VORLUNE_BINARY_DIR), QStringLiteral("--prefix"), prefix}, options);
    if (install.exitCode != 0)
        qWarning("%s", qPrintable(install.describe()));
    return install.exitCode == 0 ? prefix : QString();
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void installsProgramsSiteDocumentsAndValidDesktopFiles()
    {
        VORLUNE_REQUIRE_TOOLS({QStringLiteral("desktop-file-validate"), QStringLiteral("appstream-util")});
        QTemporaryDir scratch;
        const QString prefix = installIntoScratch(scratch);
        QVERIFY(!prefix.isEmpty());
        for (const QString &name : {QStringLiteral("vorlune"), QStringLiteral("vorlune-build")})
            QVERIFY2(QFileInfo(prefix + QStringLiteral("/bin/") + name).isExecutable(), qPrintable(name));
        // Where the installed program looks for it: <exe>/../share/vorlune/site/.
        QCOMPARE(test::treeOf(prefix + QStringLiteral("/share/vorlune/site")),
                 test::treeOf(QStringLiteral(VORLUNE_BINARY_DIR "/site")));
        // The installed README shows its pictures.
        const QString docs = prefix + QStringLiteral("/share/doc/vorlune/");
        const QString readme = QString::fromUtf8(test::readFile(docs + QStringLiteral("README.md")));
        QStringList pictures;
        for (const auto &link : QRegularExpression(QStringLiteral("\\]\\((docs/[^)]+)\\)")).globalMatch(readme))
            pictures << link.captured(1);
        QVERIFY(pictures.contains(QStringLiteral("docs/main-window.png")));
        for (const QString &picture : pictures)
            QVERIFY2(QFileInfo(docs + picture).isFile(), qPrintable(picture));

        const QString desktop = prefix + QStringLiteral("/share/applications/") + kAppId + QStringLiteral(".desktop");
        const test::ProgramResult desktopCheck = test::runProgram(QStringLiteral("desktop-file-validate"), {desktop});
        QVERIFY2(desktopCheck.exitCode == 0 && desktopCheck.out.isEmpty(), qPrintable(desktopCheck.describe()));
        const QString icon = QRegularExpression(QStringLiteral("^Icon=(.*)$"), QRegularExpression::MultilineOption)
                                 .match(QString::fromUtf8(test::readFile(desktop)))
                                 .captured(1);
        QVERIFY(
            QFileInfo(prefix + QStringLiteral("/share/icons/hicolor/scalable/apps/") + icon + QStringLiteral(".svg"))
                .isFile());

        const test::ProgramResult metainfoCheck =
            test::runProgram(QStringLiteral("appstream-util"),
                             {QStringLiteral("validate-relax"), QStringLiteral("--nonet"),
                              prefix + QStringLiteral("/share/metainfo/") + kAppId + QStringLiteral(".metainfo.xml")});
        QVERIFY2(metainfoCheck.exitCode == 0, qPrintable(metainfoCheck.describe()));
    }

    // The way a file manager gets from a project to the program: the file's
    // type from the MIME database, the type's program from the launchers.
    void aProjectOpensWithTheInstalledProgram()
    {
        VORLUNE_REQUIRE_TOOLS(
            {QStringLiteral("update-mime-database"), QStringLiteral("update-desktop-database"), QStringLiteral("gio")});
        test::TestEnvironment env;
        QTemporaryDir scratch;
        const QString prefix = installIntoScratch(scratch);
        QVERIFY(!prefix.isEmpty());
        // What Debian's triggers run when the package installs these files.
        QCOMPARE(
            test::runProgram(QStringLiteral("update-mime-database"), {prefix + QStringLiteral("/share/mime")}).exitCode,
            0);
        QCOMPARE(test::runProgram(QStringLiteral("update-desktop-database"),
                                  {prefix + QStringLiteral("/share/applications")})
                     .exitCode,
                 0);

        // A desktop session whose data folders include the prefix; GIO lists
        // only launchers whose program is on PATH.
        QProcessEnvironment desktop = QProcessEnvironment::systemEnvironment();
        desktop.insert(QStringLiteral("PATH"),
                       prefix + QStringLiteral("/bin:") + desktop.value(QStringLiteral("PATH")));
        desktop.insert(QStringLiteral("XDG_DATA_DIRS"), prefix + QStringLiteral("/share:/usr/share"));
        desktop.insert(QStringLiteral("XDG_CONFIG_HOME"), env.path(QStringLiteral("config")));
        const auto typeOf = [&](const QString &name) {
            const test::ProgramResult info =
                test::runProgram(QStringLiteral("gio"),
                                 {QStringLiteral("info"), QStringLiteral("-a"),
                                  QStringLiteral("standard::content-type"), env.path(name)},
                                 {}, desktop);
            return info.out.section(QStringLiteral("standard::content-type: "), 1).trimmed();
        };
        const QByteArray project = test::readFile(test::kHelloProject);
        test::writeFile(env.path(QStringLiteral("My Plugin.vlk")), project);
        test::writeFile(env.path(QStringLiteral("renamed")), project);
        test::writeFile(env.path(QStringLiteral("other")), "<?xml version=\"1.0\"?>\n<settings/>\n");
        QCOMPARE(typeOf(QStringLiteral("My Plugin.vlk")), kProjectType);
        QCOMPARE(typeOf(QStringLiteral("renamed")), kProjectType);
        QCOMPARE(typeOf(QStringLiteral("other")), QStringLiteral("application/xml"));

        const test::ProgramResult handlers =
            test::runProgram(QStringLiteral("gio"), {QStringLiteral("mime"), kProjectType}, {}, desktop);
        QVERIFY2(handlers.out.section(QLatin1Char('\n'), 0, 0)
                     .endsWith(QStringLiteral(": ") + kAppId + QStringLiteral(".desktop")),
                 qPrintable(handlers.describe()));
    }
};

VORLUNE_TEST(InstallTest)
#include "InstallTest.moc"
