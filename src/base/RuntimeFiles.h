#pragma once

#include <QString>

namespace vorlune::base {

inline const QString kResourceType = QStringLiteral("RESs");
inline const QString kThemeFileName = QStringLiteral("RSRhWpOleMfdcA.dll");
inline const QString kThemeLoadingName = QStringLiteral("RSRhWpOleMfdcA.asz");

// Writes one carried runtime file (resource ResType/ResName) to ResNewName,
// replacing a file there in one step; a link there is replaced, never
// written through. Missing folders are not created.
// Throws vorlune::Error when the resource is missing or the file cannot be
// written.
void ExtractRes(const QString &ResType, const QString &ResName, const QString &ResNewName);

} // namespace vorlune::base
