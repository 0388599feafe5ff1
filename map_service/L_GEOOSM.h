#pragma once
// The open services as one provider: OpenStreetMap's geocoder (Nominatim), its requests,
// readers and links, with the open router (L_OSRM) behind its own geocoder, and its record
// for the road (L_QUERY). Every request names the program (the services refuse clients
// that do not) and waits for its host's turn.
#include "map_service/L_OSRM.h"
#include "map_service/L_SERVICE.h"

namespace L_GEOOSM {

using L_GEOGOG::GeoQuery;
using L_GEOGOG::ReverseQuery;
using L_GEOGOG::RouteQuery;
using L_STATUS::ServiceStatus;

// The provider's record: "osm", its words, its functions, the public servers.
extern const L_SERVICE::Service Entry;

// Bases without a trailing "/": GEODATEN_NOMINATIM_URL and GEODATEN_OSM_URL when set and
// not empty, else the public servers.
QString NominatimUrl();
QString OsmUrl();
// The router's and the program's name, as the open services' pieces they are.
using L_FETCH::UserAgent;
using L_OSRM::OsrmUrl;
using L_OSRM::ReadRouteAnswer;
using L_OSRM::RouteRequestUrl;

// base + "/search?q=" + the address as UTF-8, percent-encoded +
// "&format=xml&limit=50&accept-language=de"; with the options' details
// "&addressdetails=1", with countries "&countrycodes=at,de".
QString SearchRequestUrl(const QString &address, const L_GEOGOG::SearchOptions &options = {});
// Appends one hit per "searchresults/place" of ResponseText, in answer order: its
// display_name (entities decoded, control characters removed) and lon "," lat ",0" written
// again from the numbers read, with its address parts where the answer holds them and its
// precision (address_rank; class and type). A place whose lat or lon is no number, not
// finite or out of range is no hit.
void ReadSearchResponse(GeoQuery &query);

// The road, as its record promises L_QUERY: the geocoder, the router (L_OSRM, with this
// geocoder), the reverse lookup, and where the requests go.
bool Geocode(GeoQuery &query, QString &address, const L_GEOGOG::SearchOptions &options,
             ServiceStatus &status, const L_FETCH::AnswerStore *store);
bool Route(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
           const L_FETCH::AnswerStore *store, bool alternatives);
bool Reverse(ReverseQuery &query, ServiceStatus &status, const L_FETCH::AnswerStore *store);
QStringList Bases();

// The web map at a point: base + "/?mlat=LAT&mlon=LON#map=17/LAT/LON", decimal points.
QString PointLink(double latitude, double longitude);
// The route between both ends' coordinates when the record has them, else between the
// two addresses as typed.
QString RouteLink(const RouteQuery &query);

} // namespace L_GEOOSM
