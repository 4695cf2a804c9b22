// zrkckzp.h - what the KZP-family commands share: the pair calls of the KZP,
// QuickKZP, SnapKZP and SnapKZP+ functions by transport, the fields of a
// session detail entry that they test, and the volume-name store records of
// a pair.
//
// The starts record the names of what they start (QuickKZP source and
// target unless restarted; SnapKZP+ source, and target unless an estimate
// session); the matching stops erase the same keys. The target is always
// keyed with the source's size.
#pragma once

#include "zrkc.h"
#include "zrkcframe.h"
#include "zrkcvz.h"

#include <cstdint>

namespace zrkc {

// ---- the session detail entry ---------------------------------------------

// The pair has a session of the KZP family with the session flag bit.
inline bool IsKzpSession(const SessionRecord &record, uint8_t flag) {
    return record.ucFound != 0 && record.tDetail.ucCopyKind == kCopyKindKzp &&
           (record.tDetail.ucSessionFlags & flag) != 0;
}

// ---- the pair calls -----------------------------------------------------------

// The copy interval of the pair calls, and the one of the calls that name
// the session otherwise.
inline constexpr uint32_t kKzpCopyInterval = 255;
inline constexpr uint32_t kKzpNoCopyInterval = 0;

// Calls the in-band or out-of-band function of the KZP-family operation op
// (the starts and stops of Op, and Op::PoolExtSize) by the pair's transport
// with the pair's access volume and fields, the copy interval and
// apiOption. The pool call fills out (64 bytes). The API's result.
int CallKzpPair(Op op, const CopyPair &pair, uint32_t interval, uint32_t apiOption,
                unsigned char *sense, unsigned char *out = nullptr);
// CallKzpPair for list entry index, its result mapped by the frame (the
// entry's PairResult in a group run, the result record otherwise); 0, or -1
// when it failed (the parameter line traced).
int MappedKzpPair(CommandCall &call, Op op, uint32_t index, const CopyPair &pair, uint32_t interval,
                  uint32_t apiOption, unsigned char *out = nullptr);

} // namespace zrkc
