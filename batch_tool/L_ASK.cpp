#include "batch_tool/L_ASK.h"

#include "geo_files/L_GEODST.h"
#include "map_service/L_QUERY.h"
#include "map_service/L_VALUE.h"

#include <QLocale>

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

// A coordinate a service wrote: wholly a finite number within `limit` degrees.
bool Degrees(const QString &written, double limit) {
    bool ok = false;
    const double value = QLocale::c().toDouble(written.trimmed(), &ok);
    return ok && std::isfinite(value) && std::fabs(value) <= limit;
}

Answer Geocode(const Asker &asker, qint64 row, const QString &address) {
    Answer answer;
    L_GEOGOG::GeoQuery query;
    QString sent = address;
    L_QUERY::QueryGeocode(query, sent, answer.status, asker.kept);
    for (int k = 1; k <= query.HitCount; ++k) {
        const QStringList written = query.HitCoordinates[k].split(u',');
        if (!Degrees(written.value(1), 90) || !Degrees(written.value(0), 180)) continue; // no hit
        const QString lat = L_VALUE::FormatLike(query.HitLatitudes[k], written.value(1));
        const QString lon = L_VALUE::FormatLike(query.HitLongitudes[k], written.value(0));
        answer.points.append(
            {row, int(answer.points.size()) + 1, address, query.HitAddresses[k], lat, lon});
    }
    const int hits = int(answer.points.size());
    if (hits == 0 && answer.status.code == Status::Ok) answer.status.code = Status::ZeroResults;
    if (!asker.options->all) answer.points = answer.points.mid(0, 1);
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
    QString origin = question.section(QChar(0x1F), 0, 0),
            destination = question.section(QChar(0x1F), 1);
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
    return Without(asker, Status::BadInput);
}

qint64 RetryBaseMs() {
    bool ok = false;
    const qint64 wanted = qEnvironmentVariable("GEODATEN_RETRY_MS").toLongLong(&ok);
    return ok && wanted >= 0 && wanted <= 60'000 ? wanted : 2000;
}

// The wait before the next try: what the server asked for (429, 503), else doubling.
qint64 WaitMs(const L_STATUS::ServiceStatus &status, int attempt) {
    const bool told = status.code == Status::Http && (status.http == 429 || status.http == 503) &&
                      status.retryAfterS >= 0;
    return told ? status.retryAfterS * 1000 : RetryBaseMs() << attempt;
}

} // namespace

QStringList AddedColumns(const L_BATCH::Options &options) {
    switch (options.mode) {
    case Mode::Geocode:
        return {"lat", "lon", "formatted_address", "hits", "status"};
    case Mode::Distance:
        return {"start_address", "start_lat",    "start_lon", "start_hits",   "end_address",
                "end_lat",       "end_lon",      "end_hits",  "luftlinie_km", "geodesic_km",
                "driving_km",    "driving_time", "driving_s", "status"};
    case Mode::Reverse:
        break;
    }
    return {"address", "road", "house_number", "postcode", "city", "country", "status"};
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
            L_INET::StopRequested())
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
        const bool waited = L_INET::SleepMs(wait);
        if (asker.waiting) asker.waiting(QString());
        if (!waited) return answer;
    }
}

} // namespace L_ASK
