#include "app/FileImportant.h"

#include "base/Messages.h"
#include "i18n/Placeholder.h"
#include "i18n/TextTable.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMetaObject>

namespace vorlune::app {

bool FileImportant(const QString &Path)
{
    if (QFileInfo::exists(Path))
        return true;
    Messages::show(i18n::setTextIntoVarInString(i18n::tx("MSG.msg9"), QStringLiteral("name"), Path));
    if (QCoreApplication *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, &QCoreApplication::quit, Qt::QueuedConnection);
    return false;
}

} // namespace vorlune::app
