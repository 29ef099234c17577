#pragma once

#include <QString>

namespace vorlune::app {

// When no file exists at Path: shows the "file needed" message with the full
// path and asks the application to end once control returns to the event
// loop. Returns whether the file exists.
bool FileImportant(const QString &Path);

} // namespace vorlune::app
