#pragma once
// The open services: OpenStreetMap's geocoder (Nominatim) and router (OSRM), their
// requests, readers and links, and the usage policy they ask of every client (a
// User-Agent that names the program, at most one request a second to each host).
#include "map_service/L_GEOGOG.h"
#include "map_service/L_INET.h"

namespace L_GEOOSM {

using L_GEOGOG::GeocodeMemo;
using L_GEOGOG::GeoQuery;
using L_GEOGOG::RouteQuery;
using L_GEOGOG::ServiceStatus;

// Bases without a trailing "/": GEODATEN_NOMINATIM_URL, GEODATEN_OSRM_URL and
// GEODATEN_OSM_URL when set and not empty, else the public servers.
QString NominatimUrl();
QString OsrmUrl();
QString OsmUrl();

// base + "/search?q=" + the address as UTF-8, percent-encoded +
// "&format=xml&limit=50&accept-language=de"
QString SearchRequestUrl(const QString &address);
// base + "/route/v1/driving/" + lon,lat;lon,lat (the texts as given) + "?overview=false"
QString RouteRequestUrl(const QString &startLon, const QString &startLat, const QString &endLon,
                        const QString &endLat);
// Appends one hit per "searchresults/place" of ResponseText, in answer order: its
// display_name (entities decoded) and lon "," lat ",0". No place, or an <error>: no hits.
void ReadSearchResponse(GeoQuery &query);
// The router's JSON answer: with code "Ok", DrivingDistance and DrivingTime of the first
// route and status "OK" with its metres and seconds; otherwise the code (or
// "INVALID_RESPONSE" for what is no such answer) as the status, and its message.
void ReadRouteAnswer(const QByteArray &json, RouteQuery &query, ServiceStatus &status,
                     QString &message);

// The whole road of a search and of a distance computation through the open services,
// as L_GEOGOG::QueryGeocode and QueryRoute promise.
bool Geocode(GeoQuery &query, QString &address, ServiceStatus &status);
bool Route(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
           const GeocodeMemo *memo);

// The web map at a point: base + "/?mlat=LAT&mlon=LON#map=17/LAT/LON", decimal points.
QString PointLink(double latitude, double longitude);
// The route between both ends' coordinates when the record has them, else between the
// two addresses as typed.
QString RouteLink(const RouteQuery &query);

// "geodaten/<version>": the services refuse clients that do not say who they are.
QByteArray UserAgent();
// The pause between two requests to one host: 1000 ms, or GEODATEN_PACE_MS (0-60000).
qint64 PaceMs();

} // namespace L_GEOOSM
