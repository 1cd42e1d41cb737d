// The front end reaches the writer only through its API table.
#ifndef TAVRI_PLI_WRITER_API_H
#define TAVRI_PLI_WRITER_API_H

#include "tavri/txw.h"

namespace tavri::pli {

extern const txwApiTable &g_txw;

}  // namespace tavri::pli

#endif
