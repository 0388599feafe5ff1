#include "batch_tool/L_KEEP.h"

#include "map_service/L_LIMIT.h"

#include <QStringList>

namespace L_KEEP {

namespace {

constexpr int WaitStepMs = 100; // how soon a stop ends a wait for another worker's answer

thread_local int remembered = 0, kept = 0, asked = 0; // this row's lookups: from memory,
                                                      // the lasting store, or neither
thread_local bool recurs = false;
thread_local QStringList mine; // the URLs this thread is asking, in `asking`

// Gives up this thread's requests in flight: their answers are stored or will not be.
void Release(Memory &memory) {
    if (mine.isEmpty()) return;
    for (const QString &url : std::as_const(mine)) memory.asking.remove(url);
    mine.clear();
    memory.settled.notify_all();
}

// The answer in memory; else, where another thread is asking for it, waits for that.
// False, with the URL taken up as this thread's, when the thread is to ask itself.
bool FromMemory(Memory &memory, const QString &url, QByteArray &body) {
    std::unique_lock<std::mutex> lock(memory.mutex);
    Release(memory); // a new request: the thread's earlier ones have ended
    for (;;) {
        if (const QByteArray *known = memory.answers.object(url)) {
            body = *known;
            return true;
        }
        if (!recurs || !memory.asking.contains(url) || L_LIMIT::StopRequested()) break;
        memory.settled.wait_for(lock, std::chrono::milliseconds(WaitStepMs));
    }
    if (recurs) {
        memory.asking.insert(url);
        mine.append(url);
    }
    return false;
}

void Insert(Memory &memory, const QString &url, const QByteArray &body) {
    const std::lock_guard<std::mutex> lock(memory.mutex);
    if (recurs) memory.answers.insert(url, new QByteArray(body), qMax<qsizetype>(1, body.size()));
    Release(memory);
}

} // namespace

L_FETCH::AnswerStore Store(Memory &memory, const L_FETCH::AnswerStore *lasting) {
    L_FETCH::AnswerStore store;
    store.find = [&memory, lasting](const QString &url, QByteArray &body) {
        if (FromMemory(memory, url, body)) return ++remembered, true;
        if (lasting && lasting->find && lasting->find(url, body)) {
            Insert(memory, url, body);
            return ++kept, true;
        }
        return ++asked, false;
    };
    store.put = [&memory, lasting](const QString &url, const QByteArray &body, bool found) {
        Insert(memory, url, body);
        if (lasting && lasting->put) lasting->put(url, body, found);
    };
    return store;
}

void StartRow(bool again) {
    remembered = kept = asked = 0;
    recurs = again;
}

Answered EndRow(Memory &memory) {
    {
        const std::lock_guard<std::mutex> lock(memory.mutex);
        Release(memory);
    }
    if (asked > 0 || remembered + kept == 0) return Answered::Asked;
    return kept > 0 ? Answered::Kept : Answered::Remembered;
}

} // namespace L_KEEP
