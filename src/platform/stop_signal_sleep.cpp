#include <chrono>

#include "platform/file_lock.h"
#include "platform/stop_signals.h"

namespace tavri::platform {

// Sleeps in short steps so that a stop signal noted meanwhile ends the wait
// within one step, on either system.
bool StopSignalWatch::Sleep(unsigned milliseconds) const {
    constexpr long long kStepMs = 50;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (Caught() == 0) {
        const long long left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            return true;
        }
        SleepMilliseconds(static_cast<unsigned>(left < kStepMs ? left : kStepMs));
    }
    return false;
}

}  // namespace tavri::platform
