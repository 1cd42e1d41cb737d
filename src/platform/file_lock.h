// Exclusive byte-range lock on the first byte of a lock file. The lock
// serialises processes (a writer and its readers), not threads.
#ifndef TAVRI_PLATFORM_FILE_LOCK_H
#define TAVRI_PLATFORM_FILE_LOCK_H

#include "platform/file_io.h"

namespace tavri::platform {

// Takes the lock, waiting while another process holds it. 0, or -1 with errno
// (EINTR when a signal interrupted the wait).
int LockFirstByte(FileHandle file);
int UnlockFirstByte(FileHandle file);

// Takes the lock only if it is free: 1 taken, 0 held elsewhere, -1 error.
int TryLockFirstByte(FileHandle file);

// The second byte of the lock file is a turnstile that keeps a writer that
// flushes again and again from starving its readers: a reader holds it while
// it waits for the first byte, and a writer takes the first byte only while
// the turnstile is free. Each takes it only if it is free: 1 taken, 0 held
// elsewhere, -1 error.
int TryTakeTurnstile(FileHandle file);
int LeaveTurnstile(FileHandle file);

// The process id of a process whose lock keeps this one from taking the
// first byte: 0 when the byte is free, -1 when the holder is not known.
int FirstByteHolder(FileHandle file);

// Waits for the given number of milliseconds.
void SleepMilliseconds(unsigned milliseconds);

}  // namespace tavri::platform

#endif
