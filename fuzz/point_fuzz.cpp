// libFuzzer target of the point reader: arbitrary text as a pasted point. A point it
// returns must lie on earth; every form it writes must read back. Nothing else is checked
// but survival (and the sanitizers).
#include "geo_files/L_POINT.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    L_POINT::Point point;
    QString reason;
    if (!L_POINT::ReadPoint(text, point, reason)) return 0;
    if (!(std::fabs(point.latitude) <= 90 && std::fabs(point.longitude) <= 180)) std::abort();
    for (const char *form : {"dms", "dm", "utm", "mgrs", "geo"}) {
        L_POINT::Point back;
        const QString written = L_POINT::FormatPoint(point, QString::fromLatin1(form));
        if (!written.isEmpty() && !L_POINT::ReadPoint(written, back, reason)) std::abort();
    }
    return 0;
}
