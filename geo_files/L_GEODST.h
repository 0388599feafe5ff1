#pragma once
// Great-circle distance in kilometres between two points in decimal degrees, longitude
// first in every point.
#include <QtGlobal>

namespace L_GEODST {

constexpr double EarthRadiusKm = 6378137.0 / 1000.0; // equatorial radius (WGS 84), not 6371

constexpr qint32 MethodSphere = 0;    // the report's "Luftlinie"
constexpr qint32 MethodEllipsoid = 1; // the WGS84 geodesic

// Method 1 is the geodesic on the WGS84 ellipsoid (GeographicLib, Karney's algorithm,
// accurate to round-off; NaN for a latitude beyond 90 degrees); method 0 and any other are
// the sphere.
double GeoDistance(double lon1, double lat1, double lon2, double lat2, qint32 method);
// Spherical law of cosines on a sphere of EarthRadiusKm; no normalisation of the input.
double SphereDistance(double lon1, double lat1, double lon2, double lat2);

} // namespace L_GEODST
