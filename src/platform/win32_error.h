// Windows system errors as the errno values the rest of the code tests and
// prints, so that both sides of the platform layer report failures alike.
#ifndef TAVRI_PLATFORM_WIN32_ERROR_H
#define TAVRI_PLATFORM_WIN32_ERROR_H

#ifdef _WIN32

#include <windows.h>

namespace tavri::platform {

int ErrnoFromWin32(DWORD error);

// Sets errno from GetLastError() and returns -1.
int FailWithLastError();

}  // namespace tavri::platform

#endif  // _WIN32

#endif
