#include "map_service/L_GOOGLE.h"

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
    const L_FETCH::AnswerStore *kept;
    L_INET::Answer answer;
};

Asked Asking(const char *service, const char *root, const QString &url, const QString &file,
             const L_FETCH::AnswerStore *kept) {
    return Asked{QString::fromLatin1(service), QString::fromLatin1(root), url, file, kept, {}};
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
    asked.answer = L_FETCH::Fetch(L_INET::Request{asked.url, {}, key}, asked.file, asked.kept);
    if (asked.answer.outcome == L_INET::Outcome::Replaced) {
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
    status.said = read.said;
    L_FETCH::Store(asked.kept, asked.answer, asked.url, status);
    if (status.code != Status::Ok)
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

// The parts of the first result's address components.
void ReadAddressParts(const QString &result, ReverseQuery &query) {
    QStringList components;
    const int count = L_XML::XmlQuery(result, QStringLiteral("address_component"), components);
    for (int k = 1; k <= count; ++k) {
        QStringList types;
        L_XML::XmlQuery(components[k], QStringLiteral("type"), types);
        const QString name =
            L_UNICOD::Utf8ToText(XmlFirst(components[k], QStringLiteral("long_name")));
        QString *part = types.contains(QStringLiteral("street_number")) ? &query.HouseNumber
                        : types.contains(QStringLiteral("route"))       ? &query.Road
                        : types.contains(QStringLiteral("postal_code")) ? &query.Postcode
                        : types.contains(QStringLiteral("locality"))    ? &query.City
                        : types.contains(QStringLiteral("country"))     ? &query.Country
                                                                        : nullptr;
        if (part && part->isEmpty()) *part = L_REPLAC::Clean(name);
    }
}

} // namespace

bool Geocode(GeoQuery &query, QString &address, ServiceStatus &status,
             const L_FETCH::AnswerStore *kept) {
    ReplaceUmlauts(address);
    query.TempFile = ResponseFilePath();
    query.Address = address;
    query.RequestUrl = GeocodeRequestUrl(query.Address);
    Asked asked =
        Asking("Google geocoding", "GeocodeResponse", query.RequestUrl, query.TempFile, kept);
    if (!FetchGoogle(asked, query.ResponseText, status)) return false;
    ReadGeocodeResponse(query);
    Conclude(asked, GeocodeWord(query), status);
    return true;
}

bool Route(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
           const L_FETCH::AnswerStore *kept, bool alternatives) {
    ReplaceUmlauts(origin);
    ReplaceUmlauts(destination);
    query.TempFile = ResponseFilePath();
    query.Origin = origin;
    query.Destination = destination;
    query.RequestUrl = DirectionsRequestUrl(query.Origin, query.Destination);
    Asked asked =
        Asking("Google directions", "DirectionsResponse", query.RequestUrl, query.TempFile, kept);
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

bool Reverse(ReverseQuery &query, ServiceStatus &status, const L_FETCH::AnswerStore *kept) {
    query.TempFile = ResponseFilePath();
    query.RequestUrl = RequestBase() + QStringLiteral("/maps/api/geocode/xml?latlng=") +
                       QString::number(query.Latitude, 'f', 7) + u',' +
                       QString::number(query.Longitude, 'f', 7) + QStringLiteral("&sensor=false") +
                       KeySuffix();
    Asked asked =
        Asking("Google geocoding", "GeocodeResponse", query.RequestUrl, query.TempFile, kept);
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

} // namespace L_GOOGLE
