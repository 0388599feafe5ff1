#include "map_service/L_GEOGOG.h"

#include "geo_files/L_GEODST.h"
#include "geo_files/L_TEMPPA.h"
#include "map_service/L_INET.h"
#include "map_service/L_SHELL.h"
#include "map_service/L_TIME.h"
#include "map_service/L_URLCOD.h"
#include "map_service/L_VALUE.h"
#include "xml_text/L_REPLAC.h"
#include "xml_text/L_SPLITL.h"
#include "xml_text/L_UNICOD.h"
#include "xml_text/L_XML.h"

#include <cmath>

namespace L_GEOGOG {

namespace {

const QString DefaultServiceHost = QStringLiteral("maps.google.com");
const QString DefaultRegionalHost = QStringLiteral("maps.google.at");

// The first match of the path, or empty; `found` tells whether there was one.
QString First(const QString &text, const QString &path, bool *found = nullptr) {
    QStringList entries;
    const bool any = L_XML::XmlQuery(text, path, entries) >= 1;
    if (found) *found = any;
    return any ? entries[1] : QString();
}

bool StatusIsOk(const QString &text, const QString &path) {
    bool found = false;
    const QString status = First(text, path, &found);
    return found && status.toUpper() == QStringLiteral("OK");
}

QString BaseFromEnvironment(const char *variable, const QString &fallback) {
    QString base = qEnvironmentVariable(variable);
    if (base.isEmpty()) return fallback;
    while (base.endsWith(u'/')) base.chop(1);
    return base;
}

QString ApiKey() {
    return qEnvironmentVariable("GEODATEN_API_KEY");
}

// Requests go over https with the user's own key (the public service refuses keyless
// ones); a test service given in the environment is used as it is.
QString RequestBase() {
    if (!qEnvironmentVariable("GEODATEN_SERVICE_URL").isEmpty() || ApiKey().isEmpty())
        return ServiceUrl();
    return QStringLiteral("https://") + DefaultServiceHost;
}

QString KeySuffix() {
    const QString key = ApiKey();
    return key.isEmpty() ? QString() : QStringLiteral("&key=") + L_URLCOD::UrlEncode(key, true);
}

QString Kilometres(double km) {
    return L_VALUE::FormatNumber(km, QStringLiteral("#,###.0")) + QStringLiteral(" km");
}

template <typename T> void GrowTo(QList<T> &list, qsizetype size) {
    while (list.size() < size) list.append(T());
}

void ReadKmlPlacemarks(GeoQuery &query) {
    QStringList places;
    const int count =
        L_XML::XmlQuery(query.ResponseText, QStringLiteral("kml/Response/Placemark"), places);
    for (int k = 1; k <= count; ++k)
        AddGeoHit(query, First(places[k], QStringLiteral("address")),
                  First(places[k], QStringLiteral("Point/coordinates")));
}

void ReadXmlResults(GeoQuery &query) {
    if (!StatusIsOk(query.ResponseText, QStringLiteral("GeocodeResponse/status"))) return;
    QStringList results;
    const int count =
        L_XML::XmlQuery(query.ResponseText, QStringLiteral("GeocodeResponse/result"), results);
    for (int k = 1; k <= count; ++k) {
        const QString address = First(results[k], QStringLiteral("formatted_address"));
        QString coordinates = First(results[k], QStringLiteral("geometry/location/lng"));
        bool hasLatitude = false;
        const QString latitude =
            First(results[k], QStringLiteral("geometry/location/lat"), &hasLatitude);
        if (hasLatitude) coordinates += u',' + latitude + QStringLiteral(",0");
        AddGeoHit(query, address, coordinates);
    }
}

// Latitude and longitude of a location element's content.
void ReadLocation(const QString &text, const QString &path, QString &latitude, QString &longitude) {
    bool found = false;
    const QString location = First(text, path, &found);
    if (!found) return;
    latitude = First(location, QStringLiteral("lat"));
    longitude = First(location, QStringLiteral("lng"));
}

} // namespace

void ReplaceUmlauts(QString &text) {
    L_REPLAC::ReplaceAll(text, QStringLiteral("ä"), QStringLiteral("ae"), 1);
    L_REPLAC::ReplaceAll(text, QStringLiteral("ö"), QStringLiteral("oe"), 1);
    L_REPLAC::ReplaceAll(text, QStringLiteral("ü"), QStringLiteral("ue"), 1);
    L_REPLAC::ReplaceAll(text, QStringLiteral("ß"), QStringLiteral("ss"), 1);
}

void ReadGeocodeResponse(GeoQuery &query) {
    bool kml = false;
    const QString code =
        First(query.ResponseText, QStringLiteral("kml/Response/Status/code"), &kml);
    if (kml && code == QStringLiteral("200"))
        ReadKmlPlacemarks(query);
    else
        ReadXmlResults(query);
}

bool AddGeoHit(GeoQuery &query, const QString &address, const QString &coordinates) {
    if (address.isEmpty() || coordinates.isEmpty()) return false;
    QStringList pieces;
    if (L_SPLITL::SplitList(coordinates, pieces, QStringLiteral(","), 1, true, false) < 2)
        return false;
    const qint32 hit = ++query.HitCount;
    GrowTo(query.HitAddresses, hit + 1);
    GrowTo(query.HitCoordinates, hit + 1);
    GrowTo(query.HitLongitudes, hit + 1);
    GrowTo(query.HitLatitudes, hit + 1);
    query.HitAddresses[hit] = L_UNICOD::Utf8ToText(address);
    query.HitCoordinates[hit] = coordinates;
    query.HitLongitudes[hit] = L_VALUE::LeadingNumber(pieces[1]);
    query.HitLatitudes[hit] = L_VALUE::LeadingNumber(pieces[2]);
    return true;
}

void ReadRouteResponse(RouteQuery &query) {
    const QString &text = query.ResponseText;
    if (!StatusIsOk(text, QStringLiteral("DirectionsResponse/status"))) return;
    const QString leg = QStringLiteral("DirectionsResponse/route/leg/");
    query.StartAddress = First(text, leg + QStringLiteral("start_address"));
    query.EndAddress = First(text, leg + QStringLiteral("end_address"));
    bool found = false;
    const QString seconds = First(text, leg + QStringLiteral("duration/value"), &found);
    if (found) {
        // Halves go to the even neighbour; the clamp keeps absurd answers in range.
        const double whole = std::nearbyint(L_VALUE::LeadingNumber(seconds));
        const double clamped = qBound(double(INT32_MIN), whole, double(INT32_MAX));
        query.DrivingTime =
            L_TIME::FormatDuration(qint32(std::isnan(clamped) ? 0 : clamped), true, 99);
    }
    const QString metres = First(text, leg + QStringLiteral("distance/value"), &found);
    if (found) query.DrivingDistance = Kilometres(L_VALUE::LeadingNumber(metres) / 1000.0);
    ReadLocation(text, leg + QStringLiteral("start_location"), query.StartLatitude,
                 query.StartLongitude);
    ReadLocation(text, leg + QStringLiteral("end_location"), query.EndLatitude, query.EndLongitude);
    using L_VALUE::ParseDecimal;
    query.StraightDistance = Kilometres(L_GEODST::GeoDistance(
        ParseDecimal(query.StartLongitude), ParseDecimal(query.StartLatitude),
        ParseDecimal(query.EndLongitude), ParseDecimal(query.EndLatitude), 0));
}

void ShowHitOnMap(double latitude, double longitude) {
    QString point = L_VALUE::FormatGeneral(latitude) + u'|' + L_VALUE::FormatGeneral(longitude);
    L_REPLAC::ReplaceAll(point, QStringLiteral(","), QStringLiteral("."), 0);
    L_REPLAC::ReplaceAll(point, QStringLiteral("|"), QStringLiteral(","), 0);
    L_SHELL::ShellOpen(0, ServiceUrl() + QStringLiteral("/maps?q=") + point, QString(), 1);
}

QString ServiceUrl() {
    return BaseFromEnvironment("GEODATEN_SERVICE_URL",
                               QStringLiteral("http://") + DefaultServiceHost);
}

QString RegionalUrl() {
    return BaseFromEnvironment("GEODATEN_MAP_URL", QStringLiteral("http://") + DefaultRegionalHost);
}

QString ResponseFilePath() {
    return L_TEMPPA::GetTempFolder() + QLatin1String(ResponseFileName);
}

QString GeocodeRequestUrl(const QString &address) {
    return RequestBase() + QStringLiteral("/maps/api/geocode/xml?address=") +
           L_URLCOD::UrlEncode(address, true) + QStringLiteral("&sensor=false") + KeySuffix();
}

QString DirectionsRequestUrl(const QString &origin, const QString &destination) {
    return RequestBase() + QStringLiteral("/maps/api/directions/xml?origin=") +
           L_URLCOD::UrlEncode(origin, true) + QStringLiteral("&destination=") +
           L_URLCOD::UrlEncode(destination, true) +
           QStringLiteral("&optimize:false&sensor=false&region=at") + KeySuffix();
}

QString RouteLinkUrl(const QString &origin, const QString &destination) {
    return RegionalUrl() + QStringLiteral("/maps?saddr=") + L_URLCOD::UrlEncode(origin, true) +
           QStringLiteral("&daddr=") + L_URLCOD::UrlEncode(destination, true);
}

bool FetchResponse(const QString &url, const QString &tempFile, QString &responseText) {
    if (!L_INET::DownloadToFile(url, tempFile)) return false;
    L_TEMPPA::ReadFileText(tempFile, responseText);
    return true;
}

} // namespace L_GEOGOG
