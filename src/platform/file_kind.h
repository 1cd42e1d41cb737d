// What kind of file a path or an open handle names. Readers open database
// files without waiting (a FIFO with no writer would block an ordinary
// open) and then refuse anything that is not a regular file.
#ifndef TAVRI_PLATFORM_FILE_KIND_H
#define TAVRI_PLATFORM_FILE_KIND_H

#include "platform/file_io.h"

namespace tavri::platform {

enum class FileKind {
    kRegular,
    kDirectory,
    kFifo,
    kCharacterDevice,
    kBlockDevice,
    kSocket,
    kOther
};

// Opens an existing file for reading without blocking on a FIFO or a
// device; the handle then blocks as usual. -1 with errno on failure.
FileHandle OpenForReadingNoWait(const char *path);

// The kind of the open file; 0, or -1 with errno.
int KindOf(FileHandle file, FileKind *kind);

// "a directory", "a FIFO", ... for messages; "a regular file" for kRegular.
const char *KindName(FileKind kind);

}  // namespace tavri::platform

#endif
