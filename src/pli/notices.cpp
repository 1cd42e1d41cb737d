#include "pli/notices.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "pli/dumper_state.h"
#include "sim/sim_routines.h"

namespace tavri::pli {

void SendNotice(const char *format, ...) {
    if (!g_dumper.interactive || g_dumper.mode == DumpMode::kScopeFile) {
        return;
    }
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    sim::g_sim.mti_PrintMessage("\nHalvern Prompt\n");
    sim::g_sim.mti_PrintMessage(text);
}

void NoticeCode(int code) { SendNotice("%d\n", code); }

void NoticeNumber(int code, int value) { SendNotice("%d\n%d\n", code, value); }

void NoticeText(int code, const char *text) { SendNotice("%d\n%s\n", code, text != nullptr ? text : ""); }

void NoticeTime(uint32_t high, uint32_t low) {
    SendNotice("%d\n%d\n%d\n", kNoticeTime, static_cast<int>(high), static_cast<int>(low));
    g_dumper.notice_time_high = high;
    g_dumper.notice_time_low = low;
}

void NoticeScope(int level, const char *name) { SendNotice("%d\n%d\n%s\n", kNoticeScope, level, name); }

void ThrottledTimeNotice(uint32_t high, uint32_t low) {
    if (!g_dumper.interactive) {
        return;
    }
    if (++g_dumper.notice_time_count < 100) {
        return;
    }
    g_dumper.notice_time_count = 0;
    const long now = static_cast<long>(std::time(nullptr));
    if (now - g_dumper.notice_second > 3) {
        NoticeTime(high, low);
        g_dumper.notice_second = now;
    }
}

}  // namespace tavri::pli
