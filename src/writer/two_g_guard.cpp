#include "writer/two_g_guard.h"

#include "writer/header_layout.h"
#include "writer/messages.h"

namespace tavri::writer {

bool TwoGigabyteGuard(txwObject **location) {
    txwObject *obj = *location;
    if (!NearTwoGigabytes(obj)) {
        return false;
    }
    if (obj->header.U8(kHdrPointerLength) != 4) {
        if (!obj->near_two_gigabytes_told) {
            obj->near_two_gigabytes_told = true;
            Warn("This TRAX file(%s) is close to 2G.\n", obj->file_name.c_str());
        }
        return true;
    }
    if (!obj->near_two_gigabytes_told) {
        obj->near_two_gigabytes_told = true;
        Warn("This trax file(%s) is close to 2G.\n", obj->file_name.c_str());
    }
    if (obj->two_g_callback != nullptr) {
        // Once per writer: a callback that cannot move the run elsewhere is
        // not asked again at every change.
        if (!obj->two_g_callback_called) {
            obj->two_g_callback_called = true;
            Warn("Registered 2G callback function is called.\n");
            obj->two_g_callback(location);  // may replace (and free) the writer
        }
    } else if (!obj->no_two_g_callback_told) {
        obj->no_two_g_callback_told = true;
        Warn("The application does not register two_g_cb_func.\n");
        Warn("We recommend the user to close this file manually.\n");
    }
    return true;
}

}  // namespace tavri::writer
