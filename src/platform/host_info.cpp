#include "platform/host_info.h"

// The POSIX side; the Windows side is in host_info_win32.cpp.
#ifndef _WIN32

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>

namespace tavri::platform {

HostInfo ReadHostInfo() {
    HostInfo info;
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0) {
        info.host_name = name;
    }
    struct utsname system {};
    if (::uname(&system) == 0) {
        info.processor = system.machine;
        info.os_build = system.version;
        info.platform = system.sysname;
        int major = -1;
        int minor = -1;
        int patch = -1;
        const int fields = std::sscanf(system.release, "%d.%d.%d", &major, &minor, &patch);
        if (fields >= 1) {
            info.os_major = major;
            info.os_minor = fields >= 2 ? minor : 0;
            info.os_patch = fields >= 3 ? patch : 0;
        }
    }
    return info;
}

int ProcessId() { return static_cast<int>(::getpid()); }

}  // namespace tavri::platform

#endif  // _WIN32
