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
#include "zrklist.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace zrkc {

// ---- the session detail entry ---------------------------------------------

inline constexpr uint8_t kCopyKindKzp = 1;      // ucCopyKind of the KZP family
inline constexpr uint8_t kCopyKindEstimate = 3; // ucCopyKind of an estimate session
inline constexpr uint8_t kKzpPhaseCopying = 1;  // Phase
inline constexpr uint8_t kKzpPhaseReadying = 6;

// The pair has a session of the KZP family with the session flag bit.
inline bool IsKzpSession(const SessionRecord &record, uint8_t flag) {
    return record.ucFound != 0 && record.tDetail.ucCopyKind == kCopyKindKzp &&
           (record.tDetail.ucSessionFlags & flag) != 0;
}

// ---- the pair calls -----------------------------------------------------------

enum class KzpCall {
    Start,         // ZRKLVStartKZP / ZRKIPStartKZP
    QuickStart,    // ZRKLVStartQuickKZP / ZRKIPStartQuickKZP
    SnapStart,     // ZRKLVStartSnapKZP_p / ZRKIPStartSnapKZP_p
    EstimateStart, // the same functions with ZRK_OPT_MONITOR
    PoolExtSize,   // ZRKLVGetPoolExtSize / ZRKIPGetPoolExtSize
    Stop,          // ZRKLVStopKZP / ZRKIPStopKZP
    QuickStop,     // ZRKLVStopQuickKZP / ZRKIPStopQuickKZP
    SnapStop,      // ZRKLVStopSnapKZP_p / ZRKIPStopSnapKZP_p
    ClassicSnapStop, // ZRKLVStopSnapKZP / ZRKIPStopSnapKZP (SnapKZP, not SnapKZP+)
    GenerationList,  // ZRKLVGeneraListSnapKZP_p / ZRKIPGeneraListSnapKZP_p
    ConcStart,       // ZRKStartConcKZP / ZRKIPStartConcKZP
};

// The copy interval of the pair calls, and the one of the calls that name
// the session otherwise.
inline constexpr uint32_t kKzpCopyInterval = 255;
inline constexpr uint32_t kKzpNoCopyInterval = 0;

// The operation identifier of a call by transport (0 SCSI, 1 LAN), as
// com_set_return_inf takes it.
uint8_t KzpCallIdentifier(KzpCall call, uint8_t transport);
// The names of the two API functions of a call, for the trace.
const char *KzpCallNames(KzpCall call);

// Calls the in-band or out-of-band function of the pair's transport with
// the pair's access volume and fields, the copy interval and apiOption. The
// pool call fills out (64 bytes); the generation list fills out (the list
// area) from the pair's source fields. The API's result.
int CallKzpPair(KzpCall call, const CopyPair &pair, uint32_t interval, uint32_t apiOption,
                unsigned char *sense, unsigned char *out = nullptr);
// CallKzpPair for list entry index, its result mapped by the frame (the
// entry's PairResult in a group run, the result record otherwise); 0, or -1
// when it failed (the parameter line traced).
int MappedKzpPair(CommandCall &call, KzpCall what, uint32_t index, const CopyPair &pair,
                  uint32_t interval, uint32_t apiOption, unsigned char *out = nullptr);
// Maps an API result into the call's result record itself, also in a group
// run (a failure that ends the whole call); 0 or -1.
int MapIntoResult(CommandCall &call, KzpCall what, const CopyPair &pair, int apiResult);

// ---- memory -------------------------------------------------------------------

template <typename T> using KzpArea = std::unique_ptr<T, zrk::FreeDeleter>;
// The pairs of the list.
inline uint32_t PairsOf(const CopyPairList &list) {
    return list.pPairs != nullptr ? list.pPairs->uiCount : 0;
}

// The session of every pair of the list (flags: the lookup's option word):
// 0, or -1 with the result filled (1106 or the lookup's message).
int LookUpSessions(CommandCall &call, int flags, KzpArea<SessionRecord> &records, int &found,
                   int &lookup);

} // namespace zrkc
