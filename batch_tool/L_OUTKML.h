#pragma once
// KML 2.2: a Placemark per place, its id "r" and the input row, the place's address as its
// description, and every column as extended data under its own name.
#include "batch_tool/L_OUTPUT.h"

namespace L_OUTKML {

extern const L_OUTPUT::Writer Format;

} // namespace L_OUTKML
