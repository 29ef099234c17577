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
    return fromBytes(fileio::readAll(path), path);
}

QString ProjectDocument::declaredEncoding() const
{
    if (!m_doc || !asDoc(m_doc.get())->encoding)
        return QStringLiteral("UTF-8");
    return QString::fromUtf8(reinterpret_cast<const char *>(asDoc(m_doc.get())->encoding));
}

QByteArray ProjectDocument::toBytes() const
{
    if (!m_doc)
        return {};
    xmlChar *buffer = nullptr;
    int size = 0;
    const QByteArray encoding = declaredEncoding().toUtf8();
    xmlDocDumpFormatMemoryEnc(asDoc(m_doc.get()), &buffer, &size, encoding.constData(), 1);
    if (!buffer)
        throw Error(QStringLiteral("The project could not be written in the encoding \"%1\"")
                        .arg(declaredEncoding()));
    QByteArray bytes(reinterpret_cast<const char *>(buffer), size);
    xmlFree(buffer);
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
