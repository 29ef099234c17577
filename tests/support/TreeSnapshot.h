#pragma once

#include <QString>
#include <QStringList>

namespace vorlune::test {

// One line per entry at and below `root`, links not followed: name, type and
// permissions, owner, and for a file its contents. Two equal snapshots show
// that nothing there was deleted, changed or chmod-ed.
QStringList snapshotTree(const QString &root);

// Paths of the files and folders below `root`, relative to it, sorted.
QStringList treeOf(const QString &root);

// A folder with a file, a subfolder of its own permissions and a file in it:
// something a hostile build folder might point at.
void makeBystanderFolder(const QString &root);

// Folders named "d", `levels` deep, below the folder `top`.
void makeDeepTree(const QString &top, int levels);

} // namespace vorlune::test
