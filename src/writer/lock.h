// Synchronous control: an exclusive lock on the first byte of a lock file
// next to the database keeps the writer and readers of a live file from
// seeing each other's half-done work. The lock nests within one writer:
// only the outermost lock and unlock touch the lock file.
#ifndef TAVRI_WRITER_LOCK_H
#define TAVRI_WRITER_LOCK_H

struct txwObject;

namespace tavri::writer {

// Builds the lock path (the database name followed by ".lock", or the value
// of TRAX_ENV_LOCK_FILE_LOC) and the dot-lock path (either followed by ".dot").
void BuildLockPaths(txwObject *obj);

// Chooses the byte-range scheme, or the dot-lock scheme when
// TRAX_ENV_TAVRI_LOCK is set; resets the nesting counter.
void ChooseLockScheme(txwObject *obj);

// Opens the lock file (file-creation mask 0 for the call). 0, or 26.
int CreateLockFile(txwObject *obj);
void RemoveLockFile(txwObject *obj);

// What Lock returns when the lock could not be taken.
constexpr int kLockNotTaken = 2;

// Takes the lock (nesting) and returns the slot value to hand to Unlock.
int Lock(txwObject *obj);
void Unlock(txwObject *obj, int saved);

// True when locking is off or the lock is held.
bool HoldsLock(const txwObject *obj);

// Locks for the scope of a block.
class ScopedLock {
  public:
    explicit ScopedLock(txwObject *obj) : obj_(obj), saved_(Lock(obj)) {}
    ~ScopedLock() { Unlock(obj_, saved_); }
    ScopedLock(const ScopedLock &) = delete;
    ScopedLock &operator=(const ScopedLock &) = delete;

  private:
    txwObject *obj_;
    int saved_;
};

}  // namespace tavri::writer

#endif
