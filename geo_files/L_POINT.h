#pragma once
// A point on the WGS84 ellipsoid read from the text a user pastes, in any of the forms that
// apps, GPS units, phones, web maps and surveyors give, and written in one of them.
#include <QString>

namespace L_POINT {

// Decimal degrees, north and east positive.
struct Point {
    double latitude = 0, longitude = 0;
};

// Reads the whole text as one point, latitude first unless hemisphere letters say
// otherwise: decimal degrees with a decimal point or comma, separated by ", ", ";" or
// blanks ("46,6137 13,9560"); degrees, minutes and seconds or decimal minutes with ° ' "
// ′ ″ or with blanks between them ("46 36 49.5 N, 13 57 21.7 E"), N/S/E/W or O (Ost)
// before or after; geo: URIs (RFC 5870; another crs is refused), a q=lat,lon(label) their
// point; map links, their pin (!3d!4d, mlat=/mlon=, q=lat,lon) before the view's centre
// (#map=z/lat/lon, @lat,lon); UTM/UPS ("33T 420870 5162300", "33n 420870 5162300"); MGRS
// ("33TVM2087062300", the square's south-west corner). False, with the reason, for anything
// else: a point out of range, a text read only in part or in two ways ("1 2 3"), a geo: q=
// with a name, a text over 100 characters (a link over 2000).
bool ReadPoint(const QString &text, Point &point, QString &reason);
// The same for a point given in two fields, each read alone as one coordinate (latitude,
// longitude; hemisphere letters may swap them): nothing in one field can move into the
// other.
bool ReadPair(const QString &latitude, const QString &longitude, Point &point, QString &reason);

// The point as "dms" (46°36'49.5"N 13°57'21.6"E), "dm" (46°36.825'N 13°57.360'E), "utm"
// (33T 420870 5162300), "mgrs" (33TVM2087062300, 1 m) or "geo" (geo:46.6137500,13.9560000);
// empty for another form or a point GeographicLib cannot write so.
QString FormatPoint(const Point &point, const QString &form);
// A coordinate as the program writes it to services, links and lists: decimal degrees
// with a decimal point and 7 decimals (about 1 cm).
QString FormatDegrees(double degrees);

} // namespace L_POINT
