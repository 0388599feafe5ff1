#include "map_service/L_STATUS.h"

#include "xml_text/L_REPLAC.h"

namespace L_STATUS {

namespace {

constexpr qsizetype MaxWord = 100; // the longest of the services' own words is 22

const struct {
    Status code;
    const char *word;
} Words[] = {
    {Status::Ok, "OK"},
    {Status::ZeroResults, "ZERO_RESULTS"},
    {Status::Mismatch, "MISMATCH"},
    {Status::Empty, "EMPTY"},
    {Status::Columns, "COLUMNS"},
    {Status::BadInput, "BAD_INPUT"},
    {Status::Refused, "REFUSED"},
    {Status::File, "FILE"},
    {Status::Network, "NETWORK"},
    {Status::InvalidResponse, "INVALID_RESPONSE"},
};

} // namespace

ServiceStatus Of(Status code) {
    ServiceStatus status;
    status.code = code;
    return status;
}

QString Word(const ServiceStatus &status) {
    if (status.code == Status::Http) return QStringLiteral("HTTP %1").arg(status.http);
    if (status.code == Status::Service) return status.word;
    for (const auto &w : Words)
        if (w.code == status.code) return QString::fromLatin1(w.word);
    return QString();
}

ServiceStatus FromWord(const QString &word) {
    for (const auto &w : Words)
        if (word == QLatin1String(w.word)) return Of(w.code);
    if (word.startsWith(QStringLiteral("HTTP "))) {
        ServiceStatus status = Of(Status::Http);
        status.http = word.mid(5).toLong();
        return status;
    }
    if (word.isEmpty()) return Of(Status::Network);
    ServiceStatus status = Of(Status::Service);
    status.word = word;
    return status;
}

bool Transient(const ServiceStatus &status) {
    switch (status.code) {
    case Status::Network:
    case Status::File:
        return true;
    case Status::Http:
        return status.http == 429 || (status.http >= 500 && status.http <= 599);
    case Status::Service:
        return status.word == QStringLiteral("OVER_QUERY_LIMIT");
    default:
        return false;
    }
}

void CheckRouteNumbers(ServiceStatus &status) {
    const bool earthly = status.DrivingMetres >= 0 && status.DrivingMetres <= MaxRoadMetres &&
                         status.ShortestMetres >= 0 && status.ShortestMetres <= MaxRoadMetres &&
                         status.DrivingSeconds >= 0 && status.DrivingSeconds <= MaxRoadSeconds;
    if (!earthly) status.code = Status::InvalidResponse; // NaN fails every comparison too
}

ServiceStatus FromService(const QString &word) {
    // A stranger's text: no control character or escape sequence, no novel's length.
    const QString trimmed = L_REPLAC::Clean(word).trimmed().left(MaxWord);
    if (trimmed.isEmpty()) return Of(Status::InvalidResponse);
    if (trimmed.toUpper() == QStringLiteral("OK")) return Of(Status::Ok);
    if (trimmed == QStringLiteral("ZERO_RESULTS")) return Of(Status::ZeroResults);
    ServiceStatus status = Of(Status::Service);
    status.word = trimmed;
    return status;
}

} // namespace L_STATUS
