// Noticing a request to stop (SIGINT, SIGTERM) while the process waits on
// something of its own: a lock held elsewhere, an answer on the console.
// A simulator that catches these signals only acts on them at its next
// scheduling point, which never comes while such a wait goes on; for the
// length of the wait the signals are noted here instead, so that the wait
// can end.
#ifndef TAVRI_PLATFORM_STOP_SIGNALS_H
#define TAVRI_PLATFORM_STOP_SIGNALS_H

#include <csignal>
#include <cstddef>

#include "platform/file_io.h"

namespace tavri::platform {

class StopSignalWatch {
  public:
    // With `pass_on`, a signal that came is raised again once the previous
    // handlers are back, so that they see it too.
    explicit StopSignalWatch(bool pass_on);
    ~StopSignalWatch();
    StopSignalWatch(const StopSignalWatch &) = delete;
    StopSignalWatch &operator=(const StopSignalWatch &) = delete;

    // The signal that came, or 0.
    int Caught() const;

    // Waits; false when a stop signal ended the wait early.
    bool Sleep(unsigned milliseconds) const;

    // Reads one line (without its newline, at most size - 1 characters) from
    // the descriptor, a byte at a time so that nothing after it is taken.
    // False at the end of the input, on a read error or on a stop signal.
    bool ReadLine(FileHandle file, char *line, size_t size) const;

  private:
    bool pass_on_;
    bool outermost_;
#ifdef _WIN32
    void (*previous_[2])(int);
#else
    struct sigaction previous_[2];
#endif
};

}  // namespace tavri::platform

#endif
