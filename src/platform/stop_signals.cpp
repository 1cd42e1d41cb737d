#include "platform/stop_signals.h"

// The POSIX side; the Windows side is in stop_signals_win32.cpp.
#ifndef _WIN32

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace tavri::platform {
namespace {

constexpr int kStopSignals[2] = {SIGINT, SIGTERM};
constexpr int kPollMs = 50;

volatile sig_atomic_t g_caught = 0;
int g_depth = 0;  // watches alive; only the outermost installs and restores

void Note(int signal_number) { g_caught = signal_number; }

}  // namespace

StopSignalWatch::StopSignalWatch(bool pass_on) : pass_on_(pass_on), outermost_(g_depth == 0), previous_{} {
    ++g_depth;
    if (!outermost_) {
        return;
    }
    g_caught = 0;
    struct sigaction noting {};
    noting.sa_handler = Note;
    sigemptyset(&noting.sa_mask);
    noting.sa_flags = 0;  // no restart: a blocked call returns on the signal
    for (int i = 0; i < 2; ++i) {
        sigaction(kStopSignals[i], &noting, &previous_[i]);
    }
}

StopSignalWatch::~StopSignalWatch() {
    --g_depth;
    if (!outermost_) {
        return;
    }
    for (int i = 0; i < 2; ++i) {
        sigaction(kStopSignals[i], &previous_[i], nullptr);
    }
    const int caught = g_caught;
    g_caught = 0;
    if (pass_on_ && caught != 0) {
        std::raise(caught);
    }
}

int StopSignalWatch::Caught() const { return g_caught; }

bool StopSignalWatch::ReadLine(FileHandle file, char *line, size_t size) const {
    size_t length = 0;
    line[0] = '\0';
    for (;;) {
        if (g_caught != 0) {
            return false;
        }
        struct pollfd ready {};
        ready.fd = file;
        ready.events = POLLIN;
        const int polled = ::poll(&ready, 1, kPollMs);
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled < 0 || (polled > 0 && (ready.revents & POLLNVAL) != 0)) {
            return false;
        }
        if (polled == 0) {
            continue;
        }
        char byte = 0;
        const ssize_t got = ::read(file, &byte, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return length > 0;  // a last line without its newline still counts
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
