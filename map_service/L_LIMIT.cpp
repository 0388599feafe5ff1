#include "map_service/L_LIMIT.h"

#include <chrono>
#include <thread>

namespace L_LIMIT {

namespace {

thread_local Limits limits;

constexpr qint64 SleepStepMs = 20; // how soon a stop ends a wait

} // namespace

void SetLimits(const Limits &wanted) {
    limits = wanted;
}

bool StopRequested() {
    return limits.stop && limits.stop->load();
}

qint64 NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

qint64 RemainingMs() {
    return limits.deadlineMs > 0 ? limits.deadlineMs - NowMs() : qint64(1) << 40;
}

bool SleepMs(qint64 ms) {
    const qint64 until = NowMs() + ms;
    if (until > NowMs() + RemainingMs()) return false; // the deadline comes first
    for (qint64 left; !StopRequested() && (left = until - NowMs()) > 0;)
        std::this_thread::sleep_for(std::chrono::milliseconds(qMin(left, SleepStepMs)));
    return !StopRequested();
}

} // namespace L_LIMIT
