#include "app/Platform.h"

#include <QString>
#include <QSysInfo>

namespace vorlune::app {

bool is64Bit()
{
    // The system's own architecture, not this program's build.
    return QSysInfo::currentCpuArchitecture().contains(QLatin1String("64"));
}

} // namespace vorlune::app
