#pragma once
// The answers a run keeps: those of places a later row asks for again in memory (the most
// recent of them, by their size), in front of the answers kept across runs. It counts, per
// thread, what a row's requests were answered from.
#include "map_service/L_INET.h"

#include <QCache>

#include <mutex>

namespace L_KEEP {

constexpr qsizetype MemoryBytes = 16 * 1024 * 1024; // the most recent answers, by their size

struct Memory {
    std::mutex mutex;
    QCache<QString, QByteArray> answers{MemoryBytes};
};

// The kept answers of one worker thread: the run's memory, then `lasting` (when set).
L_INET::Kept Keeper(Memory &memory, const L_INET::Kept *lasting);
// A new row on this thread: what it counts starts at nothing; its answers are kept in
// memory when a later row asks for one of its places again.
void StartRow(bool recurs);
// True when this thread's row was answered wholly from kept answers (and asked at all).
bool RowWasKept();

} // namespace L_KEEP
