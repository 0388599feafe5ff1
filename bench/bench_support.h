#pragma once
// Timing that compares contenders fairly on a shared, noisy machine: freed memory stays in
// the process (so page faults are not timed), contenders alternate rep by rep, and the
// best of the reps is reported.
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

inline void KeepFreedMemory() {
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, -1);
}

inline double Seconds(const std::function<void()> &work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Best time of each contender over `reps` alternating rounds.
inline std::vector<double> Alternate(const std::vector<std::function<void()>> &contenders,
                                     int reps) {
    std::vector<double> best(contenders.size(), 1e300);
    for (int rep = 0; rep < reps; ++rep)
        for (size_t k = 0; k < contenders.size(); ++k)
            best[k] = std::min(best[k], Seconds(contenders[k]));
    return best;
}
