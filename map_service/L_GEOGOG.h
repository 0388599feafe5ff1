#pragma once
// The map service's geocoding and directions answers, its requests and its map links.
#include <QList>
#include <QString>
#include <QStringList>

namespace L_GEOGOG {

// One geocoding search. Lists are 1-based: a fresh record holds entry 0 alone in each;
// hit i is entry i of the four lists, in the order of the answer.
struct GeoQuery {
    QString Address, RequestUrl, ResponseText, TempFile;
    qint32 HitCount = 0;
    QStringList HitAddresses{QString()}, HitCoordinates{QString()};
    QList<double> HitLongitudes{0.0}, HitLatitudes{0.0};
};

// One directions query; every field is text, and stays empty when nothing was found.
struct RouteQuery {
    QString Origin, Destination, RequestUrl, ResponseText, TempFile, StartAddress, EndAddress,
        StartLatitude, StartLongitude, EndLatitude, EndLongitude, StraightDistance, DrivingDistance,
        DrivingTime;
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
// decoded from UTF-8.
bool AddGeoHit(GeoQuery &query, const QString &address, const QString &coordinates);
// Fills the result fields from the first leg of the first route of ResponseText when its
// status is "OK" (any case); otherwise every result field stays empty.
void ReadRouteResponse(RouteQuery &query);
// Opens the web map at the point: ServiceUrl() + "/maps?q=" + latitude "," longitude,
// both with decimal points, whatever the locale.
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
// Downloads the URL into the response file and, only on success, reads it back as a byte
// text into responseText (unchanged when the file is missing). True on success.
bool FetchResponse(const QString &url, const QString &tempFile, QString &responseText);

} // namespace L_GEOGOG
