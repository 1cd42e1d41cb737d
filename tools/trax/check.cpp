// trax check: structural checks, one line per failure on the standard
// output ("FILE: what is wrong"), or "FILE: ok". A file that cannot be
// opened for what it holds counts as a failed check; one that is not a
// database at all, or cannot be read, is an input error.
#include <string>

#include "commands.h"
#include "database.h"

namespace trax {

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
    std::fprintf(out, "%s: ok\n", args.file.c_str());
    return kExitOk;
}

}  // namespace trax
