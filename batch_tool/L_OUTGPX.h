#pragma once
// GPX 1.1: a waypoint per place, with the place's address as its description and, in its
// extensions, the input row and every column as an element of its own (the names made
// fit for XML), so that a GIS reads them as fields.
#include "batch_tool/L_OUTPUT.h"

namespace L_OUTGPX {

extern const L_OUTPUT::Writer Format;

} // namespace L_OUTGPX
