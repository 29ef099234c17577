#pragma once

#include "testrun/ConsoleParser.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace vorlune::testrun {

// What a line of the server's output tells a test run.
struct ServerLine {
    enum class Kind {
        Other,
        Loading,          // name, version
        Enabling,         // name, version
        Ready,            // the "Done (...)!" line
        PluginRefused,    // name, reason: a plugin that could not be loaded or enabled
        PluginsFailed,    // the server stops because a plugin failed
        PhpRequirements,  // the server's PHP lacks what the core needs
        MissingExtension, // name, extension: one item of the list after PhpRequirements
    };
    Kind kind = Kind::Other;
    QString name;
    QString version; // of Loading and Enabling; the extension of MissingExtension
    QString reason;
    friend bool operator==(const ServerLine &, const ServerLine &) = default;
};

// Reads one line of output whose escape sequences and format codes are
// already removed. The log prefix ("[12:00:00.123] [Server thread/INFO]: "
// or "[ERROR] ") may be there or not; the texts are the server's English ones.
ServerLine readServerLine(const QString &line);

// Gathers the plain text of whole lines from the console parser's events.
class PlainLines {
public:
    QStringList take(const std::vector<ConsoleEvent> &events);

private:
    QString m_line;
};

} // namespace vorlune::testrun
