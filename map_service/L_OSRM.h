#pragma once
// The open router (OSRM): its requests, its JSON answer and the road of a route between
// two places, whose addresses a provider's geocoder finds (a point is asked of none).
// Every request names the program and waits for its host's turn.
#include "map_service/L_SERVICE.h"

namespace L_OSRM {

using L_GEOGOG::RouteQuery;
using L_STATUS::ServiceStatus;

// GEODATEN_OSRM_URL when set and not empty, else the public server; no trailing "/".
QString OsrmUrl();
// base + "/route/v1/driving/" + lon,lat;lon,lat of the record's ends + "?overview=false"
QString RouteRequestUrl(const RouteQuery &query);
// The router's JSON answer: with code "Ok", DrivingDistance and DrivingTime of the first
// route and status OK with its metres and seconds (and the shortest of all routes);
// otherwise the code (INVALID_RESPONSE for what is no such answer, or for a negative or
// impossible number) as the status, and its message.
void ReadRouteAnswer(const QByteArray &json, RouteQuery &query, ServiceStatus &status,
                     QString &message);
// True when GEODATEN_OSRM_SHORTEST_URL names a router by distance for the shortest road.
bool ShortestExact();

// The route between the two places, each a point as given or the first hit of `provider`'s
// geocoder: the ends, the sphere's straight line, and the router's driving distance and
// time. With `alternatives`, up to 3 are asked for, and the shortest road comes from
// GEODATEN_OSRM_SHORTEST_URL where that names a router of one's own. True when the
// router's answer was downloaded and read.
bool Route(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
           const L_FETCH::AnswerStore *store, bool alternatives,
           const L_SERVICE::Service &provider);
// The router's bases: OsrmUrl(), and GEODATEN_OSRM_SHORTEST_URL when set.
QStringList Bases();

} // namespace L_OSRM
