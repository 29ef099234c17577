#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>

// A broken promise of the code under test: libFuzzer keeps the input that
// caused it, as for a crash.
inline void fuzzCheck(bool holds, const char *promise, const QString &detail = {})
{
    if (holds)
        return;
    std::fprintf(stderr, "broken: %s\n%s\n", promise, qUtf8Printable(detail));
    std::abort();
}
