#pragma once
// GeoJSON (RFC 7946): a FeatureCollection with a Point feature per place, its id the input
// row ("3", or "3.2" for a row's second place), its properties the list's columns and the
// program's in the list's order.
#include "batch_tool/L_OUTPUT.h"

namespace L_OUTJSN {

extern const L_OUTPUT::Writer Format;

} // namespace L_OUTJSN
