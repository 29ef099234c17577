#pragma once

#include "project/XmlElement.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace vorlune::project {

// The seven plugin settings as the `settings` element stores them; a
// missing attribute reads as the empty text.
struct PluginSettings {
    QString name;
    QString main;
    QString version;
    QString api;
    QString creator;
    QString loading;
    QString site;

    bool operator==(const PluginSettings &) const = default;

    static PluginSettings fromElement(const XmlElement &settings);
    // The same from any reader of the element's attributes by name.
    static PluginSettings fromAttributes(const std::function<QString(const QString &)> &attribute);
    // Sets all seven attributes: existing ones keep their place, missing ones
    // are added after the others in the order name, creator, version, site,
    // api, loading, main.
    void writeTo(XmlElement settings) const;
};

// Digits-and-dots style check: not empty, no dot first or last, every
// character taken from chars.
bool isValidVersion(const QString &text, const QString &chars);
// Namespace\Class: at least one backslash, none first, last or doubled, only
// ASCII letters, digits, "_" and "-" besides.
bool isValidMain(const QString &text);

// One localized message per broken rule, in the fixed order api, loading,
// creator, name, version, main. Empty when the settings pass.
QStringList settingsErrors(const PluginSettings &settings);

} // namespace vorlune::project
