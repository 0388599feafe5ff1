#include "map_service/L_CACHE.h"

#include "geo_files/L_TEMPPA.h"
#include "map_service/L_DIAG.h"
#include "map_service/L_INET.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtEndian>

#include <atomic>
#include <functional>
#include <mutex>

namespace L_CACHE {

namespace {

std::atomic<bool> skipped{false}; // locked by another process: not used for the run

// Each trouble is told once per process, not once per thread or request.
void FailureLineOnce(const QString &trouble, const QString &what, const QString &file) {
    if (L_DIAG::FirstTime(QStringLiteral("cache ") + trouble))
        L_DIAG::FailureLine(QStringLiteral("cache"), what, QString(), file);
}

qint64 Now() {
    return QDateTime::currentSecsSinceEpoch();
}

// SQLite's result codes of a file that is not, or no longer, a database.
bool Broken(const QSqlError &error) {
    const QString code = error.nativeErrorCode();
    return code == QStringLiteral("11") || code == QStringLiteral("26");
}

// SQLite's result codes of a file that another connection holds.
bool Busy(const QSqlError &error) {
    const QString code = error.nativeErrorCode();
    return code == QStringLiteral("5") || code == QStringLiteral("6");
}

// Runs the query, tried again while another process holds the file, for LockWaitMs at most
// and never past the thread's stop or deadline; then the cache is skipped for the run.
bool Run(QSqlQuery &query, const std::function<bool()> &exec, const QString &file) {
    const qint64 until = L_LIMIT::NowMs() + LockWaitMs;
    while (!exec()) {
        if (!Busy(query.lastError())) return false;
        if (L_LIMIT::NowMs() < until && L_LIMIT::SleepMs(20)) continue;
        if (L_LIMIT::StopRequested()) return false;
        skipped = true;
        FailureLineOnce(QStringLiteral("locked"),
                        QStringLiteral("locked by another process; not used in this run"), file);
        return false;
    }
    return true;
}

bool Exec(QSqlDatabase &db, const QString &statement, const QString &file, QSqlError &error) {
    QSqlQuery query(db);
    const bool done = Run(
        query, [&] { return query.exec(statement); }, file);
    if (!done) error = query.lastError();
    return done;
}

// Opens the connection and makes the table; the error of the first step that failed.
QSqlError Start(Cache &cache) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), cache.connection);
    db.setDatabaseName(cache.file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=50")); // then Run's own tries
    if (!db.open()) return db.lastError();
    QSqlError error;
    if (!Exec(db, QStringLiteral("PRAGMA journal_mode=WAL"), cache.file, error) ||
        !Exec(db, QStringLiteral("SELECT count(*) FROM sqlite_master"), cache.file, error))
        return error;
    cache.writable =
        Exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"), cache.file, error) &&
        Exec(db,
             QStringLiteral("CREATE TABLE IF NOT EXISTS answers (url TEXT PRIMARY KEY, "
                            "body BLOB NOT NULL, expires INTEGER NOT NULL)"),
             cache.file, error);
    static std::once_flag expired;
    QSqlError ignored;
    if (cache.writable)
        std::call_once(expired, [&] {
            Exec(db, QStringLiteral("DELETE FROM answers WHERE expires <= %1").arg(Now()),
                 cache.file, ignored);
        });
    cache.readable =
        !skipped && Exec(db, QStringLiteral("SELECT 1 FROM answers LIMIT 1"), cache.file, ignored);
    return cache.readable ? QSqlError() : error.isValid() ? error : ignored;
}

void Prepare(Cache &cache) {
    const QSqlDatabase db = QSqlDatabase::database(cache.connection, false);
    cache.find = std::make_shared<QSqlQuery>(db);
    cache.find->prepare(QStringLiteral("SELECT body FROM answers WHERE url = ? AND expires > ?"));
    cache.put = std::make_shared<QSqlQuery>(db);
    cache.put->prepare(
        QStringLiteral("INSERT OR REPLACE INTO answers (url, body, expires) VALUES (?, ?, ?)"));
}

void Forget(Cache &cache) {
    cache.find.reset();
    cache.put.reset();
    { QSqlDatabase::database(cache.connection, false).close(); }
    QSqlDatabase::removeDatabase(cache.connection);
}

// A damaged file at the program's own default path: moved aside, to begin afresh.
void MoveAside(const QString &file) {
    QFile::remove(file + QStringLiteral(".broken"));
    QFile::rename(file, file + QStringLiteral(".broken"));
    for (const char *journal : {"-wal", "-shm"}) QFile::remove(file + QLatin1String(journal));
    FailureLineOnce(QStringLiteral("broken"),
                    QStringLiteral("no SQLite database; moved aside to %1.broken").arg(file), file);
}

// True when the file is the user's alone and a database (or empty); told once when not.
// A file at the default path that is no database is moved aside and begun afresh.
bool Usable(const QString &file, bool atDefault) {
    QByteArray head;
    QString why;
    if (!L_TEMPPA::OwnFile(file, head, why)) {
        FailureLineOnce(QStringLiteral("refused"), why + QStringLiteral("; not used"), file);
        return false;
    }
    if (head.isEmpty() || head.startsWith(QByteArrayLiteral("SQLite format 3\0"))) return true;
    if (!atDefault) {
        FailureLineOnce(QStringLiteral("refused"), QStringLiteral("no SQLite database; not used"),
                        file);
        return false;
    }
    MoveAside(file);
    return L_TEMPPA::OwnFile(file, head, why);
}

// An entry as stored: the size qCompress wrote first (four bytes, big-endian) is checked
// against the download cap before anything is inflated.
QByteArray Inflate(const QByteArray &stored) {
    if (stored.size() < 4) return QByteArray();
    const quint32 size = qFromBigEndian<quint32>(stored.constData());
    return size <= L_INET::MaxResponseBytes ? qUncompress(stored) : QByteArray();
}

} // namespace

QString CacheFile() {
    const QString named = qEnvironmentVariable("GEODATEN_CACHE");
    if (named == QStringLiteral("off")) return QString();
    if (!named.isEmpty()) return named;
    const QString folder = L_TEMPPA::CacheFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("answers.sqlite");
}

Cache Open(const QString &file) {
    static std::atomic<int> count{0};
    Cache cache;
    const QString folder = QFileInfo(file).absolutePath();
    const bool atDefault = qEnvironmentVariable("GEODATEN_CACHE").isEmpty();
    if (file.isEmpty() || skipped) return cache;
    if (atDefault || !QFileInfo::exists(folder)) L_TEMPPA::OwnFolder(folder); // made ours
    if (!Usable(file, atDefault)) return cache;
    cache.file = file;
    cache.connection = QStringLiteral("geodaten-cache-%1").arg(++count);
    QSqlError error = Start(cache);
    if (error.isValid() && Broken(error) && atDefault) { // moved aside, and begun afresh
        Forget(cache);
        MoveAside(file);
        cache.readable = cache.writable = false;
        if (Usable(file, atDefault)) error = Start(cache);
    } else if (Broken(error)) {
        FailureLineOnce(QStringLiteral("refused"), QStringLiteral("damaged; not used"), file);
    }
    if (!cache.readable && !skipped && !Broken(error))
        FailureLineOnce(QStringLiteral("unreadable"),
                        QStringLiteral("cannot be used: ") + error.text(), file);
    else if (cache.readable && !cache.writable)
        FailureLineOnce(QStringLiteral("unwritable"),
                        QStringLiteral("cannot be written; answers are not kept"), file);
    if (cache.readable) Prepare(cache);
    return cache;
}

void Close(Cache &cache) {
    if (!cache.connection.isEmpty()) Forget(cache);
    cache = Cache();
}

bool Find(Cache &cache, const QString &url, QByteArray &body) {
    if (!cache.readable || skipped) return false;
    QSqlQuery &query = *cache.find;
    query.bindValue(0, url);
    query.bindValue(1, Now());
    const bool found = Run(
                           query, [&] { return query.exec(); }, cache.file) &&
                       query.next();
    body = found ? Inflate(query.value(0).toByteArray()) : QByteArray();
    query.finish();         // no read transaction stays open
    return !body.isEmpty(); // a damaged entry is no answer
}

void Put(Cache &cache, const QString &url, const QByteArray &body, bool found) {
    if (!cache.writable || skipped) return;
    QSqlQuery &query = *cache.put;
    query.bindValue(0, url);
    query.bindValue(1, qCompress(body));
    query.bindValue(2, Now() + 86400 * (found ? FoundDays : NothingDays));
    if (Run(
            query, [&] { return query.exec(); }, cache.file) ||
        skipped || L_LIMIT::StopRequested())
        return;
    cache.writable = false; // full, or read-only by now: the run goes on without it
    FailureLineOnce(QStringLiteral("unwritable"),
                    QStringLiteral("cannot be written; answers are not kept: ") +
                        query.lastError().databaseText(), // SQLite's words, not the driver's
                    cache.file);
}

} // namespace L_CACHE
