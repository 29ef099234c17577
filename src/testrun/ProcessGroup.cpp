#include "testrun/ProcessGroup.h"

#include "base/Descriptor.h"

#include <QByteArrayList>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorlune::testrun {
namespace {

constexpr char kMarkName[] = "VORLUNE_GROUP";
constexpr auto kEndWait = std::chrono::milliseconds(2000);
constexpr auto kEndPoll = std::chrono::milliseconds(10);
// More than any environment the system lets a program start with.
constexpr size_t kLongestEnvironment = 16 << 20;

struct ProcessStat {
    pid_t pid = 0;
    char state = 0;
    pid_t parent = 0;
    pid_t group = 0;
    bool gone() const { return state == 'Z' || state == 'X'; }
};

bool readStat(const char *pid, ProcessStat &stat)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%s/stat", pid);
    const base::Descriptor file(::open(path, O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        return false;
    char text[512];
    const ssize_t size = ::read(file.get(), text, sizeof text - 1);
    if (size <= 0)
        return false;
    text[size] = '\0';
    // The name in parentheses may hold anything, ")" included.
    const char *nameEnd = std::strrchr(text, ')');
    long parent = 0;
    long group = 0;
    if (!nameEnd || std::sscanf(nameEnd + 1, " %c %ld %ld", &stat.state, &parent, &group) != 3)
        return false;
    stat.pid = pid_t(std::atol(pid));
    stat.parent = pid_t(parent);
    stat.group = pid_t(group);
    return true;
}

// Whether the environment of `pid` holds the entry `entry` ("NAME=value").
bool carries(pid_t pid, const QByteArray &entry)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/environ", int(pid));
    const base::Descriptor file(::open(path, O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        return false;
    QByteArray environment(1, '\0');
    char buffer[65536];
    ssize_t size = 0;
    while (size_t(environment.size()) < kLongestEnvironment && (size = ::read(file.get(), buffer, sizeof buffer)) > 0)
        environment.append(buffer, size);
    environment.append('\0');
    return environment.contains('\0' + entry + '\0');
}

// False when the processes cannot be listed.
template <typename Visit>
bool forEachProcess(Visit visit)
{
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return false;
    while (const dirent *entry = ::readdir(proc)) {
        ProcessStat stat;
        if (entry->d_name[0] >= '1' && entry->d_name[0] <= '9' && readStat(entry->d_name, stat))
            visit(stat);
    }
    ::closedir(proc);
    return true;
}

QByteArray markEntry(const QByteArray &mark) { return kMarkName + ('=' + mark); }

// Marks of the groups started and not ended yet.
std::mutex s_liveMutex;
QByteArrayList s_liveMarks;

void forget(const QByteArray &mark)
{
    const std::lock_guard lock(s_liveMutex);
    s_liveMarks.removeAll(mark);
}

// Whatever ends this program through exit() (the window's display going
// away included) ends the groups it started.
void endLiveGroups()
{
    QByteArrayList marks;
    {
        const std::lock_guard lock(s_liveMutex);
        marks = s_liveMarks;
    }
    for (const QByteArray &mark : marks)
        endGroup(0, mark);
}

QByteArray newMark()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Orphans of the groups come to this program rather than to init,
        // so that they are found and reaped here.
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        std::atexit(endLiveGroups);
    });
    static std::atomic<unsigned> count = 0;
    const QByteArray mark = QByteArray::number(::getpid()) + '-' + QByteArray::number(++count) + '-' +
                            QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    const std::lock_guard lock(s_liveMutex);
    s_liveMarks << mark;
    return mark;
}

} // namespace

QByteArray runInOwnGroup(QProcess &process)
{
    const QByteArray mark = newMark();
    QProcessEnvironment environment = process.processEnvironment();
    if (environment.isEmpty())
        environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kMarkName), QString::fromLatin1(mark));
    process.setProcessEnvironment(environment);
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The parent may have gone before the request was made.
        if (::getppid() != parent)
            ::raise(SIGKILL);
    });
    return mark;
}

bool signalGroup(qint64 group, int signal)
{
    if (group <= 1)
        return false;
    return ::kill(-pid_t(group), signal) == 0;
}

bool groupHasLiveProcess(qint64 group, const QByteArray &mark)
{
    const QByteArray entry = markEntry(mark);
    bool found = false;
    const bool listed = forEachProcess([&](const ProcessStat &stat) {
        found = found || (!stat.gone() && ((group > 1 && stat.group == group) ||
                                           (!mark.isEmpty() && stat.pid != ::getpid() && carries(stat.pid, entry))));
    });
    return listed ? found : signalGroup(group, 0) || errno == EPERM;
}

bool endGroup(qint64 group, const QByteArray &mark)
{
    forget(mark);
    const QByteArray entry = markEntry(mark);
    const pid_t self = ::getpid();
    const auto deadline = std::chrono::steady_clock::now() + kEndWait;
    std::vector<pid_t> killed;
    bool othersRan = false;
    for (;;) {
        bool live = false;
        forEachProcess([&](const ProcessStat &stat) {
            const bool inGroup = group > 1 && stat.group == group;
            if (stat.gone()) {
                // The leader is its starter's to reap.
                const bool ours = inGroup || std::find(killed.begin(), killed.end(), stat.pid) != killed.end();
                if (stat.parent == self && stat.pid != group && ours)
                    ::waitpid(stat.pid, nullptr, WNOHANG);
                return;
            }
            if (stat.pid == self || !(inGroup || (!mark.isEmpty() && carries(stat.pid, entry))))
                return;
            live = true;
            othersRan = othersRan || stat.pid != group;
            ::kill(stat.pid, SIGKILL);
            // One that left the group may lead one of its own.
            if (stat.group == stat.pid && !inGroup)
                ::kill(-stat.pid, SIGKILL);
            if (std::find(killed.begin(), killed.end(), stat.pid) == killed.end())
                killed.push_back(stat.pid);
        });
        if (!live || std::chrono::steady_clock::now() > deadline)
            return othersRan;
        signalGroup(group, SIGKILL);
        std::this_thread::sleep_for(kEndPoll);
    }
}

} // namespace vorlune::testrun
