#pragma once

#include <QString>

namespace vorlune::test {

// The test core of the fixtures (tests/fixtures/test-core/server.php): it
// behaves as today's server does under a program that runs it; its header
// tells how.
QString testCorePath();

// Makes it the core that the test server folder (ending in "/") runs.
void installTestCore(const QString &serverFolder);

// Written by the test core into the server folder: the id of the child
// process it starts.
inline const QString kTestCoreChildPidFile = QStringLiteral("test-core-child.pid");
// Put into the server folder, it makes the test core fail as a PHP without
// the core's extensions does.
inline const QString kTestCoreLacksExtensions = QStringLiteral("test-core-lacks-extensions");

// The child process id the test core wrote into the server folder, or 0.
qint64 testCoreChild(const QString &serverFolder);

// Whether the process runs. A zombie does not count: where nothing reaps
// orphans (some containers) an ended orphan stays one.
bool processRuns(qint64 pid);

} // namespace vorlune::test
