#include "map_service/L_GEOOSM.h"

#include "geo_files/L_GEODST.h"
#include "map_service/L_URLCOD.h"
#include "map_service/L_VALUE.h"
#include "xml_text/L_SPLITL.h"
#include "xml_text/L_UNICOD.h"
#include "xml_text/L_XML.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <chrono>
#include <mutex>
#include <thread>

namespace L_GEOOSM {

namespace {

using Clock = std::chrono::steady_clock;

QString Base(const char *variable, const char *fallback) {
    QString base = qEnvironmentVariable(variable);
    if (base.isEmpty()) base = QString::fromLatin1(fallback);
    while (base.endsWith(u'/')) base.chop(1);
    return base;
}

QString First(const QString &text, const QString &path) {
    QStringList entries;
    return L_XML::XmlQuery(text, path, entries) >= 1 ? entries[1] : QString();
}

// The usage policy of both services: a request waits out the rest of the pause since the
// previous request of this process to the same host.
void WaitForTurn(const QString &url) {
    static std::mutex mutex;
    static QHash<QString, Clock::time_point> previous;
    const QString host = QUrl(url).adjusted(QUrl::RemovePath | QUrl::RemoveQuery).toString();
    const std::lock_guard<std::mutex> lock(mutex);
    const auto last = previous.constFind(host);
    if (last != previous.constEnd())
        std::this_thread::sleep_until(*last + std::chrono::milliseconds(PaceMs()));
    previous.insert(host, Clock::now());
}

// A request to one of the open services, in its turn, with the program's name.
L_INET::Answer Ask(const QString &url, const QString &file) {
    WaitForTurn(url);
    return L_INET::Download(L_INET::Request{url, UserAgent(), false}, file);
}

// The five entities of XML and numeric character references, in a byte text of UTF-8: the
// geocoder escapes "&", quotes and apostrophes in its names.
QString DecodeEntities(const QString &byteText) {
    static const QHash<QString, QString> named{{QStringLiteral("amp"), QStringLiteral("&")},
                                               {QStringLiteral("lt"), QStringLiteral("<")},
                                               {QStringLiteral("gt"), QStringLiteral(">")},
                                               {QStringLiteral("quot"), QStringLiteral("\"")},
                                               {QStringLiteral("apos"), QStringLiteral("'")}};
    QString out;
    for (qsizetype k = 0; k < byteText.size(); ++k) {
        const qsizetype end = byteText[k] == u'&' ? byteText.indexOf(u';', k) : -1;
        if (end < 0 || end - k > 10) {
            out += byteText[k];
            continue;
        }
        const QString name = byteText.mid(k + 1, end - k - 1);
        bool number = false;
        const uint code = name.startsWith(u'#') ? (name.startsWith(QStringLiteral("#x"))
                                                       ? name.mid(2).toUInt(&number, 16)
                                                       : name.mid(1).toUInt(&number, 10))
                                                : 0;
        const QString character = number ? L_UNICOD::TextToUtf8(QString::fromUcs4(
                                               reinterpret_cast<const char32_t *>(&code), 1))
                                         : named.value(name);
        out += character.isEmpty() ? byteText.mid(k, end - k + 1) : character;
        k = end;
    }
    return out;
}

// The geocoding answer of an address: remembered in the run's memo, or asked for. False
// (with the status and its one line) when the address has no place.
bool Locate(const QString &address, GeoQuery &place, ServiceStatus &status,
            const GeocodeMemo *memo) {
    if (const GeoQuery *known = memo && memo->recall ? memo->recall(address) : nullptr) {
        place = *known;
        status.Word = place.HitCount > 0 ? QStringLiteral("OK") : QStringLiteral("ZERO_RESULTS");
        return place.HitCount > 0;
    }
    QString sent = address;
    if (!Geocode(place, sent, status)) return false;
    if (memo && memo->remember) memo->remember(address, place);
    return place.HitCount > 0;
}

// Longitude and latitude texts of a hit's coordinates, as the geocoder wrote them.
void Coordinates(const GeoQuery &place, QString &longitude, QString &latitude) {
    QStringList pieces;
    L_SPLITL::SplitList(place.HitCoordinates.value(1), pieces, QStringLiteral(","), 0, true, false);
    longitude = pieces.value(1);
    latitude = pieces.value(2);
}

// The ends of the route from the two places: addresses, coordinates and the sphere.
void FillEnds(RouteQuery &query, const GeoQuery &start, const GeoQuery &end) {
    query.StartAddress = start.HitAddresses.value(1);
    query.EndAddress = end.HitAddresses.value(1);
    Coordinates(start, query.StartLongitude, query.StartLatitude);
    Coordinates(end, query.EndLongitude, query.EndLatitude);
    using L_VALUE::ParseDecimal;
    query.StraightDistance = L_GEOGOG::KilometreText(L_GEODST::GeoDistance(
        ParseDecimal(query.StartLongitude), ParseDecimal(query.StartLatitude),
        ParseDecimal(query.EndLongitude), ParseDecimal(query.EndLatitude), 0));
}

} // namespace

QString NominatimUrl() {
    return Base("GEODATEN_NOMINATIM_URL", "https://nominatim.openstreetmap.org");
}

QString OsrmUrl() {
    return Base("GEODATEN_OSRM_URL", "https://router.project-osrm.org");
}

QString OsmUrl() {
    return Base("GEODATEN_OSM_URL", "https://www.openstreetmap.org");
}

QByteArray UserAgent() {
    return QByteArrayLiteral("geodaten/" GEODATEN_VERSION);
}

qint64 PaceMs() {
    bool ok = false;
    const qint64 wanted = qEnvironmentVariable("GEODATEN_PACE_MS").toLongLong(&ok);
    return ok && wanted >= 0 && wanted <= 60'000 ? wanted : 1000;
}

QString SearchRequestUrl(const QString &address) {
    return NominatimUrl() + QStringLiteral("/search?q=") + L_URLCOD::UrlEncode(address, true) +
           QStringLiteral("&format=xml&limit=50&accept-language=de");
}

QString RouteRequestUrl(const QString &startLon, const QString &startLat, const QString &endLon,
                        const QString &endLat) {
    return OsrmUrl() + QStringLiteral("/route/v1/driving/") + startLon + u',' + startLat + u';' +
           endLon + u',' + endLat + QStringLiteral("?overview=false");
}

void ReadSearchResponse(GeoQuery &query) {
    QStringList places;
    const int count =
        L_XML::XmlQuery(query.ResponseText, QStringLiteral("searchresults/place"), places);
    for (int k = 1; k <= count; ++k) {
        const QString &place = places[k];
        L_GEOGOG::AddGeoHit(query, DecodeEntities(First(place, QStringLiteral("display_name"))),
                            First(place, QStringLiteral("lon")) + u',' +
                                First(place, QStringLiteral("lat")) + QStringLiteral(",0"));
    }
}

void ReadRouteAnswer(const QByteArray &json, RouteQuery &query, ServiceStatus &status,
                     QString &message) {
    QJsonParseError error;
    const QJsonObject answer = QJsonDocument::fromJson(json, &error).object();
    const QString code = answer.value(QStringLiteral("code")).toString();
    message = error.error == QJsonParseError::NoError
                  ? answer.value(QStringLiteral("message")).toString()
                  : error.errorString();
    if (code != QStringLiteral("Ok")) {
        status.Word = code.isEmpty() ? QStringLiteral("INVALID_RESPONSE") : code;
        return;
    }
    const QJsonObject route = answer.value(QStringLiteral("routes")).toArray().at(0).toObject();
    status.Word = QStringLiteral("OK");
    status.DrivingMetres = route.value(QStringLiteral("distance")).toDouble(std::nan(""));
    status.DrivingSeconds = route.value(QStringLiteral("duration")).toDouble(std::nan(""));
    query.DrivingDistance = L_GEOGOG::KilometreText(status.DrivingMetres / 1000.0);
    query.DrivingTime = L_GEOGOG::DrivingTimeText(status.DrivingSeconds);
}

bool Geocode(GeoQuery &query, QString &address, ServiceStatus &status) {
    query.TempFile = L_GEOGOG::ResponseFilePath();
    query.Address = address; // as typed: the geocoder matches UTF-8 text, umlauts included
    query.RequestUrl = SearchRequestUrl(query.Address);
    const QString service = QStringLiteral("Nominatim");
    const L_INET::Answer answer = Ask(query.RequestUrl, query.TempFile);
    const QString message =
        First(QString::fromLatin1(answer.body), QStringLiteral("error/message"));
    if (answer.outcome != L_INET::Outcome::Replaced) {
        status.Word = L_INET::OutcomeWord(answer);
        L_INET::Tell(service, answer.error, L_UNICOD::Utf8ToText(message), query.RequestUrl);
        return false;
    }
    query.ResponseText = QString::fromLatin1(answer.body); // the bytes of the file it wrote
    ReadSearchResponse(query);
    status.Word = query.HitCount > 0 ? QStringLiteral("OK") : QStringLiteral("ZERO_RESULTS");
    if (query.HitCount == 0)
        L_INET::Tell(service, status.Word, L_UNICOD::Utf8ToText(message), query.RequestUrl);
    return true;
}

bool Route(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
           const GeocodeMemo *memo) {
    query.Origin = origin;
    query.Destination = destination;
    GeoQuery start, end;
    if (!Locate(origin, start, status, memo) || !Locate(destination, end, status, memo))
        return false;
    FillEnds(query, start, end);
    query.TempFile = L_GEOGOG::ResponseFilePath();
    query.RequestUrl = RouteRequestUrl(query.StartLongitude, query.StartLatitude,
                                       query.EndLongitude, query.EndLatitude);
    const L_INET::Answer answer = Ask(query.RequestUrl, query.TempFile);
    const bool read = answer.outcome == L_INET::Outcome::Replaced;
    if (read) query.ResponseText = QString::fromLatin1(answer.body);
    status.Word = L_INET::OutcomeWord(answer);
    QString what = answer.error, message;                       // "HTTP 400", or libcurl's text
    if (read || answer.outcome == L_INET::Outcome::HttpError) { // the router explains its "no"
        ServiceStatus said = status;
        ReadRouteAnswer(answer.body, query, said, message);
        if (read || said.Word != QStringLiteral("INVALID_RESPONSE")) { // not a proxy's page
            // "NoRoute" from an answer read, "HTTP 400: NoRoute" from an error status
            what = read ? said.Word : what + QStringLiteral(": ") + said.Word;
            status = said;
        }
    }
    if (status.Word != QStringLiteral("OK"))
        L_INET::Tell(QStringLiteral("OSRM"), what, message, query.RequestUrl);
    return read;
}

QString PointLink(double latitude, double longitude) {
    const QString lat = L_VALUE::FormatServiceNumber(latitude);
    const QString lon = L_VALUE::FormatServiceNumber(longitude);
    return OsmUrl() + QStringLiteral("/?mlat=") + lat + QStringLiteral("&mlon=") + lon +
           QStringLiteral("#map=17/") + lat + u'/' + lon;
}

QString RouteLink(const RouteQuery &query) {
    const QString directions = OsmUrl() + QStringLiteral("/directions?engine=fossgis_osrm_car");
    if (query.StartLatitude.isEmpty() || query.StartLongitude.isEmpty() ||
        query.EndLatitude.isEmpty() || query.EndLongitude.isEmpty())
        return directions + QStringLiteral("&from=") + L_URLCOD::UrlEncode(query.Origin, true) +
               QStringLiteral("&to=") + L_URLCOD::UrlEncode(query.Destination, true);
    return directions + QStringLiteral("&route=") + query.StartLatitude + u',' +
           query.StartLongitude + u';' + query.EndLatitude + u',' + query.EndLongitude;
}

} // namespace L_GEOOSM
