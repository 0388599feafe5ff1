#include "map_service/L_PACE.h"

#include "geo_files/L_PFADE.h"
#include "geo_files/L_TEMPPA.h"
#include "map_service/L_INET.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QUrl>

#include <mutex>

namespace L_PACE {

namespace {

// The hosts of the open services' default URLs (L_GEOOSM): run by volunteers for everyone,
// one request a second. The commercial service's road sends each request at once, as the
// window's road is made; its limit is the quota of the user's own key.
const char *const PublicHosts[] = {"nominatim.openstreetmap.org", "router.project-osrm.org"};

// One file per host and port, in a folder of this user's own.
QString StampFile(const QUrl &url) {
    QString name =
        url.host() + u'_' + QString::number(url.port(url.scheme() == "https" ? 443 : 80));
    for (QChar &c : name)
        if (!c.isLetterOrNumber() && c != u'.' && c != u'_') c = u'_';
    const QString folder = L_TEMPPA::OwnFolder(L_TEMPPA::RuntimeFolder());
    return folder.isEmpty() ? QString() : folder + QStringLiteral("pace-") + name;
}

// Where no stamp file can be kept, the turns are kept within this process at least.
bool WaitInProcess(const QString &host, qint64 pause) {
    static std::mutex mutex;
    static QHash<QString, qint64> last;
    const std::lock_guard<std::mutex> lock(mutex);
    const auto previous = last.constFind(host);
    if (previous != last.constEnd() && !L_INET::SleepMs(*previous + pause - L_INET::NowMs()))
        return false;
    last.insert(host, L_INET::NowMs());
    return true;
}

// The turn through the stamp file, which holds the wall-clock time of the host's last
// request; the lock is held while waiting, so that the processes queue.
bool WaitWithStamp(QFile &stamp, qint64 pause) {
    while (!L_PFADE::TryLock(stamp))
        if (!L_INET::SleepMs(10)) return false;
    const qint64 last = stamp.readLine(32).trimmed().toLongLong();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const bool sane = last <= now + pause; // a clock set back does not block the host
    if (sane && last + pause > now && !L_INET::SleepMs(last + pause - now)) return false;
    stamp.seek(0);
    stamp.resize(0);
    stamp.write(QByteArray::number(QDateTime::currentMSecsSinceEpoch()) + '\n');
    stamp.flush();
    return true; // the lock goes with the file's closing
}

} // namespace

bool IsPublicHost(const QString &url) {
    const QString host = QUrl(url).host().toLower();
    for (const char *publicHost : PublicHosts)
        if (host == QLatin1String(publicHost)) return true;
    return false;
}

qint64 PauseMs(const QString &url) {
    bool ok = false;
    const qint64 wanted = qEnvironmentVariable("GEODATEN_PACE_MS").toLongLong(&ok);
    const qint64 own = ok && wanted >= 0 && wanted <= 60'000 ? wanted : 0;
    return IsPublicHost(url) ? qMax(own, PublicPauseMs) : own;
}

bool WaitForTurn(const QString &url) {
    const qint64 pause = PauseMs(url);
    if (pause <= 0) return !L_INET::StopRequested();
    const QUrl parsed(url);
    QFile stamp(StampFile(parsed));
    if (stamp.fileName().isEmpty() ||
        !stamp.open(QIODevice::ReadWrite, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return WaitInProcess(parsed.host() + u':' + QString::number(parsed.port()), pause);
    return WaitWithStamp(stamp, pause);
}

} // namespace L_PACE
