// Bounding a file's size: the dump limit (a ring of recent sessions), file
// switching and automatically switched files. This writer does not offer
// them yet; each entry refuses with a message, and the file is written
// without a bound.
#include "writer/messages.h"
#include "writer/object.h"

using namespace tavri::writer;

extern "C" {

int txw_SetDumpLimit(txwObject * /*obj*/, uint32_t megabytes) {
    Warn("txw_SetDumpLimit(): a dump limit (%uMB) is not supported by this writer; the file is not limited.\n",
         megabytes);
    return TXW_ERROR;
}

txwObject *txwOpenAutoSwitchFile(const void * /*param*/) {
    Warn("txwOpenAutoSwitchFile(): automatically switched files are not supported by this writer.\n");
    return nullptr;
}

txwObject *txw_SwitchFile(txwObject * /*obj*/, const char *new_name) {
    Warn("txw_SwitchFile(): switching to %s is not supported by this writer.\n",
         new_name != nullptr ? new_name : "(null)");
    return nullptr;
}

}  // extern "C"
