#include "map_service/L_FETCH.h"

#include "map_service/L_PACE.h"

namespace L_FETCH {

QByteArray UserAgent() {
    return QByteArrayLiteral("geodaten/" GEODATEN_VERSION);
}

L_INET::Request Named(const QString &url, bool publicServer) {
    L_INET::Request request{url, UserAgent(), false, publicServer};
    return request;
}

AnswerStore CacheStore(L_CACHE::Cache &cache) {
    AnswerStore store;
    if (!cache.readable) return store;
    store.find = [&cache](const QString &url, QByteArray &body) {
        return L_CACHE::Find(cache, url, body);
    };
    store.put = [&cache](const QString &url, const QByteArray &body, bool found) {
        L_CACHE::Put(cache, url, body, found);
    };
    return store;
}

L_INET::Answer Fetch(const L_INET::Request &request, const QString &file,
                     const AnswerStore *store) {
    L_INET::Answer answer;
    if (store && store->find && store->find(request.url, answer.body)) {
        answer.outcome = L_INET::Outcome::Answered;
        answer.status = 200;
        answer.stored = true;
        return answer;
    }
    if (!L_INET::Ready()) return L_INET::Download(request, file); // no turn spent on nothing
    if (!L_PACE::WaitForTurn(request.url, request.publicServer)) {
        answer.error = L_LIMIT::StopRequested()
                           ? QStringLiteral("abgebrochen")
                           : QStringLiteral("Timeout was reached (waiting for the turn)");
        return answer;
    }
    answer = L_INET::Download(request, file);
    if ((answer.status == 429 || answer.status == 503) && answer.retryAfterS >= 0)
        L_PACE::PauseHost(request.url, answer.retryAfterS * 1000);
    return answer;
}

void Store(const AnswerStore *store, const L_INET::Answer &answer, const QString &url,
           const L_STATUS::ServiceStatus &status) {
    const bool found = status.code == L_STATUS::Status::Ok;
    if (!found && status.code != L_STATUS::Status::ZeroResults) return;
    if (store && store->put && !answer.stored && answer.outcome == L_INET::Outcome::Answered)
        store->put(url, answer.body, found);
}

} // namespace L_FETCH
