// Setting environment variables and reading the calendar the same way on
// every system the writer runs on.
#ifndef TAVRI_PLATFORM_ENVIRONMENT_H
#define TAVRI_PLATFORM_ENVIRONMENT_H

#include <ctime>

namespace tavri::platform {

// Sets (replacing) the variable; 0, or -1 with errno.
int SetEnv(const char *name, const char *value);

// The local and the universal calendar time of `seconds`; false when the
// system cannot tell it.
bool LocalTime(std::time_t seconds, std::tm *out);
bool UniversalTime(std::time_t seconds, std::tm *out);

}  // namespace tavri::platform

#endif
