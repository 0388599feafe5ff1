#include "map_service/L_GEOGOG.h"

#include "geo_files/L_GEODST.h"
#include "geo_files/L_TEMPPA.h"
#include "map_service/L_GEOOSM.h"
#include "map_service/L_INET.h"
#include "map_service/L_SHELL.h"
#include "map_service/L_TIME.h"
#include "map_service/L_URLCOD.h"
#include "map_service/L_VALUE.h"
#include "xml_text/L_REPLAC.h"
#include "xml_text/L_SPLITL.h"
#include "xml_text/L_UNICOD.h"
#include "xml_text/L_XML.h"

#include <QRegularExpression>
#include <QUrl>

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

// The key goes out over https only, or to this machine itself (127.0.0.0/8, ::1,
// localhost), where tests run. A URL without a scheme would go over plain http.
bool KeyMayGoTo(const QString &url) {
    const QUrl parsed(url);
    if (parsed.scheme() == QStringLiteral("https")) return true;
    static const QRegularExpression loopback(
        QStringLiteral("^(localhost|::1|127\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3})$"),
        QRegularExpression::CaseInsensitiveOption);
    return parsed.scheme() == QStringLiteral("http") && loopback.match(parsed.host()).hasMatch();
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

// The status element of an answer of the commercial service ("INVALID_RESPONSE" when there
// is none), and its own message when it sends one.
QString StatusWord(const QString &response, const QString &root, QString &message) {
    message = L_UNICOD::Utf8ToText(First(response, root + QStringLiteral("/error_message")));
    bool found = false;
    const QString status = First(response, root + QStringLiteral("/status"), &found).trimmed();
    return found && !status.isEmpty() ? status : QStringLiteral("INVALID_RESPONSE");
}

// A search's word: "OK" with hits, "ZERO_RESULTS" for a successful answer without any, else
// the answer's own status (the legacy form's code included).
QString GeocodeWord(const GeoQuery &query, QString &message) {
    if (query.HitCount > 0) return QStringLiteral("OK");
    bool kml = false;
    const QString code =
        First(query.ResponseText, QStringLiteral("kml/Response/Status/code"), &kml);
    if (kml) return code == QStringLiteral("200") ? QStringLiteral("ZERO_RESULTS") : code;
    const QString word = StatusWord(query.ResponseText, QStringLiteral("GeocodeResponse"), message);
    return word.toUpper() == QStringLiteral("OK") ? QStringLiteral("ZERO_RESULTS") : word;
}

// The URL as a diagnostic line shows it: without the key.
QString WithoutKey(const QString &url) {
    return url.left(url.size() - KeySuffix().size());
}

// Download, then read the file: the request (with the key, if any, over a safe way only)
// into the response file, and the bytes that the download wrote into responseText. A
// failure sets the status word and writes its one diagnostic line.
bool FetchGoogle(const QString &service, const QString &root, const QString &url,
                 const QString &file, QString &responseText, ServiceStatus &status) {
    const bool key = !KeySuffix().isEmpty();
    const QString shown = WithoutKey(url);
    if (key && !KeyMayGoTo(url)) {
        status.Word = QStringLiteral("REFUSED");
        L_INET::Tell(service, QStringLiteral("the key goes over https only"),
                     QStringLiteral("give an https URL in GEODATEN_SERVICE_URL"), shown);
        return false;
    }
    const L_INET::Answer answer = L_INET::Download(L_INET::Request{url, {}, key}, file);
    if (answer.outcome == L_INET::Outcome::Replaced) {
        responseText = QString::fromLatin1(answer.body);
        return true;
    }
    QString message;
    StatusWord(QString::fromLatin1(answer.body), root, message);
    status.Word = L_INET::OutcomeWord(answer);
    L_INET::Tell(service, answer.error, message, shown);
    return false;
}

// The one line of an answer that was read but holds nothing, without the key.
void TellEmpty(const QString &service, const ServiceStatus &status, const QString &message,
               const QString &url) {
    L_INET::Tell(service, status.Word, message, WithoutKey(url));
}

bool GoogleGeocode(GeoQuery &query, QString &address, ServiceStatus &status) {
    ReplaceUmlauts(address);
    query.TempFile = ResponseFilePath();
    query.Address = address;
    query.RequestUrl = GeocodeRequestUrl(query.Address);
    const QString service = QStringLiteral("Google geocoding");
    if (!FetchGoogle(service, QStringLiteral("GeocodeResponse"), query.RequestUrl, query.TempFile,
                     query.ResponseText, status))
        return false;
    ReadGeocodeResponse(query);
    QString message;
    status.Word = GeocodeWord(query, message);
    if (query.HitCount == 0) TellEmpty(service, status, message, query.RequestUrl);
    return true;
}

bool GoogleRoute(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status) {
    ReplaceUmlauts(origin);
    ReplaceUmlauts(destination);
    query.TempFile = ResponseFilePath();
    query.Origin = origin;
    query.Destination = destination;
    query.RequestUrl = DirectionsRequestUrl(query.Origin, query.Destination);
    const QString service = QStringLiteral("Google directions"),
                  root = QStringLiteral("DirectionsResponse");
    if (!FetchGoogle(service, root, query.RequestUrl, query.TempFile, query.ResponseText, status))
        return false;
    ReadRouteResponse(query);
    QString message;
    status.Word = StatusWord(query.ResponseText, root, message);
    if (status.Word.toUpper() != QStringLiteral("OK")) {
        TellEmpty(service, status, message, query.RequestUrl);
        return true;
    }
    status.Word = QStringLiteral("OK");
    const QString leg = root + QStringLiteral("/route/leg/");
    bool found = false;
    const QString metres =
        First(query.ResponseText, leg + QStringLiteral("distance/value"), &found);
    if (found) status.DrivingMetres = L_VALUE::LeadingNumber(metres);
    const QString seconds =
        First(query.ResponseText, leg + QStringLiteral("duration/value"), &found);
    if (found) status.DrivingSeconds = L_VALUE::LeadingNumber(seconds);
    return true;
}

} // namespace

Provider ActiveProvider() {
    const QString chosen = qEnvironmentVariable("GEODATEN_PROVIDER").trimmed().toLower();
    if (chosen == QStringLiteral("google")) return Provider::Google;
    if (chosen == QStringLiteral("osm")) return Provider::Osm;
    static QString warned; // one warning per value, not one per search
    if (!chosen.isEmpty() && chosen != warned) {
        warned = chosen;
        qWarning().noquote() << QStringLiteral("GEODATEN_PROVIDER=%1 is neither \"google\" nor "
                                               "\"osm\"; choosing as if it were unset")
                                    .arg(qEnvironmentVariable("GEODATEN_PROVIDER"));
    }
    const bool configured =
        !ApiKey().isEmpty() || !qEnvironmentVariable("GEODATEN_SERVICE_URL").isEmpty();
    return configured ? Provider::Google : Provider::Osm;
}

bool QueryGeocode(GeoQuery &query, QString &address) {
    ServiceStatus status;
    return QueryGeocode(query, address, status);
}

bool QueryGeocode(GeoQuery &query, QString &address, ServiceStatus &status) {
    if (ActiveProvider() == Provider::Osm) return L_GEOOSM::Geocode(query, address, status);
    return GoogleGeocode(query, address, status);
}

bool QueryRoute(RouteQuery &query, QString &origin, QString &destination) {
    ServiceStatus status;
    return QueryRoute(query, origin, destination, status, nullptr);
}

bool QueryRoute(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
                const GeocodeMemo *memo) {
    if (ActiveProvider() == Provider::Osm)
        return L_GEOOSM::Route(query, origin, destination, status, memo);
    return GoogleRoute(query, origin, destination, status);
}

QString QueryRouteLink(const RouteQuery &query) {
    if (ActiveProvider() == Provider::Osm) return L_GEOOSM::RouteLink(query);
    return RouteLinkUrl(query.Origin, query.Destination);
}

void ShowHitOnMap(double latitude, double longitude) {
    if (ActiveProvider() == Provider::Osm) {
        L_SHELL::ShellOpen(0, L_GEOOSM::PointLink(latitude, longitude), QString(), 1);
        return;
    }
    QString point = L_VALUE::FormatGeneral(latitude) + u'|' + L_VALUE::FormatGeneral(longitude);
    L_REPLAC::ReplaceAll(point, QStringLiteral(","), QStringLiteral("."), 0);
    L_REPLAC::ReplaceAll(point, QStringLiteral("|"), QStringLiteral(","), 0);
    L_SHELL::ShellOpen(0, ServiceUrl() + QStringLiteral("/maps?q=") + point, QString(), 1);
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
    if (found) query.DrivingTime = DrivingTimeText(L_VALUE::LeadingNumber(seconds));
    const QString metres = First(text, leg + QStringLiteral("distance/value"), &found);
    if (found) query.DrivingDistance = KilometreText(L_VALUE::LeadingNumber(metres) / 1000.0);
    ReadLocation(text, leg + QStringLiteral("start_location"), query.StartLatitude,
                 query.StartLongitude);
    ReadLocation(text, leg + QStringLiteral("end_location"), query.EndLatitude, query.EndLongitude);
    using L_VALUE::ParseDecimal;
    query.StraightDistance = KilometreText(L_GEODST::GeoDistance(
        ParseDecimal(query.StartLongitude), ParseDecimal(query.StartLatitude),
        ParseDecimal(query.EndLongitude), ParseDecimal(query.EndLatitude), 0));
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

QString KilometreText(double kilometres) {
    const QString number = L_VALUE::FormatNumber(kilometres, QStringLiteral("#,###.0"));
    return number.isEmpty() ? QString() : number + QStringLiteral(" km");
}

QString DrivingTimeText(double seconds) {
    const double whole = std::nearbyint(seconds); // halves go to the even neighbour
    if (!(whole >= double(INT32_MIN) && whole <= double(INT32_MAX))) return QString();
    return L_TIME::FormatDuration(qint32(whole), true, 99);
}

} // namespace L_GEOGOG
