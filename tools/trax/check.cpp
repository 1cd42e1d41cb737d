// trax check: structural checks, one line per failure on the standard
// output ("FILE: what is wrong"), or "FILE: ok". A file that cannot be
// opened for what it holds counts as a failed check; one that is not a
// database at all, or cannot be read, is an input error.
//
// A consistent file that its writer has not finished (file status batch or
// interactive) is not "ok": its writer is still running, or stopped without
// closing it, and only its committed sessions can be read. That gets one
// line saying so and an exit status of its own. The writer's mark on the
// file tells the two apart; a file without a live writer can be recovered,
// and the line names the command.
#include <string>

#include "commands.h"
#include "database.h"
#include "platform/writer_presence.h"

namespace trax {
namespace {

// How much of an unfinished file can be read.
std::string Readable(const Database &db) {
    std::string line;
    const uint32_t sessions = traxr_SessionCount(db.reader());
    traxrSession last{};
    if (sessions == 0 || traxr_GetSession(db.reader(), sessions - 1, &last) != TRAXR_OK) {
        return "no session committed, so no value change is readable";
    }
    line += std::to_string(sessions) + (sessions == 1 ? " committed session is" : " committed sessions are");
    // The last step of an unfinished file may be incomplete; readers hide it.
    // A file flushed at a stop is complete up to the stop and holds nothing
    // after it, so there is no step to speak of.
    uint64_t hidden_from = 0;
    uint64_t stop = 0;
    std::string held_back;
    if (traxr_StoppedAt(db.reader(), &stop) == 1) {
        held_back = " (flushed at a stop at time " + std::to_string(stop) + ")";
    } else if (traxr_HiddenFrom(db.reader(), &hidden_from) == 1) {
        held_back = " (the step at " + std::to_string(hidden_from) + " may be incomplete and is not shown)";
    }
    uint64_t visible_end = 0;
    if (traxr_VisibleEndTime(db.reader(), &visible_end) != 1) {
        return line + " readable, but hold no complete time step yet" + held_back;
    }
    return line + " readable, up to time " + std::to_string(visible_end) + held_back;
}

std::string UnfinishedLine(const Database &db) {
    const traxrHeader &h = db.header();
    const bool running = tavri::platform::HasLiveWriter(db.path().c_str());
    std::string line = "not finished (file status " + std::to_string(h.file_status) +
                       (h.file_status == 1 ? ", interactive" : ", batch") + "): its writer " +
                       (running ? "is still running" : "stopped without closing it") + "; " +
                       Readable(db);
    if (!running) line += "; trax recover " + db.path() + " rebuilds a finished file from them";
    return line;
}

}  // namespace

int RunCheck(const Args &args, std::FILE *out) {
    Database db;
    std::string error;
    const traxrStatus status = db.Open(args.file, &error);
    if (status == TRAXR_ERR_IO || status == TRAXR_ERR_NOT_TRAX ||
        status == TRAXR_ERR_UNSUPPORTED || status == TRAXR_ERR_ARGUMENT) {
        PrintError(error);
        return kExitError;
    }
    if (status != TRAXR_OK) {
        std::fprintf(out, "%s\n", error.c_str());
        return kExitCheckFailed;
    }
    struct Sink {
        std::FILE *out;
        const std::string *file;
    } sink{out, &args.file};
    const uint32_t failures = traxr_Check(
        db.reader(),
        [](void *user, const char *failure) {
            const Sink *s = static_cast<const Sink *>(user);
            std::fprintf(s->out, "%s: %s\n", s->file->c_str(), failure);
        },
        &sink);
    if (failures != 0) return kExitCheckFailed;
    if (db.header().file_status != 0) {
        std::fprintf(out, "%s: %s\n", args.file.c_str(), UnfinishedLine(db).c_str());
        return kExitUnfinished;
    }
    std::fprintf(out, "%s: ok\n", args.file.c_str());
    return kExitOk;
}

}  // namespace trax
