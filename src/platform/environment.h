// Setting environment variables and reading the calendar the same way on
// every system the writer runs on.
#ifndef TAVRI_PLATFORM_ENVIRONMENT_H
#define TAVRI_PLATFORM_ENVIRONMENT_H

#include <cstddef>
#include <ctime>

namespace tavri::platform {

// Sets (replacing) the variable; 0, or -1 with errno.
int SetEnv(const char *name, const char *value);

// The local and the universal calendar time of `seconds`; false when the
// system cannot tell it.
bool LocalTime(std::time_t seconds, std::tm *out);
bool UniversalTime(std::time_t seconds, std::tm *out);

// The local time as ctime writes it ("Sun Sep  9 01:46:40 2001\n", the day
// padded with a blank), on Windows too, whose runtime pads it with a zero.
// The text is empty when the time cannot be told.
void CTimeText(std::time_t seconds, char *text, size_t size);

}  // namespace tavri::platform

#endif
