#include "vcd_follow.h"

#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <iterator>
#include <memory>

#include "database.h"
#include "platform/file_lock.h"
#include "platform/writer_presence.h"
#include "vcd_writer.h"

namespace trax {
namespace {

volatile sig_atomic_t g_stop = 0;

extern "C" void NoteStop(int signal_number) { g_stop = signal_number; }

// For the length of the stream, SIGINT and SIGTERM ask it to end after the
// time step it writes. Writes go on across them (SA_RESTART), so that no
// line is cut. Signals the tool was started to ignore stay ignored.
#ifndef _WIN32
class StopRequests {
  public:
    StopRequests() {
        g_stop = 0;
        struct sigaction noting {};
        noting.sa_handler = NoteStop;
        sigemptyset(&noting.sa_mask);
        noting.sa_flags = SA_RESTART;
        for (size_t i = 0; i < std::size(kSignals); ++i) {
            sigaction(kSignals[i], nullptr, &previous_[i]);
            if (previous_[i].sa_handler != SIG_IGN) sigaction(kSignals[i], &noting, nullptr);
        }
    }
    ~StopRequests() {
        for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
    }
    StopRequests(const StopRequests &) = delete;
    StopRequests &operator=(const StopRequests &) = delete;

  private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM};
    struct sigaction previous_[std::size(kSignals)] {};
};
#else
// Windows: the C runtime's signal() (Ctrl-C from the console arrives as
// SIGINT); a handler runs once and is then reset, so it sets itself again.
extern "C" void NoteStopAgain(int signal_number) {
    g_stop = signal_number;
    std::signal(signal_number, NoteStopAgain);
}

class StopRequests {
  public:
    StopRequests() {
        g_stop = 0;
        for (size_t i = 0; i < std::size(kSignals); ++i) {
            previous_[i] = std::signal(kSignals[i], NoteStopAgain);
            if (previous_[i] == SIG_IGN) std::signal(kSignals[i], SIG_IGN);
        }
    }
    ~StopRequests() {
        for (size_t i = 0; i < std::size(kSignals); ++i) {
            std::signal(kSignals[i], previous_[i] == SIG_ERR ? SIG_DFL : previous_[i]);
        }
    }
    StopRequests(const StopRequests &) = delete;
    StopRequests &operator=(const StopRequests &) = delete;

  private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM};
    void (*previous_[std::size(kSignals)])(int) = {};
};
#endif

bool StopRequested() { return g_stop != 0; }

// False when a stop was asked for before the time was up.
bool SleepUnlessStopped(unsigned milliseconds) {
    constexpr unsigned kStepMs = 20;
    for (unsigned slept = 0; slept < milliseconds && !StopRequested(); slept += kStepMs) {
        tavri::platform::SleepMilliseconds(kStepMs);
    }
    return !StopRequested();
}

// How far the stream got: the time of the last change written and how many
// of the walk's changes at that time it has handled. The next poll walks
// from that time again and passes over that many: a session flushed at a
// stop may be followed by more changes at the same time, and those still
// belong under its #TIME line.
struct Position {
    bool started = false;
    uint64_t time = 0;
    uint64_t handled = 0;  // changes at `time`, not counting ring repeats
    uint64_t shown_until = 0;  // every change before this time was written
};

class Follower {
  public:
    Follower(const std::string &path, std::FILE *out, const FollowOptions &options)
        : path_(path), out_(out), options_(options), stream_(out) {}

    FollowEnd Run(std::string *error);

  private:
    // Opens the file once it holds its first tree, with *writer telling
    // whether its writer was there just before; false with the end.
    bool OpenFirst(std::unique_ptr<Database> *db, bool *writer, FollowEnd *end, std::string *error);
    // Writes what the open database adds to the stream.
    bool Poll(const Database &db, std::string *error);
    bool CheckSameFile(const Database &db, std::string *error) const;
    bool Wait() const;

    const std::string &path_;
    std::FILE *out_;
    const FollowOptions &options_;
    VcdStream stream_;
    Position at_;
    uint64_t birth_time_ = 0;
    uint32_t tree_count_ = 0;
    bool warned_new_tree_ = false;
};

bool Exists(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 || errno != ENOENT;
}

bool Follower::Wait() const {
    if (options_.between_polls) {
        options_.between_polls();
        return !StopRequested();
    }
    return SleepUnlessStopped(options_.poll_ms);
}

bool Follower::OpenFirst(std::unique_ptr<Database> *db, bool *writer, FollowEnd *end,
                         std::string *error) {
    bool announced = false;
    bool second_look = false;
    for (;;) {
        *db = std::make_unique<Database>();
        *writer = tavri::platform::HasLiveWriter(path_.c_str());
        std::string open_error;
        const bool opened = (*db)->Open(path_, &open_error) == TRAXR_OK;
        if (opened && (traxr_TreeCount((*db)->reader()) != 0 || !traxr_IsLive((*db)->reader()))) {
            return true;
        }
        // A writer that is still making the file (no header yet) or has not
        // ended its first tree is waited for; so is a file not made yet. A
        // file that cannot be read gets a second look, in case it was
        // created between the look for its writer and the open.
        const bool absent = !opened && !Exists(path_);
        const bool waiting = opened ? *writer : (*writer || absent || !second_look);
        second_look = !opened && !absent;
        if (!waiting) {
            *end = opened ? FollowEnd::kAbandoned : FollowEnd::kFailed;
            *error = opened ? path_ + ": its writer is gone and wrote no tree" : open_error;
            return false;
        }
        if (!announced && (opened || absent || *writer)) {
            announced = true;
            PrintError(path_ + ": waiting for the simulation to " +
                       (opened ? "dump its first variables" : "create it"));
        }
        db->reset();
        if (!Wait()) {
            *end = FollowEnd::kStopped;
            return false;
        }
    }
}

bool Follower::CheckSameFile(const Database &db, std::string *error) const {
    if (db.header().birth_time != birth_time_) {
        *error = path_ + ": a new file was written under this name while it was followed";
        return false;
    }
    // A ring file drops its oldest sessions; those must all have been
    // streamed, or changes would be missing.
    for (uint32_t i = 0; i < traxr_SessionCount(db.reader()); ++i) {
        traxrSession session{};
        if (traxr_GetSession(db.reader(), i, &session) == TRAXR_OK && session.dropped &&
            at_.started && session.end_time >= at_.shown_until) {
            *error = path_ + ": the dump limit overwrote sessions before they were streamed "
                             "(the stream got to time " + std::to_string(at_.shown_until) +
                     "); export the finished file instead";
            return false;
        }
    }
    return true;
}

bool Follower::Poll(const Database &db, std::string *error) {
    if (!CheckSameFile(db, error)) return false;
    const uint32_t trees = traxr_TreeCount(db.reader());
    if (trees > tree_count_ && !warned_new_tree_) {
        warned_new_tree_ = true;
        PrintError(path_ + ": warning: variables dumped after the stream began are left out of it; " +
                   "trax vcd of the finished file holds them");
    }
    traxrWalk *walk = nullptr;
    if (traxr_OpenWalk(db.reader(), nullptr, 0, at_.started ? at_.time : 0, UINT64_MAX, &walk) !=
        TRAXR_OK) {
        *error = path_ + ": " + traxr_LastMessage(db.reader());
        return false;
    }
    // A ring file repeats each variable's value at its first time; once the
    // stream has values, such a repeat is no change.
    const bool repeats_are_values = !at_.started;
    uint64_t to_pass = at_.handled;
    const auto take = [&](uint32_t, const traxrChange &change) {
        const bool same_time = at_.started && change.time == at_.time;
        if (StopRequested() && !same_time) return VcdStream::Take::kStop;
        if (change.redundant) {
            if (!repeats_are_values) return VcdStream::Take::kSkip;
        } else if (same_time && to_pass > 0) {
            --to_pass;
            return VcdStream::Take::kSkip;
        }
        if (!same_time) {
            at_.started = true;
            at_.time = change.time;
            at_.handled = 0;
        }
        if (!change.redundant) ++at_.handled;
        return VcdStream::Take::kWrite;
    };
    const bool ok = stream_.Changes(db, walk, take, error);
    traxr_CloseWalk(walk);
    if (!ok) return false;
    if (std::fflush(out_) != 0) {
        *error = "writing the VCD failed";
        return false;
    }
    uint64_t hidden_from = 0;
    at_.shown_until = traxr_HiddenFrom(db.reader(), &hidden_from) == 1 ? hidden_from : UINT64_MAX;
    return true;
}

FollowEnd Follower::Run(std::string *error) {
    const StopRequests stop_requests;
    FollowEnd end = FollowEnd::kFailed;
    std::unique_ptr<Database> db;
    bool writer = false;  // seen before the open: its mark is gone once it finishes
    if (!OpenFirst(&db, &writer, &end, error)) return end;
    birth_time_ = db->header().birth_time;
    tree_count_ = traxr_TreeCount(db->reader());
    stream_.Begin(*db);
    for (;;) {
        if (!Poll(*db, error)) return FollowEnd::kFailed;
        if (StopRequested()) return FollowEnd::kStopped;
        if (!traxr_IsLive(db->reader())) return FollowEnd::kFinished;
        // Gone before this open, and the file still live: nothing more comes.
        if (!writer) {
            *error = path_ + ": its writer is gone without finishing it; the stream ends";
            uint64_t end_time = 0, hidden_from = 0;
            if (traxr_VisibleEndTime(db->reader(), &end_time) == 1) {
                *error += " at time " + std::to_string(end_time);
            }
            if (traxr_HiddenFrom(db->reader(), &hidden_from) == 1) {
                *error += " (the step at " + std::to_string(hidden_from) +
                          " may be incomplete and is not shown)";
            }
            return FollowEnd::kAbandoned;
        }
        if (!Wait()) return FollowEnd::kStopped;
        writer = tavri::platform::HasLiveWriter(path_.c_str());
        db = std::make_unique<Database>();
        if (db->Open(path_, error) != TRAXR_OK) return FollowEnd::kFailed;
    }
}

}  // namespace

FollowEnd FollowVcd(const std::string &path, std::FILE *out, const FollowOptions &options,
                    std::string *error) {
    return Follower(path, out, options).Run(error);
}

}  // namespace trax
