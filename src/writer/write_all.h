// The one routine through which every byte of the database and its side
// files is written. Write errors are never returned: after the optional
// write-error callback (which may let the user free space and retry) the
// process ends.
#ifndef TAVRI_WRITER_WRITE_ALL_H
#define TAVRI_WRITER_WRITE_ALL_H

#include <cstddef>

#include "platform/file_io.h"
#include "tavri/txw.h"

namespace tavri::writer {

size_t WriteAll(platform::FileHandle file, const void *source, size_t length);

void SetWriteErrorCallback(txwWriteErrorCB callback);

}  // namespace tavri::writer

#endif
