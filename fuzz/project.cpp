// A project file as the program reads it: loaded, its main script read into
// the event lists as the script editor does, written back, checked, built, saved. No
// event may reach outside the lists, and what is saved opens again and saves
// the same.
#include "FuzzCheck.h"

#include "base/Error.h"
#include "build/CodeGenerator.h"
#include "build/PluginCheck.h"
#include "project/ProjectDocument.h"
#include "project/ProjectScan.h"
#include "script/EventLists.h"
#include "script/EventRegistry.h"

#include <optional>

using namespace vorlune;

namespace {

std::optional<project::ProjectDocument> load(const QByteArray &bytes)
{
    try {
        return project::ProjectDocument::fromBytes(bytes);
    } catch (const Error &) {
        return std::nullopt;
    }
}

// The script editor's open and close; false when there is no main script.
bool editScript(project::ProjectDocument &document)
{
    script::EventLists lists;
    QStringList ids;
    try {
        ids = script::readMainScript(document, lists);
    } catch (const Error &) {
        return false;
    }
    QStringList shown;
    for (const QString &id : ids) {
        const auto number = script::eventNumber(id);
        fuzzCheck(number && *number >= 0 && *number < script::kEventListCount, "an event read is an event id", id);
        fuzzCheck(!shown.contains(id), "each event read once", id);
        fuzzCheck(lists.EventListOpen(id) == lists.lines(*number), "an event opens its own list", id);
        if (script::getEventFromId(id).isEmpty())
            lists.DeleteEventList(id);
        else
            shown << id;
    }
    script::rebuildMainScript(document, shown, lists);
    return true;
}

void generate(project::ProjectDocument &document)
{
    build::checkPlugin(document);
    try {
        const QByteArray yml = build::generatePlugin(document).pluginYml;
        // Values with breaks or control characters are escaped, so each
        // setting stays on its own line.
        fuzzCheck(yml.count('\n') == 7 && yml.count('\r') == 7, "plugin.yml has seven lines", QString::fromUtf8(yml));
    } catch (const Error &) {
    }
}

// The command line reads a file front to back instead of opening it; it
// must find and build what the opened document holds.
void compareWithScan(const QByteArray &bytes, project::ProjectDocument &document)
{
    build::MessageCheck messages;
    build::MainClassWriter writer;
    project::BothVisitors both(messages, writer);
    std::optional<project::ProjectOutline> outline;
    try {
        outline = project::scanProject(bytes, {}, both);
    } catch (const Error &error) {
        fuzzCheck(false, "a file that opens is read front to back", error.text());
    }
    if (!outline)
        return; // a DOCTYPE: only the document reads it
    const QStringList findings = build::checkSettings(outline->settings) + messages.findings(outline->settings.api);
    fuzzCheck(findings == build::checkPlugin(document), "the same findings", findings.join(u'\n'));
    if (!outline->hasMainScript)
        return;
    QString scanned;
    QString opened;
    try {
        scanned = QString::fromUtf8(build::generatePlugin(outline->settings, writer).mainClass);
    } catch (const Error &error) {
        scanned = error.text();
    }
    try {
        opened = QString::fromUtf8(build::generatePlugin(document).mainClass);
    } catch (const Error &error) {
        opened = error.text();
    }
    fuzzCheck(scanned == opened, "the same main class", scanned);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::optional<project::ProjectDocument> document =
        load(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!document)
        return 0;
    compareWithScan(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), *document);
    const bool hasScript = editScript(*document);
    generate(*document);
    const QByteArray saved = document->toBytes();

    std::optional<project::ProjectDocument> reopened = load(saved);
    fuzzCheck(reopened.has_value(), "a saved project opens again", QString::fromUtf8(saved));
    fuzzCheck(editScript(*reopened) == hasScript, "the main script is kept");
    generate(*reopened);
    fuzzCheck(reopened->toBytes() == saved, "a saved project saves again the same", QString::fromUtf8(saved));
    return 0;
}
