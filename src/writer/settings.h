// Settings that fill the header after a file is created.
#ifndef TAVRI_WRITER_SETTINGS_H
#define TAVRI_WRITER_SETTINGS_H

#include <cstdint>

namespace tavri::writer {

constexpr uint16_t kMaxGlitchNumber = 254;

// The max glitch number from TRAX_ENV_MAX_GLITCH_NUM: 1 when unset or not a
// decimal number, at most 254.
uint16_t GlitchNumberFromEnvironment();

// Time-unit code of a unit text ("1ns" -> 12, "10us" -> 8), 0 for none.
uint8_t TimeUnitCode(const char *unit);

}  // namespace tavri::writer

#endif
