// The server console's parser: output split at any places reads as the
// same styled text as output that comes whole, and the events keep their
// promises. The first byte chooses where the input is split.
#include "FuzzCheck.h"

#include "app/ConsoleFormatCodes.h"
#include "testrun/ConsoleParser.h"

#include <vector>

using namespace vorlune;
using testrun::ConsoleEvent;

namespace {

const testrun::FormatCodeTable &formatCodes()
{
    static const testrun::FormatCodeTable table = app::consoleFormatCodes({12, 34, 56});
    return table;
}

// Text of one style may come in several events; joined they must match.
void add(std::vector<ConsoleEvent> &events, std::vector<ConsoleEvent> more)
{
    for (ConsoleEvent &event : more) {
        if (event.kind == ConsoleEvent::Kind::Text) {
            fuzzCheck(!event.text.isEmpty(), "no empty text");
            fuzzCheck(!event.text.contains(QLatin1Char('\n')) && !event.text.contains(QLatin1Char('\r')),
                      "text holds no line break", event.text);
            if (!events.empty() && events.back().kind == ConsoleEvent::Kind::Text &&
                events.back().style == event.style) {
                events.back().text += event.text;
                continue;
            }
        }
        events.push_back(std::move(event));
    }
}

std::vector<ConsoleEvent> parse(QByteArrayView bytes, qsizetype step)
{
    testrun::ConsoleParser parser(formatCodes());
    std::vector<ConsoleEvent> events;
    for (qsizetype at = 0; at < bytes.size(); at += step)
        add(events, parser.feed(bytes.sliced(at, qMin(step, bytes.size() - at))));
    add(events, parser.finish());
    return events;
}

QString describe(const std::vector<ConsoleEvent> &events)
{
    QString text;
    for (const ConsoleEvent &event : events)
        text += QString::number(int(event.kind)) + QLatin1Char(':') + event.text + QLatin1Char('\n');
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype step = 1 + data[0] % 16;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);

    const std::vector<ConsoleEvent> whole = parse(bytes, qMax<qsizetype>(bytes.size(), 1));
    const std::vector<ConsoleEvent> split = parse(bytes, step);
    fuzzCheck(split == whole, "split output reads the same",
              describe(whole) + QStringLiteral("--\n") + describe(split));

    qsizetype lineLength = 0;
    for (const ConsoleEvent &event : whole) {
        lineLength = event.kind == ConsoleEvent::Kind::Text    ? lineLength + event.text.size()
                     : event.kind == ConsoleEvent::Kind::Title ? lineLength
                                                               : 0;
        fuzzCheck(lineLength <= 8192, "long lines are broken");
    }

    testrun::ConsoleStyle style;
    testrun::applySgr(style, bytes);
    return 0;
}
