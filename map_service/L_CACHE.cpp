#include "map_service/L_CACHE.h"

#include "geo_files/L_TEMPPA.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

#include <atomic>
#include <mutex>

namespace L_CACHE {

namespace {

// SQLite's result codes of a file that is not, or no longer, a database.
bool Broken(const QSqlError &error) {
    const QString code = error.nativeErrorCode();
    return code == QStringLiteral("11") || code == QStringLiteral("26");
}

// Each trouble is told once per process, not once per thread or request.
void TellOnce(std::atomic<bool> &told, const QString &what, const QString &file) {
    if (told.exchange(true)) return;
    L_INET::Tell(QStringLiteral("cache"), what, QString(), file);
}
std::atomic<bool> toldBroken{false}, toldUnwritable{false}, toldUnreadable{false};

qint64 Now() {
    return QDateTime::currentSecsSinceEpoch();
}

// SQLite's result codes of a file that another connection holds a moment longer.
bool Busy(const QSqlError &error) {
    const QString code = error.nativeErrorCode();
    return code == QStringLiteral("5") || code == QStringLiteral("6");
}

// A statement, tried again for a while where another process holds the file: some locks
// (a new file's journal mode, its recovery) are not waited for by the busy timeout.
bool Exec(QSqlDatabase &db, const QString &statement, QSqlError &error) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        QSqlQuery query(db);
        if (query.exec(statement)) return true;
        error = query.lastError();
        if (!Busy(error)) return false;
        QThread::msleep(20);
    }
    return false;
}

// The file of this user alone, before SQLite makes it (its journal files take its mode).
void MakeFile(const QString &file) {
    L_TEMPPA::OwnFolder(QFileInfo(file).absolutePath());
    if (QFileInfo::exists(file)) return;
    QFile fresh(file);
    fresh.open(QIODevice::WriteOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// Opens the connection and makes the table; the error of the first step that failed.
QSqlError Start(Cache &cache) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), cache.connection);
    db.setDatabaseName(cache.file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) return db.lastError();
    QSqlError error;
    if (!Exec(db, QStringLiteral("PRAGMA journal_mode=WAL"), error) ||
        !Exec(db, QStringLiteral("SELECT count(*) FROM sqlite_master"), error))
        return error;
    cache.writable =
        Exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"), error) &&
        Exec(db,
             QStringLiteral("CREATE TABLE IF NOT EXISTS answers (url TEXT PRIMARY KEY, "
                            "body BLOB NOT NULL, expires INTEGER NOT NULL)"),
             error);
    static std::once_flag expired;
    QSqlError ignored;
    if (cache.writable)
        std::call_once(expired, [&] {
            Exec(db, QStringLiteral("DELETE FROM answers WHERE expires <= %1").arg(Now()), ignored);
        });
    cache.readable = Exec(db, QStringLiteral("SELECT 1 FROM answers LIMIT 1"), ignored);
    return cache.readable ? QSqlError() : error.isValid() ? error : ignored;
}

void Prepare(Cache &cache) {
    const QSqlDatabase db = QSqlDatabase::database(cache.connection, false);
    cache.recall = std::make_shared<QSqlQuery>(db);
    cache.recall->prepare(QStringLiteral("SELECT body FROM answers WHERE url = ? AND expires > ?"));
    cache.remember = std::make_shared<QSqlQuery>(db);
    cache.remember->prepare(
        QStringLiteral("INSERT OR REPLACE INTO answers (url, body, expires) VALUES (?, ?, ?)"));
}

void Forget(Cache &cache) {
    cache.recall.reset();
    cache.remember.reset();
    { QSqlDatabase::database(cache.connection, false).close(); }
    QSqlDatabase::removeDatabase(cache.connection);
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
    if (file.isEmpty()) return cache;
    cache.file = file;
    cache.connection = QStringLiteral("geodaten-cache-%1").arg(++count);
    MakeFile(file);
    QSqlError error = Start(cache);
    if (error.isValid() && Broken(error)) { // moved aside, and begun afresh
        Forget(cache);
        QFile::remove(file + QStringLiteral(".broken"));
        QFile::rename(file, file + QStringLiteral(".broken"));
        for (const char *journal : {"-wal", "-shm"}) QFile::remove(file + QLatin1String(journal));
        TellOnce(toldBroken,
                 QStringLiteral("no SQLite database; moved aside to %1.broken").arg(file), file);
        MakeFile(file);
        cache.readable = cache.writable = false;
        error = Start(cache);
    }
    if (!cache.readable)
        TellOnce(toldUnreadable, QStringLiteral("cannot be used: ") + error.text(), file);
    else if (!cache.writable)
        TellOnce(toldUnwritable, QStringLiteral("cannot be written; answers are not kept"), file);
    if (cache.readable) Prepare(cache);
    return cache;
}

void Close(Cache &cache) {
    if (!cache.connection.isEmpty()) Forget(cache);
    cache = Cache();
}

L_INET::Kept Keeper(Cache &cache) {
    L_INET::Kept kept;
    if (!cache.readable) return kept;
    kept.recall = [&cache](const QString &url, QByteArray &body) {
        QSqlQuery &query = *cache.recall;
        query.bindValue(0, url);
        query.bindValue(1, Now());
        const bool found = query.exec() && query.next();
        body = found ? qUncompress(query.value(0).toByteArray()) : QByteArray();
        query.finish();         // no read transaction stays open
        return !body.isEmpty(); // a damaged entry is no answer
    };
    kept.remember = [&cache](const QString &url, const QByteArray &body, L_INET::Keep how) {
        if (!cache.writable) return;
        QSqlQuery &query = *cache.remember;
        query.bindValue(0, url);
        query.bindValue(1, qCompress(body));
        query.bindValue(2, Now() + 86400 * (how == L_INET::Keep::Found ? FoundDays : NothingDays));
        if (query.exec() || Busy(query.lastError())) return; // busy: this one is not kept
        cache.writable = false; // full, or read-only by now: the run goes on without it
        TellOnce(toldUnwritable,
                 QStringLiteral("cannot be written; answers are not kept: ") +
                     query.lastError().text(),
                 cache.file);
    };
    return kept;
}

} // namespace L_CACHE
