// trax vcd --follow: the VCD of a file that a simulation is still writing,
// written as the file grows.
//
// The header and the definitions come first, once the file holds its first
// tree; then, at every poll, the file is opened again (under the reader lock,
// so only whole sessions are seen) and the changes the last poll had not
// written go out. The reader hides the last time step of a live file (it may
// be incomplete); that step is written at a later poll, once a later session
// completes it. The stream ends when the writer finishes the file, when the
// writer is gone without finishing it, or on SIGINT or SIGTERM; it ends after
// a whole line, so what was written is a well-formed VCD.
#ifndef TAVRI_TOOLS_TRAX_VCD_FOLLOW_H
#define TAVRI_TOOLS_TRAX_VCD_FOLLOW_H

#include <cstdio>
#include <functional>
#include <string>

namespace trax {

struct FollowOptions {
    unsigned poll_ms = 500;  // the wait between two polls
    // Runs after each poll that found the file still being written, in place
    // of the wait (tests write the next part of the file there).
    std::function<void()> between_polls;
};

enum class FollowEnd {
    kFinished,  // the writer finished the file: everything was written
    kAbandoned, // the writer is gone and left the file unfinished (*error says so)
    kStopped,   // SIGINT or SIGTERM
    kFailed     // *error says why
};

FollowEnd FollowVcd(const std::string &path, std::FILE *out, const FollowOptions &options,
                    std::string *error);

}  // namespace trax

#endif
