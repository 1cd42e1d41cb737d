// Creating, closing and freeing writer objects, and the list of open writers.
#ifndef TAVRI_WRITER_OBJECT_LIFECYCLE_H
#define TAVRI_WRITER_OBJECT_LIFECYCLE_H

struct txwObject;

namespace tavri::writer {

// Closes what is still open of an object (removing its temporary files) and
// releases all its memory.
void FreeObject(txwObject *obj);

// The open writers, newest first.
txwObject *OpenWriters();

// Frees the closed object that waits for the next open; tests call it to
// release memory at their end.
void FreeParkedObject();

// Parks a closed object (freed at the next open) and unlinks it from the
// open-writer list.
void ParkClosedObject(txwObject *obj);

// Closes and removes the side files of a closing object.
void RemoveSideFiles(txwObject *obj);

// Takes an object out of the open-writer list without closing it.
void UnlinkOpenWriter(txwObject *obj);

// The close of a file, without what happens to the object afterwards: the
// final flush, then the main file is closed and the side files removed.
// 0, or the status of a failed flush (the object then stays open).
int FinishObjectFile(txwObject *obj);

}  // namespace tavri::writer

#endif
