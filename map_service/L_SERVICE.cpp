#include "map_service/L_SERVICE.h"

#include "map_service/L_PACE.h"
#include "map_service/L_VALUE.h"

namespace L_SERVICE {

namespace {

// A hit's coordinates, as text, wholly numbers on the earth.
bool OnEarth(const QString &coordinates) {
    double value = 0;
    return L_VALUE::ReadDegrees(coordinates.section(u',', 0, 0), 180, value) &&
           L_VALUE::ReadDegrees(coordinates.section(u',', 1, 1), 90, value);
}

// Drops the hits no place on earth has, keeping the lists parallel.
void DropOffEarth(GeoQuery &query) {
    for (qint32 hit = query.HitCount; hit >= 1; --hit) {
        if (OnEarth(query.HitCoordinates.value(hit))) continue;
        for (QStringList *list : {&query.HitAddresses, &query.HitCoordinates})
            if (hit < list->size()) list->removeAt(hit);
        for (QList<double> *list : {&query.HitLongitudes, &query.HitLatitudes})
            if (hit < list->size()) list->removeAt(hit);
        if (hit < query.HitDetails.size()) query.HitDetails.removeAt(hit);
        --query.HitCount;
    }
}

} // namespace

bool Geocode(const Service &service, GeoQuery &query, QString &address,
             const L_GEOGOG::SearchOptions &options, ServiceStatus &status,
             const AnswerStore *store) {
    const bool read = service.geocode(query, address, options, status, store);
    DropOffEarth(query);
    if (status.code == L_STATUS::Status::Ok && query.HitCount == 0)
        status.code = L_STATUS::Status::ZeroResults; // places, but none on earth
    return read;
}

L_INET::Answer Fetch(const Service &service, const QString &url, const QString &file,
                     const AnswerStore *store) {
    return L_FETCH::Fetch(L_FETCH::Named(url, IsPublic(service, url)), file, store);
}

bool IsPublic(const Service &service, const QString &url) {
    const QString host = L_PACE::HostOf(url);
    for (const char *const *publicHost = service.publicHosts; publicHost && *publicHost;
         ++publicHost)
        if (host == QLatin1String(*publicHost)) return true;
    return false;
}

} // namespace L_SERVICE
