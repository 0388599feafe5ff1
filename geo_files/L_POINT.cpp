#include "geo_files/L_POINT.h"

#include <GeographicLib/DMS.hpp>
#include <GeographicLib/MGRS.hpp>
#include <GeographicLib/UTMUPS.hpp>

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace L_POINT {

namespace {

using GeographicLib::DMS;

// The longest point typed by hand, in degrees, minutes and seconds with blanks and letters,
// takes some 40 characters; a longer text is no point, read or not (so its time is bounded).
constexpr qsizetype MaxPointChars = 100;
// A web map's link of a place carries its name and view: a few hundred characters.
constexpr qsizetype MaxLinkChars = 2000;

// A number that is wholly a decimal number (a point, no exponent).
bool Number(const QString &text, double &value) {
    static const QRegularExpression plain(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    bool ok = false;
    value = plain.match(text).hasMatch() ? QLocale::c().toDouble(text, &ok) : 0;
    return ok;
}

bool InRange(const Point &p) {
    return std::isfinite(p.latitude) && std::isfinite(p.longitude) && std::fabs(p.latitude) <= 90 &&
           std::fabs(p.longitude) <= 180;
}

bool Pair(const QString &latitude, const QString &longitude, Point &point) {
    return Number(latitude, point.latitude) && Number(longitude, point.longitude) && InRange(point);
}

// A pin in a link's query, q= (or query=) lat,lon with an optional (label), as phones share it.
const QRegularExpression &QueryPin() {
    static const QRegularExpression pin(QStringLiteral(
        "[?&](?:q|query)=([-+]?[\\d.]+), ?([-+]?[\\d.]+)(?:\\([^)]*\\))?(?=[&#]|$)"));
    return pin;
}

// geo:lat,lon[,alt][;crs=wgs84][;u=...][?...]; a q= in the query is the pin, or an address.
bool GeoUri(const QString &text, Point &point, QString &reason) {
    const QStringList parts = text.mid(4).section(u'?', 0, 0).split(u';');
    for (const QString &parameter : parts.mid(1))
        if (parameter.section(u'=', 0, 0).trimmed().toLower() == QStringLiteral("crs") &&
            parameter.section(u'=', 1).trimmed().toLower() != QStringLiteral("wgs84"))
            return reason = QStringLiteral("geo: mit einem anderen Bezugssystem als WGS84"), false;
    const QStringList values = parts[0].split(u',');
    if (values.size() < 2 || values.size() > 3 || !Pair(values[0], values[1], point)) return false;
    static const QRegularExpression query(QStringLiteral("[?&]q="));
    const QString url = QUrl::fromPercentEncoding(text.toUtf8());
    if (!query.match(url).hasMatch()) return true;
    if (const QRegularExpressionMatch m = QueryPin().match(url); m.hasMatch())
        return Pair(m.captured(1), m.captured(2), point);
    return reason = QStringLiteral("geo: mit einer Adresse (q=) statt eines Punkts"), false;
}

// A web map's link. Its pin (a place's !3d!4d, mlat=/mlon=, q=lat,lon) wins over the view's
// centre (#map=zoom/lat/lon, @lat,lon), which lies wherever the user had panned.
bool MapLink(const QString &text, Point &point) {
    const QString url = QUrl::fromPercentEncoding(text.toUtf8());
    static const QRegularExpression forms[] = {
        QRegularExpression(QStringLiteral("!3d([-\\d.]+)!4d([-\\d.]+)")),
        QRegularExpression(QStringLiteral("[?&]mlat=([^&#]+)&mlon=([^&#]+)")),
        QueryPin(),
        QRegularExpression(QStringLiteral("#map=\\d+(?:\\.\\d+)?/([^/]+)/([^/&?]+)")),
        QRegularExpression(QStringLiteral("/@([^,]+),([^,/]+)")),
    };
    for (const QRegularExpression &form : forms)
        if (const QRegularExpressionMatch m = form.match(url); m.hasMatch())
            return Pair(m.captured(1), m.captured(2), point);
    return false;
}

// The MGRS latitude band of a latitude: 8 degrees each from 80 south, X reaching to 84 north.
QChar BandOf(double latitude) {
    static const char bands[] = "CDEFGHJKLMNPQRSTUVWX";
    return QChar(bands[qBound(0, int(std::floor((latitude + 80) / 8)), 19)]);
}

// UTM with a latitude band letter (C-M south, N-X north) or n/s, or MGRS.
bool Grid(const QString &text, Point &point) {
    static const QRegularExpression utm(QStringLiteral(
        "^(\\d{1,2})\\s*([C-HJ-NP-Xns])\\s+(\\d+(?:[.,]\\d+)?)\\s+(\\d+(?:[.,]\\d+)?)$"));
    static const QRegularExpression mgrs( // in a UTM zone, or UPS
        QStringLiteral("^(\\d{1,2}[C-HJ-NP-X]|[ABYZ])[A-HJ-NP-Z]{2}(\\d\\d)*$"));
    const QString compact = QString(text).remove(u' ');
    try {
        int zone = 0, precision = 0;
        bool north = true;
        double x = 0, y = 0;
        QChar band; // a latitude band the point must lie in
        if (const QRegularExpressionMatch m = utm.match(text); m.hasMatch()) {
            zone = m.captured(1).toInt();
            band = m.captured(2)[0];
            north = band == u'n' || (band != u's' && band >= u'N');
            if (band == u'n' || band == u's') band = QChar();
            x = QLocale::c().toDouble(m.captured(3).replace(u',', u'.'));
            y = QLocale::c().toDouble(m.captured(4).replace(u',', u'.'));
        } else if (mgrs.match(compact).hasMatch()) {
            GeographicLib::MGRS::Reverse(compact.toStdString(), zone, north, x, y, precision,
                                         false);
        } else {
            return false;
        }
        GeographicLib::UTMUPS::Reverse(zone, north, x, y, point.latitude, point.longitude, true);
        // A UTM text writes whole metres: its band is checked some 10 m across the edge.
        return InRange(point) && (band.isNull() || band == BandOf(point.latitude - 1e-4) ||
                                  band == BandOf(point.latitude + 1e-4));
    } catch (const std::exception &) {
        return false;
    }
}

// The decoder of the geodesy library runs past its own arrays on more than three colon parts, or
// on colon parts after a degree, minute or second mark ("2"14:4:"): such text is no coordinate.
bool Decodable(const std::string &text) {
    const auto colons = std::count(text.begin(), text.end(), ':');
    return colons == 0 || (colons <= 2 && text.find_first_of("\xC2'\"") == std::string::npos);
}

// One coordinate for DMS, or empty: a blank between two numbers stands for the next unit's
// mark ("46 36 49.5" is 46°36'49.5), so numbers are never merged across it; other blanks go.
// "O" is the German east, a decimal comma a point; a sign only leads (DMS would add pieces).
std::string Coordinate(const QString &text) {
    static const QString marks = QStringLiteral("°'\"");
    const auto numeric = [](QChar c) { return c.isDigit() || c == u'.' || c == u','; };
    QString out;
    qsizetype unit = -1; // the last mark written: none yet
    for (const QString &piece : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!out.isEmpty() && numeric(out.back()) && numeric(piece[0])) {
            if (++unit > 2 || text.contains(u':')) return {};
            out += marks[unit];
        }
        out += piece;
        for (const QChar c : piece) unit = std::max(unit, marks.indexOf(c));
    }
    if (out.lastIndexOf(u'-') > 0 || out.lastIndexOf(u'+') > 0) return {};
    out.replace(u',', u'.').replace(u'O', u'E').replace(u'o', u'E');
    return out.toStdString();
}

// Two coordinates read from the two sides, latitude first unless their letters say otherwise;
// with `lettered`, both must carry a hemisphere letter.
bool Reading(const QString &left, const QString &right, bool lettered, Point &point) {
    const std::string first = Coordinate(left), second = Coordinate(right);
    if (first.empty() || second.empty() || !Decodable(first) || !Decodable(second)) return false;
    try {
        DMS::flag one = DMS::NONE, other = DMS::NONE;
        double a = DMS::Decode(first, one);
        double b = DMS::Decode(second, other);
        if (one == other && one != DMS::NONE) return false; // two latitudes, or longitudes
        if (lettered && (one == DMS::NONE || other == DMS::NONE)) return false;
        if (one == DMS::LONGITUDE || other == DMS::LATITUDE) std::swap(a, b);
        point = {a, b};
        return InRange(point);
    } catch (const std::exception &) {
        return false;
    }
}

// Two coordinates in degrees (decimal, or with minutes and seconds). Split at ";", ", " or a
// lone comma; else at the one blank where both sides read: two readings are refused, and so
// are more than two plain numbers ("46.6 13.9 500": which two?).
bool Degrees(const QString &text, Point &point) {
    qsizetype at = text.indexOf(u';');
    if (at < 0) at = text.indexOf(QStringLiteral(", "));
    if (at < 0 && text.count(u',') == 1 && !text.contains(u' ')) at = text.indexOf(u',');
    if (at >= 0) return Reading(text.left(at), text.mid(at + 1), false, point);
    static const QRegularExpression letter(QStringLiteral("[A-Za-z]")),
        mark(QStringLiteral("[°'\":]"));
    const bool lettered = text.contains(letter);
    if (!lettered && !text.contains(mark) && text.count(u' ') != 1) return false;
    int readings = 0;
    Point found;
    for (qsizetype k = text.indexOf(u' '); k >= 0; k = text.indexOf(u' ', k + 1))
        if (Point read; Reading(text.left(k), text.mid(k + 1), lettered, read))
            found = read, ++readings;
    if (readings == 1) point = found;
    return readings == 1;
}

// A coordinate's text as the readers take it: blanks simplified, typographic marks plain.
QString Plain(const QString &input) {
    QString text = input.simplified();
    for (const auto &[from, to] :
         {std::pair{u'′', u'\''}, {u'″', u'"'}, {u'’', u'\''}, {u'”', u'"'}})
        text.replace(QChar(from), QChar(to));
    return text;
}

const QRegularExpression &DegreesOnly() { // an address is turned away before any decoding
    static const QRegularExpression degrees(QStringLiteral("^[-+0-9.,;:°'\" NSEWOnsewo]+$"));
    return degrees;
}

} // namespace

bool ReadPair(const QString &latitude, const QString &longitude, Point &point, QString &reason) {
    const QString lat = Plain(latitude), lon = Plain(longitude);
    const bool read = lat.size() <= MaxPointChars && lon.size() <= MaxPointChars &&
                      DegreesOnly().match(lat + u' ' + lon).hasMatch() &&
                      !(lat + lon).contains(u';') && Reading(lat, lon, false, point);
    reason = read ? QString() : QStringLiteral("kein Punkt (oder außerhalb der Erde)");
    return read;
}

bool ReadPoint(const QString &input, Point &point, QString &reason) {
    QString text = input.simplified();
    reason.clear();
    const bool uri = text.startsWith(QStringLiteral("geo:"), Qt::CaseInsensitive);
    const bool link =
        text.contains(QStringLiteral("://")) || text.startsWith(QStringLiteral("www."));
    if (text.size() > (uri || link ? MaxLinkChars : MaxPointChars))
        return reason = QStringLiteral("zu lang für einen Punkt"), false;
    for (const auto &[from, to] :
         {std::pair{u'′', u'\''}, {u'″', u'"'}, {u'’', u'\''}, {u'”', u'"'}})
        text.replace(QChar(from), QChar(to));
    // Degrees hold nothing but these: an address is turned away before any decoding.
    static const QRegularExpression degrees(QStringLiteral("^[-+0-9.,;:°'\" NSEWOnsewo]+$"));
    const bool read =
        uri    ? GeoUri(text, point, reason)
        : link ? MapLink(text, point)
               : Grid(text, point) || (degrees.match(text).hasMatch() && Degrees(text, point));
    if (!read && reason.isEmpty()) reason = QStringLiteral("kein Punkt (oder außerhalb der Erde)");
    return read;
}

QString FormatPoint(const Point &p, const QString &form) {
    try {
        const auto dms = [&](DMS::component trailing, unsigned decimals) {
            static const QRegularExpression padding(QStringLiteral("(^| )0+(\\d)"));
            return QString::fromStdString(
                       DMS::Encode(p.latitude, trailing, decimals, DMS::LATITUDE) + ' ' +
                       DMS::Encode(p.longitude, trailing, decimals, DMS::LONGITUDE))
                .replace(u'd', u'°')
                .replace(padding, QStringLiteral("\\1\\2")); // 13°, not 013°
        };
        if (form == QStringLiteral("dms")) return dms(DMS::SECOND, 1);
        if (form == QStringLiteral("dm")) return dms(DMS::MINUTE, 3);
        if (form == QStringLiteral("geo"))
            return QStringLiteral("geo:%1,%2")
                .arg(FormatDegrees(p.latitude), FormatDegrees(p.longitude));
        int zone = 0;
        bool north = true;
        double x = 0, y = 0;
        GeographicLib::UTMUPS::Forward(p.latitude, p.longitude, zone, north, x, y);
        x = std::round(x * 1000) / 1000; // to the mm: a corner read back stays in its square
        y = std::round(y * 1000) / 1000;
        std::string mgrs;
        GeographicLib::MGRS::Forward(zone, north, x, y, p.latitude, 5, mgrs);
        if (form == QStringLiteral("mgrs")) return QString::fromStdString(mgrs);
        if (form == QStringLiteral("utm")) // the band letter as MGRS has it; UPS: n or s
            return QStringLiteral("%1%2 %3 %4")
                .arg(zone)
                .arg(zone > 0 ? QChar(mgrs[2]) : QChar(north ? u'n' : u's'))
                .arg(std::floor(x), 0, 'f', 0)
                .arg(std::floor(y), 0, 'f', 0);
    } catch (const std::exception &) {
    }
    return QString();
}

QString FormatDegrees(double degrees) {
    return QString::number(degrees, 'f', 7);
}

} // namespace L_POINT
