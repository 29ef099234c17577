#include "project/PluginSettings.h"

#include "i18n/Placeholder.h"
#include "i18n/TextTable.h"

namespace vorlune::project {

PluginSettings PluginSettings::fromElement(const XmlElement &settings)
{
    return fromAttributes([&settings](const QString &name) { return settings.attribute(name); });
}

PluginSettings PluginSettings::fromAttributes(const std::function<QString(const QString &)> &attribute)
{
    PluginSettings result;
    result.name = attribute(QStringLiteral("name"));
    result.main = attribute(QStringLiteral("main"));
    result.version = attribute(QStringLiteral("version"));
    result.api = attribute(QStringLiteral("api"));
    result.creator = attribute(QStringLiteral("creator"));
    result.loading = attribute(QStringLiteral("loading"));
    result.site = attribute(QStringLiteral("site"));
    return result;
}

void PluginSettings::writeTo(XmlElement settings) const
{
    settings.setAttribute(QStringLiteral("name"), name);
    settings.setAttribute(QStringLiteral("creator"), creator);
    settings.setAttribute(QStringLiteral("version"), version);
    settings.setAttribute(QStringLiteral("site"), site);
    settings.setAttribute(QStringLiteral("api"), api);
    settings.setAttribute(QStringLiteral("loading"), loading);
    settings.setAttribute(QStringLiteral("main"), main);
}

bool isValidVersion(const QString &text, const QString &chars)
{
    if (text.isEmpty() || text.startsWith(QLatin1Char('.')) || text.endsWith(QLatin1Char('.')))
        return false;
    for (QChar c : text) {
        if (!chars.contains(c))
            return false;
    }
    return true;
}

bool isValidMain(const QString &text)
{
    static const QString allowed = QStringLiteral("\\0987654321abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_-");
    const QLatin1Char backslash('\\');
    if (text.isEmpty() || text.startsWith(backslash) || text.endsWith(backslash) || !text.contains(backslash) ||
        text.contains(QLatin1String("\\\\")))
        return false;
    for (QChar c : text) {
        if (!allowed.contains(c))
            return false;
    }
    return true;
}

QStringList settingsErrors(const PluginSettings &settings)
{
    using i18n::tx;
    const auto emptyField = [](const QString &label) {
        return i18n::setTextIntoVarInString(tx("MSG.msg3"), QStringLiteral("name"), label);
    };
    QStringList errors;
    if (!isValidVersion(settings.api, QStringLiteral("0123456789.")))
        errors << tx("MSG.msg1");
    if (settings.loading != QLatin1String("POSTWORLD") && settings.loading != QLatin1String("STARTUP"))
        errors << tx("MSG.msg2");
    if (settings.creator.isEmpty())
        errors << emptyField(tx("CNFG.cnfg4"));
    if (settings.name.isEmpty())
        errors << emptyField(tx("CNFG.cnfg1"));
    if (settings.version.isEmpty())
        errors << emptyField(tx("CNFG.cnfg3"));
    if (!isValidMain(settings.main))
        errors << tx("MSG.msg4");
    return errors;
}

} // namespace vorlune::project
