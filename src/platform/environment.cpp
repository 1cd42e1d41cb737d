#include "platform/environment.h"

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

}  // namespace tavri::platform
