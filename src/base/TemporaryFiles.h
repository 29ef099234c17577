#pragma once

#include <QByteArray>

namespace vorlune::fileio {

// The temporary files a whole-file write goes through: ".<name>.tmp-" and
// eight random letters and digits, beside the target "<folder>/<name>".
// A writer holds a lock on its temporary until it is renamed over the
// target. A writer that was killed cannot remove its temporary, but the
// lock goes with the process, so the next write of the same target knows
// the temporary for a leftover and removes it. On a file system without
// locks nothing is removed.

// Creates a fresh temporary for `target` (a native path), locked; returns
// its descriptor, or -1 with errno set.
int createLockedTemporary(const QByteArray &target, QByteArray &temporary);

// Removes the temporaries of `target` that no live writer holds. Best
// effort: what cannot be looked at or removed stays.
void removeLeftTemporaries(const QByteArray &target);

} // namespace vorlune::fileio
