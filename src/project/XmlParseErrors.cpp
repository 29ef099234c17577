#include "project/XmlParseErrors.h"

#include "base/Error.h"
#include "project/AttributeCount.h"

#include <QLocale>

#include <libxml/parserInternals.h>

#include <cstdarg>
#include <cstdio>

namespace vorlune::project::xmlparse {
namespace {

QString location(const QString &sourceName) { return sourceName.isEmpty() ? QStringLiteral("XML") : sourceName; }

// The first error names the cause; what follows is libxml2 stumbling over
// the rest of the construct it gave up on.
thread_local ErrorCapture::State *t_firstError = nullptr;

void recordError(void *, xmlErrorPtr error)
{
    if (!t_firstError || !error || error->level < XML_ERR_ERROR)
        return;
    // Namespace errors do not stop the parser; the first is kept for
    // refuseNamespaceErrors.
    if (error->domain == XML_FROM_NAMESPACE && t_firstError->namespaceMessage.isEmpty()) {
        t_firstError->namespaceLine = error->line;
        t_firstError->namespaceMessage = QByteArray(error->message ? error->message : "namespace error").trimmed();
    }
    if (t_firstError->seen || error->domain != XML_FROM_PARSER)
        return;
    t_firstError->seen = true;
    t_firstError->code = error->code;
    t_firstError->line = error->line;
    t_firstError->message = QByteArray(error->message ? error->message : "");
}

void recordUnstructured(void *, const char *format, ...)
{
    if (!t_firstError || t_firstError->unstructured.size() > 4096)
        return;
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    t_firstError->unstructured += text;
}

// "input conversion failed due to input error, bytes 0x98 0x42 ...", then "encoder error"
QString encodingMessage(const ErrorCapture::State &error, const QString &sourceName, int line)
{
    if (!error.unstructured.contains("conversion failed") && !error.unstructured.contains("encoder error"))
        return {};
    const qsizetype bytesAt = error.unstructured.indexOf("bytes 0x");
    const QByteArray bad = bytesAt < 0 ? QByteArray() : error.unstructured.mid(bytesAt + 6, 4);
    return withLine(
        sourceName, line,
        QStringLiteral("it holds bytes that are not text in the encoding it declares%1, so the file is "
                       "not opened.")
            .arg(bad.isEmpty() ? QString() : QStringLiteral(" (the byte %1)").arg(QString::fromLatin1(bad))));
}

QString number(quint64 value) { return QLocale(QLocale::English).toString(value); }

// libxml2's own words for its size limits send the user after a parser
// option; these say what in the file is too big. Empty for other errors.
QString limitMessage(const ErrorCapture::State &error, const QString &sourceName)
{
    if (!error.seen)
        return {};
    // libxml2 reports both a reference loop and too much expansion this way.
    if (error.code == XML_ERR_ENTITY_LOOP)
        return entityRefusal(sourceName);
    const QString textLimit = number(XML_MAX_TEXT_LENGTH);
    const auto says = [&error](const char *words) { return error.message.contains(words); };
    QString cause;
    if (error.code == XML_ERR_NAME_TOO_LONG)
        cause = QStringLiteral("a name of an element, attribute or entity is too long (the limit is %1 bytes).")
                    .arg(number(XML_MAX_NAME_LENGTH));
    else if (error.code == XML_ERR_ATTRIBUTE_NOT_FINISHED && says("length too long"))
        cause = QStringLiteral("an attribute value is too long (the limit is %1 bytes).").arg(textLimit);
    else if (says("Excessive depth in document"))
        cause = QStringLiteral("elements are nested too deeply (the limit is %1 levels).").arg(xmlParserMaxDepth);
    else if (says("too deep"))
        cause = QStringLiteral("a declaration in the DOCTYPE is nested too deeply.");
    else if (says("huge text node") || says("Huge input lookup") || says("too big found") || says("value too long") ||
             says("text too long"))
        cause = QStringLiteral("a text, comment or other part is too long (the limit is %1 bytes).").arg(textLimit);
    else if (says("XML_PARSE_HUGE"))
        cause = QStringLiteral("a part of the file is larger than a project file may be.");
    return cause.isEmpty() ? QString() : withLine(sourceName, error.line, cause);
}

QString parserMessage(xmlParserCtxtPtr context, const ErrorCapture::State &first, const QString &sourceName)
{
    const QString limit = limitMessage(first, sourceName);
    if (!limit.isEmpty())
        return limit;
    const xmlError *error = xmlCtxtGetLastError(context);
    const QString encoding = encodingMessage(first, sourceName, error ? error->line : 0);
    if (!encoding.isEmpty())
        return encoding;
    const QString message = error && error->message ? QString::fromUtf8(error->message).trimmed()
                                                    : QStringLiteral("the document could not be parsed");
    return withLine(sourceName, error ? error->line : 0, message);
}

} // namespace

QString withLine(const QString &sourceName, int line, const QString &message)
{
    if (line > 0)
        return QStringLiteral("%1, line %2: %3").arg(location(sourceName)).arg(line).arg(message);
    return QStringLiteral("%1: %2").arg(location(sourceName), message);
}

QString entityRefusal(const QString &sourceName)
{
    return QStringLiteral("%1: the entities it declares (<!ENTITY ...>) expand to more than 1 MB of text or refer "
                          "to themselves, so the file is not opened.")
        .arg(location(sourceName));
}

void refuseTooManyAttributes(const QByteArray &bytes, const QString &sourceName)
{
    if (const int line = lineOfTooManyAttributes(bytes))
        throw Error(withLine(sourceName, line,
                             QStringLiteral("an element has more than %1 attributes, more than a project can have, "
                                            "so the file is not opened.")
                                 .arg(kMaxAttributes)));
}

Context newContext(const QString &sourceName)
{
    Context context(xmlNewParserCtxt(), xmlFreeParserCtxt);
    if (!context)
        throw Error(QStringLiteral("Out of memory while parsing %1").arg(sourceName));
    return context;
}

ErrorCapture::ErrorCapture(xmlParserCtxtPtr context)
    : m_previous(t_firstError), m_previousGeneric(xmlGenericError), m_previousGenericContext(xmlGenericErrorContext)
{
    t_firstError = &m_state;
    // Also keeps libxml2 from printing the few errors it would write
    // to standard error despite XML_PARSE_NOERROR.
    context->sax->serror = recordError;
    xmlSetGenericErrorFunc(nullptr, recordUnstructured);
}

ErrorCapture::~ErrorCapture()
{
    xmlSetGenericErrorFunc(m_previousGenericContext, m_previousGeneric);
    t_firstError = m_previous;
}

QString ErrorCapture::message(xmlParserCtxtPtr context, const QString &sourceName) const
{
    return parserMessage(context, m_state, sourceName);
}

void ErrorCapture::refuseNamespaceErrors(xmlParserCtxtPtr context, const QString &sourceName) const
{
    if (context->nsWellFormed)
        return;
    const QString cause = m_state.namespaceMessage.isEmpty() ? QStringLiteral("a namespace prefix is not declared")
                                                             : QString::fromUtf8(m_state.namespaceMessage);
    throw Error(
        withLine(sourceName, m_state.namespaceLine,
                 cause + QStringLiteral(" (a prefix needs its xmlns declaration), so the file is not opened.")));
}

} // namespace vorlune::project::xmlparse
