#pragma once
// The commercial map service as a provider: its record for the road (L_QUERY), and the
// road behind it: the key, over a safe way only; how each request ended; one diagnostic
// line per failure, refusal or empty answer, never with the key.
#include "map_service/L_SERVICE.h"

namespace L_GOOGLE {

using L_GEOGOG::GeoQuery;
using L_GEOGOG::ReverseQuery;
using L_GEOGOG::RouteQuery;
using L_STATUS::ServiceStatus;

// The provider's record: "google", its words, its functions; no public server of its own
// (its limit is the quota of the user's key).
extern const L_SERVICE::Service Entry;

// The parts of every hit are read from the answer whatever the options say; countries go
// as "&components=country:AT|country:DE".
bool Geocode(GeoQuery &query, QString &address, const L_GEOGOG::SearchOptions &options,
             ServiceStatus &status, const L_FETCH::AnswerStore *store);
// With `alternatives`, the service is asked for them and status.ShortestMetres is the
// shortest route's first leg.
bool Route(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
           const L_FETCH::AnswerStore *store, bool alternatives);
// The geocoding endpoint with latlng=LAT,LON: the first result's address and its parts.
bool Reverse(ReverseQuery &query, ServiceStatus &status, const L_FETCH::AnswerStore *store);
QString RouteLink(const RouteQuery &query);
// The bases its requests go to.
QStringList Bases();
// True when a key or a service URL of the user's own is set: it answers unless another
// provider is named.
bool Configured();

} // namespace L_GOOGLE
