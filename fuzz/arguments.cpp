// The argument blocks of action lines: any line reads without fault, and a
// block made of values without separators gives back every value.
#include "FuzzCheck.h"

#include "script/ActionCatalogue.h"

using namespace vorlune::script;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    const int count = ArgumentsCount(text);
    for (int id : {-1, 0, 1, 2, count, count + 1})
        getArgumentValue(text, id);
    const QString readable = readableActionLine(text);
    fuzzCheck(!readable.contains(QChar(kArgumentSeparator)), "a readable line shows no separator", readable);
    fuzzCheck(actionLineName(text) + actionLineBlock(text) == text, "name and block make the line");
    parseActionId(text);

    // The input's lines as values.
    QStringList values = text.split(QLatin1Char('\n'));
    for (QString &value : values)
        value.remove(QChar(kArgumentSeparator));
    const QString line = makeActionLine(1, values);
    const QString block = actionLineBlock(line);
    fuzzCheck(ArgumentsCount(block) == values.size(), "every value counted");
    for (int i = 0; i < values.size(); ++i)
        fuzzCheck(getArgumentValue(line, i + 1) == values.at(i), "a value reads back", values.at(i));
    fuzzCheck(getArgumentValue(block, int(values.size()) + 1) == values.last(), "past the last, the last value");
    fuzzCheck(getArgumentValue(block, 0).isEmpty(), "argument 0 is empty");
    fuzzCheck(readableActionLine(line) == getActionName(1) + QStringLiteral(": ") + values.join(QStringLiteral("; ")),
              "a line reads as its values", readableActionLine(line));
    return 0;
}
