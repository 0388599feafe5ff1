#pragma once
// Trigonometry of the distance: pi is never stored, the arc cosine is built on atan.

namespace L_MATH {

// Angle in radians from 0 to pi; x >= 1 gives 0, x <= -1 gives pi (no NaN for rounding
// that lands just outside [-1, 1]).
double ArcCos(double x);
// Degrees to radians, dividing by 180 first.
double DegToRad(double d);
// pi times k, with pi as 4 * atan(1).
double PiTimes(double k);

} // namespace L_MATH
