#pragma once

#include <QString>

namespace vorlune::base {

// The program folder P, always ending in a separator so that file names
// can be appended directly: VORLUNE_HOME when set, else the executable's
// folder when it is writable and not an installed one (portable use), else
// the per-user data folder.
// The folder is created when missing.
QString programFolder();

// The folder in which builds assemble their files (owner-only).
QString buildFolder();

} // namespace vorlune::base
