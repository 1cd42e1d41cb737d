// The few POSIX calls the unit tests use for their own set-up (environment,
// temporary directories, process id, ctime text), mapped onto the Windows
// C runtime. The Windows test build includes this header first in every
// test source; the tests themselves stay as they are.
#ifndef TAVRI_TESTS_POSIX_CALLS_WIN32_H
#define TAVRI_TESTS_POSIX_CALLS_WIN32_H

#ifdef _WIN32

#include <direct.h>
#include <process.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

inline int setenv(const char *name, const char *value, int overwrite) {
    if (!overwrite && std::getenv(name) != nullptr) return 0;
    return ::_putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char *name) { return ::_putenv_s(name, "") == 0 ? 0 : -1; }

inline int getpid() { return ::_getpid(); }

// The C standard's form ("Sun Sep  9 01:46:40 2001\n"); the Windows
// runtime's own ctime pads the day with a zero instead.
inline char *ctime_r(const std::time_t *when, char *text) {
    std::tm local {};
    if (::localtime_s(&local, when) != 0) return nullptr;
    return std::strftime(text, 26, "%a %b ", &local) == 8 &&
                   std::snprintf(text + 8, 18, "%2d %02d:%02d:%02d %d\n", local.tm_mday, local.tm_hour,
                                 local.tm_min, local.tm_sec, local.tm_year + 1900) > 0
               ? text
               : nullptr;
}

// Replaces the trailing XXXXXX with a name no file has yet and makes the
// directory.
inline char *mkdtemp(char *name_template) {
    const size_t length = std::strlen(name_template);
    if (length < 6) return nullptr;
    char *suffix = name_template + length - 6;
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const unsigned value = (static_cast<unsigned>(::_getpid()) * 7919u + ++counter) % 1000000u;
        char digits[8];
        std::snprintf(digits, sizeof digits, "%06u", value);
        std::memcpy(suffix, digits, 6);
        if (::_mkdir(name_template) == 0) return name_template;
    }
    return nullptr;
}

#endif  // _WIN32

#endif
