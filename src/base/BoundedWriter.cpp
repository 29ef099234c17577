#include "base/BoundedWriter.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace vorlune::base {

struct BoundedWriter::Queue {
    int fd = -1;
    qsizetype limit = 0;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QByteArray> chunks;
    qsizetype waiting = 0; // bytes in `chunks` and in the chunk being written
    qint64 dropped = 0;
    bool closing = false;
    bool finished = false; // what waited is given up
    bool broken = false;

    // False once the reader has gone.
    bool writeAll(const QByteArray &chunk) const
    {
        for (qsizetype done = 0; done < chunk.size();) {
            const ssize_t written = ::write(fd, chunk.constData() + done, size_t(chunk.size() - done));
            if (written > 0)
                done += written;
            else if (written < 0 && errno != EINTR)
                return false;
        }
        return true;
    }

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return !chunks.empty() || closing; });
            if (chunks.empty())
                return;
            const QByteArray chunk = std::move(chunks.front());
            chunks.pop_front();
            lock.unlock();
            const bool written = writeAll(chunk);
            lock.lock();
            broken = broken || !written;
            if (!finished)
                waiting -= chunk.size();
            changed.notify_all();
        }
    }
};

BoundedWriter::BoundedWriter(int fd, qsizetype limit) : m_queue(std::make_shared<Queue>())
{
    m_queue->fd = fd;
    m_queue->limit = limit;
    // Left alone when it ends: a write nobody takes may never return, and
    // the program must be free to end all the same.
    std::thread([queue = m_queue] { queue->run(); }).detach();
}

BoundedWriter::~BoundedWriter() { finish(0); }

void BoundedWriter::write(const QByteArray &bytes)
{
    const std::lock_guard lock(m_queue->mutex);
    if (m_queue->broken || m_queue->closing)
        return;
    if (m_queue->waiting + bytes.size() > m_queue->limit) {
        m_queue->dropped += bytes.size();
        return;
    }
    m_queue->chunks.push_back(bytes);
    m_queue->waiting += bytes.size();
    m_queue->changed.notify_all();
}

qint64 BoundedWriter::finish(int waitMs)
{
    std::unique_lock lock(m_queue->mutex);
    m_queue->closing = true;
    m_queue->changed.notify_all();
    m_queue->changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                              [this] { return m_queue->waiting == 0 || m_queue->broken; });
    if (!m_queue->broken)
        m_queue->dropped += m_queue->waiting;
    m_queue->chunks.clear();
    m_queue->waiting = 0;
    m_queue->finished = true;
    return m_queue->dropped;
}

} // namespace vorlune::base
