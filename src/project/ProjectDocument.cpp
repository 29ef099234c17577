#include "project/ProjectDocument.h"

#include "base/Error.h"
#include "base/FileIo.h"
#include "base/TextCodecs.h"
#include "project/AttributeCount.h"

#include <QHash>
#include <QLocale>
#include <QSet>
#include <QStringList>

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>

namespace vorlune::project {
namespace {

xmlDocPtr asDoc(void *doc) { return static_cast<xmlDocPtr>(doc); }

bool isBlank(const xmlChar *text)
{
    for (; text && *text; ++text) {
        if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n')
            return false;
    }
    return true;
}

// Layout white space carries no meaning; dropping it lets the serializer
// indent the document afresh.
void dropBlankTextNodes(xmlNodePtr node)
{
    xmlNodePtr child = node->children;
    while (child) {
        xmlNodePtr next = child->next;
        if (child->type == XML_TEXT_NODE && isBlank(child->content)) {
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        } else if (child->type == XML_ELEMENT_NODE) {
            dropBlankTextNodes(child);
        }
        child = next;
    }
}

void dropBlankTextNodesOf(xmlDocPtr doc)
{
    for (xmlNodePtr node = doc->children; node; node = node->next) {
        if (node->type == XML_ELEMENT_NODE)
            dropBlankTextNodes(node);
    }
}

QString location(const QString &sourceName)
{
    return sourceName.isEmpty() ? QStringLiteral("XML") : sourceName;
}

QString withLine(const QString &sourceName, int line, const QString &message)
{
    if (line > 0)
        return QStringLiteral("%1, line %2: %3").arg(location(sourceName)).arg(line).arg(message);
    return QStringLiteral("%1: %2").arg(location(sourceName), message);
}

// References to entities are expanded on every attribute read, so a small
// file could otherwise stand for gigabytes of text.
constexpr quint64 kMaxEntityText = 1024 * 1024;

QString entityRefusal(const QString &sourceName)
{
    return QStringLiteral("%1: the entities it declares (<!ENTITY ...>) expand to more than 1 MB of text or refer "
                          "to themselves, so the file is not opened.")
        .arg(location(sourceName));
}

// The first error names the cause; what follows is libxml2 stumbling over
// the rest of the construct it gave up on.
struct FirstError {
    bool seen = false;
    int code = XML_ERR_OK;
    int line = 0;
    QByteArray message;
    // What libxml2 writes outside its structured errors (its encoding
    // errors), which would otherwise go to standard error as it is.
    QByteArray unstructured;
};

thread_local FirstError *t_firstError = nullptr;

void recordError(void *, xmlErrorPtr error)
{
    // Namespace complaints and warnings do not stop the parser; they are
    // never the cause of a refused file.
    if (!t_firstError || t_firstError->seen || !error || error->level < XML_ERR_ERROR ||
        error->domain != XML_FROM_PARSER)
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

class FirstErrorScope {
public:
    FirstErrorScope(xmlParserCtxtPtr context, FirstError &error)
        : m_previous(t_firstError), m_previousGeneric(xmlGenericError), m_previousGenericContext(xmlGenericErrorContext)
    {
        t_firstError = &error;
        // Also keeps libxml2 from printing the few errors it would write
        // to standard error despite XML_PARSE_NOERROR.
        context->sax->serror = recordError;
        xmlSetGenericErrorFunc(nullptr, recordUnstructured);
    }
    ~FirstErrorScope()
    {
        xmlSetGenericErrorFunc(m_previousGenericContext, m_previousGeneric);
        t_firstError = m_previous;
    }
    FirstErrorScope(const FirstErrorScope &) = delete;
    FirstErrorScope &operator=(const FirstErrorScope &) = delete;

private:
    FirstError *m_previous;
    xmlGenericErrorFunc m_previousGeneric;
    void *m_previousGenericContext;
};

// "input conversion failed due to input error, bytes 0x98 0x42 ...", then "encoder error"
QString encodingMessage(const FirstError &error, const QString &sourceName, int line)
{
    if (!error.unstructured.contains("conversion failed") && !error.unstructured.contains("encoder error"))
        return {};
    const qsizetype bytesAt = error.unstructured.indexOf("bytes 0x");
    const QByteArray bad = bytesAt < 0 ? QByteArray() : error.unstructured.mid(bytesAt + 6, 4);
    return withLine(sourceName, line,
                    QStringLiteral("it holds bytes that are not text in the encoding it declares%1, so the file is "
                                   "not opened.")
                        .arg(bad.isEmpty() ? QString() : QStringLiteral(" (the byte %1)").arg(QString::fromLatin1(bad))));
}

QString number(quint64 value) { return QLocale(QLocale::English).toString(value); }

// libxml2's own words for its size limits send the user after a parser
// option; these say what in the file is too big. Empty for other errors.
QString limitMessage(const FirstError &error, const QString &sourceName)
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

QString parserMessage(xmlParserCtxtPtr context, const FirstError &first, const QString &sourceName)
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

// Sums what the entity references in attributes and text stand for, each
// entity measured once through its nested references.
class EntityExpansion {
public:
    explicit EntityExpansion(xmlDocPtr doc) : m_doc(doc) {}

    bool withinBound()
    {
        for (xmlNodePtr node = m_doc->children; node && m_total <= kMaxEntityText; node = node->next) {
            if (node->type == XML_ELEMENT_NODE)
                addElement(node);
        }
        return m_total <= kMaxEntityText;
    }

private:
    static constexpr quint64 kOver = kMaxEntityText + 1;
    // libxml2 refuses references nested deeper than 40, so a longer chain
    // can only hide where it never looks (comments, CDATA); refusing it
    // costs nothing and bounds the recursion.
    static constexpr int kMaxDepth = 64;

    static quint64 plus(quint64 a, quint64 b) { return std::min(a + b, kOver); }

    void addElement(xmlNodePtr element)
    {
        for (xmlAttrPtr attribute = element->properties; attribute; attribute = attribute->next) {
            for (xmlNodePtr part = attribute->children; part; part = part->next) {
                if (part->type == XML_ENTITY_REF_NODE)
                    m_total = plus(m_total, sizeOf(xmlGetDocEntity(m_doc, part->name), 0));
            }
        }
        for (xmlNodePtr child = element->children; child && m_total <= kMaxEntityText; child = child->next) {
            if (child->type == XML_ENTITY_REF_NODE)
                m_total = plus(m_total, sizeOf(xmlGetDocEntity(m_doc, child->name), 0));
            else if (child->type == XML_ELEMENT_NODE)
                addElement(child);
        }
    }

    quint64 sizeOf(const xmlEntity *entity, int depth)
    {
        if (!entity || !entity->content)
            return 0; // undeclared, or external and never loaded
        if (entity->etype == XML_INTERNAL_PREDEFINED_ENTITY)
            return quint64(entity->length);
        const auto known = m_sizes.constFind(entity);
        if (known != m_sizes.constEnd())
            return *known;
        if (depth > kMaxDepth || m_open.contains(entity))
            return kOver;
        m_open.insert(entity);
        const quint64 size = replacementSize(entity->content, depth + 1);
        m_open.remove(entity);
        m_sizes.insert(entity, size);
        return size;
    }

    // The stored replacement text still holds general entity references;
    // markup around them counts as text, which only errs on the safe side.
    quint64 replacementSize(const xmlChar *text, int depth)
    {
        quint64 size = 0;
        const xmlChar *at = text;
        while (*at && size <= kMaxEntityText) {
            if (at[0] == '&' && at[1] != '#') {
                const xmlChar *end = at + 1;
                while (*end && *end != ';' && *end != '&' && *end != '<' && *end != ' ')
                    ++end;
                if (*end == ';' && end > at + 1) {
                    const QByteArray name(reinterpret_cast<const char *>(at + 1), end - at - 1);
                    const xmlEntity *entity =
                        xmlGetDocEntity(m_doc, reinterpret_cast<const xmlChar *>(name.constData()));
                    size = plus(size, entity ? sizeOf(entity, depth) : quint64(end + 1 - at));
                    at = end + 1;
                    continue;
                }
            }
            ++size;
            ++at;
        }
        return std::min(size, kOver);
    }

    xmlDocPtr m_doc;
    quint64 m_total = 0;
    QHash<const xmlEntity *, quint64> m_sizes;
    QSet<const xmlEntity *> m_open;
};

} // namespace

QString newProjectText()
{
    const QStringList lines{
        QStringLiteral("<?xml version=\"1.0\" encoding=\"windows-1251\"?>"),
        QStringLiteral("<!--"),
        QString(),
        QString(),
        QStringLiteral("Ядро - PocketMine"),
        QStringLiteral("-->"),
        QStringLiteral("<plugin>"),
        QStringLiteral("<settings"),
        QStringLiteral("name=\"Plugin\""),
        QStringLiteral("creator=\"YourName\""),
        QStringLiteral("version=\"1.0.0\""),
        QStringLiteral("site=\"") + kDefaultSiteText + QLatin1Char('"'),
        QStringLiteral("api=\"1.0.0\""),
        QStringLiteral("loading=\"POSTWORLD\""),
        QStringLiteral("main=\"Plugin\\Main\""),
        QStringLiteral("/>"),
        QStringLiteral("<phpscripts>"),
        QLatin1Char('<') + kMainScriptElementName + QStringLiteral("/>"),
        QStringLiteral("</phpscripts>"),
        QStringLiteral("</plugin>"),
    };
    return lines.join(QStringLiteral("\r\n"));
}

void ProjectDocument::Deleter::operator()(void *doc) const
{
    xmlFreeDoc(asDoc(doc));
}

ProjectDocument::ProjectDocument() = default;
ProjectDocument::~ProjectDocument() = default;
ProjectDocument::ProjectDocument(ProjectDocument &&) noexcept = default;
ProjectDocument &ProjectDocument::operator=(ProjectDocument &&) noexcept = default;
ProjectDocument::ProjectDocument(void *doc) : m_doc(doc) {}

ProjectDocument ProjectDocument::newProject()
{
    // The text declares windows-1251, so hand the parser those bytes.
    return fromBytes(codecs::encodeAnsi(newProjectText()));
}

ProjectDocument ProjectDocument::fromBytes(const QByteArray &bytes, const QString &sourceName)
{
    if (const int line = lineOfTooManyAttributes(bytes))
        throw Error(withLine(sourceName, line,
                             QStringLiteral("an element has more than %1 attributes, more than a project can have, "
                                            "so the file is not opened.")
                                 .arg(kMaxAttributes)));
    std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> context(xmlNewParserCtxt(), xmlFreeParserCtxt);
    if (!context)
        throw Error(QStringLiteral("Out of memory while parsing %1").arg(sourceName));
    FirstError firstError;
    const FirstErrorScope scope(context.get(), firstError);
    // No network, no external DTD, no entity substitution: nothing outside
    // these bytes is ever read.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDocPtr doc = xmlCtxtReadMemory(context.get(), bytes.constData(), int(bytes.size()), nullptr, nullptr, options);
    ProjectDocument document(doc);
    if (!doc || !xmlDocGetRootElement(doc))
        throw Error(parserMessage(context.get(), firstError, sourceName));
    if (!EntityExpansion(doc).withinBound())
        throw Error(entityRefusal(sourceName));
    dropBlankTextNodesOf(doc);
    return document;
}

ProjectDocument ProjectDocument::fromFile(const QString &path)
{
    return fromBytes(fileio::readAll(path, fileio::kProjectFileLimit), path);
}

QString ProjectDocument::declaredEncoding() const
{
    if (!m_doc || !asDoc(m_doc.get())->encoding)
        return QStringLiteral("UTF-8");
    return QString::fromUtf8(reinterpret_cast<const char *>(asDoc(m_doc.get())->encoding));
}

namespace {

QByteArray serialize(xmlDocPtr doc, const QByteArray &encoding)
{
    xmlChar *buffer = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &buffer, &size, encoding.constData(), 1);
    if (!buffer)
        return {};
    QByteArray bytes(reinterpret_cast<const char *>(buffer), size);
    xmlFree(buffer);
    return bytes;
}

// Whether `bytes` open again as `doc`. A converter may drop what it cannot
// represent instead of failing (libxml2 does so with the ICU converters that
// serve encoding names iconv does not know), so parsing alone proves nothing.
bool readsBackAs(const QByteArray &bytes, xmlDocPtr doc)
{
    xmlDocPtr copy = xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr,
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!copy)
        return false;
    dropBlankTextNodesOf(copy);
    const QByteArray utf8("UTF-8");
    const bool same = serialize(copy, utf8) == serialize(doc, utf8);
    xmlFreeDoc(copy);
    return same;
}

} // namespace

QByteArray ProjectDocument::toBytes() const
{
    if (!m_doc)
        return {};
    xmlDocPtr doc = asDoc(m_doc.get());
    QByteArray bytes = serialize(doc, declaredEncoding().toUtf8());
    // Element names are written as they are: an encoding that cannot spell
    // the main-script element's Cyrillic letters (or that libxml2 does not
    // know) would give a file that never opens again, or opens without
    // what could not be converted. Such a project is kept in UTF-8, and its
    // declaration says so.
    if (bytes.isEmpty() || !readsBackAs(bytes, doc)) {
        xmlFree(const_cast<xmlChar *>(doc->encoding));
        doc->encoding = xmlStrdup(reinterpret_cast<const xmlChar *>("UTF-8"));
        bytes = serialize(doc, QByteArrayLiteral("UTF-8"));
    }
    if (bytes.isEmpty())
        throw Error(QStringLiteral("The project could not be written."));
    return bytes;
}

void ProjectDocument::save(const QString &path) const
{
    fileio::writeAtomically(path, toBytes());
}

XmlElement ProjectDocument::root() const
{
    return m_doc ? XmlElement(xmlDocGetRootElement(asDoc(m_doc.get()))) : XmlElement();
}

XmlElement ProjectDocument::settings()
{
    XmlElement rootElement = root();
    XmlElement found = rootElement.firstChildElement(QStringLiteral("settings"));
    if (found.isNull())
        found = rootElement.appendChildElement(QStringLiteral("settings"));
    return found;
}

XmlElement ProjectDocument::phpscripts() const
{
    return root().firstChildElement(QStringLiteral("phpscripts"));
}

XmlElement ProjectDocument::mainScript() const
{
    return phpscripts().firstChildElement(kMainScriptElementName);
}

XmlElement ProjectDocument::requireMainScript() const
{
    if (phpscripts().isNull())
        throw Error(QStringLiteral("The project has no \"phpscripts\" element."));
    const XmlElement found = mainScript();
    if (found.isNull())
        throw Error(QStringLiteral("The project has no main-script element \"%1\".").arg(kMainScriptElementName));
    return found;
}

} // namespace vorlune::project
