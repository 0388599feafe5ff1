#pragma once
// The commercial map service: the records every provider fills, and its requests, readers
// and links (its road behind L_QUERY is L_GOOGLE; the open services' are in L_GEOOSM).
#include "map_service/L_FETCH.h"
#include "map_service/L_STATUS.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace L_GEOGOG {

using L_STATUS::ServiceStatus;

// How closely a hit locates what was asked, from the house down to the country; Unknown
// where the service does not say.
enum class Precision { Unknown, House, Street, Place, Postcode, Region, Country };
// "house", "street", "place", "postcode", "region", "country"; empty for Unknown.
QString PrecisionWord(Precision precision);

// The parts of a hit's address where the service names them (decoded texts, empty where
// not): what a hit is checked against, and how precise it is.
struct HitParts {
    QString houseNumber, road, postcode, countryCode; // countryCode: ISO 3166-1, lower case
    QStringList places; // the names of its town: city, town, village, suburb and the like
    Precision precision = Precision::Unknown;
    bool partial = false; // the service says it matched only part of the question
};

// What a search may ask beyond the address: the parts of each hit, and only some countries
// (ISO 3166-1 alpha-2 codes). The window asks neither.
struct SearchOptions {
    bool details = false;
    QStringList countries;
};

// One geocoding search. Lists are 1-based: a fresh record holds entry 0 alone in each;
// hit i is entry i of the lists, in the order of the answer. HitDetails is filled where
// the provider reads the parts (SearchOptions::details), else its entries stay empty.
struct GeoQuery {
    QString Address, RequestUrl, ResponseText, TempFile;
    qint32 HitCount = 0;
    QStringList HitAddresses{QString()}, HitCoordinates{QString()};
    QList<double> HitLongitudes{0.0}, HitLatitudes{0.0};
    QList<HitParts> HitDetails{HitParts()};
};

// One directions query; every field is text, and stays empty when nothing was found.
struct RouteQuery {
    QString Origin, Destination, RequestUrl, ResponseText, TempFile, StartAddress, EndAddress,
        StartLatitude, StartLongitude, EndLatitude, EndLongitude, StraightDistance, DrivingDistance,
        DrivingTime;
};

// One reverse lookup: the point asked about, and the place found there (texts decoded,
// empty when the service names no such part).
struct ReverseQuery {
    double Latitude = 0, Longitude = 0;
    QString RequestUrl, ResponseText, TempFile;
    QString Address, Road, HouseNumber, Postcode, City, Country;
};

// The name of the one response file that every request overwrites.
inline constexpr char ResponseFileName[] = "~googlegeodata.tmp";

// "ä", "ö", "ü", "ß" (capitals too, ignoring case) by "ae", "oe", "ue", "ss".
void ReplaceUmlauts(QString &text);
// Appends one hit per place of the answer in ResponseText: the legacy KML form when its
// status code is "200", else the XML form when its status is "OK" (any case). Any other
// status, or no status, gives no hits.
void ReadGeocodeResponse(GeoQuery &query);
// True when a hit was appended: both texts non-empty and the coordinates (longitude,
// latitude[, altitude], with decimal points) holding at least one ",". The address is
// decoded from UTF-8; the hit's parts start empty.
bool AddGeoHit(GeoQuery &query, const QString &address, const QString &coordinates);
// Fills the result fields from the first leg of the first route of ResponseText when its
// status is "OK" (any case); otherwise every result field stays empty. A distance or time
// that does not fit (beyond the double's range, a time beyond 32 bits) stays empty too.
void ReadRouteResponse(RouteQuery &query);
// Opens the service's web map at the point: ServiceUrl() + "/maps?q=LAT,LON".
void ShowHitOnMap(double latitude, double longitude);

QString ServiceUrl();  // base of requests and point maps, no trailing "/"
QString RegionalUrl(); // base of route links, no trailing "/"

// GetTempFolder() + "~googlegeodata.tmp", found anew on every call.
QString ResponseFilePath();
// The geocoding request for an address that is already free of umlauts.
QString GeocodeRequestUrl(const QString &address);
// The directions request for two addresses that are already free of umlauts.
QString DirectionsRequestUrl(const QString &origin, const QString &destination);
// The route link of the regional host for the origin and destination as sent.
QString RouteLinkUrl(const QString &origin, const QString &destination);
// The point map's link: latitude "," longitude in the display form with "," turned into ".".
QString PointLinkUrl(double latitude, double longitude);

// Shared with the open services' road: kilometres with "#,###.0" and " km", and seconds
// rounded half to even as hh:mm:ss. Both empty for a number that does not fit.
QString KilometreText(double kilometres);
QString DrivingTimeText(double seconds);
// The straight line between the record's ends in km, by L_GEODST's method (sphere or
// WGS84); a missing coordinate reads as 0.
double StraightKilometres(const RouteQuery &query, qint32 method);

// The base of requests: https with the user's own key, else ServiceUrl().
QString RequestBase();
// "&key=<the key, encoded>", or empty without one.
QString KeySuffix();

} // namespace L_GEOGOG
