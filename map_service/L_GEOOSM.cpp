#include "map_service/L_GEOOSM.h"

#include "geo_files/L_GEODST.h"
#include "geo_files/L_POINT.h"
#include "map_service/L_DIAG.h"
#include "map_service/L_URLCOD.h"
#include "map_service/L_VALUE.h"
#include "xml_text/L_REPLAC.h"
#include "xml_text/L_UNICOD.h"
#include "xml_text/L_XML.h"
#include "xml_text/L_XTEXT.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace L_GEOOSM {

namespace {

using L_STATUS::Status;
using L_XML::XmlFirst;

// A coordinate that is wholly a finite number within `limit` degrees, written again from
// the number (with the decimals the geocoder gave): its text never goes further.
bool ReadDegrees(const QString &text, double limit, QString &degrees) {
    double value = 0;
    const bool read = L_VALUE::ReadDegrees(text, limit, value);
    degrees = L_VALUE::FormatLike(value, text.trimmed());
    return read;
}

// A name of the geocoder's as text: UTF-8 decoded, entities decoded, controls removed.
QString NameText(const QString &byteText) {
    return L_REPLAC::Clean(L_UNICOD::Utf8ToText(L_UNICOD::DecodeEntities(byteText)));
}

// A request in its turn, with the program's name; the answer's text when it was read,
// else the status and its one diagnostic line.
L_INET::Answer Ask(const QString &service, const QString &url, const QString &file,
                   const L_FETCH::AnswerStore *store, ServiceStatus &status) {
    const L_INET::Answer answer = L_SERVICE::Fetch(Entry, url, file, store);
    if (answer.outcome != L_INET::Outcome::Answered) {
        status = L_INET::StatusOf(answer);
        const QString message = XmlFirst(QString::fromLatin1(answer.body), "error/message");
        L_DIAG::FailureLine(service, answer.error, L_UNICOD::Utf8ToText(message), url);
    }
    return answer;
}

// How precise a place is: postcode areas by their type, the rest by their address rank
// (30 a house or object, 26-27 a street, 13-25 a town or a part of it, 5-12 a region, 4 a
// country); an object without a house number locates its street only.
L_GEOGOG::Precision PlacePrecision(const QString &place, bool houseNumber) {
    using L_GEOGOG::Precision;
    const QString type = XmlFirst(place, QStringLiteral("type"));
    if (type == QStringLiteral("postcode") || type == QStringLiteral("postal_code"))
        return Precision::Postcode;
    bool ranked = false;
    const int rank = XmlFirst(place, QStringLiteral("address_rank")).toInt(&ranked);
    if (!ranked) return Precision::Unknown;
    if (rank >= 28) return houseNumber ? Precision::House : Precision::Street;
    return rank >= 26   ? Precision::Street
           : rank >= 13 ? Precision::Place
           : rank >= 5  ? Precision::Region
                        : Precision::Country;
}

// The address parts of a search's place (its child elements with addressdetails=1).
L_GEOGOG::HitParts PlaceParts(const QString &place) {
    L_GEOGOG::HitParts parts;
    const auto part = [&](const char *name) {
        return NameText(XmlFirst(place, QLatin1String(name)));
    };
    parts.houseNumber = part("house_number");
    parts.road = part("road");
    parts.postcode = part("postcode");
    parts.countryCode = part("country_code").toLower();
    for (const char *town : {"city", "town", "village", "municipality", "suburb", "hamlet"})
        if (const QString name = part(town); !name.isEmpty()) parts.places.append(name);
    parts.precision = PlacePrecision(place, !parts.houseNumber.isEmpty());
    return parts;
}

// An element's whole text as a name: children's text, CDATA and a raw ">" included.
QString WholeText(const QString &document, const char *path) {
    return L_REPLAC::Clean(L_UNICOD::Utf8ToText(L_XTEXT::TextOf(document, QLatin1String(path))))
        .trimmed();
}

// The address parts of a reverse answer; a town or village stands in for a city.
void ReadAddressParts(const QString &text, ReverseQuery &query) {
    const auto part = [&](const char *name) {
        return WholeText(text, (QByteArray("reversegeocode/addressparts/") + name).constData());
    };
    query.Road = part("road");
    query.HouseNumber = part("house_number");
    query.Postcode = part("postcode");
    for (const char *place : {"city", "town", "village"})
        if (query.City.isEmpty()) query.City = part(place);
    query.Country = part("country");
}

} // namespace

QString NominatimUrl() {
    return L_URLCOD::BaseUrl("GEODATEN_NOMINATIM_URL",
                             QStringLiteral("https://nominatim.openstreetmap.org"));
}

QString OsmUrl() {
    return L_URLCOD::BaseUrl("GEODATEN_OSM_URL", QStringLiteral("https://www.openstreetmap.org"));
}

QString SearchRequestUrl(const QString &address, const L_GEOGOG::SearchOptions &options) {
    QString url = NominatimUrl() + QStringLiteral("/search?q=") +
                  L_URLCOD::UrlEncode(address, true) +
                  QStringLiteral("&format=xml&limit=50&accept-language=de");
    if (options.details) url += QStringLiteral("&addressdetails=1");
    if (!options.countries.isEmpty())
        url += QStringLiteral("&countrycodes=") + options.countries.join(u',');
    return url;
}

void ReadSearchResponse(GeoQuery &query) {
    QStringList places;
    const int count =
        L_XML::XmlQuery(query.ResponseText, QStringLiteral("searchresults/place"), places);
    for (int k = 1; k <= count; ++k) {
        const QString &place = places[k];
        QString lat, lon;
        if (!ReadDegrees(XmlFirst(place, QStringLiteral("lat")), 90, lat) ||
            !ReadDegrees(XmlFirst(place, QStringLiteral("lon")), 180, lon))
            continue; // no place on earth
        const QString name = NameText(XmlFirst(place, QStringLiteral("display_name")));
        if (L_GEOGOG::AddGeoHit(query, L_UNICOD::TextToUtf8(name),
                                lon + u',' + lat + QStringLiteral(",0")))
            query.HitDetails[query.HitCount] = PlaceParts(place);
    }
}

bool Geocode(GeoQuery &query, QString &address, const L_GEOGOG::SearchOptions &options,
             ServiceStatus &status, const L_FETCH::AnswerStore *store) {
    query.TempFile = L_GEOGOG::ResponseFilePath();
    query.Address = address; // as typed: the geocoder matches UTF-8 text, umlauts included
    query.RequestUrl = SearchRequestUrl(query.Address, options);
    const QString service = QStringLiteral("Nominatim");
    const L_INET::Answer answer = Ask(service, query.RequestUrl, query.TempFile, store, status);
    if (answer.outcome != L_INET::Outcome::Answered) return false;
    query.ResponseText = QString::fromLatin1(answer.body); // the bytes of the file it wrote
    ReadSearchResponse(query);
    bool listed = query.HitCount > 0; // an answer without a place must be the geocoder's
    if (!listed) XmlFirst(query.ResponseText, QStringLiteral("searchresults"), &listed);
    status = L_STATUS::Of(query.HitCount > 0 ? Status::Ok
                          : listed           ? Status::ZeroResults
                                             : Status::InvalidResponse);
    L_FETCH::Store(store, answer, query.RequestUrl, status);
    if (query.HitCount == 0 && !answer.stored) { // a stored answer was told when it came
        const QString message = XmlFirst(query.ResponseText, QStringLiteral("error/message"));
        L_DIAG::FailureLine(service, L_STATUS::Word(status), L_UNICOD::Utf8ToText(message),
                            query.RequestUrl);
    }
    return true;
}

bool Reverse(ReverseQuery &query, ServiceStatus &status, const L_FETCH::AnswerStore *store) {
    query.TempFile = L_GEOGOG::ResponseFilePath();
    query.RequestUrl = NominatimUrl() + QStringLiteral("/reverse?lat=") +
                       L_POINT::FormatDegrees(query.Latitude) + QStringLiteral("&lon=") +
                       L_POINT::FormatDegrees(query.Longitude) +
                       QStringLiteral("&format=xml&zoom=18&addressdetails=1&accept-language=de");
    const QString service = QStringLiteral("Nominatim");
    const L_INET::Answer answer = Ask(service, query.RequestUrl, query.TempFile, store, status);
    if (answer.outcome != L_INET::Outcome::Answered) return false;
    query.ResponseText = QString::fromLatin1(answer.body);
    bool refused = false;
    const QString error =
        XmlFirst(query.ResponseText, QStringLiteral("reversegeocode/error"), &refused);
    query.Address = WholeText(query.ResponseText, "reversegeocode/result");
    ReadAddressParts(query.ResponseText, query);
    status = L_STATUS::Of(!query.Address.isEmpty() ? Status::Ok
                          : refused                ? Status::ZeroResults
                                                   : Status::InvalidResponse);
    L_FETCH::Store(store, answer, query.RequestUrl, status);
    if (status.code != Status::Ok && !answer.stored)
        L_DIAG::FailureLine(service, L_STATUS::Word(status), L_UNICOD::Utf8ToText(error),
                            query.RequestUrl);
    return true;
}

bool Route(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
           const L_FETCH::AnswerStore *store, bool alternatives) {
    return L_OSRM::Route(query, origin, destination, status, store, alternatives, Entry);
}

QStringList Bases() {
    return QStringList{NominatimUrl()} + L_OSRM::Bases();
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

namespace {
const char *const PublicHosts[] = {"nominatim.openstreetmap.org", "router.project-osrm.org",
                                   nullptr};
} // namespace

const L_SERVICE::Service Entry{
    L_SERVICE::Provider::Osm,
    "osm",
    "OpenStreetMap",
    "Doppelklick zum Öffnen in OpenStreetMap\nDaten © OpenStreetMap-Mitwirkende (ODbL)",
    nullptr, // the default
    true,    // its usage policy asks that answers be kept
    true,
    true,
    &L_OSRM::ShortestExact,
    &Geocode,
    &Route,
    &Reverse,
    &PointLink,
    &RouteLink,
    &Bases,
    PublicHosts,
    "  GEODATEN_NOMINATIM_URL, GEODATEN_OSRM_URL, GEODATEN_OSM_URL   eigene Server der offenen "
    "Dienste\n  GEODATEN_OSRM_SHORTEST_URL   ein Router, der nach Entfernung routet (Pendler)\n",
};

} // namespace L_GEOOSM
