#include "geo_files/L_GEODST.h"

#include "geo_files/L_MATH.h"

#include <GeographicLib/Geodesic.hpp>

#include <cmath>

namespace L_GEODST {

double GeoDistance(double lon1, double lat1, double lon2, double lat2, qint32 method) {
    if (method != MethodEllipsoid) return SphereDistance(lon1, lat1, lon2, lat2);
    double metres = 0;
    GeographicLib::Geodesic::WGS84().Inverse(lat1, lon1, lat2, lon2, metres);
    return metres / 1000.0;
}

double SphereDistance(double lon1, double lat1, double lon2, double lat2) {
    using L_MATH::DegToRad;
    const double phi1 = DegToRad(lat1), phi2 = DegToRad(lat2);
    const double dLambda = DegToRad(lon1) - DegToRad(lon2);
    const double c =
        std::sin(phi1) * std::sin(phi2) + std::cos(phi1) * std::cos(phi2) * std::cos(dLambda);
    return L_MATH::ArcCos(c) * EarthRadiusKm;
}

} // namespace L_GEODST
