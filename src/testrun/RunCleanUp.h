#pragma once

#include "base/IniImage.h"

#include <QString>

namespace vorlune::testrun {

// Deletes what the run options of `settings` ask for before a test run:
// "server.log", "worlds/", "players/", "plugins/" and the crash dumps of
// `serverFolder` (which ends in "/"), names compared without regard to
// letter case. A name is deleted only when it is of the kind asked for (a
// folder named "server.log" stays); folders go with all they hold, links are
// removed as links and never followed. What cannot be deleted stays without
// a word. A bad option value throws vorlune::Error before anything goes.
void cleanUpBeforeRun(const QString &serverFolder, const base::IniImage &settings);

} // namespace vorlune::testrun
