#pragma once

#include <QString>
#include <QStringList>

namespace vorlune::base {

// Appends the paths of all files below Path to list, depth first, skipping
// every file and folder whose name begins with ".". A path that is not a
// folder appends nothing; the list is not emptied first.
void FindFiles(const QString &Path, QStringList &list);

} // namespace vorlune::base
