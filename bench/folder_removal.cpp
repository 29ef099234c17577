// Times the removal of hostile trees the way the run clean-up and the PHP
// installer meet them:
//   folder_removal [LEVELS] [PACK]   (default 32,000 levels; PACK: a pack to install twice)
// Builds plugin_run/players LEVELS folders deep and removes it with the run
// clean-up, under a limit of 1,024 descriptors. With PACK, installs it over
// a bin/ of the same depth. Exits 0 when each removal took under a second.
#include "base/IniImage.h"
#include "testrun/Installer.h"
#include "testrun/RunCleanUp.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kTargetMs = 1000;

void makeDeepTree(const QString &top, int levels)
{
    QDir().mkpath(top);
    int folder = ::open(QFile::encodeName(top).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < levels && folder >= 0; ++level) {
        ::mkdirat(folder, "d", 0755);
        const int inside = ::openat(folder, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(folder);
        folder = inside;
    }
    ::close(folder);
}

bool report(const char *what, qint64 ms, bool gone)
{
    std::printf("%-40s %6lld ms  %s\n", what, static_cast<long long>(ms), gone ? "removed" : "NOT REMOVED");
    return gone && ms < kTargetMs;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int levels = argc > 1 ? std::atoi(argv[1]) : 32000;
    struct rlimit limit {};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_cur, 1024);
    ::setrlimit(RLIMIT_NOFILE, &limit);

    QTemporaryDir home;
    const QString server = home.filePath(QStringLiteral("plugin_run/"));
    makeDeepTree(server + QStringLiteral("players"), levels);
    QElapsedTimer clock;
    clock.start();
    vorlune::testrun::cleanUpBeforeRun(server, vorlune::base::IniImage::fromBytes("[Run]\ndelete_players=1\n"));
    bool met = report("run clean-up of a deep players/", clock.elapsed(),
                      !QFileInfo::exists(server + QStringLiteral("players")));

    if (argc > 2) {
        const QString pack = QString::fromLocal8Bit(argv[2]);
        makeDeepTree(server + QStringLiteral("bin"), levels);
        clock.restart();
        vorlune::testrun::installPhpPack(home.path() + QLatin1Char('/'), pack);
        met = report("pack installed over a deep bin/", clock.elapsed(),
                     !QFileInfo::exists(server + QStringLiteral("bin/d"))) &&
              met;
    }
    return met ? 0 : 1;
}
