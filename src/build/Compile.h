#pragma once

#include <QString>

#include <functional>

namespace vorlune::project {
class ProjectDocument;
}

namespace vorlune::build {

struct GeneratedPlugin;

inline constexpr int kPharArchive = 1;
inline constexpr int kZipArchive = 2; // as any value but kPharArchive
// Compile's show_err and show_compl, named where it is called.
inline constexpr bool kShowErrors = true;
inline constexpr bool kHideErrors = false;
inline constexpr bool kShowCompletion = true;
inline constexpr bool kHideCompletion = false;
inline const QString kCompilerResourceName = QStringLiteral("PHARcompiler");
inline const QString kCompilerFileName = QStringLiteral("PHAR_compiler");

// The archive name with the extension its kind needs: ".phar" for typec 1,
// else ".zip", appended unless the name already ends in it exactly.
QString archiveTarget(int typec, const QString &tmp_file);

// Builds the open project into tmp_file: typec 1 packs a .phar through the
// carried PHAR compiler, any other value a .zip. Reports success and failure
// through the message interface as show_err and show_compl ask. Returns the
// archive path (with its extension fixed) when this build wrote it, else an
// empty text. A project that cannot be generated, a target inside the build
// folder, or a build folder that cannot be taken, emptied or written throws
// vorlune::Error. Builds of several processes take turns: the build folder is
// shared, and a build waits for another one for a minute at most.
QString Compile(project::ProjectDocument &document, int typec, const QString &tmp_file, bool show_err, bool show_compl);
// The same for the plugin generate makes; what it throws comes after the
// old archive is gone, as a project that cannot be generated does above.
QString Compile(const std::function<GeneratedPlugin()> &generate, int typec, const QString &tmp_file, bool show_err,
                bool show_compl);

} // namespace vorlune::build
