// A live writer's mark on its database: a lock on the first byte of the
// database file itself, held for as long as the writer has the file open.
// Readers lock only the lock file, so the mark never stands in their way,
// and it does not depend on where the lock file is or whether there is one.
// The system drops the mark when the writer's process ends, so a writer that
// crashed leaves nothing that keeps a new one out.
#ifndef TAVRI_PLATFORM_WRITER_PRESENCE_H
#define TAVRI_PLATFORM_WRITER_PRESENCE_H

#include "platform/file_io.h"

namespace tavri::platform {

// Marks the open database as this writer's without waiting: 1 marked, 0 a
// live writer (in this or another process) holds the mark, -1 error.
int TakeWriterMark(FileHandle database);

// True when a live writer holds the mark of the file at `path`.
bool HasLiveWriter(const char *path);

// Removes the file at `path` unless a live writer holds its mark: 1 removed
// or not there, 0 left alone for its writer, -1 the removal failed.
int RemoveUnlessWritten(const char *path);

}  // namespace tavri::platform

#endif
