#include "platform/stop_signals.h"

// The Windows side; the POSIX side is in stop_signals.cpp. The C runtime
// turns Ctrl-C into SIGINT (from the console's control handler, on a thread
// of its own) and knows SIGTERM only from raise(); a handler set with
// signal() is reset to the default when it runs, so it sets itself again.
#ifdef _WIN32

#include <io.h>
#include <windows.h>


namespace tavri::platform {
namespace {

constexpr int kStopSignals[2] = {SIGINT, SIGTERM};

volatile sig_atomic_t g_caught = 0;
int g_depth = 0;  // watches alive; only the outermost installs and restores

void Note(int signal_number) {
    g_caught = signal_number;
    std::signal(signal_number, Note);
}

}  // namespace

StopSignalWatch::StopSignalWatch(bool pass_on) : pass_on_(pass_on), outermost_(g_depth == 0), previous_{} {
    ++g_depth;
    if (!outermost_) {
        return;
    }
    g_caught = 0;
    for (int i = 0; i < 2; ++i) {
        previous_[i] = std::signal(kStopSignals[i], Note);
    }
}

StopSignalWatch::~StopSignalWatch() {
    --g_depth;
    if (!outermost_) {
        return;
    }
    for (int i = 0; i < 2; ++i) {
        std::signal(kStopSignals[i], previous_[i] == SIG_ERR ? SIG_DFL : previous_[i]);
    }
    const int caught = g_caught;
    g_caught = 0;
    if (pass_on_ && caught != 0) {
        std::raise(caught);
    }
}

int StopSignalWatch::Caught() const { return g_caught; }

// A console or pipe read cannot be waited on with a timeout the way poll
// does, so a stop signal is seen between bytes: before each read and once
// the read returns.
bool StopSignalWatch::ReadLine(FileHandle file, char *line, size_t size) const {
    size_t length = 0;
    line[0] = '\0';
    for (;;) {
        if (g_caught != 0) {
            return false;
        }
        char byte = 0;
        const int got = ::_read(file, &byte, 1);
        if (g_caught != 0) {
            return false;
        }
        if (got <= 0) {
            return length > 0;  // a last line without its newline still counts
        }
        if (byte == '\r') {
            continue;
        }
        if (byte == '\n') {
            return true;
        }
        if (length + 1 < size) {
            line[length++] = byte;
            line[length] = '\0';
        }
    }
}

}  // namespace tavri::platform

#endif  // _WIN32
