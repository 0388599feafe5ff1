#pragma once
// The map services behind both views: which one answers, the whole road of a search and
// of a distance computation, their links, and the commercial service's own requests,
// readers and links (the open services' are in L_GEOOSM).
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <cmath>
#include <functional>

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

enum class Provider { Google, Osm };
// GEODATEN_PROVIDER "google" or "osm" (any case); unset or empty: Google when
// GEODATEN_API_KEY or GEODATEN_SERVICE_URL is set and not empty, else Osm. Any other value
// is warned about once on standard error and then read as unset. Read anew on each call.
Provider ActiveProvider();

// How the last request of a query ended, in the words of the batch tool's status column:
// "OK", "ZERO_RESULTS", the service's own word ("REQUEST_DENIED", "NoRoute", ...),
// "HTTP <code>", "NETWORK" (no answer), "REFUSED" (the key would go out unprotected),
// "FILE" (the response file could not be written), "INVALID_RESPONSE" (not the service's
// form). A route's distance and time as the service gave them; NaN when it gave none.
struct ServiceStatus {
    QString Word;
    double DrivingMetres = std::nan(""), DrivingSeconds = std::nan("");
};

// Geocoding answers that a run over a list keeps, by the address as sent: `recall` gives
// the one kept (or nothing), `remember` offers a new one. A route through the open
// services asks the geocoder only for addresses that `recall` does not know.
struct GeocodeMemo {
    std::function<const GeoQuery *(const QString &address)> recall;
    std::function<void(const QString &address, const GeoQuery &query)> remember;
};

// The whole road of one search through the active provider: the record is filled as the
// provider's requests and reader fill it. True when the answer was downloaded and read.
// Every failure, refusal or empty answer writes one line on the "geodaten.service" log.
bool QueryGeocode(GeoQuery &query, QString &address);
bool QueryGeocode(GeoQuery &query, QString &address, ServiceStatus &status);
// The whole road of one distance computation through the active provider. True when the
// last answer (directions, or the router's) was downloaded and read.
bool QueryRoute(RouteQuery &query, QString &origin, QString &destination);
bool QueryRoute(RouteQuery &query, QString &origin, QString &destination, ServiceStatus &status,
                const GeocodeMemo *memo);
// The route link of the active provider for the record.
QString QueryRouteLink(const RouteQuery &query);
// Opens the active provider's web map at the point (decimal points whatever the locale).
void ShowHitOnMap(double latitude, double longitude);

// --- The commercial service's road. ---

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
// status is "OK" (any case); otherwise every result field stays empty. A distance or time
// that does not fit (beyond the double's range, a time beyond 32 bits) stays empty too.
void ReadRouteResponse(RouteQuery &query);

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

// Shared with the open services' road: kilometres with "#,###.0" and " km", and seconds
// rounded half to even as hh:mm:ss. Both empty for a number that does not fit.
QString KilometreText(double kilometres);
QString DrivingTimeText(double seconds);

} // namespace L_GEOGOG
