// zrkcmessage.h - the results of the command layer: a return class, a
// message number and a message line in a ReturnInfo or a PairResult entry.
// A result is set by naming its message in the table (zrkcmessages.h); its
// arguments are checked against the message's text where it is named. A
// message line ("ZRKCnnnn ERROR text\n") always fits its 512-byte field: it
// is formatted bounded, and a line cut short keeps its final newline.
#pragma once

#include "zrkc.h"
#include "zrkcmessages.h"

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

namespace detail {
// Class, number and the line formatted from format into the slot; the forms
// below call it with a text of the table that their arguments were checked
// against.
void PutResult(const ResultSlot &slot, int returnClass, uint32_t messageNo, const char *format, ...);
} // namespace detail

// The message, with the arguments its text takes, into a result: the class
// and number of its row and its line.
template <typename... A> void SetResult(const ResultSlot &slot, MsgOf<A...> message, A... args) {
    detail::PutResult(slot, ClassOf(message.eName), NumberOf(message.eName), TextOf(message.eName), args...);
}
template <typename... A> void SetResult(ReturnInfo *ri, MsgOf<A...> message, A... args) {
    SetResult(SlotOf(ri), message, args...);
}

// The same with a return class of the caller's where the command reports the
// message under another class than its row's.
template <typename... A>
void SetResultAs(const ResultSlot &slot, int returnClass, MsgOf<A...> message, A... args) {
    detail::PutResult(slot, returnClass, NumberOf(message.eName), TextOf(message.eName), args...);
}
template <typename... A> void SetResultAs(ReturnInfo *ri, int returnClass, MsgOf<A...> message, A... args) {
    SetResultAs(SlotOf(ri), returnClass, message, args...);
}

// A result made elsewhere (a catalogue line, the result of another call):
// class, number and line as they are, the line cut to the field.
void CopyResult(const ResultSlot &slot, int returnClass, uint32_t messageNo, const char *line);
void CopyResult(ReturnInfo *ri, int returnClass, uint32_t messageNo, const char *line);

// "ZRKC1002 ERROR Invalid logical volume name. Volume name=(name).": the
// name up to its terminator or the end of its ZRK_VOLNAME_LEN-byte field.
void SetInvalidVolume(const ResultSlot &slot, const char *name);
void SetInvalidVolume(ReturnInfo *ri, const char *name);
// "ZRKC1106 ERROR Insufficient memory."
void SetNoMemory(ReturnInfo *ri);
// Class, number and message cleared (the other fields stay).
void ClearResult(const ResultSlot &slot);
// The message catalogue's line of the message into ri; without a line for
// it, "ZRKC1200 ERROR Unexpected error.".
void SetCatalogueResult(ReturnInfo *ri, CatalogueMsg message);

} // namespace zrkc
