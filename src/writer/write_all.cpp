#include "writer/write_all.h"

#include <cerrno>
#include <cstdlib>

#include "writer/messages.h"

namespace tavri::writer {
namespace {
txwWriteErrorCB g_write_error_callback = nullptr;

// A failed write or commit: the callback asks the user and returns to try
// again; without one the process ends.
void WriteFailed(int error_number) {
    if (g_write_error_callback != nullptr) {
        g_write_error_callback(error_number);
        return;
    }
    Warn("Error occurs when write trax file.\n");
    Warn("System Error Number(errno): %d\n", error_number);
    Warn("error string = %s\n", platform::ErrorText(error_number));
    std::exit(-1);
}

}  // namespace

void SetWriteErrorCallback(txwWriteErrorCB callback) { g_write_error_callback = callback; }

size_t WriteAll(platform::FileHandle file, const void *source, size_t length) {
    const auto *next = static_cast<const unsigned char *>(source);
    long left = static_cast<long>(length);
    while (left > 0) {
        const long written = platform::WriteSome(file, next, static_cast<size_t>(left));
        if (written > 0) {
            next += written;
            left -= written;
            if (left < 0) {
                Warn("FATAL ERROR: nbyte_left should not be negative.\n");
                std::exit(-1);
            }
            continue;
        }
        if (written == -1) {
            const int error_number = errno;
            if (error_number == EINTR) {
                continue;
            }
            WriteFailed(error_number);
            continue;
        }
        Warn("FATAL ERROR: rc of write traxtem call is %ld.\n", written);
        std::exit(-1);
    }
    return length;
}

void CommitAll(platform::FileHandle file) {
    while (platform::Commit(file) != 0) {
        const int error_number = errno;
        if (error_number == EINTR) {
            continue;
        }
        // A file that cannot be committed at all (not a regular file) has
        // nothing to lose by it.
        if (error_number == EINVAL) {
            return;
        }
        WriteFailed(error_number);
    }
}

}  // namespace tavri::writer
