#include "script/CatalogueTypes.h"

#include <QStringView>

namespace vorlune::script {

Api apiColumn(const QString &api)
{
    const QStringView text = QStringView(api).trimmed();
    qsizetype digits = 0;
    while (digits < text.size() && text.at(digits) >= QLatin1Char('0') && text.at(digits) <= QLatin1Char('9'))
        ++digits;
    // Leading zeros do not change the number; more than two digits are 5 or more.
    QStringView number = text.first(digits);
    while (number.size() > 1 && number.front() == QLatin1Char('0'))
        number = number.sliced(1);
    if (number.isEmpty())
        return Api::V3;
    if (number.size() > 1)
        return Api::V5;
    const char16_t major = number.front().unicode();
    return major == u'4' ? Api::V4 : major >= u'5' ? Api::V5 : Api::V3;
}

QString apiName(Api api) { return QString::number(int(api) + 3); }

} // namespace vorlune::script
