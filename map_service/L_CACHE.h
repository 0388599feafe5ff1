#pragma once
// The open services' answers kept across runs, as their usage policy asks: one SQLite file
// of the user's own, shared by the window and every geodaten-batch run, keyed by request
// URL. A cache that is not the user's alone, damaged, locked, read-only or full costs one
// diagnostic line and never a query.
#include <QString>

#include <memory>

class QSqlQuery;

namespace L_CACHE {

constexpr qint64 FoundDays = 90, NothingDays = 1;
constexpr qint64 LockWaitMs = 2000; // a file locked longer is skipped for the run

// GEODATEN_CACHE when set ("off": no cache, empty), else the cache folder's answers.sqlite.
QString CacheFile();

// The calling thread's connection to the file (a connection serves one thread).
struct Cache {
    QString connection, file;
    bool readable = false, writable = false;
    std::shared_ptr<QSqlQuery> find, put;
};

// Opens the file for this thread, in WAL mode, so that several processes share it. The
// file and its folder must be the user's alone (L_TEMPPA::OwnFile; the program's own cache
// folder is made so); a missing one is made 0600. A file that is no SQLite database, or a
// corrupt one, is refused, but at the default path moved to "<file>.broken" and begun
// afresh. A file another process holds locked longer than LockWaitMs is skipped by every
// thread for the rest of the process. Entries past their time are removed once per process.
Cache Open(const QString &file);
void Close(Cache &cache);
// The body stored for the URL and not past its time; false when there is none, or when the
// entry is damaged or would inflate beyond the download cap (L_INET::MaxResponseBytes).
bool Find(Cache &cache, const QString &url, QByteArray &body);
// Stores the body for the URL, FoundDays when it found something, else NothingDays.
void Put(Cache &cache, const QString &url, const QByteArray &body, bool found);

} // namespace L_CACHE
