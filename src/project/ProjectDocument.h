#pragma once

#include "project/XmlElement.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace vorlune::project {

// Name of the main-script element: reads like Latin but four of its letters
// are Cyrillic (U+0440, U+0430, U+043F, U+0435).
inline const QString kMainScriptElementName = QStringLiteral("\u0440h\u0440_m\u0430i\u043F_fil\u0435");

// The placeholder web site of a new project.
inline const QString kDefaultSiteText = QStringLiteral("example.com");

// The text a new project is parsed from, lines joined by CR LF.
QString newProjectText();

// The XML document of one project. Parsing drops white-space-only text
// nodes, never loads anything outside the given bytes, and saving writes the
// encoding named by the declaration, with characters it cannot represent
// as numeric character references.
class ProjectDocument {
public:
    ProjectDocument();
    ~ProjectDocument();
    ProjectDocument(ProjectDocument &&) noexcept;
    ProjectDocument &operator=(ProjectDocument &&) noexcept;

    // Throw vorlune::Error with the parser's or the system's text.
    static ProjectDocument newProject();
    static ProjectDocument fromBytes(const QByteArray &bytes, const QString &sourceName = {});
    static ProjectDocument fromFile(const QString &path);

    bool isNull() const { return !m_doc; }
    QByteArray toBytes() const;
    // Writes through a temporary file renamed over path; throws vorlune::Error.
    void save(const QString &path) const;

    QString declaredEncoding() const;
    XmlElement root() const;
    // The `settings` element, appended to the root when it has none.
    XmlElement settings();
    XmlElement phpscripts() const;
    XmlElement mainScript() const;
    // The main-script element; throws vorlune::Error naming what is missing.
    XmlElement requireMainScript() const;

private:
    struct Deleter {
        void operator()(void *doc) const;
    };
    explicit ProjectDocument(void *doc);
    std::unique_ptr<void, Deleter> m_doc;
};

// Throws vorlune::Error naming what is missing, as requireMainScript does.
void refuseWithoutMainScript(bool hasPhpscripts, bool hasMainScript);

} // namespace vorlune::project
