#include "map_service/L_SERVICE.h"

#include "map_service/L_PACE.h"

namespace L_SERVICE {

bool IsPublic(const Service &service, const QString &url) {
    const QString host = L_PACE::HostOf(url);
    for (const char *const *publicHost = service.publicHosts; publicHost && *publicHost;
         ++publicHost)
        if (host == QLatin1String(*publicHost)) return true;
    return false;
}

} // namespace L_SERVICE
