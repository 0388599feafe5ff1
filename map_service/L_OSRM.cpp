#include "map_service/L_OSRM.h"

#include "geo_files/L_GEODST.h"
#include "geo_files/L_POINT.h"
#include "map_service/L_DIAG.h"
#include "map_service/L_URLCOD.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace L_OSRM {

namespace {

using L_GEOGOG::GeoQuery;
using L_STATUS::Status;

// A router of one's own that routes by distance; empty for none.
QString ShortestUrl() {
    return L_URLCOD::BaseUrl("GEODATEN_OSRM_SHORTEST_URL", QString());
}

// The place of an address: a point given as such, or the geocoder's first hit. False
// (with the status and its one line) when the address has none.
bool Locate(const QString &address, GeoQuery &place, ServiceStatus &status,
            const L_FETCH::AnswerStore *store, const L_SERVICE::Service &provider) {
    L_POINT::Point point;
    QString reason;
    if (L_POINT::ReadPoint(address, point, reason)) { // a point is asked of no geocoder
        place.HitCount = 1;
        place.HitAddresses = {QString(), QString()};
        place.HitCoordinates = {QString(), L_POINT::FormatDegrees(point.longitude) + u',' +
                                               L_POINT::FormatDegrees(point.latitude)};
        place.HitLongitudes = {0, point.longitude};
        place.HitLatitudes = {0, point.latitude};
        return true;
    }
    QString sent = address;
    return L_SERVICE::Geocode(provider, place, sent, {}, status, store) && place.HitCount > 0;
}

// The places the geocoder found for an end: -1 where a point was given as such, or where
// the end was not asked because the one before had no place.
qint32 HitsOf(const GeoQuery &place, bool asked) {
    const bool point = place.HitCount == 1 && place.HitAddresses[1].isEmpty();
    return !asked || point ? -1 : place.HitCount;
}

// The ends of the route from the two places: addresses, coordinates and the sphere.
void FillEnds(RouteQuery &query, const GeoQuery &start, const GeoQuery &end) {
    query.StartAddress = start.HitAddresses.value(1);
    query.EndAddress = end.HitAddresses.value(1);
    query.StartLongitude = L_POINT::FormatDegrees(start.HitLongitudes.value(1));
    query.StartLatitude = L_POINT::FormatDegrees(start.HitLatitudes.value(1));
    query.EndLongitude = L_POINT::FormatDegrees(end.HitLongitudes.value(1));
    query.EndLatitude = L_POINT::FormatDegrees(end.HitLatitudes.value(1));
    query.StraightDistance =
        L_GEOGOG::KilometreText(L_GEOGOG::StraightKilometres(query, L_GEODST::MethodSphere));
}

// The one line of a route that was not found: "NoRoute" from an answer that was read,
// "HTTP 400: NoRoute" from an error status, libcurl's text when no answer came.
void TellRoute(const L_INET::Answer &answer, RouteQuery &query, ServiceStatus &status) {
    const bool read = answer.outcome == L_INET::Outcome::Answered;
    QString what = answer.error, message;
    if (read || answer.outcome == L_INET::Outcome::HttpError) { // the router explains its "no"
        ServiceStatus router = status;
        ReadRouteAnswer(answer.body, query, router, message);
        if (read || router.code != Status::InvalidResponse) { // not a proxy's page
            what = read ? L_STATUS::Word(router)
                        : what + QStringLiteral(": ") + L_STATUS::Word(router);
            status = router;
        }
    }
    if (status.code != Status::Ok)
        L_DIAG::FailureLine(QStringLiteral("OSRM"), what, message, query.RequestUrl);
}

// The shortest road where a server of one's own routes by distance
// (GEODATEN_OSRM_SHORTEST_URL): its route's metres, asked after the fastest was found.
void AskShortest(const RouteQuery &query, ServiceStatus &status, const L_FETCH::AnswerStore *store,
                 const L_SERVICE::Service &provider) {
    const QString base = ShortestUrl();
    if (base.isEmpty() || status.code != Status::Ok) return;
    const QString url = RouteRequestUrl(query).replace(0, OsrmUrl().size(), base);
    const L_INET::Answer answer = L_SERVICE::Fetch(provider, url, query.TempFile, store);
    RouteQuery shortest = query;
    shortest.RequestUrl = url;
    ServiceStatus router = L_INET::StatusOf(answer);
    TellRoute(answer, shortest, router);
    L_FETCH::Store(store, answer, url, router);
    status.code = router.code;
    status.word = router.word;
    status.http = router.http;
    status.retryAfterS = router.retryAfterS;
    status.ShortestMetres = router.code == Status::Ok ? router.DrivingMetres : std::nan("");
}

} // namespace

QString OsrmUrl() {
    return L_URLCOD::BaseUrl("GEODATEN_OSRM_URL",
                             QStringLiteral("https://router.project-osrm.org"));
}

QString RouteRequestUrl(const RouteQuery &query) {
    return OsrmUrl() + QStringLiteral("/route/v1/driving/") + query.StartLongitude + u',' +
           query.StartLatitude + u';' + query.EndLongitude + u',' + query.EndLatitude +
           QStringLiteral("?overview=false");
}

void ReadRouteAnswer(const QByteArray &json, RouteQuery &query, ServiceStatus &status,
                     QString &message) {
    QJsonParseError error;
    const QJsonObject answer = QJsonDocument::fromJson(json, &error).object();
    const QString code = answer.value(QStringLiteral("code")).toString();
    message = error.error == QJsonParseError::NoError
                  ? answer.value(QStringLiteral("message")).toString()
                  : error.errorString();
    const ServiceStatus read =
        L_STATUS::FromService(code == QStringLiteral("Ok") ? QStringLiteral("OK") : code);
    status.code = read.code;
    status.word = read.word;
    if (status.code != Status::Ok) return;
    const QJsonArray routes = answer.value(QStringLiteral("routes")).toArray();
    const QJsonObject first = routes.at(0).toObject();
    status.DrivingMetres = first.value(QStringLiteral("distance")).toDouble(std::nan(""));
    status.DrivingSeconds = first.value(QStringLiteral("duration")).toDouble(std::nan(""));
    for (const QJsonValue &route : routes) {
        const double metres = route.toObject().value(QStringLiteral("distance")).toDouble(-1);
        if (!(status.ShortestMetres <= metres)) status.ShortestMetres = metres;
    }
    L_STATUS::CheckRouteNumbers(status);
    if (status.code != Status::Ok) return;
    query.DrivingDistance = L_GEOGOG::KilometreText(status.DrivingMetres / 1000.0);
    query.DrivingTime = L_GEOGOG::DrivingTimeText(status.DrivingSeconds);
}

bool Route(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
           const L_FETCH::AnswerStore *store, bool alternatives,
           const L_SERVICE::Service &provider) {
    query.Origin = origin;
    query.Destination = destination;
    GeoQuery start, end;
    const bool located = Locate(origin, start, status, store, provider) &&
                         Locate(destination, end, status, store, provider);
    const qint32 startHits = HitsOf(start, true), endHits = HitsOf(end, start.HitCount > 0);
    status.StartHits = startHits;
    status.EndHits = endHits;
    if (!located) return false;
    FillEnds(query, start, end);
    query.TempFile = L_GEOGOG::ResponseFilePath();
    query.RequestUrl =
        RouteRequestUrl(query) + (alternatives ? QStringLiteral("&alternatives=3") : QString());
    const L_INET::Answer answer =
        L_SERVICE::Fetch(provider, query.RequestUrl, query.TempFile, store);
    const bool read = answer.outcome == L_INET::Outcome::Answered;
    if (read) query.ResponseText = QString::fromLatin1(answer.body);
    status = L_INET::StatusOf(answer);
    status.StartHits = startHits;
    status.EndHits = endHits;
    TellRoute(answer, query, status);
    // Stored by its own status: a shortest road that fails later costs no second request.
    L_FETCH::Store(store, answer, query.RequestUrl, status);
    if (alternatives) AskShortest(query, status, store, provider);
    return read;
}

QStringList Bases() {
    const QString shortest = ShortestUrl();
    return shortest.isEmpty() ? QStringList{OsrmUrl()} : QStringList{OsrmUrl(), shortest};
}

bool ShortestExact() {
    return !ShortestUrl().isEmpty();
}

} // namespace L_OSRM
