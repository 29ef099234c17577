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

} // namespace vorlune::i18n
