#pragma once
// The answers a run keeps: those of places a later row asks for again in memory (the most
// recent of them, by their size), in front of the answers kept across runs. A place that
// recurs is asked once: a worker that wants an answer another worker is asking for right
// now waits for it. It counts, per thread, what a row's requests were answered from.
#include "map_service/L_FETCH.h"

#include <QCache>
#include <QSet>

#include <condition_variable>
#include <mutex>

namespace L_KEEP {

constexpr qsizetype MemoryBytes = 16 * 1024 * 1024; // the most recent answers, by their size

struct Memory {
    std::mutex mutex;
    std::condition_variable settled; // an answer stored, or a request in flight given up
    QCache<QString, QByteArray> answers{MemoryBytes};
    QSet<QString> asking; // URLs of recurring places a worker is asking right now
};

// The answer store of one worker thread: the run's memory, then `lasting` (when set). A
// lookup of a URL that another thread is asking waits (bounded by the thread's stop flag)
// until that thread's answer is stored or its request has ended without one.
L_FETCH::AnswerStore Store(Memory &memory, const L_FETCH::AnswerStore *lasting);
// A new row on this thread: what it counts starts at nothing; its answers are kept in
// memory when a later row asks for one of its places again.
void StartRow(bool recurs);
// Where a row's answers came from: a request; else the run's memory alone (a place asked
// for before in the run), or the answers kept across runs.
enum class Answered { Asked, Remembered, Kept };
// The end of this thread's row: the URLs it was asking are given up (for other workers to
// ask), and where its answers came from.
Answered EndRow(Memory &memory);

} // namespace L_KEEP
