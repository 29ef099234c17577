#include "build/Compile.h"

#include "base/Error.h"
#include "base/FileIo.h"
#include "base/FindFiles.h"
#include "base/Messages.h"
#include "base/ProgramFolder.h"
#include "base/RuntimeFiles.h"
#include "base/TextCodecs.h"
#include "build/BuildFolder.h"
#include "build/CodeGenerator.h"
#include "build/ZipWriter.h"
#include "i18n/TextTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace vorlune::build {
namespace {

// The build folder is emptied when the build ends, and the archive with it.
void refuseTargetInside(const QString &target, const QString &buildFolder)
{
    if (isInsideFolder(target, buildFolder))
        throw Error(QStringLiteral("The archive \"%1\" would be written inside the build folder \"%2\", which "
                                   "every build empties; choose a place outside it.")
                        .arg(target, buildFolder));
}

void writeSources(const BuildFolder &folder, const GeneratedPlugin &plugin)
{
    const QString classFile = folder.path(QStringLiteral("compile/") + plugin.classFilePath);
    if (!QDir().mkpath(QFileInfo(classFile).absolutePath()))
        throw Error(QStringLiteral("Cannot create the folder \"%1\"").arg(QFileInfo(classFile).absolutePath()));
    fileio::writeScratch(folder.path(QStringLiteral("compile/plugin.yml")), plugin.pluginYml);
    fileio::writeScratch(classFile, plugin.mainClass);
}

QByteArray paramsFileBytes(const QList<QPair<QString, QString>> &params)
{
    QString text = QStringLiteral("[Params]\r\n");
    for (const auto &[key, value] : params)
        text += key + QLatin1Char('=') + value + QStringLiteral("\r\n");
    text += QStringLiteral("\r\n");
    return codecs::encodeAnsi(text);
}

bool packPhar(const BuildFolder &folder, const GeneratedPlugin &plugin, const QString &target, bool show_err)
{
    fileio::writeScratch(folder.path(QStringLiteral("cnfg.dll")), paramsFileBytes(plugin.params));
    const QString compiler = folder.path(kCompilerFileName);
    base::ExtractRes(base::kResourceType, kCompilerResourceName, compiler);
    QFile::setPermissions(compiler, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcess process;
    process.setWorkingDirectory(folder.root());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(compiler, {});
    if (!process.waitForStarted(-1)) {
        if (show_err)
            Messages::show(i18n::tx("MSG.msg12"));
    } else {
        // The build blocks until the compiler is done, however long it takes.
        process.waitForFinished(-1);
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(-1);
    }

    // A compiler that packed nothing shows as the missing archive; an archive
    // that cannot be written is an error with the system's reason.
    const QString packed = folder.path(QStringLiteral("comp.phar"));
    if (!QFile::exists(packed))
        return false;
    fileio::writeAtomically(target, fileio::readAll(packed));
    return true;
}

bool packZip(const BuildFolder &folder, const QString &target)
{
    const QString base = folder.path(QStringLiteral("compile/"));
    QStringList files;
    base::FindFiles(base, files);
    writeZip(target, base, files);
    return true;
}

} // namespace

QString archiveTarget(int typec, const QString &tmp_file)
{
    const QLatin1String extension = typec == kPharArchive ? QLatin1String(".phar") : QLatin1String(".zip");
    return tmp_file.endsWith(extension, Qt::CaseSensitive) ? tmp_file : tmp_file + extension;
}

QString Compile(const std::function<GeneratedPlugin()> &generate, int typec, const QString &tmp_file, bool show_err,
                bool show_compl)
{
    const QString target = archiveTarget(typec, tmp_file);
    const QString buildFolder = base::buildFolder();
    refuseTargetInside(target, buildFolder);
    // An old archive that cannot be removed must not pass for the new one.
    bool written = !QFileInfo::exists(target) || QFile::remove(target);

    const GeneratedPlugin plugin = generate();
    const BuildFolder folder(buildFolder);
    // A link on the way to the target may lead into the folder only now that it exists.
    refuseTargetInside(target, buildFolder);
    writeSources(folder, plugin);
    if (written)
        written = typec == kPharArchive ? packPhar(folder, plugin, target, show_err) : packZip(folder, target);

    if (written && QFileInfo(target).isFile()) {
        if (show_compl)
            Messages::show(i18n::tx("MSG.msg10"));
        return target;
    }
    if (show_err)
        Messages::show(i18n::tx("MSG.msg11"));
    return {};
}

QString Compile(project::ProjectDocument &document, int typec, const QString &tmp_file, bool show_err, bool show_compl)
{
    return Compile([&document] { return generatePlugin(document); }, typec, tmp_file, show_err, show_compl);
}

} // namespace vorlune::build
