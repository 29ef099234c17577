#include "build/ActionCode.h"

#include "build/PhpStringLiteral.h"
#include "script/ActionCatalogue.h"
#include "script/ArgumentKinds.h"

#include <QRegularExpression>

namespace vorlune::build {
namespace {

using script::Api;

const QRegularExpression &placeholderPattern()
{
    static const QRegularExpression pattern(QStringLiteral("\\{([A-Za-z_][A-Za-z0-9_]*)\\}"));
    return pattern;
}

// The PHP of a placeholder the event gives, else nullptr.
const char *placeholderCode(QStringView name, unsigned gives, Api api)
{
    const script::PlaceholderRow *row = script::placeholderRow(name);
    return row && (row->needs & ~gives) == 0 ? row->expression[size_t(api)] : nullptr;
}

QString literal(const QString &text) { return QLatin1Char('"') + phpStringBody(text) + QLatin1Char('"'); }

// A value as PHP: a number without leading zeros (PHP would read them as
// octal), a choice's PHP, or a text. Values the build refuses give "0".
QString valueCode(script::ArgumentKind kind, const QString &value, unsigned gives, Api api)
{
    if (kind == script::ArgumentKind::Message)
        return literal(value);
    if (script::expandsPlaceholders(kind))
        return textExpression(value, gives, api);
    if (script::numberRange(kind))
        return QString::number(script::numberValue(kind, value).value_or(0));
    const script::Choice *choice = script::choiceOf(kind, value);
    return QString::fromLatin1(choice ? choice->php[size_t(api)] : "0");
}

} // namespace

QString textExpression(const QString &text, unsigned gives, Api api)
{
    QStringList parts;
    qsizetype copied = 0;
    for (const QRegularExpressionMatch &match : placeholderPattern().globalMatch(text)) {
        const char *code = placeholderCode(match.capturedView(1), gives, api);
        if (!code)
            continue;
        if (match.capturedStart() > copied)
            parts << literal(text.mid(copied, match.capturedStart() - copied));
        parts << QString::fromLatin1(code);
        copied = match.capturedEnd();
    }
    if (copied < text.size() || parts.isEmpty())
        parts << literal(text.mid(copied));
    return parts.join(QStringLiteral(" . "));
}

QStringList literalPlaceholders(const QString &text, unsigned gives, Api api)
{
    QStringList left;
    for (const QRegularExpressionMatch &match : placeholderPattern().globalMatch(text)) {
        if (!placeholderCode(match.capturedView(1), gives, api))
            left << match.captured(0);
    }
    return left;
}

QStringList actionArguments(const script::ActionRow &action, const QString &args)
{
    if (action.id == 1)
        return {script::getArgumentValue(args, 1)};
    QStringList values;
    const int given = script::ArgumentsCount(args);
    for (int i = 1; i <= action.argumentCount; ++i)
        values << (i <= given ? script::getArgumentValue(args, i) : QString());
    return values;
}

QString actionStatement(const script::ActionRow &action, const script::EventRow &event, Api api, const QString &args)
{
    return actionStatement(action, event, api, args, event.on(api).gives, QStringLiteral("return;"));
}

QString actionStatement(const script::ActionRow &action, const script::EventRow &event, Api api, const QString &args,
                        unsigned gives, const QString &leave)
{
    const QStringList values = actionArguments(action, args);
    const QString code = QString::fromLatin1(action.on(api));
    // One pass, so a value that holds "%2" is never replaced again.
    QString statement;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar next = i + 1 < code.size() ? code.at(i + 1) : QChar();
        if (code.at(i) != QLatin1Char('%') || next.isNull()) {
            statement += code.at(i);
            continue;
        }
        ++i;
        if (next == QLatin1Char('s')) {
            statement += QString::fromLatin1(event.textSetter);
            continue;
        }
        if (next == QLatin1Char('m')) {
            statement += (event.on(api).gives & script::kMessage) ? QStringLiteral("$event->getMessage()")
                                                                  : QStringLiteral("$event->getCommand()");
            continue;
        }
        const int index = next.unicode() - u'1';
        if (index < 0 || index >= values.size()) {
            statement += code.mid(i - 1, 2);
            continue;
        }
        statement += valueCode(action.kinds[size_t(index)], values.at(index), gives, api);
    }
    if (!action.isCondition())
        return statement;
    // The rest of the event's list runs only when the condition holds, or
    // when it does not if it is turned round.
    if (values.value(0) == QLatin1String("not"))
        return QStringLiteral("if((") + statement + QStringLiteral(")){ ") + leave + QStringLiteral(" }");
    return QStringLiteral("if(!(") + statement + QStringLiteral(")){ ") + leave + QStringLiteral(" }");
}

} // namespace vorlune::build
