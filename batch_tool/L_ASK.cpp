#include "batch_tool/L_ASK.h"

#include "batch_tool/L_MATCH.h"
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

// The whole metres of a road; -1 for none (NaN, negative, beyond any road).
qint64 WholeMetres(double metres) {
    return metres >= 0 && metres < 1e15 ? qint64(std::floor(metres)) : -1;
}

// A road's metres in km to the whole metre below, never rounded up past what they rest on:
// 14,999.9 m is 14.999 km, beside its 14 whole km.
QString RoadKilometres(const Asker &asker, double metres) {
    const qint64 whole = WholeMetres(metres);
    if (whole < 0) return QString();
    return Number(asker,
                  QStringLiteral("%1.%2").arg(whole / 1000).arg(whole % 1000, 3, 10, QChar(u'0')));
}

// A coordinate, 7 decimals (about 1 cm); empty for none.
QString Degrees(const Asker &asker, double degrees) {
    return std::isfinite(degrees) ? Number(asker, L_POINT::FormatDegrees(degrees)) : QString();
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
bool PointEnd(const QString &text, L_POINT::Point &point) {
    QString reason;
    return L_POINT::ReadPoint(text, point, reason);
}

// The commuter allowance of a year for whole km (EStG § 9 Abs. 1 Satz 3 Nr. 4): per working
// day the first 20 km at one rate, the rest at another; the yearly cap is not applied.
double Allowance(qint64 km, int year, int days) {
    const double first = year >= 2026 ? 0.38 : 0.30;
    const double beyond = year >= 2022 ? 0.38 : 0.35;
    return (double(qMin<qint64>(km, 20)) * first + double(qMax<qint64>(km - 20, 0)) * beyond) *
           (days > 0 ? days : 220);
}

// The commuter's columns: the fastest route in m, the shortest in km, its whole km rounded
// down (14,999.9 m is 14 km), and the allowance when asked for.
QStringList Commute(const Asker &asker, const L_STATUS::ServiceStatus &s, bool driven) {
    const double shortest = driven ? s.ShortestMetres : std::nan("");
    const qint64 km = WholeMetres(shortest) >= 0 ? WholeMetres(shortest) / 1000 : -1;
    QStringList columns{driven ? QString::number(std::llround(s.DrivingMetres)) : QString(),
                        RoadKilometres(asker, shortest), km >= 0 ? QString::number(km) : QString()};
    if (asker.options->year > 0)
        columns.append(km >= 0 ? Number(asker, QString::number(Allowance(km, asker.options->year,
                                                                         asker.options->days),
                                                               'f', 2))
                               : QString());
    return columns;
}

// One place a row asks for, as the geocoder found it and the row checked it.
struct Found {
    L_STATUS::ServiceStatus status;
    L_GEOGOG::GeoQuery query;
    QList<L_MATCH::Check> checks{L_MATCH::Check()}; // 1-based, as the hits
    int chosen = 0;                                 // the hit taken; 0: none
};

// An answer whose service names no part of any hit (its legacy form) cannot be checked.
bool HasParts(const L_GEOGOG::GeoQuery &query) {
    for (int k = 1; k <= query.HitCount; ++k)
        if (!query.HitDetails[k].postcode.isEmpty() || !query.HitDetails[k].places.isEmpty())
            return true;
    return false;
}

// The hits of an address, each checked against the row; the first that agrees is taken,
// and where none does, the first is shown and the status is MISMATCH.
Found Locate(const Asker &asker, const L_LIST::Address &address) {
    Found found;
    QString sent = address.text;
    L_QUERY::QueryGeocode(found.query, sent, {true, asker.options->countries}, found.status,
                          asker.kept);
    const L_GEOGOG::GeoQuery &q = found.query;
    const bool judged = HasParts(q);
    for (int k = 1; k <= q.HitCount; ++k) {
        found.checks.append(L_MATCH::Compare(judged ? address.postcode : QString(),
                                             judged ? address.town : QString(), q.HitDetails[k]));
        if (!found.chosen && found.checks[k].agrees) found.chosen = k;
    }
    if (found.status.code == Status::Ok && !found.chosen) {
        found.status.code = Status::Mismatch;
        found.chosen = 1; // shown, for the user to judge
    }
    return found;
}

Answer Geocode(const Asker &asker, const L_LIST::Address &address) {
    const Found found = Locate(asker, address);
    const L_GEOGOG::GeoQuery &q = found.query;
    Answer answer;
    answer.status = found.status;
    const bool ok = found.status.code == Status::Ok;
    for (int k = 1; k <= q.HitCount; ++k) {
        if (!asker.options->all && k != found.chosen) continue;
        if (ok)
            answer.places.append({int(answer.rows.size()), asker.options->all ? k : 1,
                                  q.HitLatitudes[k], q.HitLongitudes[k], address.text,
                                  q.HitAddresses[k]});
        answer.rows.append(QStringList{Degrees(asker, q.HitLatitudes[k]),
                                       Degrees(asker, q.HitLongitudes[k]), q.HitAddresses[k],
                                       Hits(q.HitCount),
                                       L_GEOGOG::PrecisionWord(q.HitDetails[k].precision),
                                       found.checks[k].differs.join(u',')} +
                           Coords(asker, q.HitLatitudes[k], q.HitLongitudes[k]));
    }
    if (answer.rows.isEmpty())
        answer.rows.append(QStringList{QString(), QString(), QString(), Hits(q.HitCount)});
    return answer;
}

// An end of a route: a point as given, or the place its address was found at.
struct End {
    bool point = false;
    Found found;
    double latitude = std::nan(""), longitude = std::nan("");
};

End LocateEnd(const Asker &asker, const L_LIST::Address &address) {
    End end;
    L_POINT::Point point;
    if ((end.point = PointEnd(address.text, point))) { // a point is asked of no geocoder
        end.found.status.code = Status::Ok;
        end.latitude = point.latitude, end.longitude = point.longitude;
        return end;
    }
    end.found = Locate(asker, address);
    if (const int k = end.found.chosen; k > 0) {
        end.latitude = end.found.query.HitLatitudes[k];
        end.longitude = end.found.query.HitLongitudes[k];
    }
    return end;
}

// An end's columns: address, latitude, longitude, hits and precision.
QStringList EndColumns(const Asker &asker, const End &end, bool asked) {
    const int k = end.found.chosen;
    const L_GEOGOG::GeoQuery &q = end.found.query;
    return {k > 0 ? q.HitAddresses[k] : QString(), Degrees(asker, end.latitude),
            Degrees(asker, end.longitude), asked && !end.point ? Hits(q.HitCount) : QString(),
            k > 0 ? L_GEOGOG::PrecisionWord(q.HitDetails[k].precision) : QString()};
}

Answer Distance(const Asker &asker, const L_LIST::Question &question) {
    Answer answer;
    const End start = LocateEnd(asker, question.addresses.value(0));
    const bool startFound = start.found.chosen > 0 || start.point;
    answer.status = start.found.status;
    End end; // not asked when the start has no place
    if (startFound) end = LocateEnd(asker, question.addresses.value(1));
    if (startFound && answer.status.code == Status::Ok) answer.status = end.found.status;
    const bool ends = startFound && (end.found.chosen > 0 || end.point);
    if (answer.status.code == Status::Ok) { // both ends agree with the row: the road
        L_GEOGOG::RouteQuery route;
        QString origin = L_POINT::FormatDegrees(start.latitude) + u',' +
                         L_POINT::FormatDegrees(start.longitude),
                destination = L_POINT::FormatDegrees(end.latitude) + u',' +
                              L_POINT::FormatDegrees(end.longitude);
        L_QUERY::QueryRoute(route, origin, destination, answer.status, asker.kept, true);
    }
    const L_STATUS::ServiceStatus &s = answer.status;
    const auto km = [&](qint32 method) {
        return ends ? L_GEODST::GeoDistance(start.longitude, start.latitude, end.longitude,
                                            end.latitude, method)
                    : std::nan("");
    };
    const bool driven = s.code == Status::Ok;
    const double seconds = driven ? std::nearbyint(s.DrivingSeconds) : std::nan("");
    answer.rows.append(
        EndColumns(asker, start, true) + EndColumns(asker, end, startFound) +
        QStringList{Kilometres(asker, km(L_GEODST::MethodSphere)),
                    Kilometres(asker, km(L_GEODST::MethodEllipsoid)),
                    driven ? RoadKilometres(asker, s.DrivingMetres) : QString(),
                    std::isfinite(seconds) ? L_GEOGOG::DrivingTimeText(seconds) : QString(),
                    std::isfinite(seconds) ? QString::number(seconds, 'f', 0) : QString()});
    answer.rows[0] += Commute(asker, s, driven);
    return answer;
}

Answer Reverse(const Asker &asker, const L_LIST::Question &asked) {
    const QString question = asked.addresses.value(0).text;
    L_POINT::Point point;
    QString reason;
    const bool read = asked.latitude.isEmpty()
                          ? L_POINT::ReadPoint(question, point, reason)
                          : L_POINT::ReadPair(asked.latitude, asked.longitude, point, reason);
    if (!read) return Without(asker, Status::BadInput);
    Answer answer;
    L_GEOGOG::ReverseQuery query;
    query.Latitude = point.latitude;
    query.Longitude = point.longitude;
    L_QUERY::QueryReverse(query, answer.status, asker.kept);
    if (answer.status.code == Status::Ok)
        answer.places.append({0, 1, point.latitude, point.longitude, question, query.Address});
    answer.rows.append(QStringList{query.Address, query.Road, query.HouseNumber, query.Postcode,
                                   query.City, query.Country} +
                       Coords(asker, point.latitude, point.longitude));
    return answer;
}

Answer AskOnce(const Asker &asker, const L_LIST::Question &question) {
    switch (asker.options->mode) {
    case Mode::Geocode:
        return Geocode(asker, question.addresses.value(0));
    case Mode::Distance:
        return Distance(asker, question);
    case Mode::Reverse:
        break;
    }
    return Reverse(asker, question);
}

// Every record as wide as the columns the mode adds (less the status).
Answer Padded(const Asker &asker, Answer answer) {
    const qsizetype width = AddedColumns(*asker.options).size() - 1;
    for (QStringList &row : answer.rows)
        while (row.size() < width) row.append(QString());
    return answer;
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
        return QStringList{"lat", "lon", "formatted_address", "hits", "precision", "mismatch"} +
               coords + QStringList{"status"};
    case Mode::Distance:
        return QStringList{"start_address",   "start_lat",     "start_lon",    "start_hits",
                           "start_precision", "end_address",   "end_lat",      "end_lon",
                           "end_hits",        "end_precision", "luftlinie_km", "geodesic_km",
                           "driving_km",      "driving_time",  "driving_s",    "driving_m",
                           "shortest_km",     "commute_km"} +
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
    answer.rows.append(QStringList());
    return Padded(asker, answer);
}

Answer Ask(const Asker &asker, const L_LIST::Question &question) {
    for (const L_LIST::Address &address : question.addresses)
        if (address.text.size() > MaxQuestion) return Without(asker, Status::BadInput);
    for (int attempt = 0;; ++attempt) {
        Answer answer = Padded(asker, AskOnce(asker, question));
        const L_STATUS::ServiceStatus &s = answer.status;
        if (!L_STATUS::Transient(s) || s.code == Status::File || attempt == Retries ||
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
