#pragma once

#include <QByteArray>

#include <memory>

namespace vorlune::base {

// Writes to a descriptor on a thread of its own, so that a reader that
// takes nothing never holds up the caller: at most `limit` bytes wait, and
// what does not fit is dropped and counted. Once the reader has gone (the
// descriptor fails) everything is dropped silently.
class BoundedWriter {
public:
    BoundedWriter(int fd, qsizetype limit);
    // Gives up on what still waits, as finish(0) does.
    ~BoundedWriter();
    BoundedWriter(const BoundedWriter &) = delete;
    BoundedWriter &operator=(const BoundedWriter &) = delete;

    void write(const QByteArray &bytes);
    // Waits up to `waitMs` for what waits to be written and drops the rest;
    // later writes are dropped. Returns how many bytes were dropped while
    // the reader was there.
    qint64 finish(int waitMs);

private:
    struct Queue;
    std::shared_ptr<Queue> m_queue;
};

} // namespace vorlune::base
