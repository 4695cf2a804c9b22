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

namespace detail {

void PutResult(const ResultSlot &slot, int returnClass, uint32_t messageNo, const char *format, ...) {
    *slot.pReturnClass = returnClass;
    *slot.pMessageNo = messageNo;
    va_list ap;
    va_start(ap, format);
    FormatMessageV(slot.pMessage, format, ap);
    va_end(ap);
}

} // namespace detail

void CopyResult(const ResultSlot &slot, int returnClass, uint32_t messageNo, const char *line) {
    detail::PutResult(slot, returnClass, messageNo, "%s", line);
}

void CopyResult(ReturnInfo *ri, int returnClass, uint32_t messageNo, const char *line) {
    CopyResult(SlotOf(ri), returnClass, messageNo, line);
}

void SetInvalidVolume(const ResultSlot &slot, const char *name) {
    SetResult(slot, Msg::InvalidVolumeName, static_cast<int>(strnlen(name, ZRK_VOLNAME_LEN)), name);
}

void SetInvalidVolume(ReturnInfo *ri, const char *name) { SetInvalidVolume(SlotOf(ri), name); }

void SetNoMemory(ReturnInfo *ri) { SetResult(ri, Msg::NoMemory); }

void ClearResult(const ResultSlot &slot) {
    *slot.pReturnClass = 0;
    *slot.pMessageNo = 0;
    std::memset(slot.pMessage, 0, ZRK_MESSAGE_LEN);
}

void SetCatalogueResult(ReturnInfo *ri, CatalogueMsg message) {
    ErrInfoVelk entry{};
    if (get_err_info_velk(ZRK_ERRINF_BY_MSGNO, static_cast<int>(NumberOf(message)), &entry) == 0) {
        CopyResult(ri, entry.iReturnClass, static_cast<uint32_t>(entry.iMessageNo), entry.caMessage);
    } else {
        SetResult(ri, Msg::Unexpected);
    }
}

} // namespace zrkc
