#include "map_service/L_GEOGOG.h"

#include "geo_files/L_GEODST.h"
#include "geo_files/L_TEMPPA.h"
#include "map_service/L_SHELL.h"
#include "map_service/L_TIME.h"
#include "map_service/L_URLCOD.h"
#include "map_service/L_VALUE.h"
#include "xml_text/L_REPLAC.h"
#include "xml_text/L_SPLITL.h"
#include "xml_text/L_UNICOD.h"
#include "xml_text/L_XML.h"

namespace L_GEOGOG {

namespace {

using L_XML::XmlFirst;

QString ApiKey() {
    return qEnvironmentVariable("GEODATEN_API_KEY");
}

const QString DefaultServiceHost = QStringLiteral("maps.google.com");
const QString DefaultRegionalHost = QStringLiteral("maps.google.at");

bool StatusIsOk(const QString &text, const QString &path) {
    bool found = false;
    const QString status = XmlFirst(text, path, &found);
    return found && status.toUpper() == QStringLiteral("OK");
}

template <typename T> void GrowTo(QList<T> &list, qsizetype size) {
    while (list.size() < size) list.append(T());
}

void ReadKmlPlacemarks(GeoQuery &query) {
    QStringList places;
    const int count =
        L_XML::XmlQuery(query.ResponseText, QStringLiteral("kml/Response/Placemark"), places);
    for (int k = 1; k <= count; ++k)
        AddGeoHit(query, XmlFirst(places[k], QStringLiteral("address")),
                  XmlFirst(places[k], QStringLiteral("Point/coordinates")));
}

void ReadXmlResults(GeoQuery &query) {
    if (!StatusIsOk(query.ResponseText, QStringLiteral("GeocodeResponse/status"))) return;
    QStringList results;
    const int count =
        L_XML::XmlQuery(query.ResponseText, QStringLiteral("GeocodeResponse/result"), results);
    for (int k = 1; k <= count; ++k) {
        const QString address = XmlFirst(results[k], QStringLiteral("formatted_address"));
        QString coordinates = XmlFirst(results[k], QStringLiteral("geometry/location/lng"));
        bool hasLatitude = false;
        const QString latitude =
            XmlFirst(results[k], QStringLiteral("geometry/location/lat"), &hasLatitude);
        if (hasLatitude) coordinates += u',' + latitude + QStringLiteral(",0");
        AddGeoHit(query, address, coordinates);
    }
}

// Latitude and longitude of a location element's content.
void ReadLocation(const QString &text, const QString &path, QString &latitude, QString &longitude) {
    bool found = false;
    const QString location = XmlFirst(text, path, &found);
    if (!found) return;
    latitude = XmlFirst(location, QStringLiteral("lat"));
    longitude = XmlFirst(location, QStringLiteral("lng"));
}

} // namespace

QString PrecisionWord(Precision precision) {
    static const char *const words[] = {"",         "house",  "street", "place",
                                        "postcode", "region", "country"};
    return QString::fromLatin1(words[int(precision)]);
}

void ReplaceUmlauts(QString &text) {
    L_REPLAC::ReplaceAll(text, QStringLiteral("ä"), QStringLiteral("ae"), 1);
    L_REPLAC::ReplaceAll(text, QStringLiteral("ö"), QStringLiteral("oe"), 1);
    L_REPLAC::ReplaceAll(text, QStringLiteral("ü"), QStringLiteral("ue"), 1);
    L_REPLAC::ReplaceAll(text, QStringLiteral("ß"), QStringLiteral("ss"), 1);
}

void ReadGeocodeResponse(GeoQuery &query) {
    bool kml = false;
    const QString code =
        XmlFirst(query.ResponseText, QStringLiteral("kml/Response/Status/code"), &kml);
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
    GrowTo(query.HitDetails, hit + 1);
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
    query.StartAddress = XmlFirst(text, leg + QStringLiteral("start_address"));
    query.EndAddress = XmlFirst(text, leg + QStringLiteral("end_address"));
    bool found = false;
    const QString seconds = XmlFirst(text, leg + QStringLiteral("duration/value"), &found);
    if (found) query.DrivingTime = DrivingTimeText(L_VALUE::LeadingNumber(seconds));
    const QString metres = XmlFirst(text, leg + QStringLiteral("distance/value"), &found);
    if (found) query.DrivingDistance = KilometreText(L_VALUE::LeadingNumber(metres) / 1000.0);
    ReadLocation(text, leg + QStringLiteral("start_location"), query.StartLatitude,
                 query.StartLongitude);
    ReadLocation(text, leg + QStringLiteral("end_location"), query.EndLatitude, query.EndLongitude);
    query.StraightDistance = KilometreText(StraightKilometres(query, L_GEODST::MethodSphere));
}

void ShowHitOnMap(double latitude, double longitude) {
    L_SHELL::ShellOpen(0, PointLinkUrl(latitude, longitude), QString(), 1);
}

QString ServiceUrl() {
    return L_URLCOD::BaseUrl("GEODATEN_SERVICE_URL",
                             QStringLiteral("http://") + DefaultServiceHost);
}

QString RegionalUrl() {
    return L_URLCOD::BaseUrl("GEODATEN_MAP_URL", QStringLiteral("http://") + DefaultRegionalHost);
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

QString PointLinkUrl(double latitude, double longitude) {
    QString point = L_VALUE::FormatGeneral(latitude) + u'|' + L_VALUE::FormatGeneral(longitude);
    L_REPLAC::ReplaceAll(point, QStringLiteral(","), QStringLiteral("."), 0);
    L_REPLAC::ReplaceAll(point, QStringLiteral("|"), QStringLiteral(","), 0);
    return ServiceUrl() + QStringLiteral("/maps?q=") + point;
}

QString KilometreText(double kilometres) {
    const QString number = L_VALUE::FormatNumber(kilometres, QStringLiteral("#,###.0"));
    return number.isEmpty() ? QString() : number + QStringLiteral(" km");
}

QString DrivingTimeText(double seconds) {
    const double whole = std::nearbyint(seconds); // halves go to the even neighbour
    if (!(whole >= double(INT32_MIN) && whole <= double(INT32_MAX))) return QString();
    return L_TIME::FormatDuration(qint32(whole), true, 99);
}

double StraightKilometres(const RouteQuery &query, qint32 method) {
    using L_VALUE::ParseDecimal;
    return L_GEODST::GeoDistance(
        ParseDecimal(query.StartLongitude), ParseDecimal(query.StartLatitude),
        ParseDecimal(query.EndLongitude), ParseDecimal(query.EndLatitude), method);
}

QString RequestBase() {
    if (!qEnvironmentVariable("GEODATEN_SERVICE_URL").isEmpty() || ApiKey().isEmpty())
        return ServiceUrl();
    return QStringLiteral("https://") + DefaultServiceHost;
}

QString KeySuffix() {
    const QString key = ApiKey();
    return key.isEmpty() ? QString() : QStringLiteral("&key=") + L_URLCOD::UrlEncode(key, true);
}

} // namespace L_GEOGOG
