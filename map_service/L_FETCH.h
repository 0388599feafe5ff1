#pragma once
// A request as the providers make it: its answer from the answers stored, else downloaded
// in the host's turn; and the one rule of which answers are stored.
#include "map_service/L_CACHE.h"
#include "map_service/L_INET.h"
#include "map_service/L_STATUS.h"

#include <functional>

namespace L_FETCH {

// Answers stored by their request URL: `find` gives the body of one (false when none),
// `put` stores the body of an answer that was read and found something (or nothing).
struct AnswerStore {
    std::function<bool(const QString &url, QByteArray &body)> find;
    std::function<void(const QString &url, const QByteArray &body, bool found)> put;
};

// "geodaten/<version>": the open services refuse clients that do not say who they are.
QByteArray UserAgent();
// A request that names the program; to a public server (one request a second) or not.
L_INET::Request Named(const QString &url, bool publicServer);

// The answers kept across runs (L_CACHE) as a store; an empty one when the cache cannot
// be read. The store refers to `cache`, which must outlive it.
AnswerStore CacheStore(L_CACHE::Cache &cache);
// The stored answer of the URL, or else its download in the host's turn (L_PACE). A 429 or
// 503 with Retry-After makes every later request of this process to the host wait as long.
L_INET::Answer Fetch(const L_INET::Request &request, const QString &file, const AnswerStore *store);
// The end of a request whose answer was read, called once for each: the answer is stored
// as the status read from it says (OK found something, ZERO_RESULTS nothing); any other
// status, or an answer that came from the store, is not stored.
void Store(const AnswerStore *store, const L_INET::Answer &answer, const QString &url,
           const L_STATUS::ServiceStatus &status);

} // namespace L_FETCH
