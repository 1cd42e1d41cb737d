// The writer's debug log: detail lines written only when TXW_ENV_DBG names a
// file at open.
#ifndef TAVRI_WRITER_DEBUG_LOG_H
#define TAVRI_WRITER_DEBUG_LOG_H

struct txwObject;

namespace tavri::writer {

void DebugLog(txwObject *obj, const char *format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace tavri::writer

#endif
