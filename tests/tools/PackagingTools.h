#pragma once

// What the packaging tests share: the system tools they run and the
// environment of a program run from an installed tree.

#include "support/Programs.h"

#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>

namespace vorlune::test {

// The tools of `names` that are not on PATH, as one text; empty when all are.
inline QString missingTools(const QStringList &names)
{
    QStringList missing;
    for (const QString &name : names) {
        if (QStandardPaths::findExecutable(name).isEmpty())
            missing << name;
    }
    return missing.isEmpty() ? QString() : QStringLiteral("missing: ") + missing.join(QStringLiteral(", "));
}

// The environment of this test without VORLUNE_HOME, so that an installed
// program chooses its own folders (below the test's XDG folders).
inline QProcessEnvironment installedProgramEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("VORLUNE_HOME"));
    return environment;
}

} // namespace vorlune::test

// CI installs every tool the Makefile lists, so there a missing one fails.
#define VORLUNE_REQUIRE_TOOLS(...)                                                                                     \
    do {                                                                                                               \
        const QString missing = ::vorlune::test::missingTools(__VA_ARGS__);                                            \
        if (!missing.isEmpty()) {                                                                                      \
            if (qEnvironmentVariableIsSet("CI"))                                                                       \
                QFAIL(qPrintable(missing));                                                                            \
            QSKIP(qPrintable(missing));                                                                                \
        }                                                                                                              \
    } while (false)
