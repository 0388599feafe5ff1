#include "map_service/L_QUERY.h"

#include "geo_files/L_POINT.h"
#include "map_service/L_CACHE.h"
#include "map_service/L_DIAG.h"
#include "map_service/L_GEOOSM.h"
#include "map_service/L_GOOGLE.h"
#include "map_service/L_SHELL.h"
#include "xml_text/L_UNICOD.h"

#include <QDebug>

#include <functional>

namespace L_QUERY {

namespace {

// The providers, each one record in its own file; the first whose settings are given
// answers, the one without a `configured` rule when none are.
const Service *const Services[] = {&L_GOOGLE::Entry, &L_GEOOSM::Entry};

// "neither "google" nor "osm"", or "none of ..." for more.
QString Names() {
    QStringList names;
    for (const Service *service : Services)
        names.append(u'"' + QLatin1String(service->name) + u'"');
    if (names.size() == 2) return QStringLiteral("neither %1 nor %2").arg(names[0], names[1]);
    return QStringLiteral("none of ") + names.join(QStringLiteral(", "));
}

// The road with the answers kept across runs, where the provider keeps them.
bool WithCache(const std::function<bool(const L_FETCH::AnswerStore *)> &road) {
    const QString file = ActiveService().keepsAnswers ? L_CACHE::CacheFile() : QString();
    if (file.isEmpty()) return road(nullptr);
    L_CACHE::Cache cache = L_CACHE::Open(file);
    const L_FETCH::AnswerStore store = L_FETCH::CacheStore(cache);
    const bool result = road(&store);
    L_CACHE::Close(cache);
    return result;
}

// A point typed as an address: the place there, listed at the point itself.
bool ReversePoint(const Service &service, const L_POINT::Point &point, GeoQuery &query,
                  ServiceStatus &status, const L_FETCH::AnswerStore *store) {
    ReverseQuery reverse;
    reverse.Latitude = point.latitude;
    reverse.Longitude = point.longitude;
    const bool read = service.reverse(reverse, status, store);
    query.RequestUrl = reverse.RequestUrl;
    query.ResponseText = reverse.ResponseText;
    query.TempFile = reverse.TempFile;
    if (status.code == L_STATUS::Status::Ok)
        L_GEOGOG::AddGeoHit(query, L_UNICOD::TextToUtf8(reverse.Address),
                            L_POINT::FormatDegrees(point.longitude) + u',' +
                                L_POINT::FormatDegrees(point.latitude));
    return read;
}

} // namespace

const Service &ActiveService() {
    const QString named = qEnvironmentVariable("GEODATEN_PROVIDER").trimmed().toLower();
    for (const Service *service : Services)
        if (named == QLatin1String(service->name)) return *service;
    const QString value = qEnvironmentVariable("GEODATEN_PROVIDER");
    if (!named.isEmpty() && L_DIAG::FirstTime(QStringLiteral("GEODATEN_PROVIDER=") + value))
        qWarning().noquote() << QStringLiteral(
                                    "GEODATEN_PROVIDER=%1 is %2; choosing as if it were unset")
                                    .arg(value, Names());
    for (const Service *service : Services)
        if (service->configured && service->configured()) return *service;
    for (const Service *service : Services)
        if (!service->configured) return *service;
    return *Services[0];
}

QList<const Service *> Providers() {
    return QList<const Service *>(std::begin(Services), std::end(Services));
}

Provider ActiveProvider() {
    return ActiveService().id;
}

bool QueryGeocode(GeoQuery &query, QString &address) {
    ServiceStatus status;
    return WithCache([&](const L_FETCH::AnswerStore *store) {
        return QueryGeocode(query, address, status, store);
    });
}

bool QueryGeocode(GeoQuery &query, QString &address, ServiceStatus &status,
                  const L_FETCH::AnswerStore *store) {
    return QueryGeocode(query, address, {}, status, store);
}

bool QueryGeocode(GeoQuery &query, QString &address, const L_GEOGOG::SearchOptions &options,
                  ServiceStatus &status, const L_FETCH::AnswerStore *store) {
    const Service &service = ActiveService();
    L_POINT::Point point;
    QString reason;
    if (service.readsPoints && service.reverse && L_POINT::ReadPoint(address, point, reason)) {
        query.Address = address;
        return ReversePoint(service, point, query, status, store);
    }
    return L_SERVICE::Geocode(service, query, address, options, status, store);
}

bool QueryRoute(RouteQuery &query, QString &origin, QString &destination) {
    ServiceStatus status;
    return WithCache([&](const L_FETCH::AnswerStore *store) {
        return QueryRoute(query, origin, destination, status, store, false);
    });
}

bool QueryRoute(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
                const L_FETCH::AnswerStore *store, bool alternatives) {
    const Service &service = ActiveService();
    return service.route(query, origin, destination, status, store,
                         alternatives && service.alternatives);
}

bool QueryReverse(ReverseQuery &query, ServiceStatus &status, const L_FETCH::AnswerStore *store) {
    const Service &service = ActiveService();
    return service.reverse && service.reverse(query, status, store);
}

bool AsksPublicServers(bool routes) {
    const Service &service = ActiveService();
    const QStringList bases = service.bases(); // the geocoder's first
    for (const QString &base : bases.mid(0, routes ? -1 : 1))
        if (L_SERVICE::IsPublic(service, base)) return true;
    return false;
}

QString QueryRouteLink(const RouteQuery &query) {
    return ActiveService().routeLink(query);
}

void ShowHitOnMap(double latitude, double longitude) {
    L_SHELL::ShellOpen(0, ActiveService().pointLink(latitude, longitude), QString(), 1);
}

} // namespace L_QUERY
