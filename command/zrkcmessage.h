// zrkcmessage.h - the message lines of the command layer. A message line
// ("ZRKCnnnn ERROR text\n") always fits its 512-byte field: it is formatted
// bounded, and a line cut short keeps its final newline.
#pragma once

#include "zrkc.h"

#include <cstdarg>
#include <cstdint>

namespace zrkc {

// Formats one message line into line (ZRK_MESSAGE_LEN bytes). A line too
// long for the field is cut and ends in "\n" nonetheless.
void FormatMessageV(char *line, const char *format, va_list args);
void FormatMessage(char *line, const char *format, ...) __attribute__((format(printf, 2, 3)));

// The three outputs of one result: a ReturnInfo or a PairResult entry.
struct ResultSlot {
    int32_t *pReturnClass;
    uint32_t *pMessageNo;
    char *pMessage; // ZRK_MESSAGE_LEN bytes
};

inline ResultSlot SlotOf(ReturnInfo *ri) {
    return {&ri->iReturnClass, &ri->uiMessageNo, ri->caMessage};
}
inline ResultSlot SlotOf(PairResult *entry) {
    return {&entry->iReturnClass, &entry->uiMessageNo, entry->caMessage};
}

// Class, number and the formatted line into a result.
void SetResult(const ResultSlot &slot, int returnClass, uint32_t messageNo, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
void SetResult(ReturnInfo *ri, int returnClass, uint32_t messageNo, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
// "ZRKC1106 ERROR Insufficient memory."
void SetNoMemory(ReturnInfo *ri);
// Class, number and message cleared (the other fields stay).
void ClearResult(const ResultSlot &slot);
// The message catalogue's line of number messageNo into ri; without a
// line for it, "ZRKC1200 ERROR Unexpected error.".
void SetCatalogueResult(ReturnInfo *ri, int messageNo);

} // namespace zrkc
