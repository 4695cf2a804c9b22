// The VZ and RVZ commands that act on a session as a whole: start (with the
// mode table and the properties), stop, reverse, change of modes, and the
// suspend status of the sessions of a set of pairs; and the shared helpers
// of zrkcvz.h.
//
// The starts record the source and the target name of every pair they start
// in the volume-name store (the target under the source's size), and the
// stops erase the same keys.
#include "zrkcvz.h"

#include "platform.h"
#include "zrkcframe.h"
#include "zrkcmessage.h"
#include "zrklist.h"
#include "zrksupport.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace zrkc {

const VzModeRow *FindVzModeRow(const char *mode, const char *split, const char *recovery) {
    for (const VzModeRow &row : kVzModeTable) {
        if (std::strcmp(row.pMode, mode) == 0 && std::strcmp(row.pSplit, split) == 0 &&
            std::strcmp(row.pRecovery, recovery) == 0)
            return &row;
    }
    return nullptr;
}

bool IsVzModeWord(uint32_t modeWord) {
    for (const VzModeRow &row : kVzModeTable)
        if (row.uiModeWord == modeWord) return true;
    return false;
}

bool IsLocalPair(const CopyPair &pair) {
    return std::strncmp(pair.caSrcBoxID, pair.caTrgBoxID, ZRK_BOXID_LEN) == 0;
}

int OpenResolvedList(CommandCall &call, const char *source, const char *target, uint32_t option,
                     uint32_t mask, Where where) {
    if (call.CheckOptions(option, mask, where) != 0) return -1;
    if (int r = call.BuildList(source, target, option, where)) return r;
    if (call.RequirePairs(where) != 0) return -1;
    const int direction = (option & ZRKC_OPT_OTHER_WAY) != 0 ? 1 : 0;
    if (com_conv_volinf(&call.List(), direction, call.Result()) != 0) return call.Fail(where);
    return 0;
}

int OpenPairCommand(CommandCall &call, const char *source, const char *target, uint32_t option,
                    uint32_t mask, Where where) {
    if (call.OpenPair(source, target, option, where) != 0) return -1;
    return OpenResolvedList(call, source, target, option, mask, where);
}

int CallVzPair(Op op, const CopyPair &pair, uint32_t apiOption, unsigned char *sense) {
    InBandPairCall inBand = nullptr;
    OutOfBandPairCall outOfBand = nullptr;
    switch (op) {
    case Op::StartVz: inBand = ZRKLVStartVZ; outOfBand = ZRKIPStartVZ; break;
    case Op::StopVz: inBand = ZRKLVStopVZ; outOfBand = ZRKIPStopVZ; break;
    case Op::SuspendVz: inBand = ZRKLVSuspendVZ; outOfBand = ZRKIPSuspendVZ; break;
    case Op::ResumeVz: inBand = ZRKLVResumeVZ; outOfBand = ZRKIPResumeVZ; break;
    case Op::ChangeVz: inBand = ZRKLVChangeVZ; outOfBand = ZRKIPChangeVZ; break;
    default: ZRKerrno = ZRK_ERR_PARAMETER; return -1;
    }
    return CallPairByTransport(inBand, outOfBand, pair, kVzCopyInterval, apiOption, sense);
}

int CallPairByTransport(InBandPairCall inBand, OutOfBandPairCall outOfBand, const CopyPair &pair,
                        uint32_t interval, uint32_t apiOption, unsigned char *sense) {
    std::memset(sense, 0, ZRK_SENSE_LEN);
    // The out-of-band twin takes the same fields (its interval as an int).
    return CallByTransport(pair.ucTransport, pair.caAccessVolume, sense, inBand, outOfBand,
                           pair.caSrcBoxID, pair.SrcOlu, pair.SrcAddr_h, pair.SrcAddr_l,
                           pair.SrcSize_h, pair.SrcSize_l, pair.caTrgBoxID, pair.TrgOlu,
                           pair.TrgAddr_h, pair.TrgAddr_l, interval, apiOption);
}

int MappedVzPair(CommandCall &call, Op op, uint32_t index, const CopyPair &pair, uint32_t apiOption) {
    const int r = CallVzPair(op, pair, apiOption, call.Sense());
    return call.MapPairCall(index, op, pair, r, apiOption);
}

int LookUpSessions(CommandCall &call, int direction, int flags, SessionRecords &records, int &found,
                   int *lookup, Where where) {
    records = NewSessionRecords(call.List());
    if (!records) return call.NoMemory(where);
    found = 0;
    const int r =
        com_get_session_list(&call.List(), direction, flags, &found, records.get(), call.Result());
    if (lookup != nullptr) *lookup = r;
    return r == -1 ? call.Fail(where) : 0;
}

int ReadStatusList(CommandCall &call, const CopyPair &pair, unsigned char *list, Where where) {
    std::memset(list, 0, kStatusListSize);
    const int r = call.CallByTransport(pair, ZRKStatusListVZ, ZRKIPStatusListVZ, 0u, list);
    if (call.MapIntoResult(Op::StatusListVz, pair, r) == 0) return 0;
    call.TraceVolumeParm(pair.caAccessVolume, 0, where);
    return call.Fail(where);
}

void MarkForSuspend(CopyPairList &list) {
    for (uint32_t i = 0; i < PairsOf(list); ++i) list.pPairs->taPair[i].ucSuspendMark = ZRKC_SUSPEND_MARK;
}

void RecordSourceName(const char *name, const CopyPair &pair) {
    set_volname(name, pair.caSrcBoxID, static_cast<int32_t>(pair.SrcOlu),
                static_cast<int32_t>(pair.SrcAddr_h), static_cast<int32_t>(pair.SrcAddr_l),
                static_cast<int32_t>(pair.SrcSize_h), static_cast<int32_t>(pair.SrcSize_l));
}

void RecordTargetName(const char *name, const CopyPair &pair) {
    set_volname(name, pair.caTrgBoxID, static_cast<int32_t>(pair.TrgOlu),
                static_cast<int32_t>(pair.TrgAddr_h), static_cast<int32_t>(pair.TrgAddr_l),
                static_cast<int32_t>(pair.SrcSize_h), static_cast<int32_t>(pair.SrcSize_l));
}

void EraseSourceName(const CopyPair &pair) {
    erase_volname(pair.caSrcBoxID, static_cast<int32_t>(pair.SrcOlu),
                  static_cast<int32_t>(pair.SrcAddr_h), static_cast<int32_t>(pair.SrcAddr_l),
                  static_cast<int32_t>(pair.SrcSize_h), static_cast<int32_t>(pair.SrcSize_l));
}

void EraseTargetName(const CopyPair &pair) {
    erase_volname(pair.caTrgBoxID, static_cast<int32_t>(pair.TrgOlu),
                  static_cast<int32_t>(pair.TrgAddr_h), static_cast<int32_t>(pair.TrgAddr_l),
                  static_cast<int32_t>(pair.SrcSize_h), static_cast<int32_t>(pair.SrcSize_l));
}

} // namespace zrkc

namespace {

using namespace zrkc;

constexpr uint32_t kStartMask = 0x6820F60u;
constexpr uint32_t kStartLocalMask = ZRKC_OPT_PROPERTIES | ZRKC_OPT_ACCESS_PATH | ZRK_OPT_SECONDARY;
constexpr uint32_t kStopMask = ZRKC_OPT_GROUP_FILE | ZRKC_OPT_OTHER_WAY | ZRKC_OPT_ACCESS_PATH |
                               ZRK_OPT_FORCE;
constexpr uint32_t kReverseMask = ZRKC_OPT_GROUP_FILE | ZRKC_OPT_OTHER_WAY | ZRKC_OPT_ACCESS_PATH;
constexpr uint32_t kChangeMask = ZRKC_OPT_ACCESS_PATH | ZRK_OPT_CONSISTENCY | ZRK_OPT_STACK |
                                 ZRK_OPT_MANUAL_RCV | ZRK_OPT_AUTO_SPLIT | ZRK_OPT_SYNC;
constexpr uint32_t kStatusMask = ZRKC_OPT_GROUP_FILE | ZRKC_OPT_OTHER_WAY;

// The existing session of a pair already runs in the modes the start asks
// for (modeWord: the API mode word with the protection and skip bits).
bool HasRequestedModes(const SessionRecord &record, uint32_t modeWord) {
    const DETAIL_LIST_INFO &d = record.tDetail;
    const bool protectedNow = (d.ucSessionFlags & ZRK_SESFLAG_SECONDARY) != 0;
    if (protectedNow != ((modeWord & ZRK_OPT_SECONDARY) != 0)) return false;
    if (!IsRemoteSession(record)) return true;
    if (IsSyncSession(record)) {
        if ((modeWord & ZRK_OPT_SYNC) == 0) return false;
        if (((d.ucModeFlags & ZRK_MODEFLAG_AUTO_SPLIT) != 0) != ((modeWord & ZRK_OPT_AUTO_SPLIT) != 0))
            return false;
    } else if (d.ucTransferMode == kTransferStack) {
        if ((modeWord & ZRK_OPT_STACK) == 0) return false;
    } else if (d.ucTransferMode == kTransferConsistency) {
        if ((modeWord & ZRK_OPT_CONSISTENCY) == 0) return false;
    }
    if (((d.ucModeFlags & ZRK_MODEFLAG_MANUAL_RCV) != 0) != ((modeWord & ZRK_OPT_MANUAL_RCV) != 0))
        return false;
    return (modeWord & ZRK_OPT_SKIP_COPY) == 0;
}

// Reads one property; nullptr when the properties file could not be read
// (ri filled by the reader).
const char *Property(const char *key, ReturnInfo *ri) {
    const char *value = get_properties(key, ri);
    if (value == nullptr || ri->iReturnClass != 0) return nullptr;
    return value;
}

} // namespace

extern "C" int start_vz_get_option(int option, int *modeWord, ReturnInfo *ri) {
    static constexpr char kName[] = "start_vz_get_option";
    TraceStart(kName);
    const uint32_t opt = static_cast<uint32_t>(option);
    uint32_t word = 0;
    if ((opt & ZRKC_OPT_PROPERTIES) != 0) {
        const char *mode = Property("mode", ri);
        const char *split = mode != nullptr ? Property("split", ri) : nullptr;
        const char *recovery = split != nullptr ? Property("recovery", ri) : nullptr;
        if (recovery == nullptr) {
            release_properties();
            return ErrorEnd(kName);
        }
        const VzModeRow *row = FindVzModeRow(mode, split, recovery);
        release_properties();
        if (row == nullptr) {
            zrkc::SetResult(ri, zrkc::Msg::VelkCombination);
            return ErrorEnd(kName);
        }
        word = row->uiModeWord;
    } else if ((opt & kVzTransferBits) == 0) {
        word = ZRK_OPT_STACK;
    } else {
        word = opt & ZRKC_OPT_API_MASK & ~ZRK_OPT_SKIP_COPY;
        if (!IsVzModeWord(word)) {
            zrkc::SetResult(ri, zrkc::Msg::VelkCombination);
            return ErrorEnd(kName);
        }
    }
    word |= opt & (ZRK_OPT_SECONDARY | ZRK_OPT_SKIP_COPY);
    *modeWord = static_cast<int>(word);
    NormalEnd(kName);
    return 0;
}

extern "C" int zrkc_start_vz(char *source, char *target, int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_start_vz", ri);
    if (int r = OpenPairCommand(call, source, target, opt, kStartMask)) return r;
    CopyPairList &list = call.List();
    if (!call.GroupMode() && IsLocalPair(list.pPairs->taPair[0]) && (opt & ~kStartLocalMask) != 0)
        return call.RefuseOptions();
    if (start_volume_size_check(&list, ri) != 0) return call.Fail();
    int modeWord = 0;
    if (start_vz_get_option(option, &modeWord, ri) != 0) return call.Fail();
    const uint32_t mode = static_cast<uint32_t>(modeWord);

    SessionRecords records;
    int found = 0;
    if (int r = LookUpSessions(call, 0, 0, records, found)) return r;

    call.TraceApiStart(Op::StartVz);
    for (uint32_t i = 0; i < PairsOf(list); ++i) {
        const CopyPair &pair = list.pPairs->taPair[i];
        const SessionRecord &record = records[i];
        if (IsVzSession(record)) {
            if (HasRequestedModes(record, mode)) continue; // already copying as asked
            call.RefuseEntry(i, Msg::VzOtherMode);
            if (!call.GroupMode()) return call.Fail();
            continue;
        }
        const uint32_t apiOption = IsLocalPair(pair) ? (mode & ZRK_OPT_SECONDARY) : mode;
        if (MappedVzPair(call, Op::StartVz, i, pair, apiOption) != 0) {
            if (!call.GroupMode()) return call.Fail();
            continue;
        }
        const CopyPairName &names = list.pNames->taEntry[i];
        RecordSourceName(names.caSource, pair);
        RecordTargetName(names.caTarget, pair);
    }
    call.TraceApiEnd(Op::StartVz);
    return call.Finish();
}

extern "C" int zrkc_stop_vz(char *source, char *target, int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_stop_vz", ri);
    if (int r = OpenPairCommand(call, source, target, opt, kStopMask)) return r;
    CopyPairList &list = call.List();

    SessionRecords records;
    int found = 0;
    if (int r = LookUpSessions(call, 0, 0, records, found)) return r;
    if (found == 0) {
        zrkc::SetResult(ri, zrkc::Msg::SessionMissing);
        return call.Fail();
    }

    call.TraceApiStart(Op::StopVz);
    for (uint32_t i = 0; i < PairsOf(list); ++i) {
        const CopyPair &pair = list.pPairs->taPair[i];
        const SessionRecord &record = records[i];
        if (record.ucFound == 0) continue;
        uint32_t apiOption = 0;
        if ((opt & ZRK_OPT_FORCE) != 0) {
            apiOption = ZRK_OPT_FORCE;
        } else if (IsVzSession(record) && IsRemoteSession(record) && IsStackOrConsistency(record)) {
            // A stacking RVZ session stops only once suspended, and then by force.
            if (record.tDetail.Status != ZRKC_SESSION_SUSPEND) {
                call.RefuseEntry(i, Msg::SequenceError);
                if (!call.GroupMode()) return call.Fail();
                continue;
            }
            apiOption = ZRK_OPT_FORCE;
        }
        if (MappedVzPair(call, Op::StopVz, i, pair, apiOption) != 0) {
            if (!call.GroupMode()) return call.Fail();
            continue;
        }
        EraseSourceName(pair);
        EraseTargetName(pair);
    }
    call.TraceApiEnd(Op::StopVz);
    return call.Finish();
}

extern "C" int zrkc_reverse_vz(char *source, char *target, int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_reverse_vz", ri);
    if (int r = OpenPairCommand(call, source, target, opt, kReverseMask)) return r;
    CopyPairList &list = call.List();

    // Looked up the other way round: a session found is one already reversed.
    SessionRecords records;
    int found = 0;
    if (int r = LookUpSessions(call, 1, 0, records, found)) return r;
    bool allReversed = static_cast<uint32_t>(found) == PairsOf(list);
    for (uint32_t i = 0; allReversed && i < PairsOf(list); ++i)
        allReversed = records[i].tDetail.ucCopyKind == kCopyKindVz;
    if (allReversed) {
        zrkc::SetResult(ri, zrkc::Msg::SequenceError);
        return call.Fail();
    }

    call.TraceApiStart(Op::ChangeVz);
    for (uint32_t i = 0; i < PairsOf(list); ++i) {
        if (IsVzSession(records[i])) continue;
        const CopyPair &pair = list.pPairs->taPair[i];
        if (MappedVzPair(call, Op::ChangeVz, i, pair, ZRK_OPT_REVERSE) != 0 && !call.GroupMode())
            return call.Fail();
    }
    call.TraceApiEnd(Op::ChangeVz);
    return call.Finish();
}

extern "C" int zrkc_change_vz(char *source, char *target, int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_change_vz", ri);
    if (call.OpenPair(source, target, opt) != 0) return -1;
    if (target == nullptr) {
        zrkc::SetResult(ri, zrkc::Msg::ParameterMissing);
        return call.Fail();
    }
    if (call.CheckOptions(opt, kChangeMask) != 0) return -1;
    if (int r = call.BuildList(source, target, opt)) return r;
    CopyPairList &list = call.List();
    if (com_conv_volinf(&list, 0, ri) != 0) return call.Fail();

    const CopyPair &pair = list.pPairs->taPair[0];
    const uint32_t apiOption = opt & ZRKC_OPT_API_MASK;
    call.TraceApiStart(Op::ChangeVz);
    call.TracePairParm(pair, apiOption);
    const int r = CallVzPair(Op::ChangeVz, pair, apiOption, call.Sense());
    if (call.MapResult(0, Op::ChangeVz, pair, r) != 0) return call.Fail();
    call.TraceApiEnd(Op::ChangeVz);
    return call.Finish();
}

namespace {

// Finds the status-list entry of a session: the search stops at the second
// empty entry or at the end of the list.
const unsigned char *FindStatus(const unsigned char *list, uint16_t id) {
    int empty = 0;
    for (size_t i = 0; i < kStatusListMax; ++i) {
        const unsigned char *entry = list + kStatusListHead + i * kStatusListEntry;
        if (entry[0] == 0 && entry[1] == 0 && entry[2] == 0 && entry[3] == 0) {
            if (++empty == 2) break;
            continue;
        }
        if (zrk::Be16(entry) == id) return entry;
    }
    return nullptr;
}

} // namespace

extern "C" int zrkc_query_suspendstatus(char *source, char *target, int option, ReturnInfo *ri,
                                        SuspendStatusList *output, int outputLength) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_query_suspendstatus", ri);
    if (call.OpenPair(source, target, opt) != 0) return -1;
    if (output == nullptr && outputLength != 0) {
        zrkc::SetResult(ri, zrkc::Msg::ParameterMissing);
        return call.Fail();
    }
    const bool otherWay = (opt & ZRKC_OPT_OTHER_WAY) != 0;
    if (call.CheckOptions(opt, kStatusMask) != 0) return -1;
    if (int r = call.BuildList(source, target, opt)) return r;
    if (call.RequirePairs() != 0) return -1;
    CopyPairList &list = call.List();

    // The area is checked before any name is resolved: a first call without
    // one learns the size it needs without a round trip to the array.
    const uint32_t count = list.pNames->uiCount;
    const size_t needed = size_t{count} * sizeof(SuspendStatusEntry) + 8;
    if (output == nullptr || outputLength < 0 || static_cast<size_t>(outputLength) < needed) {
        com_file_release(&list);
        zrkc::SetResult(ri, zrkc::Msg::OutputAreaShort);
        ri->uiNeedOutputSize = static_cast<uint32_t>(needed);
        return call.Warn();
    }
    std::memset(output, 0, static_cast<size_t>(outputLength));
    if (com_conv_volinf(&list, otherWay ? 1 : 0, ri) != 0) return call.Fail();
    MarkForSuspend(list); // a whole-volume session is found too

    SessionRecords records;
    int found = 0;
    if (int r = LookUpSessions(call, 0, 0, records, found)) return r;
    if (found == 0) {
        zrkc::SetResult(ri, zrkc::Msg::SessionMissing);
        return call.Fail();
    }

    Owned<unsigned char> statusList = Cleared<unsigned char>(kStatusListSize);
    if (!statusList) return call.NoMemory();
    call.TraceApiStart(Op::StatusListVz);
    const SubgroupIndex &index = *list.pSubgroups;
    for (uint32_t k = 0; k < index.uiPairCount; ++k) {
        const SubgroupEntry &at = index.taEntry[k];
        const CopyPair &pair = *at.pPair;
        const uint32_t i = at.uiPairIndex;
        if (pair.ucByTarget != 0 &&
            !zrk_support_has(pair.tVolInfo.ucaSupportData, ZRK_SUPPORT_RVZ_EXTRA,
                             ZRK_SUPPORT_TARGET_STATUS)) {
            zrkc::SetResult(ri, zrkc::Msg::SourceAliasUndefined);
            return call.Fail();
        }
        if (at.uiSubgroupSize != 0) {
            if (int r = ReadStatusList(call, pair, statusList.get())) return r;
        }
        const SessionRecord &record = records[i];
        if (record.ucFound == 0 || record.tDetail.Status == ZRKC_SESSION_IDLE ||
            record.tDetail.Status == ZRKC_SESSION_RESERVE) {
            call.NoteEntry(i, Msg::SessionMissing);
            if (!call.GroupMode()) return call.Fail();
            continue;
        }
        if (record.tDetail.ucCopyKind != kCopyKindVz) {
            call.RefuseEntry(i, Msg::NotVzSession);
            if (!call.GroupMode()) return call.Fail();
            continue;
        }
        const bool remote = IsRemoteSession(record);
        const unsigned char *idBytes =
            remote && (record.tDetail.ucModeFlags & ZRK_MODEFLAG_DEST_SIDE) != 0
                ? record.tDetail.ucaPartnerID
                : record.tDetail.ucaSessionID;
        const unsigned char *status = FindStatus(statusList.get(), zrk::Be16(idBytes));
        if (status == nullptr) {
            call.NoteEntry(i, Msg::SessionMissing);
            if (!call.GroupMode()) return call.Fail();
            continue;
        }
        SuspendStatusEntry &out = output->taEntry[i];
        const CopyPairName &names = list.pNames->taEntry[i];
        std::memcpy(out.caSource, otherWay ? names.caTarget : names.caSource, ZRK_VOLNAME_LEN);
        std::memcpy(out.caTarget, otherWay ? names.caSource : names.caTarget, ZRK_VOLNAME_LEN);
        out.ucStatus = status[2];
        out.ucKind = remote ? ZRKC_QKIND_RVZ : ZRKC_QKIND_VZ;
        out.ucCommandStatus = status[3];
        out.uiRemainingTime = zrk::Be32(status + 4);
        ++output->uiFilled;
    }
    call.TraceApiEnd(Op::StatusListVz);
    output->uiCount = count;
    return call.Finish();
}
