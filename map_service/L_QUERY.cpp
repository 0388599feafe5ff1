#include "map_service/L_QUERY.h"

#include "geo_files/L_POINT.h"
#include "map_service/L_CACHE.h"
#include "map_service/L_DIAG.h"
#include "map_service/L_GEOOSM.h"
#include "map_service/L_GOOGLE.h"
#include "map_service/L_PACE.h"
#include "map_service/L_SHELL.h"
#include "map_service/L_VALUE.h"
#include "xml_text/L_UNICOD.h"

#include <QDebug>

#include <functional>

namespace L_QUERY {

namespace {

// The providers; the first whose settings are given answers, the one without a
// `configured` rule when none are.
const Service Services[] = {
    {Provider::Google, "google", "Google", "Doppelclick zum Öffnen in Google-Maps",
     &L_GOOGLE::Configured, false, false, true, &L_GOOGLE::Geocode, &L_GOOGLE::Route,
     &L_GOOGLE::Reverse, &L_GEOGOG::PointLinkUrl, &L_GOOGLE::RouteLink, &L_GOOGLE::Bases},
    {Provider::Osm, "osm", "OpenStreetMap",
     "Doppelklick zum Öffnen in OpenStreetMap\nDaten © OpenStreetMap-Mitwirkende (ODbL)", nullptr,
     true, true, true, &L_GEOOSM::Geocode, &L_GEOOSM::Route, &L_GEOOSM::Reverse,
     &L_GEOOSM::PointLink, &L_GEOOSM::RouteLink, &L_GEOOSM::Bases},
};

// The road with the answers kept across runs, where the provider keeps them.
bool WithCache(const std::function<bool(const L_FETCH::AnswerStore *)> &road) {
    const QString file = ActiveService().keepsAnswers ? L_CACHE::CacheFile() : QString();
    if (file.isEmpty()) return road(nullptr);
    L_CACHE::Cache cache = L_CACHE::Open(file);
    const L_FETCH::AnswerStore kept = L_FETCH::CacheStore(cache);
    const bool result = road(&kept);
    L_CACHE::Close(cache);
    return result;
}

// A point typed as an address: the place there, listed at the point itself.
bool ReversePoint(const Service &service, const L_POINT::Point &point, GeoQuery &query,
                  ServiceStatus &status, const L_FETCH::AnswerStore *kept) {
    ReverseQuery reverse;
    reverse.Latitude = point.latitude;
    reverse.Longitude = point.longitude;
    const bool read = service.reverse(reverse, status, kept);
    query.RequestUrl = reverse.RequestUrl;
    query.ResponseText = reverse.ResponseText;
    query.TempFile = reverse.TempFile;
    if (status.code == L_STATUS::Status::Ok)
        L_GEOGOG::AddGeoHit(query, L_UNICOD::TextToUtf8(reverse.Address),
                            L_POINT::FormatDegrees(point.longitude) + u',' +
                                L_POINT::FormatDegrees(point.latitude));
    return read;
}

// A hit's coordinates, as text, wholly numbers on the earth.
bool OnEarth(const QString &coordinates) {
    double value = 0;
    return L_VALUE::ReadDegrees(coordinates.section(u',', 0, 0), 180, value) &&
           L_VALUE::ReadDegrees(coordinates.section(u',', 1, 1), 90, value);
}

// Drops the hits no place on earth has, keeping the lists parallel.
void DropOffEarth(GeoQuery &query) {
    for (qint32 hit = query.HitCount; hit >= 1; --hit) {
        if (OnEarth(query.HitCoordinates.value(hit))) continue;
        for (QStringList *list : {&query.HitAddresses, &query.HitCoordinates})
            if (hit < list->size()) list->removeAt(hit);
        for (QList<double> *list : {&query.HitLongitudes, &query.HitLatitudes})
            if (hit < list->size()) list->removeAt(hit);
        if (hit < query.HitDetails.size()) query.HitDetails.removeAt(hit);
        --query.HitCount;
    }
}

} // namespace

const Service &ActiveService() {
    const QString named = qEnvironmentVariable("GEODATEN_PROVIDER").trimmed().toLower();
    for (const Service &service : Services)
        if (named == QLatin1String(service.name)) return service;
    const QString value = qEnvironmentVariable("GEODATEN_PROVIDER");
    if (!named.isEmpty() && L_DIAG::FirstTime(QStringLiteral("GEODATEN_PROVIDER=") + value))
        qWarning().noquote() << QStringLiteral("GEODATEN_PROVIDER=%1 is neither \"google\" nor "
                                               "\"osm\"; choosing as if it were unset")
                                    .arg(value);
    for (const Service &service : Services)
        if (service.configured && service.configured()) return service;
    for (const Service &service : Services)
        if (!service.configured) return service;
    return Services[0];
}

Provider ActiveProvider() {
    return ActiveService().id;
}

bool QueryGeocode(GeoQuery &query, QString &address) {
    ServiceStatus status;
    return WithCache([&](const L_FETCH::AnswerStore *kept) {
        return QueryGeocode(query, address, status, kept);
    });
}

bool QueryGeocode(GeoQuery &query, QString &address, ServiceStatus &status,
                  const L_FETCH::AnswerStore *kept) {
    return QueryGeocode(query, address, {}, status, kept);
}

bool QueryGeocode(GeoQuery &query, QString &address, const L_GEOGOG::SearchOptions &options,
                  ServiceStatus &status, const L_FETCH::AnswerStore *kept) {
    const Service &service = ActiveService();
    L_POINT::Point point;
    QString reason;
    if (service.readsPoints && service.reverse && L_POINT::ReadPoint(address, point, reason)) {
        query.Address = address;
        return ReversePoint(service, point, query, status, kept);
    }
    const bool read = service.geocode(query, address, options, status, kept);
    DropOffEarth(query);
    if (status.code == L_STATUS::Status::Ok && query.HitCount == 0)
        status.code = L_STATUS::Status::ZeroResults; // places, but none on earth
    return read;
}

bool QueryRoute(RouteQuery &query, QString &origin, QString &destination) {
    ServiceStatus status;
    return WithCache([&](const L_FETCH::AnswerStore *kept) {
        return QueryRoute(query, origin, destination, status, kept, false);
    });
}

bool QueryRoute(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
                const L_FETCH::AnswerStore *kept, bool alternatives) {
    const Service &service = ActiveService();
    return service.route(query, origin, destination, status, kept,
                         alternatives && service.alternatives);
}

bool QueryReverse(ReverseQuery &query, ServiceStatus &status, const L_FETCH::AnswerStore *kept) {
    const Service &service = ActiveService();
    return service.reverse && service.reverse(query, status, kept);
}

bool AsksPublicServers(bool routes) {
    const QStringList bases = ActiveService().bases(); // the geocoder's first
    for (const QString &base : bases.mid(0, routes ? -1 : 1))
        if (L_PACE::IsPublicHost(base)) return true;
    return false;
}

QString QueryRouteLink(const RouteQuery &query) {
    return ActiveService().routeLink(query);
}

void ShowHitOnMap(double latitude, double longitude) {
    L_SHELL::ShellOpen(0, ActiveService().pointLink(latitude, longitude), QString(), 1);
}

} // namespace L_QUERY
