#include "base/EndSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <iterator>

#include <fcntl.h>
#include <unistd.h>

namespace vorlune::base {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM};
constexpr int kCount = int(std::size(kSignals));

int s_pipe[2] = {-1, -1};
struct sigaction s_previous[kCount];
struct sigaction s_previousPipe;

void caught(int number)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

EndSignals::EndSignals(QObject *parent) : QObject(parent)
{
    if (s_pipe[0] >= 0 || ::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = &caught;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kCount; ++i)
        ::sigaction(kSignals[i], &action, &s_previous[i]);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &s_previousPipe);
    m_notifier = std::make_unique<QSocketNotifier>(s_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char number = 0;
        while (::read(s_pipe[0], &number, 1) == 1)
            Q_EMIT received(number);
    });
}

EndSignals::~EndSignals()
{
    if (!m_notifier)
        return;
    m_notifier.reset();
    for (int i = 0; i < kCount; ++i)
        ::sigaction(kSignals[i], &s_previous[i], nullptr);
    ::sigaction(SIGPIPE, &s_previousPipe, nullptr);
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

} // namespace vorlune::base
