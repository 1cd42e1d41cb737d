// The one routine through which every byte of the database and its side
// files is written, and the one that commits them. Write errors are never returned: after the optional
// write-error callback (which may let the user free space and retry) the
// process ends.
#ifndef TAVRI_WRITER_WRITE_ALL_H
#define TAVRI_WRITER_WRITE_ALL_H

#include <cstddef>

#include "platform/file_io.h"
#include "tavri/txw.h"

namespace tavri::writer {

size_t WriteAll(platform::FileHandle file, const void *source, size_t length);

// Makes what was written to the file durable. A commit that fails may have
// lost written data: it is a write error as above, and returning from the
// callback commits again.
void CommitAll(platform::FileHandle file);

void SetWriteErrorCallback(txwWriteErrorCB callback);

}  // namespace tavri::writer

#endif
