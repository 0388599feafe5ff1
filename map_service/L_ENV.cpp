#include "map_service/L_ENV.h"

#include <QString>

namespace L_ENV {

qint64 Integer(const char *name, qint64 lowest, qint64 highest, qint64 otherwise) {
    bool ok = false;
    const qint64 value = qEnvironmentVariable(name).toLongLong(&ok);
    return ok && value >= lowest && value <= highest ? value : otherwise;
}

} // namespace L_ENV
