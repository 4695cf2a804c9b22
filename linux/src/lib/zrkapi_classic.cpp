// The classic public family (ZRK): one function per copy operation of an
// array, with 32-bit extents and sizes and OLUs below 0x10000. Each function
// is the call frame of zrkframe.h round one operation of the classic engine
// (zrkclassic.h): the root and option checks, the pair check and the classic
// copy request, the function's own mode rules, the engine call, and the
// copy of the engine's result into the caller's areas.
//
// The session-changing and pair-query functions are rows of one table run by
// one runner; the list and information functions are written out over
// shared openings (ReadOpening, VolumeOpening, OluOpening) and one reader of
// the lists that the engine allocates (ReadEngineList).
//
// Every length or count that an array hands back is clamped to the area that
// holds it before a byte of the area is read or copied: a session list is
// cut to whole entries of what the engine allocated (its length field
// rewritten to match), an RVZ buffer list to its allocated entries, a remote
// BoxID list to the entries its family reads.
#include "zrkclassic.h"
#include "zrkframe.h"
#include "zrklist.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace zrk {

// A session-identifier list of the engine (allocatedLength bytes): how many
// of its bytes the caller receives. The list announces the length of its
// rest, in 4 bytes at byte 4 when the array reads the family's lists in the
// large form, else in 2 bytes at byte 6. A list announcing more than was
// allocated is cut to the whole entries allocated, and its length field
// rewritten to what is left.
size_t ClampSessionList(unsigned char *list, size_t allocatedLength, bool largeForm);

// The RVZ buffer list (page 0x21): a 16-byte header (bytes 6-7 the length
// of the data after byte 8, 8-9 the maximum and 10-11 the current number of
// buffers), then 64-byte entries. How many bytes after byte 8 the caller
// receives, and how many entries the list holds.
constexpr size_t kRvzBuffListHead = 16;
size_t RvzBuffListData(const unsigned char *list, size_t allocatedLength);
size_t RvzBuffEntries(const unsigned char *list, size_t allocatedLength);

// The remote BoxID list (ZRK_REMOTE_BOXID_LIST_LEN bytes): the count byte
// after the own BoxID, 48-byte entries from byte 48, as many as the family
// reads (64 on the main family, 256 on the QM family).
constexpr size_t kRemoteBoxCount = ZRK_BOXID_LEN;
constexpr size_t kRemoteBoxEntries = 48;
constexpr size_t kRemoteBoxEntryLen = 48;
size_t RemoteBoxEntries(const unsigned char *list, bool qmFamily);

// The command status list (page 0x40 form): the entry count at bytes 10-11,
// 8-byte entries from byte 16.
constexpr size_t kStatusListHead = 16;
constexpr size_t kStatusListEntry = 8;
size_t StatusListEntries(const unsigned char *list, size_t allocatedLength);

} // namespace zrk

namespace {

using zrk::ApiCall;
using zrk::Be16;
using zrk::Be32;
using zrk::Buffer;
using zrk::kOluLimit;
using zrkplatform::FailWith;
using zrkplatform::LogText;

// ---- the pair of a classic function ------------------------------------------------

// The eight pair arguments as given.
struct Pair {
    const char *pSrcBoxID;   /* 40 bytes */
    uint32_t uiSrcOlu;       /* source OLU, or the session identifier (ZRK_OPT_SESSION_ID) */
    uint32_t uiSrcExtent;    /* source start block */
    uint32_t uiSrcSize;      /* size in blocks */
    const char *pDstBoxID;   /* 40 bytes */
    uint32_t uiDstOlu;       /* destination OLU; ZRK_NO_DEST none */
    uint32_t uiDstExtent;    /* destination start block */
    uint32_t uiCopyInterval; /* copy interval */
};

#define ZRK_CLASSIC_PAIR \
    (Pair{SrcBoxID, SrcOlu, SrcExtent, SrcSize, DstBoxID, DstOlu, DstExtent, CopyInterval})

// The pair as the large-volume frame carries it: high halves 0.
zrk::LvPair Widen(const Pair &p, uint32_t copyInterval) {
    return zrk::LvPair{p.pSrcBoxID, p.uiSrcOlu, 0, p.uiSrcExtent, 0, p.uiSrcSize,
                       p.pDstBoxID, p.uiDstOlu, 0, p.uiDstExtent, copyInterval};
}

int DumpLength(const char *boxId) { return boxId != nullptr ? ZRK_BOXID_LEN : 0; }

// The level-8 parameter lines of a pair function; without withInterval the
// destination line leaves the copy interval out.
void LogPair(const char *name, const char *volume, uint32_t optionFlag, const Pair &p,
             bool withInterval) {
    zrk::LogOptionLine(name, volume, optionFlag);
    WriteLog(8, p.pSrcBoxID, DumpLength(p.pSrcBoxID),
             "SrcOlu=<0x%x> : SrcExtent=<0x%x> : SrcSize=<0x%x> : SrcBoxID", p.uiSrcOlu,
             p.uiSrcExtent, p.uiSrcSize);
    if (withInterval) {
        WriteLog(8, p.pDstBoxID, DumpLength(p.pDstBoxID),
                 "DstOlu=<0x%x> : DstExtent=<0x%x> : CopyInterval<%u> : DstBoxID", p.uiDstOlu,
                 p.uiDstExtent, p.uiCopyInterval);
    } else {
        WriteLog(8, p.pDstBoxID, DumpLength(p.pDstBoxID),
                 "DstOlu=<0x%x> : DstExtent=<0x%x> : DstBoxID", p.uiDstOlu, p.uiDstExtent);
    }
}

// Which check a pair goes through.
enum class PairCheck {
    kFull,          // CheckParam
    kNoDestByOlu,   // CheckParamEstimate when DstOlu is ZRK_NO_DEST, else CheckParam
    kNoDestByOption // CheckParamEstimate when ZRK_OPT_MONITOR is set, else CheckParam
};

int CheckPair(const char *volume, const Pair &p, PairCheck check, uint32_t optionFlag,
              uint32_t copyInterval) {
    const bool noDest = (check == PairCheck::kNoDestByOlu && p.uiDstOlu == ZRK_NO_DEST) ||
                        (check == PairCheck::kNoDestByOption && (optionFlag & ZRK_OPT_MONITOR) != 0);
    if (noDest) {
        return CheckParamEstimate(volume, p.pSrcBoxID, p.uiSrcOlu, p.uiSrcExtent, p.uiSrcSize,
                                  p.pDstBoxID, p.uiDstOlu, p.uiDstExtent, copyInterval);
    }
    return CheckParam(volume, p.pSrcBoxID, p.uiSrcOlu, p.uiSrcExtent, p.uiSrcSize, p.pDstBoxID,
                      p.uiDstOlu, p.uiDstExtent, copyInterval);
}

// ---- the option rules of the VZ family -----------------------------------------------

// A QuickKZP stop either ends the session (force) or stops its tracking.
int StopDiffRules(uint32_t option, bool /*remote*/) {
    const bool force = (option & ZRK_OPT_FORCE) != 0;
    const bool tracking = (option & ZRK_OPT_STOP_TRACKING) != 0;
    return force == tracking ? FailWith(ZRK_ERR_OPTION) : 0;
}

// ---- the table of the session functions -----------------------------------------------

using ClassicOp = int (*)(const char *, unsigned int, COPY_REQ *);
using Rules = int (*)(uint32_t option, bool remote);

struct Row {
    const char *pName = nullptr;        /* public name, in every log line */
    uint32_t uiMask = 0;                /* option bits it accepts */
    PairCheck eCheck = PairCheck::kFull;
    bool bNoInterval = false;           /* a point-in-time copy: 0 is checked and sent */
    bool bIntervalById = false;         /* the identifier form carries CopyInterval */
    Rules pfnEarlyRules = nullptr;      /* rules on the option word alone, before the pair */
    Rules pfnRules = nullptr;           /* rules after the request is built */
    bool bRulesById = false;            /* pfnRules apply to the identifier form too */
    uint32_t uiRemoteOnly = 0;          /* bits refused (37) on a pair inside one array */
    bool bLocalOnly = false;            /* a pair between two arrays is refused (17) */
    bool bStart = false;                /* logs the new session's identifier */
    ClassicOp pfnOp = nullptr;          /* the engine operation */
};

constexpr uint32_t kStartVzMask = ZRK_OPT_SYNC | ZRK_OPT_SKIP_COPY | ZRK_OPT_AUTO_SPLIT |
                                  ZRK_OPT_MANUAL_RCV | zrk::kVzTransfer;       // 0xF60
constexpr uint32_t kStopMask = ZRK_OPT_FORCE | ZRK_OPT_SESSION_ID;           // 0x6
constexpr uint32_t kResumeMask = ZRK_OPT_SESSION_ID | ZRK_OPT_REMAIN;        // 0x84
constexpr uint32_t kChangeMask = ZRK_OPT_SESSION_ID | zrk::kVzModes | ZRK_OPT_REVERSE; // 0x1F24
constexpr uint32_t kStopDiffMask = kStopMask | ZRK_OPT_STOP_TRACKING;        // 0x4006
constexpr uint32_t kStopSnapMask = ZRK_OPT_MONITOR | ZRK_OPT_SESSION_ID;     // 0x8004
constexpr uint32_t kDetailListMask =
    ZRK_OPT_LIST_SEL_01 | ZRK_OPT_LIST_NO_CLUSTER | ZRK_OPT_LIST_FAILOVER | ZRK_OPT_LIST_SEL_10;

constexpr Row kStartVz{.pName = "ZRKStartVZ", .uiMask = kStartVzMask, .pfnRules = zrk::VzStartRules,
                       .bStart = true, .pfnOp = StartVz};
constexpr Row kStopVz{.pName = "ZRKStopVZ", .uiMask = kStopMask, .bIntervalById = true,
                      .pfnOp = StopVz};
constexpr Row kSuspendVz{.pName = "ZRKSuspendVZ", .uiMask = kStopMask, .bIntervalById = true,
                         .uiRemoteOnly = ZRK_OPT_FORCE, .pfnOp = SuspendVz};
constexpr Row kResumeVz{.pName = "ZRKResumeVZ", .uiMask = kResumeMask, .bIntervalById = true,
                        .uiRemoteOnly = ZRK_OPT_REMAIN, .pfnOp = ResumeVz};
constexpr Row kChangeVz{.pName = "ZRKChangeVZ", .uiMask = kChangeMask, .bIntervalById = true,
                        .pfnRules = zrk::VzChangeRules, .bRulesById = true, .pfnOp = ChangeVz};
constexpr Row kStartKzp{.pName = "ZRKStartKZP", .bNoInterval = true, .bStart = true,
                        .pfnOp = StartKzp};
constexpr Row kStopKzp{.pName = "ZRKStopKZP", .uiMask = kStopMask, .bNoInterval = true,
                       .uiRemoteOnly = ZRK_OPT_FORCE, .pfnOp = StopKzp};
constexpr Row kStartDiffKzp{.pName = "ZRKStartDiffKZP", .uiMask = ZRK_OPT_RESTART,
                            .bNoInterval = true, .bLocalOnly = true, .bStart = true,
                            .pfnOp = StartDiffKzp};
constexpr Row kStopDiffKzp{.pName = "ZRKStopDiffKZP", .uiMask = kStopDiffMask,
                           .bNoInterval = true, .pfnEarlyRules = StopDiffRules,
                           .bLocalOnly = true, .pfnOp = StopDiffKzp};
constexpr Row kStartSnapKzp{.pName = "ZRKStartSnapKZP", .uiMask = ZRK_OPT_MONITOR,
                            .eCheck = PairCheck::kNoDestByOption, .bNoInterval = true,
                            .bLocalOnly = true, .bStart = true, .pfnOp = StartSnapKzp};
constexpr Row kStopSnapKzp{.pName = "ZRKStopSnapKZP", .uiMask = kStopSnapMask,
                           .eCheck = PairCheck::kNoDestByOption, .bNoInterval = true,
                           .bLocalOnly = true, .pfnOp = StopSnapKzp};
// The pair queries: only the request is built from the row.
constexpr Row kQueryVz{.pName = "ZRKQueryVZ", .uiMask = ZRK_OPT_SESSION_ID, .bIntervalById = true};
constexpr Row kQueryVzDetail{.pName = "ZRKQueryVZDetail"};
// The interval is checked as given and sent as 0.
constexpr Row kQueryKzp{.pName = "ZRKQueryKZP", .uiMask = ZRK_OPT_SESSION_ID,
                        .eCheck = PairCheck::kNoDestByOlu, .bNoInterval = true};
constexpr Row kQueryKzpDetail{.pName = "ZRKQueryKZPDetail", .eCheck = PairCheck::kNoDestByOlu};
constexpr Row kQueryDetail{.pName = "ZRKQueryDetail", .uiMask = ZRK_OPT_SESSION_ID,
                           .eCheck = PairCheck::kNoDestByOlu};

// The copy interval a row sends: 0 for the point-in-time copies.
uint32_t SentInterval(const Row &row, const Pair &p) { return row.bNoInterval ? 0 : p.uiCopyInterval; }

// The checks after the frame's root and option checks and the request: the
// identifier form, or the pair check and the full request (volume role 1);
// then the row's rules and locality tests. Nothing here sends a command.
// checkInterval: the interval the pair check looks at.
int PrepareRequest(const Row &row, const char *volume, const Pair &p, uint32_t optionFlag,
                   uint32_t checkInterval, COPY_REQ *request) {
    if (row.pfnEarlyRules != nullptr && row.pfnEarlyRules(optionFlag, false) != 0) return -1;
    if ((optionFlag & ZRK_OPT_SESSION_ID) != 0) {
        if (CheckLogicalVol(volume) != 0) return -1;
        if (p.uiSrcOlu >= kOluLimit) return FailWith(ZRK_ERR_SESSION_ID);
        zrk::MakeClassicSessionRequest(p.uiSrcOlu, row.bIntervalById, p.uiCopyInterval, request);
        if (row.bRulesById && row.pfnRules != nullptr && row.pfnRules(optionFlag, false) != 0)
            return -1;
        return 0;
    }
    if (CheckPair(volume, p, row.eCheck, optionFlag, checkInterval) != 0) return -1;
    zrk::MakeClassicRequest(Widen(p, SentInterval(row, p)), request);
    const bool remote = request->RemoteFlag != 0;
    if (row.pfnRules != nullptr && row.pfnRules(optionFlag, remote) != 0) return -1;
    if (!remote && (optionFlag & row.uiRemoteOnly) != 0) return FailWith(ZRK_ERR_OPTION);
    if (remote && row.bLocalOnly) return FailWith(ZRK_ERR_NOT_SUPPORT);
    return 0;
}

// The frame's root and option checks.
int EntryChecks(uint32_t optionFlag, uint32_t mask) {
    if (zrk::RootCheck() != 0) return -1;
    return zrk::OptionCheck(optionFlag, mask);
}

// The copy interval of a pair function: the one its pair check looks at, and
// whether its parameter line shows the interval.
struct Interval {
    uint32_t uiChecked;
    bool bLogged;
};

// The opening of a pair function of a row: the parameter lines, the root and
// option checks, the request; then the caller's areas (present: none is
// null, else ZRK_ERR_PARAMETER). 0, or -1 with the call rejected.
int PairOpening(ApiCall &call, const Row &row, const char *volume, const Pair &p,
                uint32_t optionFlag, Interval interval, bool present, COPY_REQ *request) {
    LogPair(row.pName, volume, optionFlag, p, interval.bLogged);
    if (EntryChecks(optionFlag, row.uiMask) != 0 ||
        PrepareRequest(row, volume, p, optionFlag, interval.uiChecked, request) != 0)
        return call.RejectAt(__LINE__);
    if (!present) {
        FailWith(ZRK_ERR_PARAMETER);
        return call.RejectAt(__LINE__);
    }
    return 0;
}

// A whole session-changing function.
int RunSession(const Row &row, const char *volume, const Pair &p, uint32_t optionFlag,
               unsigned char *senseData) {
    ApiCall call(row.pName, volume, senseData, __LINE__);
    COPY_REQ request{};
    if (PairOpening(call, row, volume, p, optionFlag, {SentInterval(row, p), !row.bNoInterval},
                    true, &request) != 0)
        return -1;
    if (row.pfnOp(volume, optionFlag, &request) != 0) return call.FailAt(__LINE__);
    zrk::ReleaseDevice();
    if (row.bStart) WriteLog(2, nullptr, 0, "SessionID=<%d>", ZRKsessionid);
    return call.Done(__LINE__);
}

// The classic detail record of one session.
constexpr size_t kClassicDetailLen = sizeof(RVZ_DETAIL_INFO);

} // namespace

// ---- the array's lists, clamped to their areas ----------------------------------------
// Pure functions of an engine list and the length the engine allocated for
// it; the functions below and their tests call them.

namespace zrk {

size_t ClampSessionList(unsigned char *list, size_t allocatedLength, bool largeForm) {
    if (list == nullptr || allocatedLength < ZRK_SESSION_LIST_HEAD_LEN) return 0;
    const uint64_t announced =
        (largeForm ? static_cast<uint64_t>(Be32(list + 4)) : Be16(list + 6)) + 8;
    if (announced <= allocatedLength) return static_cast<size_t>(announced);
    const size_t entries = (allocatedLength - ZRK_SESSION_LIST_HEAD_LEN) / sizeof(SESSION_ID_ENTRY);
    const size_t kept = ZRK_SESSION_LIST_HEAD_LEN + entries * sizeof(SESSION_ID_ENTRY);
    if (largeForm) {
        PutBe32(list + 4, static_cast<uint32_t>(kept - 8));
    } else {
        PutBe16(list + 6, static_cast<uint16_t>(kept - 8));
    }
    WriteLog(2, nullptr, 0, "session list announces %llu bytes, %zu kept [%d]",
             static_cast<unsigned long long>(announced), kept, __LINE__);
    return kept;
}

size_t RvzBuffListData(const unsigned char *list, size_t allocatedLength) {
    if (list == nullptr || allocatedLength < kRvzBuffListHead) return 0;
    return std::min<size_t>(Be16(list + 6), allocatedLength - 8);
}

size_t RvzBuffEntries(const unsigned char *list, size_t allocatedLength) {
    if (list == nullptr || allocatedLength < kRvzBuffListHead) return 0;
    return std::min<size_t>(Be16(list + 10),
                            (allocatedLength - kRvzBuffListHead) / ZRK_RVZ_BUFF_ENTRY_LEN);
}

size_t RemoteBoxEntries(const unsigned char *list, bool qmFamily) {
    const size_t area = qmFamily ? ZRK_REMOTE_BOXID_LIST_LEN : ZRK_REMOTE_BOXID_MAIN_LEN;
    return std::min<size_t>(list[kRemoteBoxCount], (area - kRemoteBoxEntries) / kRemoteBoxEntryLen);
}

size_t StatusListEntries(const unsigned char *list, size_t allocatedLength) {
    if (list == nullptr || allocatedLength < kStatusListHead) return 0;
    return std::min<size_t>(Be16(list + 10),
                            (allocatedLength - kStatusListHead) / kStatusListEntry);
}

} // namespace zrk

// ---- volume information -------------------------------------------------------------------

namespace {

struct VolumeOut {
    char *pBoxID;
    uint32_t *puiOlu;
    uint32_t *puiExtent;
    uint32_t *puiSize;
    unsigned char *pVolInfo;
    unsigned char *pVolInfoEx; /* null for the plain form */
};

int VolumeInfo(const char *name, const char *volume, uint32_t extentCnt, uint32_t optionFlag,
               const VolumeOut &out, bool ex, unsigned char *senseData) {
    ApiCall call(name, volume, senseData, __LINE__);
    zrk::LogExtentCntLine(name, volume, extentCnt, optionFlag);
    if (zrk::RootCheck() != 0) return call.RejectAt(__LINE__);
    if (extentCnt != 0) {
        FailWith(ZRK_ERR_EXTENT_CNT);
        return call.RejectAt(__LINE__);
    }
    if (zrk::OptionCheck(optionFlag, 0) != 0) return call.RejectAt(__LINE__);
    if (out.pBoxID == nullptr || out.puiOlu == nullptr || out.puiExtent == nullptr ||
        out.puiSize == nullptr || out.pVolInfo == nullptr || (ex && out.pVolInfoEx == nullptr)) {
        FailWith(ZRK_ERR_PARAMETER);
        return call.RejectAt(__LINE__);
    }
    if (CheckLogicalVol(volume) != 0) return call.RejectAt(__LINE__);
    VOLUME_INFO_RECORD record{};
    if (GetVolumeInfo(volume, optionFlag, &record) != 0) return call.FailAt(__LINE__);
    std::memcpy(out.pBoxID, record.BoxID, ZRK_BOXID_LEN);
    *out.puiOlu = record.uiOlu;
    *out.puiExtent = record.uiExtent;
    *out.puiSize = record.uiSize;
    std::memcpy(out.pVolInfo, &record.VolInfo, sizeof record.VolInfo);
    if (ex) std::memcpy(out.pVolInfoEx, &record.VolInfoEx, sizeof record.VolInfoEx);
    return call.Done(__LINE__, 1);
}

// The opening of the functions that read one thing of the array with an
// option word that must be 0: the parameter line, root and option checks,
// the output area, the volume (its pseudo sense copied).
int ReadOpening(ApiCall &call, const char *name, const char *volume, uint32_t optionFlag,
                const void *out) {
    zrk::LogOptionLine(name, volume, optionFlag);
    if (EntryChecks(optionFlag, 0) != 0) return call.RejectAt(__LINE__);
    if (out == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return call.RejectAt(__LINE__);
    }
    if (CheckLogicalVol(volume) != 0) return call.FailAt(__LINE__);
    return 0;
}

// The opening of the functions of the volume alone (no option word): the
// parameter line, root, the caller's area (missing: the error when it is
// null), the volume (its pseudo sense copied).
int VolumeOpening(ApiCall &call, const char *name, const char *volume, const void *out,
                  int missing) {
    WriteLog(8, nullptr, 0, "%s()  LogicalVol=[%s]", name, LogText(volume));
    if (zrk::RootCheck() != 0) return call.RejectAt(__LINE__);
    if (out == nullptr) {
        FailWith(missing);
        return call.RejectAt(__LINE__);
    }
    if (CheckLogicalVol(volume) != 0) return call.FailAt(__LINE__);
    return 0;
}

// A list that an engine read allocates: held whether or not the read
// succeeded, with the length the engine gave (0 without a list).
struct EngineList {
    Buffer held;
    size_t uiLength = 0;
};

// Runs read(&list, &length) into out; its result.
template <typename Read> int ReadEngineList(Read read, EngineList &out) {
    unsigned char *raw = nullptr;
    int length = 0;
    const int rc = read(&raw, &length);
    out.held.reset(raw);
    out.uiLength = out.held ? static_cast<size_t>(std::max(length, 0)) : 0;
    return rc;
}

} // namespace

extern "C" int ZRKGetVolumeInfo(const char *LogicalVol, uint32_t ExtentCnt, uint32_t OptionFlag,
                                char *BoxID, uint32_t *Olu, uint32_t *Extent, uint32_t *Size,
                                unsigned char *VolInfo, unsigned char *SenseData) {
    return VolumeInfo("ZRKGetVolumeInfo", LogicalVol, ExtentCnt, OptionFlag,
                      {BoxID, Olu, Extent, Size, VolInfo, nullptr}, false, SenseData);
}

extern "C" int ZRKGetVolumeInfoEx(const char *LogicalVol, uint32_t ExtentCnt, uint32_t OptionFlag,
                                  char *BoxID, uint32_t *Olu, uint32_t *Extent, uint32_t *Size,
                                  unsigned char *VolInfo, unsigned char *VolInfoEx,
                                  unsigned char *SenseData) {
    return VolumeInfo("ZRKGetVolumeInfoEx", LogicalVol, ExtentCnt, OptionFlag,
                      {BoxID, Olu, Extent, Size, VolInfo, VolInfoEx}, true, SenseData);
}

extern "C" int ZRKGetVolumeList(const char *LogicalVol, uint32_t OptionFlag, char *BoxID,
                                unsigned char *List, unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKGetVolumeList";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    if (ReadOpening(call, kName, LogicalVol, OptionFlag, BoxID != nullptr ? List : nullptr) != 0)
        return -1;
    unsigned char area[ZRK_BOXID_LEN + ZRK_LU_MAPPING_LEN] = {};
    if (GetVolumeList(LogicalVol, OptionFlag, area) != 0) return call.FailAt(__LINE__);
    std::memcpy(BoxID, area, ZRK_BOXID_LEN);
    std::memcpy(List, area + ZRK_BOXID_LEN, ZRK_LU_MAPPING_LEN);
    return call.Done(__LINE__);
}

extern "C" int ZRKGetVolumeConstInfo(const char *LogicalVol, uint32_t OptionFlag,
                                     unsigned char *Info, unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKGetVolumeConstInfo";
    constexpr size_t kInfoLen = 256;
    static_assert(ZRK_LUN_INFO_LEN <= kInfoLen, "the LU information page fits the caller's area");
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    if (ReadOpening(call, kName, LogicalVol, OptionFlag, Info) != 0) return -1;
    unsigned char area[kInfoLen] = {};
    if (GetVolumeConstInfo(LogicalVol, OptionFlag, area) != 0) return call.FailAt(__LINE__);
    std::memcpy(Info, area, sizeof area);
    return call.Done(__LINE__);
}

extern "C" int ZRKGetRemoteBoxIDList(const char *LogicalVol, uint32_t OptionFlag,
                                     unsigned char *List, unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKGetRemoteBoxIDList";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    if (ReadOpening(call, kName, LogicalVol, OptionFlag, List) != 0) return -1;
    Buffer area = zrk::AllocateZeroed(ZRK_REMOTE_BOXID_LIST_LEN);
    if (!area) return call.FailAt(__LINE__);
    if (GetRemoteBoxIDList(LogicalVol, OptionFlag, area.get()) != 0) return call.FailAt(__LINE__);
    if (ZRKstorageflg == 1) {
        WriteLog(1, nullptr, 0, "ZRKGetRemoteBoxIDList: Remote BoxID is 256.");
        std::memcpy(List, area.get(), ZRK_REMOTE_BOXID_LIST_LEN);
    } else {
        WriteLog(1, nullptr, 0, "ZRKGetRemoteBoxIDList: Remote BoxID is 64.");
        std::memcpy(List, area.get(), ZRK_REMOTE_BOXID_MAIN_LEN);
    }
    return call.Done(__LINE__);
}

// ---- VZ and RVZ -----------------------------------------------------------------------------

extern "C" int ZRKStartVZ(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                          unsigned char *SenseData) {
    return RunSession(kStartVz, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag, SenseData);
}

extern "C" int ZRKStopVZ(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                         unsigned char *SenseData) {
    return RunSession(kStopVz, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag, SenseData);
}

extern "C" int ZRKSuspendVZ(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                            unsigned char *SenseData) {
    return RunSession(kSuspendVz, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag, SenseData);
}

extern "C" int ZRKResumeVZ(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                           unsigned char *SenseData) {
    return RunSession(kResumeVz, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag, SenseData);
}

extern "C" int ZRKChangeVZ(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                           unsigned char *SenseData) {
    return RunSession(kChangeVz, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag, SenseData);
}

namespace {

// The three values of a session query (status, phase, copied blocks for
// the VZ family; status, copied blocks, elapsed time for the KZP family).
using QueryOp = int (*)(const char *, unsigned int, COPY_REQ *, unsigned int *);

int RunQuery(const Row &row, QueryOp op, const char *volume, const Pair &p, uint32_t optionFlag,
             uint32_t checkInterval, uint32_t *first, uint32_t *second, uint32_t *third,
             unsigned char *senseData) {
    ApiCall call(row.pName, volume, senseData, __LINE__);
    COPY_REQ request{};
    if (PairOpening(call, row, volume, p, optionFlag, {checkInterval, true},
                    first != nullptr && second != nullptr && third != nullptr, &request) != 0)
        return -1;
    unsigned int result[3] = {};
    if (op(volume, optionFlag, &request, result) != 0) return call.FailAt(__LINE__);
    *first = result[0];
    *second = result[1];
    *third = result[2];
    return call.Done(__LINE__);
}

// The classic detail record of a pair, in the caller's 256-byte area cleared
// first (or, without clearRest, in its first 152 bytes alone).
template <typename Record>
int RunDetail(const Row &row, int (*op)(const char *, unsigned int, COPY_REQ *, Record *),
              const char *volume, const Pair &p, uint32_t optionFlag, uint32_t checkInterval,
              unsigned char *detail, unsigned char *senseData) {
    static_assert(sizeof(Record) == kClassicDetailLen, "a classic detail record");
    ApiCall call(row.pName, volume, senseData, __LINE__);
    COPY_REQ request{};
    if (PairOpening(call, row, volume, p, optionFlag, {checkInterval, true}, detail != nullptr,
                    &request) != 0)
        return -1;
    Record record{};
    if (op(volume, optionFlag, &request, &record) != 0) return call.FailAt(__LINE__);
    std::memset(detail, 0, zrk::kDetailAreaLen);
    std::memcpy(detail, &record, sizeof record);
    return call.Done(__LINE__, 0, detail, zrk::kDetailAreaLen);
}

// The classic detail record of a session by its identifier; clearRest: the
// rest of the caller's 256 bytes is cleared, else left as it was.
template <typename Record>
int RunSessionDetail(const char *name,
                     int (*op)(const char *, unsigned int, int, unsigned char, Record *),
                     const char *volume, uint32_t sessionId, uint32_t optionFlag,
                     unsigned char *detail, bool clearRest, unsigned char *senseData) {
    static_assert(sizeof(Record) == kClassicDetailLen, "a classic detail record");
    ApiCall call(name, volume, senseData, __LINE__);
    zrk::LogOptionLine(name, volume, optionFlag);
    WriteLog(8, nullptr, 0, "SessionID=<%u>", sessionId);
    if (EntryChecks(optionFlag, 0) != 0) return call.RejectAt(__LINE__);
    if (detail == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return call.RejectAt(__LINE__);
    }
    if (CheckLogicalVol(volume) != 0) return call.RejectAt(__LINE__);
    if (sessionId >= kOluLimit) {
        FailWith(ZRK_ERR_SESSION_ID);
        return call.RejectAt(__LINE__);
    }
    Record record{};
    if (op(volume, optionFlag, static_cast<int>(sessionId), 1, &record) != 0)
        return call.FailAt(__LINE__);
    if (clearRest) std::memset(detail, 0, zrk::kDetailAreaLen);
    std::memcpy(detail, &record, sizeof record);
    return call.Done(__LINE__, 0, detail, static_cast<int>(clearRest ? zrk::kDetailAreaLen
                                                                     : sizeof record));
}

// A list operation of the engine (ListVz, ListKzp).
using ListOp = int (*)(const char *, unsigned int, unsigned char, unsigned char **, int *);

// A session-identifier list: the engine's list copied out, clamped to what
// the engine allocated.
int RunList(const char *name, ListOp op, unsigned char largeGroups, const char *volume,
            uint32_t optionFlag, unsigned char *list, bool dump, unsigned char *senseData) {
    ApiCall call(name, volume, senseData, __LINE__);
    if (ReadOpening(call, name, volume, optionFlag, list) != 0) return -1;
    EngineList got;
    if (ReadEngineList([&](unsigned char **raw, int *length) {
            return op(volume, optionFlag, 1, raw, length);
        }, got) != 0)
        return call.FailAt(__LINE__);
    const size_t copied =
        zrk::ClampSessionList(got.held.get(), got.uiLength, (ZRKsession4096 & largeGroups) != 0);
    if (copied != 0) std::memcpy(list, got.held.get(), copied);
    if (dump) {
        WriteLog(2, list, static_cast<int>(std::min<size_t>(copied, 256)),
                 "%s()  OutputData 256byte ", name);
    }
    return call.Done(__LINE__);
}

} // namespace

extern "C" int ZRKQueryVZ(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                          uint32_t *Status, uint32_t *Phase, uint32_t *CopiedBlock,
                          unsigned char *SenseData) {
    return RunQuery(kQueryVz, QueryVz, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag, CopyInterval,
                    Status, Phase, CopiedBlock, SenseData);
}

extern "C" int ZRKQueryVZDetail(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                                unsigned char *Detail, unsigned char *SenseData) {
    return RunDetail(kQueryVzDetail, QueryVzDetail, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag,
                     CopyInterval, Detail, SenseData);
}

extern "C" int ZRKQueryVZSession(const char *LogicalVol, uint32_t SessionID, uint32_t OptionFlag,
                                 unsigned char *Detail, unsigned char *SenseData) {
    return RunSessionDetail("ZRKQueryVZSession", QueryVzSession, LogicalVol, SessionID,
                            OptionFlag, Detail, true, SenseData);
}

extern "C" int ZRKListVZ(const char *LogicalVol, uint32_t OptionFlag, unsigned char *List,
                         unsigned char *SenseData) {
    return RunList("ZRKListVZ", ListVz, ZRK_GROUP_VZ | ZRK_GROUP_RVZ, LogicalVol, OptionFlag,
                   List, true, SenseData);
}

extern "C" int ZRKMultiSuspendVZ(const char *LogicalVol, const CONC_SUS_PAIR *Pairs,
                                 uint32_t Count, uint32_t OptionFlag, unsigned char *Result,
                                 unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKMultiSuspendVZ";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    zrk::LogOptionLine(kName, LogicalVol, OptionFlag);
    if (EntryChecks(OptionFlag, 0) != 0) return call.RejectAt(__LINE__);
    if (Count == 0 || Pairs == nullptr || Result == nullptr) {
        FailWith(ZRK_ERR_CONC_SUSPEND);
        return call.RejectAt(__LINE__);
    }
    // Every pair is checked, and all must be local or all remote.
    uint32_t locals = 0;
    uint32_t remotes = 0;
    for (uint32_t i = 0; i < Count; ++i) {
        const CONC_SUS_PAIR &p = Pairs[i];
        if (CheckParam(LogicalVol, p.SrcBoxID, p.SrcOlu, p.SrcExtent, p.SrcSize, p.DstBoxID,
                       p.DstOlu, p.DstExtent, 0) != 0)
            return call.RejectAt(__LINE__);
        if (zrk::BoxIdsDiffer(p.SrcBoxID, p.DstBoxID)) {
            ++remotes;
        } else {
            ++locals;
        }
        if (locals != 0 && remotes != 0) {
            FailWith(ZRK_ERR_CONC_SUSPEND);
            return call.RejectAt(__LINE__);
        }
        WriteLog(2, nullptr, 0, remotes != 0 ? "%s Remote [%s] [%d]" : "%s local [%s] [%d]", kName,
                 LogText(LogicalVol), __LINE__);
    }
    if (MultiSuspendVz(LogicalVol, OptionFlag, Count, Pairs, Result) != 0)
        return call.FailAt(__LINE__);
    return call.Done(__LINE__);
}

extern "C" int ZRKStatusListVZ(const char *LogicalVol, uint32_t OptionFlag, unsigned char *List,
                               unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKStatusListVZ";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    if (ReadOpening(call, kName, LogicalVol, OptionFlag, List) != 0) return -1;
    EngineList got;
    if (ReadEngineList([&](unsigned char **raw, int *length) {
            return CommandStatusList(LogicalVol, OptionFlag, raw, length);
        }, got) != 0)
        return call.FailAt(__LINE__);
    const size_t entries = zrk::StatusListEntries(got.held.get(), got.uiLength);
    // Header bytes 2-3: the count of the entries that follow; the rest of the
    // header stays the caller's.
    zrk::PutBe16(List + 2, static_cast<uint16_t>(entries));
    if (entries != 0)
        std::memcpy(List + 8, got.held.get() + zrk::kStatusListHead, entries * zrk::kStatusListEntry);
    return call.Done(__LINE__);
}

extern "C" int ZRKRVZBuffInfo(const char *LogicalVol, unsigned char *List,
                              unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKRVZBuffInfo";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    if (VolumeOpening(call, kName, LogicalVol, List, ZRK_ERR_PARAMETER) != 0) return -1;
    EngineList got;
    if (ReadEngineList([&](unsigned char **raw, int *length) {
            return RVZBuffInfo(LogicalVol, raw, length);
        }, got) != 0)
        return call.FailAt(__LINE__);
    if (got.uiLength < zrk::kRvzBuffListHead) {
        FailWith(ZRK_ERR_SCSI);
        return call.FailAt(__LINE__);
    }
    WriteLog(2, nullptr, 0, "ZRKRVZBuffInfo count(%d) [%s] [%d]",
             static_cast<int>(Be16(got.held.get() + 8)), LogText(LogicalVol), __LINE__);
    // The data after the 8-byte header, as much as the list says and holds.
    const size_t copied = zrk::RvzBuffListData(got.held.get(), got.uiLength);
    std::memcpy(List, got.held.get() + 8, copied);
    return call.Done(__LINE__);
}

extern "C" int ZRKRVZBuffSet(const char *LogicalVol, const RVZ_BUFF_SET_REQ *Request,
                             unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKRVZBuffSet";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    if (VolumeOpening(call, kName, LogicalVol, Request, ZRK_ERR_RVZ_BUFFER) != 0) return -1;

    // The buffer must be one of the array's.
    {
        EngineList got;
        if (ReadEngineList([&](unsigned char **raw, int *length) {
                return RVZBuffInfo(LogicalVol, raw, length);
            }, got) != 0)
            return call.FailAt(__LINE__);
        if (ZRKstorage_cluster != 0) {
            FailWith(ZRK_ERR_CLUSTER);
            return call.FailAt(__LINE__);
        }
        const size_t entries = zrk::RvzBuffEntries(got.held.get(), got.uiLength);
        bool known = false;
        for (size_t i = 0; i < entries && !known; ++i) {
            known = Be16(got.held.get() + zrk::kRvzBuffListHead + i * ZRK_RVZ_BUFF_ENTRY_LEN) ==
                    Request->uhBuffID;
        }
        if (!known) {
            FailWith(ZRK_ERR_RVZ_BUFFER);
            return call.FailAt(__LINE__);
        }
    }
    const bool typeOk = Request->uhBuffType == 1 || Request->uhBuffType == 2;
    const bool intervalOk =
        Request->uhInterval == 1 || Request->uhInterval == 2 || Request->uhInterval == 4;
    if (!typeOk || !intervalOk || Request->uiMonitorTime > 15) {
        FailWith(ZRK_ERR_RVZ_BUFFER);
        return call.FailAt(__LINE__);
    }

    // The partner must be one of the array's remote arrays.
    Buffer boxes = zrk::AllocateZeroed(ZRK_REMOTE_BOXID_LIST_LEN);
    if (!boxes) return call.FailAt(__LINE__);
    if (GetRemoteBoxIDList(LogicalVol, 0, boxes.get()) != 0) return call.FailAt(__LINE__);
    const size_t count = zrk::RemoteBoxEntries(boxes.get(), ZRKstorageflg == 1);
    bool partner = false;
    for (size_t i = 0; i < count && !partner; ++i) {
        const unsigned char *entry = boxes.get() + zrk::kRemoteBoxEntries + i * zrk::kRemoteBoxEntryLen;
        // BoxIDs have no terminator: at most their 40 bytes are printed.
        WriteLog(2, nullptr, 0, "ucaRemoteBoxID=[%.40s] [%s] [%d]",
                 reinterpret_cast<const char *>(Request->ucaRemoteBoxID), LogText(LogicalVol),
                 __LINE__);
        WriteLog(2, nullptr, 0, "tBoxIDList.tRemoteBoxID.taBoxID[%zu].ucaBoxID=[%.40s] [%s] [%d]",
                 i, reinterpret_cast<const char *>(entry), LogText(LogicalVol), __LINE__);
        partner = std::memcmp(entry, Request->ucaRemoteBoxID, ZRK_BOXID_LEN) == 0;
    }
    if (!partner) {
        FailWith(ZRK_ERR_BOXID);
        return call.FailAt(__LINE__);
    }
    if (RVZBuffSet(LogicalVol, Request) != 0) return call.FailAt(__LINE__);
    return call.Done(__LINE__);
}

// ---- KZP, remote KZP, QuickKZP, SnapKZP ------------------------------------------------------

extern "C" int ZRKStartKZP(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                           unsigned char *SenseData) {
    return RunSession(kStartKzp, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag, SenseData);
}

extern "C" int ZRKStopKZP(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                          unsigned char *SenseData) {
    return RunSession(kStopKzp, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag, SenseData);
}

extern "C" int ZRKQueryKZP(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                           uint32_t *Status, uint32_t *CopiedBlock, uint32_t *LapseTime,
                           unsigned char *SenseData) {
    return RunQuery(kQueryKzp, QueryKzp, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag, CopyInterval,
                    Status, CopiedBlock, LapseTime, SenseData);
}

extern "C" int ZRKListKZP(const char *LogicalVol, uint32_t OptionFlag, unsigned char *List,
                          unsigned char *SenseData) {
    return RunList("ZRKListKZP", ListKzp, ZRK_GROUP_KZP | ZRK_GROUP_REMOTE_KZP, LogicalVol,
                   OptionFlag, List, false, SenseData);
}

extern "C" int ZRKQueryKZPSession(const char *LogicalVol, uint32_t SessionID, uint32_t OptionFlag,
                                  unsigned char *Detail, unsigned char *SenseData) {
    return RunSessionDetail("ZRKQueryKZPSession", QueryKzpSession, LogicalVol, SessionID,
                            OptionFlag, Detail, false, SenseData);
}

extern "C" int ZRKQueryKZPDetail(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                                 unsigned char *Detail, unsigned char *SenseData) {
    return RunDetail(kQueryKzpDetail, QueryKzpDetail, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag,
                     CopyInterval, Detail, SenseData);
}

extern "C" int ZRKStartDiffKZP(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                               unsigned char *SenseData) {
    return RunSession(kStartDiffKzp, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag, SenseData);
}

extern "C" int ZRKStopDiffKZP(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                              unsigned char *SenseData) {
    return RunSession(kStopDiffKzp, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag, SenseData);
}

extern "C" int ZRKStartSnapKZP(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                               unsigned char *SenseData) {
    return RunSession(kStartSnapKzp, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag, SenseData);
}

extern "C" int ZRKStopSnapKZP(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                              unsigned char *SenseData) {
    return RunSession(kStopSnapKzp, LogicalVol, ZRK_CLASSIC_PAIR, OptionFlag, SenseData);
}

// ---- any copy kind ---------------------------------------------------------------------------

extern "C" int ZRKQueryDetail(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                              uint32_t Length, unsigned char *Detail, unsigned char *SenseData) {
    const Row &row = kQueryDetail;
    ApiCall call(row.pName, LogicalVol, SenseData, __LINE__);
    const Pair pair = ZRK_CLASSIC_PAIR;
    LogPair(row.pName, LogicalVol, OptionFlag, pair, true);
    if (EntryChecks(OptionFlag, row.uiMask) != 0) return call.RejectAt(__LINE__);
    if (Length == 0) {
        FailWith(ZRK_ERR_NO_MEMORY);
        return call.RejectAt(__LINE__);
    }
    COPY_REQ request{};
    if (PrepareRequest(row, LogicalVol, pair, OptionFlag, CopyInterval, &request) != 0)
        return call.RejectAt(__LINE__);
    if (Detail == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return call.RejectAt(__LINE__);
    }
    unsigned char area[zrk::kDetailAreaLen] = {};
    TVC_DETAIL_INFO detail{};
    if (QueryDetail(LogicalVol, OptionFlag, &request, &detail) != 0) return call.FailAt(__LINE__);
    std::memcpy(area, &detail, sizeof detail);
    const size_t count = std::min<size_t>(Length, sizeof area);
    std::memset(Detail, 0, count);
    std::memcpy(Detail, area, count);
    return call.Done(__LINE__, 0, Detail, static_cast<int>(count));
}

// ---- snap data volumes and OLUs ------------------------------------------------------------

namespace {

// The opening of the functions of one OLU: root, the OLU (48, before the
// volume), the volume (its pseudo sense copied).
int OluOpening(ApiCall &call, const char *name, const char *volume, uint32_t olu) {
    WriteLog(8, nullptr, 0, "%s()  LogicalVol=[%s] : SrcOlu=<0x%x>", name, LogText(volume), olu);
    if (zrk::RootCheck() != 0) return call.RejectAt(__LINE__);
    if (olu >= kOluLimit) {
        FailWith(ZRK_ERR_OLU);
        return call.RejectAt(__LINE__);
    }
    if (CheckLogicalVol(volume) != 0) return call.FailAt(__LINE__);
    return 0;
}

} // namespace

extern "C" int ZRKSnapDataVolInit(const char *LogicalVol, uint32_t SrcOlu,
                                  unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKSnapDataVolInit";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    if (OluOpening(call, kName, LogicalVol, SrcOlu) != 0) return -1;
    if (SnapVolInit(LogicalVol, static_cast<int>(SrcOlu)) != 0) return call.FailAt(__LINE__);
    return call.Done(__LINE__);
}

extern "C" int ZRKGetOLUStatus(const char *LogicalVol, uint32_t SrcOlu, unsigned char *Status,
                               unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKGetOLUStatus";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    if (OluOpening(call, kName, LogicalVol, SrcOlu) != 0) return -1;
    if (Status == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return call.RejectAt(__LINE__);
    }
    unsigned char status[ZRK_OLU_STATUS_LEN] = {};
    if (GetOLUStatus(LogicalVol, static_cast<int>(SrcOlu), status) != 0)
        return call.FailAt(__LINE__);
    std::memcpy(Status, status, sizeof status);
    return call.Done(__LINE__);
}

// ---- counts of the array ---------------------------------------------------------------------

namespace {

constexpr size_t kCountInfoLen = 256;

// Places in the count information.
constexpr size_t kCountKzpMax = 0;      // 4 bytes: KZP maxima (per OLU, over all OLUs)
constexpr size_t kCountVzMax = 4;       // 4 bytes: VZ maxima
constexpr size_t kCountKzpList = 8;     // 4 bytes: KZP list header bytes 8-11
constexpr size_t kCountVzList = 12;     // 4 bytes: VZ list header bytes 8-11
constexpr size_t kCountRemotes = 16;    // 1 byte: number of remote arrays
constexpr size_t kCountBuffMax = 18;    // 2 bytes: RVZ buffer maximum
constexpr size_t kCountBuffCur = 20;    // 2 bytes: RVZ buffer current count
constexpr size_t kCountStatus = 22;     // 2 bytes: command status entries

// Header bytes 8-11 of an engine list into out, when the list holds them.
void ListCounts(const EngineList &list, unsigned char *out) {
    if (list.uiLength >= 12) std::memcpy(out, list.held.get() + 8, 4);
}

// The engine reads of the count information into info.
int ReadCounts(const char *volume, unsigned char *info) {
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    unsigned char remote = 0;
    if (GetSupportCopyInfo(volume, support, &remote) != 0) return -1;

    VOLUME_INFO_RECORD record{};
    if (GetVolumeInfo(volume, 0, &record) != 0) return -1;
    std::memcpy(info + kCountKzpMax, record.VolInfo.ucaKzpMaxSession, 4);
    std::memcpy(info + kCountVzMax, record.VolInfo.ucaVzMaxSession, 4);
    std::memcpy(info + kCountBuffMax, record.VolInfo.ucaRvzBuffMax, 2);
    std::memcpy(info + kCountBuffCur, record.VolInfo.ucaRvzBuffCur, 2);

    for (const bool vz : {false, true}) {
        EngineList list;
        if (ReadEngineList([&](unsigned char **raw, int *length) {
                return (vz ? ListVz : ListKzp)(volume, 0, 1, raw, length);
            }, list) != 0)
            return -1;
        const int group = vz ? ZRK_SUPPORT_FLAGS_RVZ : ZRK_SUPPORT_FLAGS_REMOTE_KZP;
        if (zrk_support_has(support, group, ZRK_SUPPORT_KIND))
            ListCounts(list, info + (vz ? kCountVzList : kCountKzpList));
    }

    Buffer boxes = zrk::AllocateZeroed(ZRK_REMOTE_BOXID_LIST_LEN);
    if (!boxes) return -1;
    if (GetRemoteBoxIDList(volume, 0, boxes.get()) != 0) return -1;
    info[kCountRemotes] = boxes[zrk::kRemoteBoxCount];

    EngineList status;
    if (ReadEngineList([&](unsigned char **raw, int *length) {
            return CommandStatusList(volume, 0, raw, length);
        }, status) != 0)
        return -1;
    if (status.uiLength >= 12) std::memcpy(info + kCountStatus, status.held.get() + 10, 2);
    return 0;
}

} // namespace

extern "C" int ZRKGetCountInfo(const char *LogicalVol, unsigned char *Info,
                               unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKGetCountInfo";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    if (VolumeOpening(call, kName, LogicalVol, Info, ZRK_ERR_PARAMETER) != 0) return -1;
    unsigned char info[kCountInfoLen] = {};
    if (ReadCounts(LogicalVol, info) != 0) return call.FailAt(__LINE__);
    std::memcpy(Info, info, sizeof info);
    return call.Done(__LINE__);
}

// ---- the detail list -------------------------------------------------------------------------

namespace {

// The selections of the detail list exclude one another; the one that
// leaves the storage cluster out goes alone or with selection 0x01.
int DetailListRules(uint32_t option) {
    const uint32_t selections = option & (ZRK_OPT_LIST_SEL_01 | ZRK_OPT_LIST_FAILOVER |
                                          ZRK_OPT_LIST_SEL_10);
    if ((selections & (selections - 1)) != 0) return FailWith(ZRK_ERR_OPTION);
    if ((option & ZRK_OPT_LIST_NO_CLUSTER) != 0 &&
        (option & (ZRK_OPT_LIST_FAILOVER | ZRK_OPT_LIST_SEL_10)) != 0)
        return FailWith(ZRK_ERR_OPTION);
    return 0;
}

} // namespace

namespace zrk {

int DetailListWithin(const char *LogicalVol, uint32_t OptionFlag, uint32_t *Count,
                     DETAIL_LIST_INFO *List, size_t room, unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKGetDetailList";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    zrk::LogOptionLine(kName, LogicalVol, OptionFlag);
    if (zrk::RootCheck() != 0) return call.RejectAt(__LINE__);
    if (Count == nullptr || List == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return call.RejectAt(__LINE__);
    }
    if (zrk::OptionCheck(OptionFlag, kDetailListMask) != 0 || DetailListRules(OptionFlag) != 0)
        return call.RejectAt(__LINE__);
    if (CheckLogicalVol(LogicalVol) != 0) return call.FailAt(__LINE__);

    // The list holds at most every session the array keeps: its maximum
    // over all OLUs, which the common preparation reads, and never more than
    // the caller's room. The preparation also stores the option word, whose
    // selection bits the list's reads carry.
    if (zrkComInfoCheckSet(LogicalVol, OptionFlag, kDetailListMask, nullptr) != 0)
        return call.FailAt(__LINE__);
    unsigned char maxSes[2] = {};
    CtrlCommonData(maxSes, ZRK_COMMON_GET_MAXSES);
    const int capacity = static_cast<int>(std::min<size_t>(room, Be16(maxSes)));
    int count = 0;
    if (GetDetailList(LogicalVol, 0, &count, List, capacity) != 0) return call.FailAt(__LINE__);
    *Count = static_cast<uint32_t>(count);
    return call.Done(__LINE__);
}

} // namespace zrk

extern "C" int ZRKGetDetailList(const char *LogicalVol, uint32_t OptionFlag, uint32_t *Count,
                                DETAIL_LIST_INFO *List, unsigned char *SenseData) {
    // The caller's area holds the array's maximum session count.
    return zrk::DetailListWithin(LogicalVol, OptionFlag, Count, List, SIZE_MAX, SenseData);
}

extern "C" int ZRKQueryDetailfromList(uint32_t CopyKind, uint32_t ListCnt,
                                      const DETAIL_LIST_INFO *List, ZRK_PAIR_PARAMS,
                                      unsigned char *Detail, uint32_t *KindOut) {
    // No volume, no sense buffer, no command: neither the sense store nor a
    // device is touched.
    static constexpr char kName[] = "ZRKQueryDetailfromList";
    zrk::LogIn(2, kName, __LINE__);
    WriteLog(8, nullptr, 0, "CopyKind=<0x%x> : ListCnt=<0x%x>", CopyKind, ListCnt);
    const Pair pair = ZRK_CLASSIC_PAIR;
    WriteLog(8, pair.pSrcBoxID, DumpLength(pair.pSrcBoxID),
             "SrcOlu=<0x%x> : SrcExtent=<0x%x> : SrcSize=<0x%x> : SrcBoxID", SrcOlu, SrcExtent,
             SrcSize);
    WriteLog(8, pair.pDstBoxID, DumpLength(pair.pDstBoxID),
             "DstOlu=<0x%x> : DstExtent=<0x%x> : CopyInterval<%u> : DstBoxID", DstOlu, DstExtent,
             CopyInterval);

    if (zrk::RootCheck() != 0) return zrk::LogErr(2, kName, __LINE__);
    // The outputs, and a list the search can walk.
    if (Detail == nullptr || KindOut == nullptr || (List == nullptr && ListCnt != 0) ||
        ListCnt > INT_MAX) {
        FailWith(ZRK_ERR_PARAMETER);
        return zrk::LogErr(2, kName, __LINE__);
    }
    COPY_REQ request{};
    MakeReq(&request, SrcBoxID, SrcOlu, SrcExtent, SrcSize, DstBoxID, DstOlu, DstExtent,
            CopyInterval);
    DETAIL_LIST_INFO entry{};
    if (QueryDetailfromList(static_cast<int>(ListCnt), List, static_cast<int>(CopyKind), &entry,
                            request) != 0)
        return zrk::LogErr(2, kName, __LINE__);

    const zrk::DetailEntry e = zrk::DecodeDetailEntry(entry);
    const bool kzpForm = e.ucCopyKind == ZRK_PRM_KIND_KZP || e.ucCopyKind == ZRK_PRM_KIND_MONITOR;
    WriteLog(2, nullptr, 0,
             kzpForm ? "ZRKQueryDetailfromList KZP Root ucCopyKind=<0x%x> [%d]"
                     : "ZRKQueryDetailfromList VZ Root ucCopyKind=<0x%x> [%d]",
             e.ucCopyKind, __LINE__);
    const RVZ_DETAIL_INFO record =
        zrk::EncodeClassicDetail(kzpForm ? zrk::KzpDetailFromList(e) : zrk::VzDetailFromList(e));
    std::memcpy(Detail, &record, sizeof record);
    *KindOut = e.ucCopyKind;
    WriteLog(2, &entry, sizeof entry, " tSessionInfo(DETAIL_LIST_INFO) [%d]", __LINE__);
    WriteLog(2, &record, sizeof record, " ucpDetailInfo(DETAIL_LIST_INFO) [%d]", __LINE__);
    return zrk::LogOk(2, kName, __LINE__);
}
