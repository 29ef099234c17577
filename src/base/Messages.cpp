#include "base/Messages.h"

#include <cstdio>

namespace vorlune::Messages {
namespace {

void printToStderr(const QString &text) { std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData()); }

Sink &currentSink()
{
    static Sink sink = printToStderr;
    return sink;
}

} // namespace

void show(const QString &text) { currentSink()(text); }

Sink setSink(Sink sink)
{
    Sink previous = std::move(currentSink());
    currentSink() = sink ? std::move(sink) : Sink(printToStderr);
    return previous;
}

} // namespace vorlune::Messages
