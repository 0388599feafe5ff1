#include "batch_tool/L_KEEP.h"

namespace L_KEEP {

namespace {

thread_local int recalled = 0, missed = 0;
thread_local bool recurs = false;

void Insert(Memory &memory, const QString &url, const QByteArray &body) {
    if (!recurs) return; // no later row asks for it
    const std::lock_guard<std::mutex> lock(memory.mutex);
    memory.answers.insert(url, new QByteArray(body), qMax<qsizetype>(1, body.size()));
}

} // namespace

L_INET::Kept Keeper(Memory &memory, const L_INET::Kept *lasting) {
    L_INET::Kept kept;
    kept.recall = [&memory, lasting](const QString &url, QByteArray &body) {
        {
            const std::lock_guard<std::mutex> lock(memory.mutex);
            if (const QByteArray *known = memory.answers.object(url)) {
                body = *known;
                return ++recalled, true;
            }
        }
        if (lasting && lasting->recall && lasting->recall(url, body)) {
            Insert(memory, url, body);
            return ++recalled, true;
        }
        return ++missed, false;
    };
    kept.remember = [&memory, lasting](const QString &url, const QByteArray &body,
                                       L_INET::Keep how) {
        Insert(memory, url, body);
        if (lasting && lasting->remember) lasting->remember(url, body, how);
    };
    return kept;
}

void StartRow(bool again) {
    recalled = missed = 0;
    recurs = again;
}

bool RowWasKept() {
    return recalled > 0 && missed == 0;
}

} // namespace L_KEEP
