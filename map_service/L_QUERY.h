#pragma once
// The one road that the window and geodaten-batch ask: which provider answers, and its
// search, route, reverse lookup and links. Each provider is one record (L_SERVICE) in its
// own file and one entry of this road's list; nothing above this road asks which one is
// active.
#include "map_service/L_SERVICE.h"

namespace L_QUERY {

using L_GEOGOG::GeoQuery;
using L_GEOGOG::ReverseQuery;
using L_GEOGOG::RouteQuery;
using L_SERVICE::Provider;
using L_SERVICE::Service;
using L_STATUS::ServiceStatus;

// GEODATEN_PROVIDER names a provider ("google" or "osm", any case); unset or empty: the
// first whose own settings are given (Google: GEODATEN_API_KEY or GEODATEN_SERVICE_URL),
// else the open services. Any other value is warned about once and read as unset. Read
// anew on each call.
Provider ActiveProvider();
const Service &ActiveService();
// Every provider, in the order the rule above asks them.
QList<const Service *> Providers();

// The whole road of one search through the active provider: the record is filled as the
// provider's requests and reader fill it. True when the answer was downloaded and read.
// Every failure, refusal or empty answer writes one line on the "geodaten.service" log.
// The answers kept across runs (L_CACHE) answer first where the provider keeps them.
bool QueryGeocode(GeoQuery &query, QString &address);
// The same, with how it ended and the answers kept to consult and to offer new ones to.
// Where the provider reads points, an address that reads as one (L_POINT) is looked up in
// reverse: one hit, the place's address at the point itself. Every provider's hits pass
// here: one whose coordinates are not wholly numbers within range (NaN, 123.4, 1e400
// degrees) is dropped, with its entries in every list.
bool QueryGeocode(GeoQuery &query, QString &address, ServiceStatus &status,
                  const L_FETCH::AnswerStore *store);
// The same, asking what the options ask beyond the address.
bool QueryGeocode(GeoQuery &query, QString &address, const L_GEOGOG::SearchOptions &options,
                  ServiceStatus &status, const L_FETCH::AnswerStore *store);
// The whole road of one distance computation through the active provider. True when the
// last answer (directions, or the router's) was downloaded and read. Kept answers as above.
bool QueryRoute(RouteQuery &query, QString &origin, QString &destination);
// With `alternatives` (where the provider has them), status.ShortestMetres is the
// shortest of the routes the service returned.
bool QueryRoute(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
                const L_FETCH::AnswerStore *store, bool alternatives);
// The place at the record's point; false without an answer (or a provider without one).
bool QueryReverse(ReverseQuery &query, ServiceStatus &status, const L_FETCH::AnswerStore *store);
// True when a server the road asks (the geocoder; with `routes` the router too) is one of
// the public ones the program ships as defaults, not one of the user's own.
bool AsksPublicServers(bool routes);
// The route link of the active provider for the record.
QString QueryRouteLink(const RouteQuery &query);
// Opens the active provider's web map at the point (decimal points whatever the locale).
void ShowHitOnMap(double latitude, double longitude);

} // namespace L_QUERY
