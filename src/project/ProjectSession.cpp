#include "project/ProjectSession.h"

#include "base/Messages.h"
#include "i18n/TextTable.h"

#include <QFileInfo>

namespace vorlune::project {

QString ProjectSession::untitledName() { return i18n::tx("OTHR.othr1") + QStringLiteral(".vlk"); }

void ProjectSession::NewPlugin()
{
    ProjectFileName = untitledName();
    document = ProjectDocument::newProject();
    ProjectFilePath.clear();
    modified = false;
}

bool ProjectSession::OpenPlugin(const QString &path, const DocumentCheck &check)
{
    if (extensionOf(path) != QLatin1String(".vlk")) {
        Messages::show(i18n::tx("MSG.msg5"));
        return false;
    }
    // Parse first, so a broken file leaves the open project untouched.
    ProjectDocument loaded = ProjectDocument::fromFile(path);
    if (check)
        check(loaded, path);
    document = std::move(loaded);
    ProjectFileName = fileNamePart(path);
    ProjectFilePath = path;
    modified = false;
    return true;
}

void ProjectSession::saveTo(const QString &path)
{
    document.save(path);
    ProjectFileName = fileNamePart(path);
    ProjectFilePath = path;
    modified = false;
}

QString ProjectSession::saveAsTarget(const QString &chosen)
{
    if (chosen.size() <= 3)
        return {};
    if (!chosen.endsWith(QLatin1String(".vlk"), Qt::CaseSensitive))
        return chosen + QStringLiteral(".vlk");
    return chosen;
}

QString ProjectSession::extensionOf(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const qsizetype separator = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    if (dot < 0 || dot < separator)
        return {};
    return path.mid(dot);
}

QString ProjectSession::fileNamePart(const QString &path) { return QFileInfo(path).fileName(); }

QString getMainClassName(const QString &main)
{
    const qsizetype slash = main.lastIndexOf(QLatin1Char('\\'));
    return slash < 0 ? main : main.mid(slash + 1);
}

} // namespace vorlune::project
