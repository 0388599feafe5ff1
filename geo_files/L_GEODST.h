#pragma once
// Great-circle distance in kilometres between two points in decimal degrees, longitude
// first in every point.
#include <QtGlobal>

namespace L_GEODST {

constexpr double EarthRadiusKm = 6378137.0 / 1000.0; // equatorial radius (WGS 84), not 6371

// Method 0 is the sphere (SphereDistance); any other method gives 0.
double GeoDistance(double lon1, double lat1, double lon2, double lat2, qint32 method);
// Spherical law of cosines on a sphere of EarthRadiusKm; no normalisation of the input.
double SphereDistance(double lon1, double lat1, double lon2, double lat2);

} // namespace L_GEODST
