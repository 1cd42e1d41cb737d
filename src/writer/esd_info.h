// Essential-signal information of a file: the expression data and the table
// that a template hands over. A live file shows them in ".esd.exp" and
// ".esd.tbl"; a finished one holds them just before its chain table, the
// data at `esd uoff`, then the table at `esd table uoff`.
#ifndef TAVRI_WRITER_ESD_INFO_H
#define TAVRI_WRITER_ESD_INFO_H

struct txwObject;

namespace tavri::writer {

// The final flush: appends the data, then the table, at the main file's
// current position and records their uoffs in the header image. Parts of
// size 0 are left out and keep uoff 0.
void AppendEsdInfo(txwObject *obj);

// A file switch: the new object takes the old one's information and writes
// its own side files.
void CarryEsdInfo(txwObject *old_obj, txwObject *obj);

}  // namespace tavri::writer

#endif
