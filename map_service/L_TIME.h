#pragma once
// Durations as hours, minutes and seconds.
#include <QString>

namespace L_TIME {

// "hh:mm:ss" (hours with "#,#00", so 100 hours and more show all digits and grouping)
// when alwaysHours or the minutes exceed minuteLimit, else "mm:ss"; negative seconds get a
// leading "-". 1476 gives "00:24:36".
QString FormatDuration(qint32 seconds, bool alwaysHours, qint32 minuteLimit);

} // namespace L_TIME
