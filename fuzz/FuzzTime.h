// The processor time this thread has used, for bounding the time one input
// may take: unlike the wall clock it does not grow when other programs share
// the processor.
#pragma once

#include <ctime>

namespace fuzz {

inline double threadMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

} // namespace fuzz
