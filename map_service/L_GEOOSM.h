#pragma once
// The open services: OpenStreetMap's geocoder (Nominatim) and router (OSRM), their
// requests, readers and links, and the road behind L_QUERY. Every request names the
// program (the services refuse clients that do not) and waits for its host's turn.
#include "map_service/L_GEOGOG.h"

namespace L_GEOOSM {

using L_GEOGOG::GeoQuery;
using L_GEOGOG::ReverseQuery;
using L_GEOGOG::RouteQuery;
using L_STATUS::ServiceStatus;

// Bases without a trailing "/": GEODATEN_NOMINATIM_URL, GEODATEN_OSRM_URL and
// GEODATEN_OSM_URL when set and not empty, else the public servers.
QString NominatimUrl();
QString OsrmUrl();
QString OsmUrl();

// base + "/search?q=" + the address as UTF-8, percent-encoded +
// "&format=xml&limit=50&accept-language=de"; with the options' details
// "&addressdetails=1", with countries "&countrycodes=at,de".
QString SearchRequestUrl(const QString &address, const L_GEOGOG::SearchOptions &options = {});
// base + "/route/v1/driving/" + lon,lat;lon,lat of the record's ends + "?overview=false"
QString RouteRequestUrl(const RouteQuery &query);
// Appends one hit per "searchresults/place" of ResponseText, in answer order: its
// display_name (entities decoded, control characters removed) and lon "," lat ",0" written
// again from the numbers read, with its address parts where the answer holds them and its
// precision (address_rank; class and type). A place whose lat or lon is no number, not
// finite or out of range is no hit.
void ReadSearchResponse(GeoQuery &query);
// The router's JSON answer: with code "Ok", DrivingDistance and DrivingTime of the first
// route and status OK with its metres and seconds (and the shortest of all routes);
// otherwise the code (INVALID_RESPONSE for what is no such answer, or for a negative or
// impossible number) as the status, and its message.
void ReadRouteAnswer(const QByteArray &json, RouteQuery &query, ServiceStatus &status,
                     QString &message);

// The road, as L_QUERY's table promises.
bool Geocode(GeoQuery &query, QString &address, const L_GEOGOG::SearchOptions &options,
             ServiceStatus &status, const L_FETCH::AnswerStore *kept);
bool Route(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
           const L_FETCH::AnswerStore *kept, bool alternatives);
bool Reverse(ReverseQuery &query, ServiceStatus &status, const L_FETCH::AnswerStore *kept);
QStringList Bases();

// The web map at a point: base + "/?mlat=LAT&mlon=LON#map=17/LAT/LON", decimal points.
QString PointLink(double latitude, double longitude);
// The route between both ends' coordinates when the record has them, else between the
// two addresses as typed.
QString RouteLink(const RouteQuery &query);

// "geodaten/<version>": the services refuse clients that do not say who they are.
QByteArray UserAgent();

} // namespace L_GEOOSM
