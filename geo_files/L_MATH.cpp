#include "geo_files/L_MATH.h"

#include <cmath>

namespace L_MATH {

double PiTimes(double k) {
    return 4.0 * std::atan(1.0) * k;
}

double DegToRad(double d) {
    return (d / 180.0) * PiTimes(1.0);
}

double ArcCos(double x) {
    if (x == 0.0) return PiTimes(0.5);
    if (x >= 1.0) return 0.0;
    if (x <= -1.0) return PiTimes(1.0);
    return std::atan(-x / std::sqrt(-x * x + 1.0)) + 2.0 * std::atan(1.0);
}

} // namespace L_MATH
