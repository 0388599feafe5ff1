#include "map_service/L_PACE.h"

#include "geo_files/L_PFADE.h"
#include "geo_files/L_TEMPPA.h"
#include "map_service/L_DIAG.h"
#include "map_service/L_ENV.h"
#include "map_service/L_LIMIT.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QUrl>

#include <atomic>
#include <mutex>

namespace L_PACE {

namespace {

using L_LIMIT::NowMs;

constexpr qint64 LockWaitMs = 1000;      // a stamp file locked longer: its holder was stopped
constexpr qint64 StuckMemoryMs = 10'000; // after that, the lock is not waited for a while
constexpr qint64 StuckMs = 100;          // a read this old before its write: stopped between
constexpr qint64 MaxQueued = 64;         // turns ahead a stamp may hold; beyond, the clock moved
constexpr qint64 LateMs = 50;            // a turn woken later than this is reserved anew
constexpr int MaxAttempts = 3;

// The turns of this process: per host and port, the last turn reserved and the time a
// server asked every request to wait for (both on L_LIMIT's steady clock).
struct Turns {
    std::mutex mutex;
    QHash<QString, qint64> last, notBefore;
};
Turns &InProcess() {
    static Turns turns;
    return turns;
}

QString Key(const QString &url) {
    const QUrl parsed(url);
    return HostOf(url) + u'_' + QString::number(parsed.port(parsed.scheme() == "https" ? 443 : 80));
}

// One file per host and port, in the user's cache folder, wherever XDG_RUNTIME_DIR points
// (a run from cron and one from a desktop share it).
QString StampFile(const QString &key) {
    QString name = key;
    for (QChar &c : name)
        if (!c.isLetterOrNumber() && c != u'.' && c != u'_') c = u'_';
    const QString folder = L_TEMPPA::OwnFolder(L_TEMPPA::CacheFolder());
    return folder.isEmpty() ? QString() : folder + QStringLiteral("pace-") + name;
}

// Reserves the next turn within this process: its time on the steady clock.
qint64 ReserveInProcess(const QString &key, qint64 pause) {
    Turns &turns = InProcess();
    const std::lock_guard<std::mutex> lock(turns.mutex);
    const auto previous = turns.last.constFind(key);
    const qint64 slot =
        previous == turns.last.constEnd() ? NowMs() : qMax(NowMs(), *previous + pause);
    turns.last.insert(key, slot);
    return slot;
}

// Takes the stamp file's lock, waiting about a second at most; false when its holder
// keeps it (its process was stopped inside): the file is then used without the lock, told
// once, and for a while waited for only a moment.
bool Lock(QFile &stamp, bool &stopped) {
    static std::atomic<qint64> stuckAt{-StuckMemoryMs};
    const bool recently = NowMs() - stuckAt < StuckMemoryMs; // then a live holder's moment
    for (const qint64 until = NowMs() + (recently ? 20 : LockWaitMs); !L_PFADE::TryLock(stamp);) {
        if (NowMs() >= until) {
            stuckAt = NowMs();
            if (L_DIAG::FirstTime(QStringLiteral("locked ") + stamp.fileName()))
                L_DIAG::FailureLine(QStringLiteral("pace"),
                                    QStringLiteral("held by a stopped process; used without "
                                                   "its lock"),
                                    QString(), stamp.fileName());
            return false;
        }
        if (!L_LIMIT::SleepMs(5)) return stopped = true, false;
    }
    return true;
}

// Reserves the next turn in the stamp file, which holds the wall-clock time of the last
// turn reserved; the lock is held only to read and write it, never while waiting. A
// holder stopped between its read and its write reads again. The turn's time on the
// steady clock; -1 when the file cannot be written (told once; the turns are then kept
// within this process), -2 when the thread stops or the turn would come after its deadline.
qint64 ReserveInFile(QFile &stamp, qint64 pause) {
    bool stopped = false;
    if (!Lock(stamp, stopped) && stopped) return -2;
    qint64 now = 0, slot = 0;
    for (qint64 read = -StuckMs; NowMs() - read >= StuckMs;) {
        read = NowMs();
        now = QDateTime::currentMSecsSinceEpoch();
        const qint64 last = stamp.seek(0) ? stamp.readLine(32).trimmed().toLongLong() : 0;
        const bool sane = last <= now + MaxQueued * pause; // a clock set back does not block
        slot = sane ? qMax(now, last + pause) : now;
    }
    if (slot - now > L_LIMIT::RemainingMs()) return -2;
    // Written in place at a fixed width: a reader without the lock never meets an empty file.
    const QByteArray text = QByteArray::number(slot).rightJustified(20, '0') + '\n';
    if (!stamp.seek(0) || stamp.write(text) != text.size() || !stamp.flush()) {
        if (L_DIAG::FirstTime(QStringLiteral("unwritten ") + stamp.fileName()))
            L_DIAG::FailureLine(QStringLiteral("pace"),
                                QStringLiteral("cannot be written; turns are kept within "
                                               "this process: ") +
                                    stamp.errorString(),
                                QString(), stamp.fileName());
        return -1;
    }
    return NowMs() + (slot - now); // the lock goes with the file's closing
}

// Waits until the time a server asked for at the host has passed.
bool WaitForHost(const QString &key) {
    Turns &turns = InProcess();
    qint64 until = 0;
    {
        const std::lock_guard<std::mutex> lock(turns.mutex);
        until = turns.notBefore.value(key, 0);
    }
    return until <= NowMs() || L_LIMIT::SleepMs(until - NowMs());
}

} // namespace

QString HostOf(const QString &url) {
    QString host = QString::fromLatin1(QUrl::toAce(QUrl(url).host())).toLower();
    while (host.endsWith(u'.')) host.chop(1);
    return host;
}

qint64 PauseMs(bool publicServer) {
    const qint64 own = L_ENV::Integer("GEODATEN_PACE_MS", 0, 60'000, 0);
    return publicServer ? qMax(own, PublicPauseMs) : own;
}

bool WaitForTurn(const QString &url, bool publicServer) {
    const QString key = Key(url);
    if (!WaitForHost(key)) return false;
    const qint64 pause = PauseMs(publicServer);
    if (pause <= 0) return !L_LIMIT::StopRequested();
    for (int attempt = 1;; ++attempt) {
        QFile stamp(StampFile(key));
        qint64 slot = -1;
        if (!stamp.fileName().isEmpty() &&
            stamp.open(QIODevice::ReadWrite, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            slot = ReserveInFile(stamp, pause);
        stamp.close();
        if (slot == -2) return false;
        if (slot == -1) slot = ReserveInProcess(key, pause);
        if (!L_LIMIT::SleepMs(slot - NowMs())) return false;
        // Woken late (the process was stopped, or starved), the turn may meet one that
        // another process reserved after it: a new one is reserved, a few times at most.
        if (NowMs() - slot <= LateMs || attempt == MaxAttempts) return true;
    }
}

void PauseHost(const QString &url, qint64 ms) {
    Turns &turns = InProcess();
    const std::lock_guard<std::mutex> lock(turns.mutex);
    const QString key = Key(url);
    turns.notBefore.insert(key, qMax(turns.notBefore.value(key, 0), NowMs() + ms));
}

} // namespace L_PACE
