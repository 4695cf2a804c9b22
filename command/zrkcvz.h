// zrkcvz.h - what the VZ and RVZ commands share: the start mode table, the
// fields of a session detail entry that they test, and the pair calls of
// the VZ API by transport.
//
// A pair whose source and target lie in one array is a local (VZ) pair, one
// between two arrays a remote (RVZ) pair. The array's detail entry of a
// session (SessionRecord.tDetail) says which it is (ZRK_SESFLAG_REMOTE),
// how its data travels (ZRK_MODEFLAG_SYNC, else ucTransferMode stack or
// consistency), how it splits and recovers, and its status.
#pragma once

#include "zrkc.h"
#include "zrkcframe.h"
#include "zrklist.h"

#include <cstddef>
#include <cstdint>

namespace zrkc {

// ---- modes -----------------------------------------------------------------

// One row of the start mode table: the three property texts ("mode",
// "split", "recovery"; an empty text stands for an absent key) and the API
// mode word they give.
struct VzModeRow {
    const char *pMode;
    const char *pSplit;
    const char *pRecovery;
    uint32_t uiModeWord;
};

// The nine rows, compared in this order.
inline constexpr VzModeRow kVzModeTable[] = {
    {"", "", "", ZRK_OPT_STACK},
    {"sync", "manual", "manual", ZRK_OPT_SYNC | ZRK_OPT_MANUAL_RCV},
    {"sync", "automatic", "manual", ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT | ZRK_OPT_MANUAL_RCV},
    {"sync", "manual", "automatic", ZRK_OPT_SYNC},
    {"sync", "automatic", "automatic", ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT},
    {"stack", "", "automatic", ZRK_OPT_STACK},
    {"stack", "", "manual", ZRK_OPT_STACK | ZRK_OPT_MANUAL_RCV},
    {"consistency", "", "manual", ZRK_OPT_CONSISTENCY | ZRK_OPT_MANUAL_RCV},
    {"consistency", "", "automatic", ZRK_OPT_CONSISTENCY},
};
inline constexpr size_t kVzModeRows = sizeof kVzModeTable / sizeof kVzModeTable[0];

// The transfer-mode bits of an option word.
inline constexpr uint32_t kVzTransferBits = ZRK_OPT_SYNC | ZRK_OPT_STACK | ZRK_OPT_CONSISTENCY;

// The row of the table whose three texts equal the values, or null.
const VzModeRow *FindVzModeRow(const char *mode, const char *split, const char *recovery);
// True when modeWord is the mode word of a row of the table.
bool IsVzModeWord(uint32_t modeWord);

// ---- the session detail entry ---------------------------------------------

// The pair has a session and it is a VZ or RVZ session.
inline bool IsVzSession(const SessionRecord &record) {
    return record.ucFound != 0 && record.tDetail.ucCopyKind == kCopyKindVz;
}
inline bool IsRemoteSession(const SessionRecord &record) {
    return (record.tDetail.ucSessionFlags & ZRK_SESFLAG_REMOTE) != 0;
}
inline bool IsSyncSession(const SessionRecord &record) {
    return (record.tDetail.ucModeFlags & ZRK_MODEFLAG_SYNC) != 0;
}
// A remote session that stacks or keeps consistency (not synchronous).
inline bool IsStackOrConsistency(const SessionRecord &record) {
    return record.tDetail.ucTransferMode == kTransferStack ||
           record.tDetail.ucTransferMode == kTransferConsistency;
}
// A pair whose source and target BoxIDs are equal.
bool IsLocalPair(const CopyPair &pair);

// ---- the pair calls -----------------------------------------------------------

// The copy interval the commands pass to every pair call.
inline constexpr uint32_t kVzCopyInterval = 255;

// The opening that the pair commands share after their operands: the
// option mask, the list from the operands or the group file, at least one
// pair, and every name resolved (the other way round with
// ZRKC_OPT_OTHER_WAY). 0 to go on, else what the command returns.
int OpenResolvedList(CommandCall &call, const char *source, const char *target, uint32_t option,
                     uint32_t mask, Where where = Where::current());
// The whole opening of a pair command: its operands (OpenPair), then
// OpenResolvedList.
int OpenPairCommand(CommandCall &call, const char *source, const char *target, uint32_t option,
                    uint32_t mask, Where where = Where::current());

// Calls the in-band or out-of-band function of the VZ operation op
// (Op::StartVz, StopVz, SuspendVz, ResumeVz or ChangeVz) by the pair's
// transport with the pair's access volume, extents and apiOption; the API's
// result.
int CallVzPair(Op op, const CopyPair &pair, uint32_t apiOption, unsigned char *sense);
// CallVzPair for list entry index with the frame's sense area, its result
// mapped by the frame (the entry's PairResult in a group run, the result
// record otherwise); 0, or -1 when it failed (the parameter line traced).
int MappedVzPair(CommandCall &call, Op op, uint32_t index, const CopyPair &pair, uint32_t apiOption);

// The status list of an array's VZ sessions: an 8-byte header and 8-byte
// entries (identifier, status, command status, remaining time). Both roads
// fill as many entries as the array reports, up to 65535 (the count is 16
// bits), so an area of kStatusListSize bytes has room for all of them.
inline constexpr size_t kStatusListHead = 8;
inline constexpr size_t kStatusListEntry = 8;
inline constexpr size_t kStatusListMax = 0xFFFF;
inline constexpr size_t kStatusListSize = kStatusListHead + kStatusListMax * kStatusListEntry;
// Reads the status list of the pair's array into list (kStatusListSize
// bytes, cleared first) by the pair's transport, its result mapped into the
// result record; 0, or what the command returns (the volume's parameter
// line traced, then Fail).
int ReadStatusList(CommandCall &call, const CopyPair &pair, unsigned char *list,
                   Where where = Where::current());

// ---- any pair function by transport ------------------------------------------------

// The two shapes of a copy function of a pair: in-band (the access volume
// first) and out-of-band (the array's address and a user text first).
using InBandPairCall = int (*)(const char *, const char *, uint32_t, uint32_t, uint32_t, uint32_t,
                               uint32_t, const char *, uint32_t, uint32_t, uint32_t, uint32_t,
                               uint32_t, unsigned char *);
using OutOfBandPairCall = int (*)(const char *, const char *, const char *, uint32_t, uint32_t,
                                  uint32_t, uint32_t, uint32_t, const char *, uint32_t, uint32_t,
                                  uint32_t, int, uint32_t, unsigned char *);
// Calls the function of the pair's transport with the pair's access volume
// and fields, the copy interval and apiOption; the sense area is cleared
// first. The API's result.
int CallPairByTransport(InBandPairCall inBand, OutOfBandPairCall outOfBand, const CopyPair &pair,
                        uint32_t interval, uint32_t apiOption, unsigned char *sense);

// The volume-name store keys of a pair: the names a start records and a stop
// erases, the target's keyed with the source's size.
void RecordSourceName(const char *name, const CopyPair &pair);
void RecordTargetName(const char *name, const CopyPair &pair);
void EraseSourceName(const CopyPair &pair);
void EraseTargetName(const CopyPair &pair);

// The pairs of the list.
inline uint32_t PairsOf(const CopyPairList &list) {
    return list.pPairs != nullptr ? list.pPairs->uiCount : 0;
}
// The session records of count pairs (of the list's pairs), cleared; null
// when memory ran out.
using SessionRecords = Owned<SessionRecord[]>;
inline SessionRecords NewSessionRecords(uint32_t count) { return Cleared<SessionRecord[]>(count); }
inline SessionRecords NewSessionRecords(const CopyPairList &list) {
    return NewSessionRecords(PairsOf(list));
}
// The sessions of the list's pairs into records (direction 1: looked up
// the other way round; flags: the lookup's option word); found receives
// their count and, when given, lookup what com_get_session_list returned
// (2: some pair has none). 0, or what the command returns (1106 or the
// lookup's message).
int LookUpSessions(CommandCall &call, int direction, int flags, SessionRecords &records, int &found,
                   int *lookup = nullptr, Where where = Where::current());
// Marks every pair as the suspend marks them (ZRKC_SUSPEND_MARK), so that
// the session lookup finds a whole-volume session too.
void MarkForSuspend(CopyPairList &list);

} // namespace zrkc
