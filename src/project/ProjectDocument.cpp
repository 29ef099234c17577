#include "project/ProjectDocument.h"

#include "app/Error.h"
#include "app/FileIo.h"
#include "app/TextCodecs.h"

#include <QStringList>

#include <libxml/parser.h>
#include <libxml/tree.h>

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

QString parserMessage(xmlParserCtxtPtr context, const QString &sourceName)
{
    const xmlError *error = xmlCtxtGetLastError(context);
    QString message = error && error->message ? QString::fromUtf8(error->message).trimmed()
                                              : QStringLiteral("the document could not be parsed");
    const QString where = sourceName.isEmpty() ? QStringLiteral("XML") : sourceName;
    if (error && error->line > 0)
        return QStringLiteral("%1, line %2: %3").arg(where).arg(error->line).arg(message);
    return QStringLiteral("%1: %2").arg(where, message);
}

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
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context)
        throw Error(QStringLiteral("Out of memory while parsing %1").arg(sourceName));
    // No network, no external DTD, no entity substitution: nothing outside
    // these bytes is ever read.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDocPtr doc = xmlCtxtReadMemory(context, bytes.constData(), int(bytes.size()), nullptr, nullptr, options);
    if (!doc || !xmlDocGetRootElement(doc)) {
        const QString message = parserMessage(context, sourceName);
        xmlFreeDoc(doc);
        xmlFreeParserCtxt(context);
        throw Error(message);
    }
    xmlFreeParserCtxt(context);
    for (xmlNodePtr node = doc->children; node; node = node->next) {
        if (node->type == XML_ELEMENT_NODE)
            dropBlankTextNodes(node);
    }
    return ProjectDocument(doc);
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

bool parses(const QByteArray &bytes)
{
    xmlDocPtr doc = xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    xmlFreeDoc(doc);
    return doc != nullptr;
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
    // know) would give a file that never opens again. Such a project is kept
    // in UTF-8, and its declaration says so.
    if (bytes.isEmpty() || !parses(bytes)) {
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
