#include "platform/environment.h"

#include <cstdio>
#include <cstdlib>

namespace tavri::platform {

#ifdef _WIN32

// The Windows runtime keeps no variable with an empty value: setting one to
// "" removes it, so getenv then finds nothing.
int SetEnv(const char *name, const char *value) { return ::_putenv_s(name, value) == 0 ? 0 : -1; }

bool LocalTime(std::time_t seconds, std::tm *out) { return ::localtime_s(out, &seconds) == 0; }

bool UniversalTime(std::time_t seconds, std::tm *out) { return ::gmtime_s(out, &seconds) == 0; }

#else

int SetEnv(const char *name, const char *value) { return ::setenv(name, value, 1); }

bool LocalTime(std::time_t seconds, std::tm *out) { return ::localtime_r(&seconds, out) != nullptr; }

bool UniversalTime(std::time_t seconds, std::tm *out) { return ::gmtime_r(&seconds, out) != nullptr; }

#endif

void CTimeText(std::time_t seconds, char *text, size_t size) {
    static constexpr const char *kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char *kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local {};
    if (size == 0) {
        return;
    }
    text[0] = '\0';
    if (!LocalTime(seconds, &local) || local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 ||
        local.tm_mon > 11) {
        return;
    }
    std::snprintf(text, size, "%.3s %.3s%3d %.2d:%.2d:%.2d %d\n", kDays[local.tm_wday], kMonths[local.tm_mon],
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, 1900 + local.tm_year);
}

}  // namespace tavri::platform
