#include "i18n/Placeholder.h"

namespace vorlune::i18n {

QString setTextIntoVarInString(const QString &stro, const QString &variable, const QString &value)
{
    const QString placeholder = QLatin1Char('{') + variable + QLatin1Char('}');
    QString result = stro;
    qsizetype from = 0;
    while (true) {
        const qsizetype at = result.indexOf(placeholder, from, Qt::CaseSensitive);
        if (at < 0)
            break;
        result.replace(at, placeholder.size(), value);
        from = at + value.size();
    }
    return result;
}

QString fillPlaceholders(const QString &text, std::initializer_list<PlaceholderValue> values)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype close = text.at(i) == u'{' ? text.indexOf(u'}', i) : -1;
        const PlaceholderValue *found = nullptr;
        for (const PlaceholderValue &candidate : values) {
            if (close > i && QStringView(text).sliced(i + 1, close - i - 1) == QLatin1String(candidate.variable))
                found = &candidate;
        }
        if (found) {
            out += found->value;
            i = close;
        } else {
            out += text.at(i);
        }
    }
    return out;
}

} // namespace vorlune::i18n
