// Numbered notices for an interactive debugger that follows the run through
// the transcript: each is a marker line and then the notice text. They are
// sent only in interactive mode and never in scope-file mode.
#ifndef TAVRI_PLI_NOTICES_H
#define TAVRI_PLI_NOTICES_H

#include <cstdint>

namespace tavri::pli {

enum NoticeCode {
    kNoticeFinish = 1,
    kNoticeReset = 2,
    kNoticeFileCreated = 3,
    kNoticeFileFailed = 4,
    kNoticeTemporaryFile = 5,
    kNoticeTime = 6,
    kNoticeScope = 23,
    kNoticeScopesDone = 24,
    kNoticeVersion = 25,
    kNoticeProcess = 31,
    kNoticeFlushed = 32,
    kNoticeReady = 33,
    kNoticeSwitched = 35,
};

void SendNotice(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Code-only, code + number, code + text, code + time notices.
void NoticeCode(int code);
void NoticeNumber(int code, int value);
void NoticeText(int code, const char *text);
void NoticeTime(uint32_t high, uint32_t low);
void NoticeScope(int level, const char *name);

// After a time tag in interactive mode: at most one time notice per 100 time
// tags and none within 3 seconds of the previous one.
void ThrottledTimeNotice(uint32_t high, uint32_t low);

}  // namespace tavri::pli

#endif
