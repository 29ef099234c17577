#include "testrun/RunOptions.h"

#include "base/Error.h"

#include <QRegularExpression>

namespace vorlune::testrun {

void ensureRunOptions(base::IniImage &settings)
{
    for (const RunOption &option : kRunOptions)
        base::SetSetting(settings, kRunSection, QLatin1String(option.key), QLatin1String(option.defaultValue));
}

bool parseBoolean(const QString &value)
{
    static const QRegularExpression number(QStringLiteral(R"(^[+-]?(\d+(\.\d*)?|\.\d+)([eE][+-]?\d+)?$)"));
    const QString text = value.trimmed();
    if (number.match(text).hasMatch())
        return text.toDouble() != 0.0;
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    throw Error(QStringLiteral("'%1' is not a valid boolean value").arg(value));
}

QString booleanText(bool value) { return value ? QStringLiteral("-1") : QStringLiteral("0"); }

bool readRunOption(const base::IniImage &settings, const QString &key)
{
    QString defaultValue = QStringLiteral("0");
    for (const RunOption &option : kRunOptions) {
        if (key == QLatin1String(option.key))
            defaultValue = QLatin1String(option.defaultValue);
    }
    return parseBoolean(settings.readString(kRunSection, key, defaultValue));
}

void writeRunOption(base::IniImage &settings, const QString &key, bool value)
{
    settings.writeString(kRunSection, key, booleanText(value));
}

} // namespace vorlune::testrun
