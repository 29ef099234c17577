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

QString shortened(const QString &text)
{
    if (text.size() <= kOutsideTextLimit)
        return text;
    qsizetype keep = kOutsideTextLimit - 1;
    if (text.at(keep - 1).isHighSurrogate())
        --keep; // never half a character
    return text.left(keep) + QChar(0x2026);
}

} // namespace vorlune::Messages
