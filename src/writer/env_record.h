// The creation-environment record: 2048 bytes at file offset 512 of every
// database, telling when, where and with which settings it was written.
// The first 518 bytes are composed here; the rest holds the support text
// the writer appends on its own.
//
//   offset width  content
//        0    30  creation time, ctime text without its newline
//       30    20  host name
//       50    20  processor
//       70    12  platform name
//       82    50  OS version number, a blank, OS build text
//      132     2  max glitch number, 16 bits in the host's byte order
//      134   200  settings text (see EnvSettingsText)
//      334   120  writer identification text
//      454    64  zero
//
// Every text is cut to its width minus one and ends with a zero byte inside
// its own field.
#ifndef TAVRI_WRITER_ENV_RECORD_H
#define TAVRI_WRITER_ENV_RECORD_H

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace tavri::writer {

struct traxPlatformInfo;

// The record itself is 2048 bytes long; these are the bytes composed here.
constexpr size_t kEnvRecordComposedSize = 518;
constexpr size_t kEnvSettingsWidth = 200;

// "NAME=value" (value "NULL" when unset) for each writer setting in a fixed
// order, joined by ", "; items that would take the text past the settings
// field are left out, together with all items after them.
std::string EnvSettingsText();

// Zeroes and fills bytes 0-517 of the 2048-byte record from this host; bytes
// 518 onwards are left as they are.
void ComposeEnvironmentRecord(unsigned char *record, uint16_t max_glitch_number, std::time_t now);

// As ComposeEnvironmentRecord, with the host fields taken from the
// platform record.
void ComposeEnvironmentRecordFrom(unsigned char *record, const traxPlatformInfo &platform,
                                  uint16_t max_glitch_number, std::time_t now);

}  // namespace tavri::writer

#endif
