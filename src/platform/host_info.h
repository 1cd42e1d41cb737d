// What the operating system tells about the host, for the record of the
// environment a database was created in.
#ifndef TAVRI_PLATFORM_HOST_INFO_H
#define TAVRI_PLATFORM_HOST_INFO_H

#include <string>

namespace tavri::platform {

struct HostInfo {
    std::string host_name;   // empty when unknown
    std::string processor;   // machine name, e.g. "x86_64"
    std::string os_build;    // the kernel's build text
    int os_major = -1;       // release numbers; -1 when unknown
    int os_minor = -1;
    int os_patch = -1;
    std::string platform;    // operating system name, e.g. "Linux"
};

HostInfo ReadHostInfo();

int ProcessId();

}  // namespace tavri::platform

#endif
