// File switching and automatically switched files. This writer does not
// offer them yet; each entry refuses with a message.
#include "writer/messages.h"
#include "writer/object.h"

using namespace tavri::writer;

extern "C" {

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
