#pragma once
// The open services' answers kept across runs, as their usage policy asks: one SQLite file
// shared by the window and every geodaten-batch run of the user, keyed by request URL.
// "Nothing found" is kept a day, a found answer 90 days; failures never. A cache that is
// damaged, read-only or full costs one diagnostic line and never a query.
#include "map_service/L_INET.h"

#include <memory>

class QSqlQuery;

namespace L_CACHE {

constexpr qint64 FoundDays = 90, NothingDays = 1;

// GEODATEN_CACHE when set ("off": no cache, empty), else the cache folder's answers.sqlite.
QString CacheFile();

// The calling thread's connection to the file (a connection serves one thread).
struct Cache {
    QString connection, file;
    bool readable = false, writable = false;
    std::shared_ptr<QSqlQuery> recall, remember;
};

// Opens the file for this thread: its folder made for this user alone (0700), the file
// 0600, WAL and a busy timeout, so that several processes share it. A file that is no
// SQLite database, or a corrupt one, is moved to "<file>.broken" and a fresh one begun;
// entries past their time are removed once per process.
Cache Open(const QString &file);
void Close(Cache &cache);
// The cache as answers kept (L_INET::Fetch and the providers ask and offer through it).
L_INET::Kept Keeper(Cache &cache);

} // namespace L_CACHE
