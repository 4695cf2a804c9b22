// Message lines of the command layer, bounded to their 512-byte fields.
#include "zrkcmessage.h"

#include "platform.h"

#include <cstdio>
#include <cstring>

namespace zrkc {

void FormatMessageV(char *line, const char *format, va_list args) {
    const int n = std::vsnprintf(line, ZRK_MESSAGE_LEN, format, args);
    if (n < 0) {
        line[0] = '\0';
    } else if (n >= ZRK_MESSAGE_LEN) {
        // Cut short: the line still ends as a line.
        line[ZRK_MESSAGE_LEN - 2] = '\n';
        line[ZRK_MESSAGE_LEN - 1] = '\0';
    }
}

void FormatMessage(char *line, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    FormatMessageV(line, format, ap);
    va_end(ap);
}

void SetResult(const ResultSlot &slot, int returnClass, uint32_t messageNo, const char *format, ...) {
    *slot.pReturnClass = returnClass;
    *slot.pMessageNo = messageNo;
    va_list ap;
    va_start(ap, format);
    FormatMessageV(slot.pMessage, format, ap);
    va_end(ap);
}

void SetResult(ReturnInfo *ri, int returnClass, uint32_t messageNo, const char *format, ...) {
    ri->iReturnClass = returnClass;
    ri->uiMessageNo = messageNo;
    va_list ap;
    va_start(ap, format);
    FormatMessageV(ri->caMessage, format, ap);
    va_end(ap);
}

void SetNoMemory(ReturnInfo *ri) {
    SetResult(ri, ZRKC_CLASS_MEMORY, 1106, "ZRKC1106 ERROR Insufficient memory.\n");
}

void ClearResult(const ResultSlot &slot) {
    *slot.pReturnClass = 0;
    *slot.pMessageNo = 0;
    std::memset(slot.pMessage, 0, ZRK_MESSAGE_LEN);
}

void SetCatalogueResult(ReturnInfo *ri, int messageNo) {
    ErrInfoVelk entry{};
    if (get_err_info_velk(ZRK_ERRINF_BY_MSGNO, messageNo, &entry) == 0) {
        SetResult(ri, entry.iReturnClass, static_cast<uint32_t>(entry.iMessageNo), "%s",
                  entry.caMessage);
    } else {
        SetResult(ri, ZRKC_CLASS_INTERNAL, 1200, "ZRKC1200 ERROR Unexpected error.\n");
    }
}

} // namespace zrkc
