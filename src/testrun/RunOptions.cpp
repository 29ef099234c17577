#include "testrun/RunOptions.h"

#include "base/Error.h"

#include <QRegularExpression>

#include <stdexcept>

namespace vorlune::testrun {

const RunSetting &runSetting(RunKey key)
{
    const auto index = size_t(key);
    if (index >= kRunSettings.size() || kRunSettings[index].key != key)
        throw std::logic_error("run setting without its row in kRunSettings");
    return kRunSettings[index];
}

QString runKeyName(RunKey key) { return QLatin1String(runSetting(key).name); }

void ensureRunOptions(base::IniImage &settings)
{
    for (const RunSetting &setting : kRunSettings) {
        if (setting.isOption)
            base::SetSetting(settings, kRunSection, QLatin1String(setting.name), QLatin1String(setting.defaultValue));
    }
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

namespace {

const RunSetting &option(RunKey key)
{
    const RunSetting &setting = runSetting(key);
    if (!setting.isOption)
        throw std::logic_error("a text run setting read or written as a yes/no option");
    return setting;
}

} // namespace

bool readRunOption(const base::IniImage &settings, RunKey key)
{
    const RunSetting &setting = option(key);
    return parseBoolean(
        settings.readString(kRunSection, QLatin1String(setting.name), QLatin1String(setting.defaultValue)));
}

void writeRunOption(base::IniImage &settings, RunKey key, bool value)
{
    settings.writeString(kRunSection, QLatin1String(option(key).name), booleanText(value));
}

QString readRunText(const base::IniImage &settings, RunKey key)
{
    const RunSetting &setting = runSetting(key);
    return settings.readString(kRunSection, QLatin1String(setting.name), QLatin1String(setting.defaultValue)).trimmed();
}

} // namespace vorlune::testrun
