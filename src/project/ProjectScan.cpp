#include "project/ProjectScan.h"

#include "base/Error.h"
#include "project/ProjectDocument.h"
#include "project/XmlParseErrors.h"

#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>

#include <cstring>
#include <string_view>

namespace vorlune::project {
namespace {

// Depths below the document: the root is 1.
enum Depth { kRoot = 1, kRootChild = 2, kMainScript = 3, kEvent = 4, kAction = 5 };

std::string_view view(const xmlChar *text)
{
    return text ? std::string_view(reinterpret_cast<const char *>(text)) : std::string_view();
}

// Without entity substitution the parser hands every "&" of a value on as
// "&#38;" for the tree builder to read again; there are no other references
// in a file without a DOCTYPE.
QString attributeText(const xmlChar *begin, const xmlChar *end)
{
    const auto *text = reinterpret_cast<const char *>(begin);
    const qsizetype size = end - begin;
    if (!std::memchr(text, '&', size_t(size)))
        return QString::fromUtf8(text, size);
    QByteArray bytes(text, size);
    bytes.replace("&#38;", "&");
    return QString::fromUtf8(bytes);
}

// SAX2 hands attributes as five pointers each: name, prefix, namespace,
// value start, value end. Only attributes without a prefix are read, as
// the document reads them.
QString attributeOf(std::string_view name, int count, const xmlChar **attributes)
{
    for (int i = 0; i < count; ++i) {
        const xmlChar **attribute = attributes + 5 * i;
        if (!attribute[1] && view(attribute[0]) == name)
            return attributeText(attribute[3], attribute[4]);
    }
    return {};
}

struct Scan {
    xmlParserCtxtPtr context = nullptr;
    ScriptVisitor *visitor = nullptr;
    ProjectOutline outline;
    QByteArray mainScriptName = kMainScriptElementName.toUtf8();
    int depth = 0;
    bool seenSettings = false;
    bool inPhpscripts = false;
    bool inMainScript = false;
    bool hasDoctype = false;
};

void startElement(void *user, const xmlChar *name, const xmlChar *, const xmlChar *, int, const xmlChar **,
                  int attributeCount, int, const xmlChar **attributes)
{
    Scan &scan = *static_cast<Scan *>(user);
    const int depth = ++scan.depth;
    const std::string_view element = view(name);
    if (depth == kRootChild) {
        if (element == "settings" && !scan.seenSettings) {
            scan.seenSettings = true;
            scan.outline.settings = PluginSettings::fromAttributes(
                [&](const QString &key) { return attributeOf(key.toStdString(), attributeCount, attributes); });
        } else if (element == "phpscripts" && !scan.outline.hasPhpscripts) {
            scan.outline.hasPhpscripts = scan.inPhpscripts = true;
        }
    } else if (depth == kMainScript && scan.inPhpscripts && !scan.outline.hasMainScript &&
               element == std::string_view(scan.mainScriptName.constData(), size_t(scan.mainScriptName.size()))) {
        scan.outline.hasMainScript = scan.inMainScript = true;
    } else if (!scan.visitor) {
        return;
    } else if (depth == kEvent && scan.inMainScript) {
        scan.visitor->event(QString::fromUtf8(element.data(), qsizetype(element.size())),
                            attributeOf("args", attributeCount, attributes), xmlSAX2GetLineNumber(scan.context));
    } else if (depth == kAction && scan.inMainScript) {
        scan.visitor->action(attributeOf("id", attributeCount, attributes),
                             attributeOf("args", attributeCount, attributes));
    }
}

void endElement(void *user, const xmlChar *, const xmlChar *, const xmlChar *)
{
    Scan &scan = *static_cast<Scan *>(user);
    if (scan.depth == kRootChild)
        scan.inPhpscripts = false;
    else if (scan.depth == kMainScript)
        scan.inMainScript = false;
    --scan.depth;
}

void doctype(void *user, const xmlChar *, const xmlChar *, const xmlChar *)
{
    Scan &scan = *static_cast<Scan *>(user);
    scan.hasDoctype = true;
    xmlStopParser(scan.context);
}

} // namespace

namespace {

std::optional<ProjectOutline> scan(const QByteArray &bytes, const QString &sourceName, ScriptVisitor *visitor)
{
    if (bytes.isEmpty())
        return std::nullopt; // the document names what is wrong with nothing
    xmlparse::Context context(xmlCreateMemoryParserCtxt(bytes.constData(), int(bytes.size())), xmlFreeParserCtxt);
    if (!context)
        throw Error(QStringLiteral("Out of memory while parsing %1").arg(sourceName));
    // Nothing but elements is looked at, and no tree is built.
    Scan scan;
    scan.context = context.get();
    scan.visitor = visitor;
    std::memset(context->sax, 0, sizeof *context->sax);
    context->sax->initialized = XML_SAX2_MAGIC;
    context->sax->startElementNs = startElement;
    context->sax->endElementNs = endElement;
    context->sax->internalSubset = doctype;
    context->userData = &scan;
    const xmlparse::ErrorCapture errors(context.get());
    xmlCtxtUseOptions(context.get(), xmlparse::kReadOptions);
    xmlParseDocument(context.get());
    if (scan.hasDoctype)
        return std::nullopt;
    if (!context->wellFormed)
        throw Error(errors.message(context.get(), sourceName));
    errors.refuseNamespaceErrors(context.get(), sourceName);
    return scan.outline;
}

} // namespace

std::optional<ProjectOutline> scanProject(const QByteArray &bytes, const QString &sourceName, ScriptVisitor &visitor)
{
    xmlparse::refuseTooManyAttributes(bytes, sourceName);
    return scan(bytes, sourceName, &visitor);
}

void refuseIfParserRefuses(const QByteArray &bytes, const QString &sourceName) { scan(bytes, sourceName, nullptr); }

} // namespace vorlune::project
