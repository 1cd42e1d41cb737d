// Time tags (xtags): the time stamp of the value changes that follow. A file
// holds xtags of one kind: 64-bit integer time as (high, low) halves, float
// or double. Time never goes backwards within a file.
#ifndef TAVRI_WRITER_XTAG_H
#define TAVRI_WRITER_XTAG_H

struct txwObject;

namespace tavri::writer {

// Installs the first-xtag constructors of the three kinds.
void SelectXtagConstructors(txwObject *obj);

}  // namespace tavri::writer

#endif
