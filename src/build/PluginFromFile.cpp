#include "build/PluginFromFile.h"

#include "base/Error.h"
#include "base/FileIo.h"
#include "build/PluginCheck.h"
#include "project/ProjectDocument.h"
#include "project/ProjectScan.h"

namespace vorlune::build {
namespace {

PluginFromFile fromDocument(const QByteArray &bytes, const QString &path, bool generate)
{
    project::ProjectDocument document = project::ProjectDocument::fromBytes(bytes, path);
    PluginFromFile result;
    result.findings = checkPlugin(document);
    if (generate) {
        try {
            result.plugin = generatePlugin(document);
        } catch (const Error &error) {
            result.refusal = error.text();
        }
    }
    return result;
}

} // namespace

PluginFromFile readPlugin(const QString &path, bool generate)
{
    const QByteArray bytes = fileio::readAll(path, fileio::kProjectFileLimit);
    MessageCheck messages;
    MainClassWriter writer;
    project::BothVisitors both(messages, writer);
    project::ScriptVisitor &visitor = generate ? static_cast<project::ScriptVisitor &>(both) : messages;
    const std::optional<project::ProjectOutline> outline = project::scanProject(bytes, path, visitor);
    if (!outline)
        return fromDocument(bytes, path, generate);

    PluginFromFile result;
    result.findings = checkSettings(outline->settings) + messages.findings(outline->settings.api);
    if (generate) {
        try {
            project::refuseWithoutMainScript(outline->hasPhpscripts, outline->hasMainScript);
            result.plugin = generatePlugin(outline->settings, writer);
        } catch (const Error &error) {
            result.refusal = error.text();
        }
    }
    return result;
}

} // namespace vorlune::build
