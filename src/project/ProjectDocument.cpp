#include "project/ProjectDocument.h"

#include "base/Error.h"
#include "base/FileIo.h"
#include "base/TextCodecs.h"
#include "project/ProjectScan.h"
#include "project/XmlParseErrors.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <memory>

namespace vorlune::project {
namespace {

constexpr qsizetype kParseFirstSize = 1 << 20;

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
    static constexpr quint64 kMaxEntityText = xmlparse::kMaxEntityText;
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

void ProjectDocument::Deleter::operator()(void *doc) const { xmlFreeDoc(asDoc(doc)); }

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
    xmlparse::refuseTooManyAttributes(bytes, sourceName);
    // The tree of a large file takes seconds to build; a file the parser
    // refuses is refused in a fraction of that by a pass that builds none.
    if (bytes.size() > kParseFirstSize)
        refuseIfParserRefuses(bytes, sourceName);
    const xmlparse::Context context = xmlparse::newContext(sourceName);
    const xmlparse::ErrorCapture errors(context.get());
    xmlDocPtr doc = xmlCtxtReadMemory(context.get(), bytes.constData(), int(bytes.size()), nullptr, nullptr,
                                      xmlparse::kReadOptions);
    ProjectDocument document(doc);
    if (!doc || !xmlDocGetRootElement(doc))
        throw Error(errors.message(context.get(), sourceName));
    errors.refuseNamespaceErrors(context.get(), sourceName);
    if (!EntityExpansion(doc).withinBound())
        throw Error(xmlparse::entityRefusal(sourceName));
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
    xmlDocPtr copy = xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr, xmlparse::kReadOptions);
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

void ProjectDocument::save(const QString &path) const { fileio::writeAtomically(path, toBytes()); }

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

XmlElement ProjectDocument::phpscripts() const { return root().firstChildElement(QStringLiteral("phpscripts")); }

XmlElement ProjectDocument::mainScript() const { return phpscripts().firstChildElement(kMainScriptElementName); }

XmlElement ProjectDocument::requireMainScript() const
{
    const XmlElement found = mainScript();
    refuseWithoutMainScript(!phpscripts().isNull(), !found.isNull());
    return found;
}

void refuseWithoutMainScript(bool hasPhpscripts, bool hasMainScript)
{
    if (!hasPhpscripts)
        throw Error(QStringLiteral("The project has no \"phpscripts\" element."));
    if (!hasMainScript)
        throw Error(QStringLiteral("The project has no main-script element \"%1\".").arg(kMainScriptElementName));
}

} // namespace vorlune::project
