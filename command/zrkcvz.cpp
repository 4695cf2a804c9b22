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

uint8_t VzCallIdentifier(VzCall call, uint8_t transport) {
    const bool lan = transport == 1;
    switch (call) {
    case VzCall::Start: return lan ? 40 : 8;
    case VzCall::Suspend: return lan ? 41 : 9;
    case VzCall::Resume: return lan ? 42 : 10;
    case VzCall::Change: return lan ? 43 : 11;
    case VzCall::Stop: return lan ? 44 : 12;
    }
    return 0;
}

const char *VzCallNames(VzCall call) {
    switch (call) {
    case VzCall::Start: return "ZRKLVStartVZ / ZRKIPStartVZ";
    case VzCall::Suspend: return "ZRKLVSuspendVZ / ZRKIPSuspendVZ";
    case VzCall::Resume: return "ZRKLVResumeVZ / ZRKIPResumeVZ";
    case VzCall::Change: return "ZRKLVChangeVZ / ZRKIPChangeVZ";
    case VzCall::Stop: return "ZRKLVStopVZ / ZRKIPStopVZ";
    }
    return "";
}

int CallVzPair(VzCall call, const CopyPair &pair, uint32_t apiOption, unsigned char *sense) {
    InBandPairCall inBand = nullptr;
    OutOfBandPairCall outOfBand = nullptr;
    switch (call) {
    case VzCall::Start: inBand = ZRKLVStartVZ; outOfBand = ZRKIPStartVZ; break;
    case VzCall::Stop: inBand = ZRKLVStopVZ; outOfBand = ZRKIPStopVZ; break;
    case VzCall::Suspend: inBand = ZRKLVSuspendVZ; outOfBand = ZRKIPSuspendVZ; break;
    case VzCall::Resume: inBand = ZRKLVResumeVZ; outOfBand = ZRKIPResumeVZ; break;
    case VzCall::Change: inBand = ZRKLVChangeVZ; outOfBand = ZRKIPChangeVZ; break;
    }
    return CallPairByTransport(inBand, outOfBand, pair, kVzCopyInterval, apiOption, sense);
}

int CallPairByTransport(InBandPairCall inBand, OutOfBandPairCall outOfBand, const CopyPair &pair,
                        uint32_t interval, uint32_t apiOption, unsigned char *sense) {
    std::memset(sense, 0, ZRK_SENSE_LEN);
    if (pair.ucTransport == 1)
        return outOfBand(pair.caAccessVolume, nullptr, pair.caSrcBoxID, pair.SrcOlu, pair.SrcAddr_h,
                         pair.SrcAddr_l, pair.SrcSize_h, pair.SrcSize_l, pair.caTrgBoxID,
                         pair.TrgOlu, pair.TrgAddr_h, pair.TrgAddr_l, static_cast<int>(interval),
                         apiOption, sense);
    return inBand(pair.caAccessVolume, pair.caSrcBoxID, pair.SrcOlu, pair.SrcAddr_h, pair.SrcAddr_l,
                  pair.SrcSize_h, pair.SrcSize_l, pair.caTrgBoxID, pair.TrgOlu, pair.TrgAddr_h,
                  pair.TrgAddr_l, interval, apiOption, sense);
}

int MappedVzPair(CommandCall &call, VzCall what, uint32_t index, const CopyPair &pair,
                 uint32_t apiOption) {
    const int r = CallVzPair(what, pair, apiOption, call.Sense());
    if (call.MapResult(index, VzCallIdentifier(what, pair.ucTransport), pair.caAccessVolume, r) == 0)
        return 0;
    call.TracePairParm(pair, apiOption, __LINE__);
    return -1;
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

std::unique_ptr<SessionRecord, zrk::FreeDeleter> NewSessionRecords(const CopyPairList &list) {
    const size_t count = list.pPairs != nullptr ? list.pPairs->uiCount : 0;
    return std::unique_ptr<SessionRecord, zrk::FreeDeleter>(
        static_cast<SessionRecord *>(std::calloc(count == 0 ? 1 : count, sizeof(SessionRecord))));
}

} // namespace zrkc

namespace {

using zrkc::CommandCall;

constexpr uint32_t kStartMask = 0x6820F60u;
constexpr uint32_t kStartLocalMask = ZRKC_OPT_PROPERTIES | ZRKC_OPT_ACCESS_PATH | ZRK_OPT_SECONDARY;
constexpr uint32_t kStopMask = ZRKC_OPT_GROUP_FILE | ZRKC_OPT_OTHER_WAY | ZRKC_OPT_ACCESS_PATH |
                               ZRK_OPT_FORCE;
constexpr uint32_t kReverseMask = ZRKC_OPT_GROUP_FILE | ZRKC_OPT_OTHER_WAY | ZRKC_OPT_ACCESS_PATH;
constexpr uint32_t kChangeMask = ZRKC_OPT_ACCESS_PATH | ZRK_OPT_CONSISTENCY | ZRK_OPT_STACK |
                                 ZRK_OPT_MANUAL_RCV | ZRK_OPT_AUTO_SPLIT | ZRK_OPT_SYNC;
constexpr uint32_t kStatusMask = ZRKC_OPT_GROUP_FILE | ZRKC_OPT_OTHER_WAY;

constexpr uint8_t kApiStatusList = 28;   // ZRKStatusListVZ
constexpr uint8_t kApiIpStatusList = 58; // ZRKIPStatusListVZ

// Session kinds of the suspend status output.
constexpr uint8_t kKindLocalVz = 4;
constexpr uint8_t kKindRemoteVz = 5;

// The status list: an 8-byte header and 8-byte entries (identifier, status,
// command status, remaining time). Both roads fill as many entries as the
// array reports, up to 65535, so the area always has room for all of them.
constexpr size_t kStatusListHead = 8;
constexpr size_t kStatusListEntry = 8;
constexpr size_t kStatusListMax = 0xFFFF;
constexpr size_t kStatusListSize = kStatusListHead + kStatusListMax * kStatusListEntry;

template <typename T> using Owned = std::unique_ptr<T, zrk::FreeDeleter>;

uint32_t PairCount(const CopyPairList &list) {
    return list.pPairs != nullptr ? list.pPairs->uiCount : 0;
}

// The existing session of a pair already runs in the modes the start asks
// for (modeWord: the API mode word with the protection and skip bits).
bool HasRequestedModes(const SessionRecord &record, uint32_t modeWord) {
    const DETAIL_LIST_INFO &d = record.tDetail;
    const bool protectedNow = (d.ucSessionFlags & ZRK_SESFLAG_SECONDARY) != 0;
    if (protectedNow != ((modeWord & ZRK_OPT_SECONDARY) != 0)) return false;
    if (!zrkc::IsRemoteSession(record)) return true;
    if (zrkc::IsSyncSession(record)) {
        if ((modeWord & ZRK_OPT_SYNC) == 0) return false;
        if (((d.ucModeFlags & ZRK_MODEFLAG_AUTO_SPLIT) != 0) != ((modeWord & ZRK_OPT_AUTO_SPLIT) != 0))
            return false;
    } else if (d.ucTransferMode == zrkc::kVzTransferStack) {
        if ((modeWord & ZRK_OPT_STACK) == 0) return false;
    } else if (d.ucTransferMode == zrkc::kVzTransferConsistency) {
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
    velk_trace(6, "%s start. [%d]", kName, __LINE__);
    const uint32_t opt = static_cast<uint32_t>(option);
    uint32_t word = 0;
    if ((opt & ZRKC_OPT_PROPERTIES) != 0) {
        const char *mode = Property("mode", ri);
        const char *split = mode != nullptr ? Property("split", ri) : nullptr;
        const char *recovery = split != nullptr ? Property("recovery", ri) : nullptr;
        if (recovery == nullptr) {
            release_properties();
            velk_trace(1, "%s error end. [%d]", kName, __LINE__);
            return -1;
        }
        const zrkc::VzModeRow *row = zrkc::FindVzModeRow(mode, split, recovery);
        release_properties();
        if (row == nullptr) {
            zrkc::SetResult(ri, zrkc::Msg::VelkCombination);
            velk_trace(1, "%s error end. [%d]", kName, __LINE__);
            return -1;
        }
        word = row->uiModeWord;
    } else if ((opt & zrkc::kVzTransferBits) == 0) {
        word = ZRK_OPT_STACK;
    } else {
        word = opt & ZRKC_OPT_API_MASK & ~ZRK_OPT_SKIP_COPY;
        if (!zrkc::IsVzModeWord(word)) {
            zrkc::SetResult(ri, zrkc::Msg::VelkCombination);
            velk_trace(1, "%s error end. [%d]", kName, __LINE__);
            return -1;
        }
    }
    word |= opt & (ZRK_OPT_SECONDARY | ZRK_OPT_SKIP_COPY);
    *modeWord = static_cast<int>(word);
    velk_trace(6, "%s normal end. [%d]", kName, __LINE__);
    return 0;
}

extern "C" int zrkc_start_vz(char *source, char *target, int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_start_vz", ri);
    if (call.OpenPair(source, target, opt, __LINE__) != 0) return -1;
    if (int r = zrkc::OpenResolvedList(call, source, target, opt, kStartMask, 0, ri)) return r;
    CopyPairList &list = call.List();
    if (!call.GroupMode() && zrkc::IsLocalPair(list.pPairs->taPair[0]) &&
        (opt & ~kStartLocalMask) != 0)
        return call.RefuseOptions(__LINE__);
    if (start_volume_size_check(&list, ri) != 0) return call.Fail(__LINE__);
    int modeWord = 0;
    if (start_vz_get_option(option, &modeWord, ri) != 0) return call.Fail(__LINE__);
    const uint32_t mode = static_cast<uint32_t>(modeWord);

    Owned<SessionRecord> records = zrkc::NewSessionRecords(list);
    if (!records) return call.NoMemory(__LINE__);
    int found = 0;
    if (com_get_session_list(&list, 0, 0, &found, records.get(), ri) == -1) return call.Fail(__LINE__);

    const char *apis = zrkc::VzCallNames(zrkc::VzCall::Start);
    call.TraceApiStart(apis, __LINE__);
    for (uint32_t i = 0; i < PairCount(list); ++i) {
        const CopyPair &pair = list.pPairs->taPair[i];
        const SessionRecord &record = records.get()[i];
        if (zrkc::IsVzSession(record)) {
            if (HasRequestedModes(record, mode)) continue; // already copying as asked
            call.RefuseEntry(i, zrkc::Msg::VzOtherMode);
            if (!call.GroupMode()) return call.Fail(__LINE__);
            continue;
        }
        const uint32_t apiOption = zrkc::IsLocalPair(pair) ? (mode & ZRK_OPT_SECONDARY) : mode;
        if (zrkc::MappedVzPair(call, zrkc::VzCall::Start, i, pair, apiOption) != 0) {
            if (!call.GroupMode()) return call.Fail(__LINE__);
            continue;
        }
        const CopyPairName &names = list.pNames->taEntry[i];
        zrkc::RecordSourceName(names.caSource, pair);
        zrkc::RecordTargetName(names.caTarget, pair);
    }
    call.TraceApiEnd(apis, __LINE__);
    return call.Finish(__LINE__);
}

extern "C" int zrkc_stop_vz(char *source, char *target, int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_stop_vz", ri);
    if (call.OpenPair(source, target, opt, __LINE__) != 0) return -1;
    if (int r = zrkc::OpenResolvedList(call, source, target, opt, kStopMask,
                                       (opt & ZRKC_OPT_OTHER_WAY) != 0 ? 1 : 0, ri))
        return r;
    CopyPairList &list = call.List();

    Owned<SessionRecord> records = zrkc::NewSessionRecords(list);
    if (!records) return call.NoMemory(__LINE__);
    int found = 0;
    if (com_get_session_list(&list, 0, 0, &found, records.get(), ri) == -1) return call.Fail(__LINE__);
    if (found == 0) {
        zrkc::SetResult(ri, zrkc::Msg::SessionMissing);
        return call.Fail(__LINE__);
    }

    const char *apis = zrkc::VzCallNames(zrkc::VzCall::Stop);
    call.TraceApiStart(apis, __LINE__);
    for (uint32_t i = 0; i < PairCount(list); ++i) {
        const CopyPair &pair = list.pPairs->taPair[i];
        const SessionRecord &record = records.get()[i];
        if (record.ucFound == 0) continue;
        uint32_t apiOption = 0;
        if ((opt & ZRK_OPT_FORCE) != 0) {
            apiOption = ZRK_OPT_FORCE;
        } else if (zrkc::IsVzSession(record) && zrkc::IsRemoteSession(record) &&
                   zrkc::IsStackOrConsistency(record)) {
            // A stacking RVZ session stops only once suspended, and then by force.
            if (record.tDetail.Status != zrkc::kVzStatusSuspend) {
                call.RefuseEntry(i, zrkc::Msg::SequenceError);
                if (!call.GroupMode()) return call.Fail(__LINE__);
                continue;
            }
            apiOption = ZRK_OPT_FORCE;
        }
        if (zrkc::MappedVzPair(call, zrkc::VzCall::Stop, i, pair, apiOption) != 0) {
            if (!call.GroupMode()) return call.Fail(__LINE__);
            continue;
        }
        zrkc::EraseSourceName(pair);
        zrkc::EraseTargetName(pair);
    }
    call.TraceApiEnd(apis, __LINE__);
    return call.Finish(__LINE__);
}

extern "C" int zrkc_reverse_vz(char *source, char *target, int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_reverse_vz", ri);
    if (call.OpenPair(source, target, opt, __LINE__) != 0) return -1;
    if (int r = zrkc::OpenResolvedList(call, source, target, opt, kReverseMask,
                                       (opt & ZRKC_OPT_OTHER_WAY) != 0 ? 1 : 0, ri))
        return r;
    CopyPairList &list = call.List();

    // Looked up the other way round: a session found is one already reversed.
    Owned<SessionRecord> records = zrkc::NewSessionRecords(list);
    if (!records) return call.NoMemory(__LINE__);
    int found = 0;
    if (com_get_session_list(&list, 1, 0, &found, records.get(), ri) == -1) return call.Fail(__LINE__);
    bool allReversed = static_cast<uint32_t>(found) == PairCount(list);
    for (uint32_t i = 0; allReversed && i < PairCount(list); ++i)
        allReversed = records.get()[i].tDetail.ucCopyKind == zrkc::kCopyKindVz;
    if (allReversed) {
        zrkc::SetResult(ri, zrkc::Msg::SequenceError);
        return call.Fail(__LINE__);
    }

    const char *apis = zrkc::VzCallNames(zrkc::VzCall::Change);
    call.TraceApiStart(apis, __LINE__);
    for (uint32_t i = 0; i < PairCount(list); ++i) {
        if (zrkc::IsVzSession(records.get()[i])) continue;
        const CopyPair &pair = list.pPairs->taPair[i];
        if (zrkc::MappedVzPair(call, zrkc::VzCall::Change, i, pair, ZRK_OPT_REVERSE) != 0 &&
            !call.GroupMode())
            return call.Fail(__LINE__);
    }
    call.TraceApiEnd(apis, __LINE__);
    return call.Finish(__LINE__);
}

extern "C" int zrkc_change_vz(char *source, char *target, int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_change_vz", ri);
    if (call.OpenPair(source, target, opt, __LINE__) != 0) return -1;
    if (target == nullptr) {
        zrkc::SetResult(ri, zrkc::Msg::ParameterMissing);
        return call.Fail(__LINE__);
    }
    if (call.CheckOptions(opt, kChangeMask, __LINE__) != 0) return -1;
    if (int r = call.BuildList(source, target, opt, __LINE__)) return r;
    CopyPairList &list = call.List();
    if (com_conv_volinf(&list, 0, ri) != 0) return call.Fail(__LINE__);

    const CopyPair &pair = list.pPairs->taPair[0];
    const uint32_t apiOption = opt & ZRKC_OPT_API_MASK;
    const char *apis = zrkc::VzCallNames(zrkc::VzCall::Change);
    call.TraceApiStart(apis, __LINE__);
    call.TracePairParm(pair, apiOption, __LINE__);
    const int r = zrkc::CallVzPair(zrkc::VzCall::Change, pair, apiOption, call.Sense());
    if (call.MapResult(0, zrkc::VzCallIdentifier(zrkc::VzCall::Change, pair.ucTransport),
                       pair.caAccessVolume, r) != 0)
        return call.Fail(__LINE__);
    call.TraceApiEnd(apis, __LINE__);
    return call.Finish(__LINE__);
}

namespace {

// A pair of the suspend status query without a usable session: single mode
// ends the call; in group mode its entry carries 1100 and the call's
// result says that some line failed, but the call does not fail for it.
int NoSessionEntry(CommandCall &call, uint32_t index) {
    if (!call.GroupMode()) {
        zrkc::SetResult(call.Result(), zrkc::Msg::SessionMissing);
        return -1;
    }
    if (PairResult *entry = call.Entry(index))
        zrkc::SetResult(zrkc::SlotOf(entry), zrkc::Msg::SessionMissing);
    if (call.Result()->iReturnClass == ZRKC_CLASS_OK)
        zrkc::SetResult(call.Result(), zrkc::Msg::GroupLinesFailed);
    return 0;
}

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
    if (call.OpenPair(source, target, opt, __LINE__) != 0) return -1;
    if (output == nullptr && outputLength != 0) {
        zrkc::SetResult(ri, zrkc::Msg::ParameterMissing);
        return call.Fail(__LINE__);
    }
    const bool otherWay = (opt & ZRKC_OPT_OTHER_WAY) != 0;
    if (call.CheckOptions(opt, kStatusMask, __LINE__) != 0) return -1;
    if (int r = call.BuildList(source, target, opt, __LINE__)) return r;
    if (call.RequirePairs(__LINE__) != 0) return -1;
    CopyPairList &list = call.List();

    // The area is checked before any name is resolved: a first call without
    // one learns the size it needs without a round trip to the array.
    const uint32_t count = list.pNames->uiCount;
    const size_t needed = size_t{count} * sizeof(SuspendStatusEntry) + 8;
    if (output == nullptr || outputLength < 0 || static_cast<size_t>(outputLength) < needed) {
        com_file_release(&list);
        zrkc::SetResult(ri, zrkc::Msg::OutputAreaShort);
        ri->uiNeedOutputSize = static_cast<uint32_t>(needed);
        return call.Warn(__LINE__);
    }
    std::memset(output, 0, static_cast<size_t>(outputLength));
    if (com_conv_volinf(&list, otherWay ? 1 : 0, ri) != 0) return call.Fail(__LINE__);
    // Marked as the suspend marks them: a whole-volume session is found too.
    for (uint32_t i = 0; i < PairCount(list); ++i) list.pPairs->taPair[i].ucSuspendMark = ZRKC_SUSPEND_MARK;

    Owned<SessionRecord> records = zrkc::NewSessionRecords(list);
    if (!records) return call.NoMemory(__LINE__);
    int found = 0;
    if (com_get_session_list(&list, 0, 0, &found, records.get(), ri) == -1) return call.Fail(__LINE__);
    if (found == 0) {
        zrkc::SetResult(ri, zrkc::Msg::SessionMissing);
        return call.Fail(__LINE__);
    }

    Owned<unsigned char> statusList(static_cast<unsigned char *>(std::malloc(kStatusListSize)));
    if (!statusList) return call.NoMemory(__LINE__);
    const char *apis = "ZRKStatusListVZ / ZRKIPStatusListVZ";
    call.TraceApiStart(apis, __LINE__);
    const SubgroupIndex &index = *list.pSubgroups;
    for (uint32_t k = 0; k < index.uiPairCount; ++k) {
        const SubgroupEntry &at = index.taEntry[k];
        const CopyPair &pair = *at.pPair;
        const uint32_t i = at.uiPairIndex;
        if (pair.ucByTarget != 0 &&
            !zrk_support_has(pair.tVolInfo.ucaSupportData, ZRK_SUPPORT_RVZ_EXTRA,
                             ZRK_SUPPORT_TARGET_STATUS)) {
            zrkc::SetResult(ri, zrkc::Msg::SourceAliasUndefined);
            return call.Fail(__LINE__);
        }
        if (at.uiSubgroupSize != 0) {
            std::memset(statusList.get(), 0, kStatusListSize);
            std::memset(call.Sense(), 0, ZRK_SENSE_LEN);
            const bool lan = pair.ucTransport == 1;
            const int r = lan ? ZRKIPStatusListVZ(pair.caAccessVolume, nullptr, 0, statusList.get(),
                                                  call.Sense())
                              : ZRKStatusListVZ(pair.caAccessVolume, 0, statusList.get(), call.Sense());
            if (com_set_return_inf(lan ? kApiIpStatusList : kApiStatusList, pair.caAccessVolume, r,
                                   call.Sense(), &ri->iReturnClass, &ri->uiMessageNo,
                                   ri->caMessage) != 0) {
                call.TraceVolumeParm(pair.caAccessVolume, 0, __LINE__);
                return call.Fail(__LINE__);
            }
        }
        const SessionRecord &record = records.get()[i];
        if (record.ucFound == 0 || record.tDetail.Status == zrkc::kVzStatusIdle ||
            record.tDetail.Status == zrkc::kVzStatusReserve) {
            if (NoSessionEntry(call, i) != 0) return call.Fail(__LINE__);
            continue;
        }
        if (record.tDetail.ucCopyKind != zrkc::kCopyKindVz) {
            call.RefuseEntry(i, zrkc::Msg::NotVzSession);
            if (!call.GroupMode()) return call.Fail(__LINE__);
            continue;
        }
        const bool remote = zrkc::IsRemoteSession(record);
        const unsigned char *idBytes =
            remote && (record.tDetail.ucModeFlags & ZRK_MODEFLAG_DEST_SIDE) != 0
                ? record.tDetail.ucaPartnerID
                : record.tDetail.ucaSessionID;
        const unsigned char *status = FindStatus(statusList.get(), zrk::Be16(idBytes));
        if (status == nullptr) {
            if (NoSessionEntry(call, i) != 0) return call.Fail(__LINE__);
            continue;
        }
        SuspendStatusEntry &out = output->taEntry[i];
        const CopyPairName &names = list.pNames->taEntry[i];
        std::memcpy(out.caSource, otherWay ? names.caTarget : names.caSource, ZRK_VOLNAME_LEN);
        std::memcpy(out.caTarget, otherWay ? names.caSource : names.caTarget, ZRK_VOLNAME_LEN);
        out.ucStatus = status[2];
        out.ucKind = remote ? kKindRemoteVz : kKindLocalVz;
        out.ucCommandStatus = status[3];
        out.uiRemainingTime = zrk::Be32(status + 4);
        ++output->uiFilled;
    }
    call.TraceApiEnd(apis, __LINE__);
    output->uiCount = count;
    return call.Finish(__LINE__);
}
