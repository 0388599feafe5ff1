#pragma once
// A provider as the road (L_QUERY) sees it: one record per provider, defined in the
// provider's own file, holding its name, its words, what it can do, its functions and the
// public servers it ships as defaults. A new provider is a new file with its record, one
// enumerator below and one entry in L_QUERY's list.
#include "map_service/L_GEOGOG.h"

namespace L_SERVICE {

using L_FETCH::AnswerStore;
using L_GEOGOG::GeoQuery;
using L_GEOGOG::ReverseQuery;
using L_GEOGOG::RouteQuery;
using L_STATUS::ServiceStatus;

enum class Provider { Google, Osm };

// A search: the record filled, the address sent (perhaps changed as the provider sends
// it), what is asked beyond it; true when an answer was downloaded and read.
using Geocoder = bool (*)(GeoQuery &, QString &address, const L_GEOGOG::SearchOptions &,
                          ServiceStatus &, const AnswerStore *);
// A route between two places (addresses or points); with `alternatives` the shortest of
// the routes the router knows goes to ServiceStatus::ShortestMetres.
using Router = bool (*)(RouteQuery &, QString &origin, QString &destination, ServiceStatus &,
                        const AnswerStore *, bool alternatives);
// The place at the record's point.
using Reverser = bool (*)(ReverseQuery &, ServiceStatus &, const AnswerStore *);

struct Service {
    Provider id;
    const char *name;        // GEODATEN_PROVIDER's value for it
    const char *titleWord;   // "GEO Daten zur Adresse  mit <word> ermitteln"
    const char *listTooltip; // the result list's tooltip
    bool (*configured)();    // chosen without GEODATEN_PROVIDER when true; null: the default
    bool keepsAnswers;       // its answers may be kept across runs (the open services ask so)
    bool readsPoints;        // a point typed as an address is looked up in reverse, in the window
    bool alternatives;       // it can be asked for route alternatives
    // True when the shortest road is a router's own by distance, not the shortest of the
    // fastest router's alternatives; null: never.
    bool (*shortestExact)();
    Geocoder geocode;
    Router route;
    Reverser reverse; // null: none
    QString (*pointLink)(double latitude, double longitude);
    QString (*routeLink)(const RouteQuery &);
    QStringList (*bases)(); // where its requests go, the geocoder's first
    // The hosts of the public servers it ships as defaults, run for everyone: each gets one
    // request a second from all of the user's processes together. Null-terminated.
    const char *const *publicHosts;
    // Its environment variables as the programs' --help lists them: lines of
    // "  NAME[, NAME]  what they set", German.
    const char *variables;
};

// The service's search with the hits no place on earth has dropped (NaN, infinite, out of
// range), whichever provider read them: every road to a geocoder goes through here. A
// search whose places are all off the earth found none (ZERO_RESULTS).
bool Geocode(const Service &service, GeoQuery &query, QString &address,
             const L_GEOGOG::SearchOptions &options, ServiceStatus &status,
             const AnswerStore *store);

// A request of the service's in its host's turn (the public hosts' pace where it is one),
// from the store where it holds the answer.
L_INET::Answer Fetch(const Service &service, const QString &url, const QString &file,
                     const AnswerStore *store);

// True when the URL's host (compared as L_PACE::HostOf does) is one of the service's public
// hosts.
bool IsPublic(const Service &service, const QString &url);

} // namespace L_SERVICE
