#include "base/Platform.h"

#include <QString>
#include <QSysInfo>

namespace vorlune::base {

bool is64Bit()
{
    // The system's own architecture, not this program's build.
    return QSysInfo::currentCpuArchitecture().contains(QLatin1String("64"));
}

} // namespace vorlune::base
