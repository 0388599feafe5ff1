#include "map_service/L_TIME.h"

#include "map_service/L_VALUE.h"

namespace L_TIME {

QString FormatDuration(qint32 seconds, bool alwaysHours, qint32 minuteLimit) {
    const QString sign = seconds < 0 ? QStringLiteral("-") : QString();
    const qint64 total = seconds < 0 ? -qint64(seconds) : qint64(seconds);
    qint64 hours = 0, minutes = total / 60;
    const qint64 rest = total % 60;
    if ((alwaysHours && minutes >= 60) || (!alwaysHours && minutes > minuteLimit)) {
        hours = minutes / 60;
        minutes %= 60;
    }
    using L_VALUE::FormatNumber;
    const QString tail = FormatNumber(double(minutes), QStringLiteral("00")) + u':' +
                         FormatNumber(double(rest), QStringLiteral("00"));
    if (alwaysHours || hours > 0)
        return sign + FormatNumber(double(hours), QStringLiteral("#,#00")) + u':' + tail;
    return sign + tail;
}

} // namespace L_TIME
