#include "map_service/L_GOOGLE.h"

#include "geo_files/L_POINT.h"
#include "map_service/L_DIAG.h"
#include "map_service/L_URLCOD.h"
#include "map_service/L_VALUE.h"
#include "xml_text/L_REPLAC.h"
#include "xml_text/L_UNICOD.h"
#include "xml_text/L_XML.h"

#include <QRegularExpression>
#include <QUrl>

namespace L_GOOGLE {

namespace {

using namespace L_GEOGOG;
using L_STATUS::Status;
using L_XML::XmlFirst;

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

// One request of the road: the service's name in the diagnostic lines, the root element of
// its answer, the URL and where the answer goes.
struct Asked {
    QString service, root, url, file;
    const L_FETCH::AnswerStore *store;
    L_INET::Answer answer;
};

Asked Asking(const char *service, const char *root, const QString &url, const QString &file,
             const L_FETCH::AnswerStore *store) {
    return Asked{QString::fromLatin1(service), QString::fromLatin1(root), url, file, store, {}};
}

// The URL as a diagnostic line shows it: without the key.
QString WithoutKey(const QString &url) {
    const QString suffix = KeySuffix();
    return !suffix.isEmpty() && url.contains(suffix) ? QString(url).remove(suffix) : url;
}

// The service's own message in an answer, if it sent one.
QString Message(const QString &response, const QString &root) {
    return L_UNICOD::Utf8ToText(XmlFirst(response, root + QStringLiteral("/error_message")));
}

// The answer of the request (with the key, over a safe way only) as text; false, with the
// status and its one diagnostic line, when there is none to read.
bool FetchGoogle(Asked &asked, QString &responseText, ServiceStatus &status) {
    const bool key = !KeySuffix().isEmpty();
    if (key && !KeyMayGoTo(asked.url)) {
        status.code = Status::Refused;
        L_DIAG::FailureLine(asked.service, QStringLiteral("the key goes over https only"),
                            QStringLiteral("give an https URL in GEODATEN_SERVICE_URL"),
                            WithoutKey(asked.url));
        return false;
    }
    asked.answer = L_FETCH::Fetch(L_INET::Request{asked.url, {}, key}, asked.file, asked.store);
    if (asked.answer.outcome == L_INET::Outcome::Answered) {
        responseText = QString::fromLatin1(asked.answer.body);
        return true;
    }
    status = L_INET::StatusOf(asked.answer);
    L_DIAG::FailureLine(asked.service, asked.answer.error,
                        Message(QString::fromLatin1(asked.answer.body), asked.root),
                        WithoutKey(asked.url));
    return false;
}

// The status of an answer that was read: its status element as the service wrote it,
// INVALID_RESPONSE without one. Anything but OK and ZERO_RESULTS is told in one line; OK
// and ZERO_RESULTS answers are kept.
void Conclude(Asked &asked, const QString &word, ServiceStatus &status) {
    const ServiceStatus read = L_STATUS::FromService(word);
    status.code = read.code;
    status.word = read.word;
    L_FETCH::Store(asked.store, asked.answer, asked.url, status);
    if (status.code != Status::Ok && !asked.answer.stored) // a stored one was told when it came
        L_DIAG::FailureLine(asked.service, L_STATUS::Word(status),
                            Message(QString::fromLatin1(asked.answer.body), asked.root),
                            WithoutKey(asked.url));
}

// A search's word: "OK" with hits, "ZERO_RESULTS" for a successful answer without any, else
// the answer's own status (the legacy form's code included).
QString GeocodeWord(const GeoQuery &query) {
    if (query.HitCount > 0) return QStringLiteral("OK");
    bool kml = false;
    const QString code =
        XmlFirst(query.ResponseText, QStringLiteral("kml/Response/Status/code"), &kml);
    if (kml) return code == QStringLiteral("200") ? QStringLiteral("ZERO_RESULTS") : code;
    const QString word = XmlFirst(query.ResponseText, QStringLiteral("GeocodeResponse/status"));
    return word.trimmed().toUpper() == QStringLiteral("OK") ? QStringLiteral("ZERO_RESULTS") : word;
}

// The route's numbers for the status: the first leg's, and the shortest first leg of all
// routes. A negative or impossible number makes the answer invalid.
void RouteNumbers(const QString &response, ServiceStatus &status) {
    const QString leg = QStringLiteral("DirectionsResponse/route/leg/");
    bool found = false;
    const QString metres = XmlFirst(response, leg + QStringLiteral("distance/value"), &found);
    if (found) status.DrivingMetres = L_VALUE::LeadingNumber(metres);
    const QString seconds = XmlFirst(response, leg + QStringLiteral("duration/value"), &found);
    if (found) status.DrivingSeconds = L_VALUE::LeadingNumber(seconds);
    QStringList routes;
    const int count = L_XML::XmlQuery(response, QStringLiteral("DirectionsResponse/route"), routes);
    for (int k = 1; k <= count; ++k) {
        const double m =
            L_VALUE::LeadingNumber(XmlFirst(routes[k], QStringLiteral("leg/distance/value")));
        if (!(status.ShortestMetres <= m)) status.ShortestMetres = m;
    }
    L_STATUS::CheckRouteNumbers(status);
}

// A result's address components: each one's types and its long and short name.
struct Component {
    QStringList types;
    QString longName, shortName;
};
QList<Component> Components(const QString &result) {
    QStringList found;
    const int count = L_XML::XmlQuery(result, QStringLiteral("address_component"), found);
    QList<Component> components;
    for (int k = 1; k <= count; ++k) {
        Component c;
        L_XML::XmlQuery(found[k], QStringLiteral("type"), c.types);
        const auto name = [&](const char *path) {
            return L_REPLAC::Clean(L_UNICOD::Utf8ToText(XmlFirst(found[k], QLatin1String(path))));
        };
        c.longName = name("long_name");
        c.shortName = name("short_name");
        components.append(c);
    }
    return components;
}

// The first component's long name of the type; empty without one.
QString Named(const QList<Component> &components, const char *type) {
    for (const Component &c : components)
        if (c.types.contains(QLatin1String(type))) return c.longName;
    return QString();
}

// The parts of the first result's address components.
void ReadAddressParts(const QString &result, ReverseQuery &query) {
    const QList<Component> components = Components(result);
    query.HouseNumber = Named(components, "street_number");
    query.Road = Named(components, "route");
    query.Postcode = Named(components, "postal_code");
    query.City = Named(components, "locality");
    query.Country = Named(components, "country");
}

// How precise a result is: an exact or interpolated house; the centre of a street, or of
// a postcode area or a town; a rough place by its type.
L_GEOGOG::Precision ResultPrecision(const QString &result) {
    using L_GEOGOG::Precision;
    QStringList types;
    L_XML::XmlQuery(result, QStringLiteral("type"), types); // the result's own, not a part's
    const QString how = XmlFirst(result, QStringLiteral("geometry/location_type")).toUpper();
    if (how == QStringLiteral("ROOFTOP") || how == QStringLiteral("RANGE_INTERPOLATED"))
        return Precision::House;
    if (types.contains(QStringLiteral("postal_code"))) return Precision::Postcode;
    if (how == QStringLiteral("GEOMETRIC_CENTER"))
        return types.contains(QStringLiteral("route")) ? Precision::Street : Precision::Place;
    if (types.contains(QStringLiteral("country"))) return Precision::Country;
    if (types.contains(QStringLiteral("administrative_area_level_1")) ||
        types.contains(QStringLiteral("administrative_area_level_2")))
        return Precision::Region;
    return how.isEmpty() ? Precision::Unknown : Precision::Place;
}

// The parts of every result that became a hit (one with an address and a latitude, as
// the reader makes hits), in answer order.
void ReadHitParts(GeoQuery &query) {
    QStringList results;
    const int count =
        L_XML::XmlQuery(query.ResponseText, QStringLiteral("GeocodeResponse/result"), results);
    for (int k = 1, hit = 0; k <= count && hit < query.HitCount; ++k) {
        bool located = false;
        XmlFirst(results[k], QStringLiteral("geometry/location/lat"), &located);
        if (!located || XmlFirst(results[k], QStringLiteral("formatted_address")).isEmpty())
            continue;
        const QList<Component> components = Components(results[k]);
        L_GEOGOG::HitParts &parts = query.HitDetails[++hit];
        parts.houseNumber = Named(components, "street_number");
        parts.road = Named(components, "route");
        parts.postcode = Named(components, "postal_code");
        for (const Component &c : components)
            if (c.types.contains(QStringLiteral("country")))
                parts.countryCode = c.shortName.toLower();
        for (const char *town : {"locality", "postal_town", "administrative_area_level_3",
                                 "sublocality", "neighborhood"})
            if (const QString name = Named(components, town); !name.isEmpty())
                parts.places.append(name);
        parts.precision = ResultPrecision(results[k]);
        parts.partial = XmlFirst(results[k], QStringLiteral("partial_match")).trimmed().toLower() ==
                        QStringLiteral("true");
    }
}

} // namespace

bool Geocode(GeoQuery &query, QString &address, const L_GEOGOG::SearchOptions &options,
             ServiceStatus &status, const L_FETCH::AnswerStore *store) {
    ReplaceUmlauts(address);
    query.TempFile = ResponseFilePath();
    query.Address = address;
    query.RequestUrl = GeocodeRequestUrl(query.Address);
    if (!options.countries.isEmpty()) // asked beside the window's request, which stays as it is
        query.RequestUrl.insert(
            query.RequestUrl.size() - KeySuffix().size(),
            QStringLiteral("&components=") +
                L_URLCOD::UrlEncode(QStringLiteral("country:") +
                                        options.countries.join(QStringLiteral("|country:")),
                                    true));
    Asked asked =
        Asking("Google geocoding", "GeocodeResponse", query.RequestUrl, query.TempFile, store);
    if (!FetchGoogle(asked, query.ResponseText, status)) return false;
    ReadGeocodeResponse(query);
    ReadHitParts(query);
    Conclude(asked, GeocodeWord(query), status);
    return true;
}

bool Route(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
           const L_FETCH::AnswerStore *store, bool alternatives) {
    ReplaceUmlauts(origin);
    ReplaceUmlauts(destination);
    query.TempFile = ResponseFilePath();
    query.Origin = origin;
    query.Destination = destination;
    query.RequestUrl = DirectionsRequestUrl(query.Origin, query.Destination);
    Asked asked =
        Asking("Google directions", "DirectionsResponse", query.RequestUrl, query.TempFile, store);
    if (alternatives) // asked beside the window's road, which stays as it is
        asked.url.insert(asked.url.size() - KeySuffix().size(),
                         QStringLiteral("&alternatives=true"));
    if (!FetchGoogle(asked, query.ResponseText, status)) return false;
    ReadRouteResponse(query);
    const QString word = XmlFirst(query.ResponseText, asked.root + QStringLiteral("/status"));
    if (L_STATUS::FromService(word).code == Status::Ok) RouteNumbers(query.ResponseText, status);
    Conclude(asked, status.code == Status::InvalidResponse ? QString() : word, status);
    return true;
}

bool Reverse(ReverseQuery &query, ServiceStatus &status, const L_FETCH::AnswerStore *store) {
    query.TempFile = ResponseFilePath();
    query.RequestUrl = RequestBase() + QStringLiteral("/maps/api/geocode/xml?latlng=") +
                       L_POINT::FormatDegrees(query.Latitude) + u',' +
                       L_POINT::FormatDegrees(query.Longitude) + QStringLiteral("&sensor=false") +
                       KeySuffix();
    Asked asked =
        Asking("Google geocoding", "GeocodeResponse", query.RequestUrl, query.TempFile, store);
    if (!FetchGoogle(asked, query.ResponseText, status)) return false;
    QString word = XmlFirst(query.ResponseText, asked.root + QStringLiteral("/status"));
    const QString result = XmlFirst(query.ResponseText, asked.root + QStringLiteral("/result"));
    if (L_STATUS::FromService(word).code == Status::Ok) {
        query.Address = L_REPLAC::Clean(
            L_UNICOD::Utf8ToText(XmlFirst(result, QStringLiteral("formatted_address"))));
        ReadAddressParts(result, query);
        if (query.Address.isEmpty()) word = QStringLiteral("ZERO_RESULTS");
    }
    Conclude(asked, word, status);
    return true;
}

QString RouteLink(const RouteQuery &query) {
    return RouteLinkUrl(query.Origin, query.Destination);
}

QStringList Bases() {
    return {RequestBase()};
}

bool Configured() {
    return !qEnvironmentVariable("GEODATEN_API_KEY").isEmpty() ||
           !qEnvironmentVariable("GEODATEN_SERVICE_URL").isEmpty();
}

const L_SERVICE::Service Entry{
    L_SERVICE::Provider::Google,
    "google",
    "Google",
    "Doppelclick zum Öffnen in Google-Maps",
    &Configured,
    false, // its terms do not let answers be kept
    false,
    true,
    nullptr, // the shortest of its alternatives
    &Geocode,
    &Route,
    &Reverse,
    &L_GEOGOG::PointLinkUrl,
    &RouteLink,
    &Bases,
    nullptr,
    "  GEODATEN_API_KEY         der eigene Schlüssel des kommerziellen Kartendienstes\n"
    "  GEODATEN_SERVICE_URL, GEODATEN_MAP_URL   Basis seiner Anfragen und Links\n",
};

} // namespace L_GOOGLE
