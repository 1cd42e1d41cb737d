#include "platform/host_info.h"

// The Windows side; the POSIX side is in host_info.cpp.
#ifdef _WIN32

#include <windows.h>

namespace tavri::platform {
namespace {

// The processor as the system reports its type; an unknown type gives an
// empty text, for which the record holds its placeholder.
const char *ProcessorText(DWORD type) {
    switch (type) {
        case PROCESSOR_INTEL_386:
            return "Intel 386";
        case PROCESSOR_INTEL_486:
            return "Intel 486";
        case PROCESSOR_INTEL_PENTIUM:
            return "Intel Pentium";
        case PROCESSOR_MIPS_R4000:
            return "MIPS R4000";
        case PROCESSOR_ALPHA_21064:
            return "Alpha 21064";
        default:
            return "";
    }
}

const char *PlatformText(DWORD platform_id) {
    switch (platform_id) {
        case VER_PLATFORM_WIN32_WINDOWS:
            return "WinWindows";
        case VER_PLATFORM_WIN32_NT:
            return "WinNT";
        default:
            return "";
    }
}

}  // namespace

HostInfo ReadHostInfo() {
    HostInfo info;
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = sizeof name;
    if (::GetComputerNameA(name, &length)) {
        info.host_name.assign(name, length);
    }
    SYSTEM_INFO system {};
    ::GetSystemInfo(&system);
    info.processor = ProcessorText(system.dwProcessorType);
    OSVERSIONINFOA version {};
    version.dwOSVersionInfoSize = sizeof version;
    if (::GetVersionExA(&version)) {
        info.os_build = version.szCSDVersion;
        info.os_major = static_cast<int>(version.dwMajorVersion);
        info.os_minor = static_cast<int>(version.dwMinorVersion);
        info.os_patch = static_cast<int>(version.dwBuildNumber);
        info.platform = PlatformText(version.dwPlatformId);
    }
    return info;
}

int ProcessId() { return static_cast<int>(::GetCurrentProcessId()); }

}  // namespace tavri::platform

#endif  // _WIN32
