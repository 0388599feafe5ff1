#pragma once
// The limits of the calling thread's transfers and waits: a flag that abandons them at
// once, and a steady-clock time by which they end. The download, the turns per host and
// the answers kept all look at them.
#include <QtGlobal>

#include <atomic>

namespace L_LIMIT {

// Each thread starts without either.
struct Limits {
    const std::atomic<bool> *stop = nullptr;
    qint64 deadlineMs = 0; // on NowMs's clock; 0: none beyond the timeouts
};
void SetLimits(const Limits &limits);
// True when the thread's stop flag is set.
bool StopRequested();
qint64 NowMs();       // the steady clock of the deadline, in ms
qint64 RemainingMs(); // until the deadline; a large number without one
// Waits `ms`; false, at once, when the stop flag is set or the deadline comes first.
bool SleepMs(qint64 ms);

} // namespace L_LIMIT
