// The session flush: pending value changes go out as one session, the side
// files and the header are brought up to date, and at close the side files
// are copied into the finished file behind the data.
#ifndef TAVRI_WRITER_FLUSH_SESSION_H
#define TAVRI_WRITER_FLUSH_SESSION_H

#include <cstdint>

#include "platform/file_io.h"

struct txwObject;

namespace tavri::writer {

// Flushes under the lock; the final flush of a finished file also appends
// the index structures. `at_stop`: the simulation is paused, and the stop
// mark tells readers that the file holds every change up to now. Returns 0.
int SessionFlush(txwObject *obj, bool at_stop = false);

// Makes what was written to the main file and the side files durable.
void CommitFiles(txwObject *obj);

// Copies a side file to the end of the main file and points the header uoff
// at `header_offset` to it. 0, or -1 after a short read or write.
int CopySideFile(txwObject *obj, platform::FileHandle side_file, const char *what,
                 uint32_t header_offset);

}  // namespace tavri::writer

#endif
