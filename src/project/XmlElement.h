#pragma once

#include <QString>
#include <vector>

namespace vorlune::project {

// A non-owning handle to one element of a project document. It stays valid
// while the document lives and the element is not removed.
class XmlElement {
public:
    XmlElement() = default;

    bool isNull() const { return m_node == nullptr; }
    explicit operator bool() const { return !isNull(); }

    QString name() const;
    // A missing attribute reads as the empty text.
    QString attribute(const QString &name) const;
    bool hasAttribute(const QString &name) const;
    // The line of the element's start tag in the parsed file; 0 for an
    // element made since.
    int line() const;
    // Replaces the value in place, or adds the attribute after the others.
    void setAttribute(const QString &name, const QString &value);

    // Child elements in document order (text, comments and the like skipped).
    std::vector<XmlElement> childElements() const;
    // The first child element with exactly this name, or a null handle.
    XmlElement firstChildElement(const QString &name) const;
    XmlElement appendChildElement(const QString &name);
    void removeAllChildren();

private:
    friend class ProjectDocument;
    explicit XmlElement(void *node) : m_node(node) {}
    void *m_node = nullptr;
};

// The text without the characters an XML 1.0 document cannot hold.
QString withoutForbiddenCharacters(const QString &text);

} // namespace vorlune::project
