#include "project/XmlElement.h"

#include <climits>

#include <libxml/tree.h>

namespace vorlune::project {
namespace {

xmlNodePtr asNode(void *node) { return static_cast<xmlNodePtr>(node); }

QByteArray utf8(const QString &text) { return text.toUtf8(); }

const xmlChar *xml(const QByteArray &bytes) { return reinterpret_cast<const xmlChar *>(bytes.constData()); }

QString fromXml(const xmlChar *text)
{
    return text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QString();
}

} // namespace

QString XmlElement::name() const { return m_node ? fromXml(asNode(m_node)->name) : QString(); }

QString XmlElement::attribute(const QString &name) const
{
    if (!m_node)
        return {};
    xmlChar *value = xmlGetNoNsProp(asNode(m_node), xml(utf8(name)));
    const QString result = fromXml(value);
    xmlFree(value);
    return result;
}

bool XmlElement::hasAttribute(const QString &name) const
{
    return m_node && xmlHasNsProp(asNode(m_node), xml(utf8(name)), nullptr) != nullptr;
}

int XmlElement::line() const
{
    const long line = m_node ? xmlGetLineNo(asNode(m_node)) : 0;
    return line > 0 && line <= INT_MAX ? int(line) : 0;
}

void XmlElement::setAttribute(const QString &name, const QString &value)
{
    if (m_node)
        xmlSetNsProp(asNode(m_node), nullptr, xml(utf8(name)), xml(utf8(withoutForbiddenCharacters(value))));
}

QString withoutForbiddenCharacters(const QString &text)
{
    // XML 1.0 cannot hold most control characters, U+FFFE/U+FFFF or lone
    // surrogates, not even as references: a file holding one could never
    // be opened again.
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            kept += text.at(i);
            kept += text.at(++i);
            continue;
        }
        const bool allowed =
            c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD);
        if (allowed)
            kept += text.at(i);
    }
    return kept;
}

std::vector<XmlElement> XmlElement::childElements() const
{
    std::vector<XmlElement> children;
    if (!m_node)
        return children;
    for (xmlNodePtr child = asNode(m_node)->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            children.push_back(XmlElement(child));
    }
    return children;
}

XmlElement XmlElement::firstChildElement(const QString &name) const
{
    if (!m_node)
        return {};
    const QByteArray wanted = utf8(name);
    for (xmlNodePtr child = asNode(m_node)->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, xml(wanted)))
            return XmlElement(child);
    }
    return {};
}

XmlElement XmlElement::appendChildElement(const QString &name)
{
    if (!m_node)
        return {};
    xmlNodePtr child = xmlNewDocNode(asNode(m_node)->doc, nullptr, xml(utf8(name)), nullptr);
    xmlAddChild(asNode(m_node), child);
    return XmlElement(child);
}

void XmlElement::removeAllChildren()
{
    if (!m_node)
        return;
    xmlNodePtr child = asNode(m_node)->children;
    while (child) {
        xmlNodePtr next = child->next;
        xmlUnlinkNode(child);
        xmlFreeNode(child);
        child = next;
    }
}

} // namespace vorlune::project
