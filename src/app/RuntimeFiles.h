#pragma once

#include <QString>

namespace vorlune::app {

inline const QString kResourceType = QStringLiteral("RESs");
inline const QString kThemeFileName = QStringLiteral("RSRhWpOleMfdcA.dll");
inline const QString kThemeLoadingName = QStringLiteral("RSRhWpOleMfdcA.asz");

// Writes one carried runtime file (resource ResType/ResName) to ResNewName,
// replacing a file there. Missing folders are not created. Throws
// vorlune::Error when the resource is missing or the file cannot be written.
void ExtractRes(const QString &ResType, const QString &ResName, const QString &ResNewName);

// When no file exists at Path: shows the "file needed" message with the full
// path and asks the application to end once control returns to the event
// loop. Returns whether the file exists.
bool FileImportant(const QString &Path);

} // namespace vorlune::app
