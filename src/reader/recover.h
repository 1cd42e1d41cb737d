// Rebuilding a finished database from what a writer that died left behind.
//
// While a file is live its index structures live in side files (".tlist",
// ".slist", ".chain", ".str", ".rlist") and the header's statistics section
// says how much of them each flush committed; every flush ends with the
// header rewrite, under the lock. A writer that is killed leaves the main
// file, the side files and a header that describe the state after its last
// complete flush, plus possibly the beginnings of the next session: blocks
// at the end of the main file, a session record past the committed session
// list size, strings past the committed string list size, a half-written
// ".chain.new". The live reader already reads exactly the committed state,
// so recovery opens the file with it and then does what the writer's final
// flush would have done:
//
//   1. copy the main file up to the end of the last block that a committed
//      tree or session names (the torn session's blocks are left out);
//   2. append the committed tree list, session list, redundant vc chain
//      list (dump-limit files), string list and, last, the chain table,
//      with zero entries for the variables of trees ended after the last
//      session (variables that never changed);
//   3. complete the header: the offsets of those structures, file status
//      "finished", the block and session counts of what was kept.
//
// The chain table: the writer writes the table of a new session to
// ".chain.new", rewrites the header and then renames it over ".chain". A
// writer killed between those two steps leaves a committed session whose
// table is ".chain.new"; one killed before the header rewrite leaves a
// ".chain.new" that names chain entries of a session never committed. The
// new table is taken when it is whole and every position in it lies in the
// committed vc chain stream; otherwise ".chain".
//
// The result is written under a temporary name beside the output, checked
// with the reader's structural checks, and only then renamed to the output
// name. The damaged file and its side files are never changed.
#ifndef TAVRI_READER_RECOVER_H
#define TAVRI_READER_RECOVER_H

#include <cstdint>
#include <string>
#include <vector>

#include "reader/status.h"

namespace tavri::reader {

struct RecoverResult {
    uint32_t sessions = 0;           // sessions kept
    bool has_time = false;           // a time tag was written before the crash
    uint64_t first_time = 0;         // minimum xtag
    uint64_t end_time = 0;           // end of the last kept session (or maximum xtag)
    bool torn = false;               // data of an uncommitted session was left out
    uint64_t dropped_bytes = 0;      // main file bytes after the kept blocks
    bool used_new_chain = false;     // the chain table came from ".chain.new"
    std::vector<std::string> check_failures;  // of the rebuilt file; empty when it passed
};

// The default output name: "x.trax" gives "x.recovered.trax", other names get
// ".recovered" appended.
std::string RecoveredName(const std::string &path);

// Rebuilds `path` into `out_path`. Fails (ARGUMENT) when `path` is already
// finished, when a live writer holds it, or when `out_path` exists or names
// `path`; fails (CORRUPT) when the rebuilt file does not pass the checks,
// listing them in result->check_failures, and then leaves no output.
Status RecoverFile(const std::string &path, const std::string &out_path, RecoverResult *result);

}  // namespace tavri::reader

#endif
