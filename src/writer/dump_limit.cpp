// Bounding a file's size by a dump limit (a ring of recent sessions). This
// writer does not offer it yet; the entry refuses with a message, and the
// file is written without a bound.
#include "writer/messages.h"
#include "writer/object.h"

using namespace tavri::writer;

extern "C" {

int txw_SetDumpLimit(txwObject * /*obj*/, uint32_t megabytes) {
    Warn("txw_SetDumpLimit(): a dump limit (%uMB) is not supported by this writer; the file is not limited.\n",
         megabytes);
    return TXW_ERROR;
}

}  // extern "C"
