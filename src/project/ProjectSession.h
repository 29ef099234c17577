#pragma once

#include "project/ProjectDocument.h"

#include <QString>

#include <functional>

namespace vorlune::project {

// The one open project: its document and the two names of its file.
// ProjectFilePath is empty exactly while the project has no file yet.
class ProjectSession {
public:
    ProjectDocument document;
    QString ProjectFileName;
    QString ProjectFilePath;
    // Whether the document may differ from what was last opened or saved:
    // set by the editors' OK, cleared by new, open and a save that succeeded.
    bool modified = false;

    void NewPlugin();
    // Refuses a path whose extension is not exactly ".vlk" with a message and
    // returns false. A file that cannot be read or parsed throws
    // vorlune::Error and leaves the open project as it was, as does one the
    // check refuses (it throws vorlune::Error naming the file).
    using DocumentCheck = std::function<void(const ProjectDocument &, const QString &path)>;
    bool OpenPlugin(const QString &path, const DocumentCheck &check = {});
    // Saves to path, replacing any file there, and names the project after
    // it. On failure throws and keeps both names and the modified mark.
    void saveTo(const QString &path);

    // The name under which a path chosen in the save dialog is saved: empty
    // when it has 3 characters or fewer (nothing is saved then), else with
    // ".vlk" appended unless it already ends in exactly ".vlk".
    static QString saveAsTarget(const QString &chosen);
    // The extension from the last "." to the end; empty when there is no dot
    // after the last path separator.
    static QString extensionOf(const QString &path);
    static QString fileNamePart(const QString &path);

    // The name a project without file carries in the current language.
    static QString untitledName();
};

// The last part of a main class setting: the text after its last backslash.
QString getMainClassName(const QString &main);

} // namespace vorlune::project
