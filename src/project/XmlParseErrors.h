#pragma once

#include <QByteArray>
#include <QString>

#include <libxml/parser.h>

#include <memory>

// What every reader of project files shares: the parser options, the
// refusals made before parsing, and one plain message for the first error.
namespace vorlune::project::xmlparse {

// No network, no external DTD, no entity substitution: nothing outside the
// given bytes is ever read. Elements keep line numbers past 65535, so
// messages name the same line whichever reader finds the fault.
inline constexpr int kReadOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES;

// References to entities are expanded on every attribute read, so a small
// file could otherwise stand for gigabytes of text.
inline constexpr quint64 kMaxEntityText = 1024 * 1024;

QString withLine(const QString &sourceName, int line, const QString &message);
QString entityRefusal(const QString &sourceName);

// Throws vorlune::Error when an element has more attributes than a project
// can have, before the parser spends quadratic time on them.
void refuseTooManyAttributes(const QByteArray &bytes, const QString &sourceName);

using Context = std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)>;
// Throws vorlune::Error when there is no memory for it.
Context newContext(const QString &sourceName);

// Keeps the first error of one parse on this thread, and what libxml2
// would otherwise print to standard error (its encoding errors).
class ErrorCapture {
public:
    explicit ErrorCapture(xmlParserCtxtPtr context);
    ~ErrorCapture();
    ErrorCapture(const ErrorCapture &) = delete;
    ErrorCapture &operator=(const ErrorCapture &) = delete;

    // The plain message for a parse that failed, naming the file and line.
    QString message(xmlParserCtxtPtr context, const QString &sourceName) const;
    // Throws vorlune::Error when the parse met a prefix that no xmlns
    // declares. libxml2 goes on after such a prefix, but the tree keeps it
    // in the name ("x:settings") where a front-to-back reader sees only the
    // local name, so every reader refuses such a file alike.
    void refuseNamespaceErrors(xmlParserCtxtPtr context, const QString &sourceName) const;

    struct State {
        bool seen = false;
        int code = XML_ERR_OK;
        int line = 0;
        QByteArray message;
        QByteArray unstructured;
        int namespaceLine = 0;
        QByteArray namespaceMessage;
    };

private:
    State m_state;
    State *m_previous;
    xmlGenericErrorFunc m_previousGeneric;
    void *m_previousGenericContext;
};

} // namespace vorlune::project::xmlparse
