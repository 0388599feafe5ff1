#include "batch_tool/L_ASK.h"

#include "geo_files/L_GEODST.h"
#include "geo_files/L_POINT.h"
#include "map_service/L_ENV.h"
#include "map_service/L_QUERY.h"
#include "map_service/L_VALUE.h"

#include <cmath>

namespace L_ASK {

namespace {

using L_BATCH::Mode;
using L_STATUS::Status;

// Numbers as the output's readers expect them: a decimal comma where ";" separates.
QString Number(const Asker &asker, const QString &pointed) {
    return asker.delimiter == ';' ? QString(pointed).replace(u'.', u',') : pointed;
}

QString Kilometres(const Asker &asker, double km) {
    return std::isfinite(km) ? Number(asker, QString::number(km, 'f', 3)) : QString();
}

// A text of a service's for a cell: in csv never a formula.
QString Text(const Asker &asker, const QString &text) {
    return asker.options->format == L_OUTPUT::Format::Csv ? L_OUTPUT::SafeCell(text) : text;
}

QString Hits(qint32 hits) {
    return hits >= 0 ? QString::number(hits) : QString();
}

// The point in the form --coords asks for, as a last added column; none without it.
QStringList Coords(const Asker &asker, double latitude, double longitude) {
    if (asker.options->coords.isEmpty()) return {};
    return {L_POINT::FormatPoint({latitude, longitude}, asker.options->coords)};
}

// An end of a route that reads as a point, as every provider reads one: "lat,lon".
QString End(const QString &text) {
    L_POINT::Point point;
    QString reason;
    return L_POINT::ReadPoint(text, point, reason) ? QStringLiteral("%1,%2")
                                                         .arg(point.latitude, 0, 'f', 7)
                                                         .arg(point.longitude, 0, 'f', 7)
                                                   : text;
}

// The commuter allowance of a year for whole km (EStG § 9 Abs. 1 Satz 3 Nr. 4): per working
// day the first 20 km at one rate, the rest at another; the yearly cap is not applied.
double Allowance(qint64 km, int year, int days) {
    const double first = year >= 2026 ? 0.38 : 0.30;
    const double beyond = year >= 2022 ? 0.38 : 0.35;
    return (double(qMin<qint64>(km, 20)) * first + double(qMax<qint64>(km - 20, 0)) * beyond) *
           days;
}

// The commuter's columns: the fastest route in m, the shortest in km, its whole km rounded
// down (14,999.9 m is 14 km), and the allowance when asked for.
QStringList Commute(const Asker &asker, const L_STATUS::ServiceStatus &s, bool driven) {
    const double shortest = driven ? s.ShortestMetres : std::nan("");
    const qint64 km = std::isfinite(shortest) ? qint64(std::floor(shortest)) / 1000 : -1;
    QStringList columns{driven ? QString::number(std::llround(s.DrivingMetres)) : QString(),
                        Kilometres(asker, shortest / 1000.0),
                        km >= 0 ? QString::number(km) : QString()};
    if (asker.options->year > 0)
        columns.append(km >= 0 ? Number(asker, QString::number(Allowance(km, asker.options->year,
                                                                         asker.options->days),
                                                               'f', 2))
                               : QString());
    return columns;
}

Answer Geocode(const Asker &asker, qint64 row, const QString &address) {
    Answer answer;
    L_GEOGOG::GeoQuery query;
    QString sent = address;
    L_QUERY::QueryGeocode(query, sent, answer.status, asker.kept);
    int hits = 0;
    for (int k = 1; k <= query.HitCount; ++k) {
        const QStringList written = query.HitCoordinates[k].split(u',');
        double value = 0;
        if (!L_VALUE::ReadDegrees(written.value(1), 90, value) ||
            !L_VALUE::ReadDegrees(written.value(0), 180, value))
            continue;                                    // no hit
        if (++hits > 1 && !asker.options->all) continue; // counted, not written
        const QString lat = L_VALUE::FormatLike(query.HitLatitudes[k], written.value(1));
        const QString lon = L_VALUE::FormatLike(query.HitLongitudes[k], written.value(0));
        answer.points.append({row, hits, address, query.HitAddresses[k], lat, lon});
    }
    if (hits == 0 && answer.status.code == Status::Ok) answer.status.code = Status::ZeroResults;
    for (const L_OUTPUT::Point &p : answer.points)
        answer.rows.append({Number(asker, p.latitude), Number(asker, p.longitude),
                            Text(asker, p.description), QString::number(hits)});
    if (answer.rows.isEmpty())
        answer.rows.append({QString(), QString(), QString(), QString::number(hits)});
    return answer;
}

Answer Distance(const Asker &asker, const QString &question) {
    Answer answer;
    L_GEOGOG::RouteQuery route;
    QString origin = End(question.section(QChar(0x1F), 0, 0)),
            destination = End(question.section(QChar(0x1F), 1));
    L_QUERY::QueryRoute(route, origin, destination, answer.status, asker.kept, true);
    const L_STATUS::ServiceStatus &s = answer.status;
    const bool ends = !route.StartLatitude.isEmpty() && !route.EndLatitude.isEmpty();
    const auto km = [&](qint32 method) {
        return ends ? L_GEOGOG::StraightKilometres(route, method) : std::nan("");
    };
    const bool driven = s.code == Status::Ok;
    const double seconds = driven ? std::nearbyint(s.DrivingSeconds) : std::nan("");
    answer.rows.append({Text(asker, route.StartAddress), Number(asker, route.StartLatitude),
                        Number(asker, route.StartLongitude), Hits(s.StartHits),
                        Text(asker, route.EndAddress), Number(asker, route.EndLatitude),
                        Number(asker, route.EndLongitude), Hits(s.EndHits),
                        Kilometres(asker, km(L_GEODST::MethodSphere)),
                        Kilometres(asker, km(L_GEODST::MethodEllipsoid)),
                        Kilometres(asker, driven ? s.DrivingMetres / 1000.0 : std::nan("")),
                        std::isfinite(seconds) ? L_GEOGOG::DrivingTimeText(seconds) : QString(),
                        std::isfinite(seconds) ? QString::number(seconds, 'f', 0) : QString()});
    answer.rows[0] += Commute(asker, s, driven);
    return answer;
}

Answer Reverse(const Asker &asker, qint64 row, const QString &question) {
    L_POINT::Point point;
    QString reason;
    if (!L_POINT::ReadPoint(question, point, reason)) return Without(asker, Status::BadInput);
    Answer answer;
    L_GEOGOG::ReverseQuery query;
    query.Latitude = point.latitude;
    query.Longitude = point.longitude;
    L_QUERY::QueryReverse(query, answer.status, asker.kept);
    const QString lat = QString::number(point.latitude, 'f', 7),
                  lon = QString::number(point.longitude, 'f', 7);
    if (answer.status.code == Status::Ok)
        answer.points.append({row, 1, question, query.Address, lat, lon});
    answer.rows.append(QStringList{Text(asker, query.Address), Text(asker, query.Road),
                                   Text(asker, query.HouseNumber), Text(asker, query.Postcode),
                                   Text(asker, query.City), Text(asker, query.Country)} +
                       Coords(asker, point.latitude, point.longitude));
    return answer;
}

Answer AskOnce(const Asker &asker, qint64 row, const QString &question) {
    switch (asker.options->mode) {
    case Mode::Geocode:
        return Geocode(asker, row, question);
    case Mode::Distance:
        return Distance(asker, question);
    case Mode::Reverse:
        break;
    }
    return Reverse(asker, row, question);
}

qint64 RetryBaseMs() {
    return L_ENV::Integer("GEODATEN_RETRY_MS", 0, 60'000, 2000);
}

// The wait before the next try: what the server asked for (429, 503), else doubling.
qint64 WaitMs(const L_STATUS::ServiceStatus &status, int attempt) {
    const bool told = status.code == Status::Http && (status.http == 429 || status.http == 503) &&
                      status.retryAfterS >= 0;
    return told ? status.retryAfterS * 1000 : RetryBaseMs() << attempt;
}

} // namespace

QStringList AddedColumns(const L_BATCH::Options &options) {
    const QStringList coords(options.coords.isEmpty() ? 0 : 1, QStringLiteral("coords"));
    switch (options.mode) {
    case Mode::Geocode:
        return QStringList{"lat", "lon", "formatted_address", "hits"} + coords +
               QStringList{"status"};
    case Mode::Distance:
        return QStringList{"start_address", "start_lat",   "start_lon",   "start_hits",
                           "end_address",   "end_lat",     "end_lon",     "end_hits",
                           "luftlinie_km",  "geodesic_km", "driving_km",  "driving_time",
                           "driving_s",     "driving_m",   "shortest_km", "commute_km"} +
               QStringList(options.year > 0 ? 1 : 0, QStringLiteral("pauschale_eur")) +
               QStringList{"status"};
    case Mode::Reverse:
        break;
    }
    return QStringList{"address", "road", "house_number", "postcode", "city", "country"} + coords +
           QStringList{"status"};
}

Answer Without(const Asker &asker, L_STATUS::Status status) {
    Answer answer;
    answer.status.code = status;
    answer.rows.append(QStringList(AddedColumns(*asker.options).size() - 1, QString()));
    return answer;
}

Answer Ask(const Asker &asker, qint64 row, const QString &question) {
    if (question.size() > MaxQuestion) return Without(asker, Status::BadInput);
    for (int attempt = 0;; ++attempt) {
        Answer answer = AskOnce(asker, row, question);
        const L_STATUS::ServiceStatus &s = answer.status;
        if (!L_STATUS::Passing(s) || s.code == Status::File || attempt == Retries ||
            L_LIMIT::StopRequested())
            return answer;
        const qint64 wait = WaitMs(s, attempt);
        if (wait > MaxWaitMs) {
            answer.laterS = wait / 1000;
            return answer;
        }
        if (asker.waiting)
            asker.waiting(QStringLiteral("warte %1 s nach %2")
                              .arg(qMax<qint64>(1, wait / 1000))
                              .arg(L_STATUS::Word(s)));
        const bool waited = L_LIMIT::SleepMs(wait);
        if (asker.waiting) asker.waiting(QString());
        if (!waited) return answer;
    }
}

} // namespace L_ASK
