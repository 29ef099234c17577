#pragma once

#include <QString>

namespace vorlune::app {

inline const QString kSettingsFileName = QStringLiteral("kFkXOUbgS12jtg.dll");

} // namespace vorlune::app
