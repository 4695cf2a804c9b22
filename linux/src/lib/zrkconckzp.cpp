// The concurrent start of KZP-family copies: ZRKStartConcKZP, the checks of
// its entries (shared with the out-of-band start), the preparation of new
// sessions or the search of the QuickKZP sessions to restart, the start list
// and the roll-back of a start the array refused.
//
// The call writes trace records (not debug-log lines of its own); its frame
// still releases the device on every way out.
#include "zrkconckzp.h"

#include "zrkcmulti.h"
#include "zrkframe.h"
#include "zrklist.h"
#include "zrktvc.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace zrk;

namespace {

constexpr int kTraceLevel = 3;
constexpr int kConcCallerId = 0x43; // the library trace's caller identifier of this call

// Copy kinds of an entry.
constexpr uint32_t kKindKzp = 0;
constexpr uint32_t kKindQuick = 8;
constexpr uint32_t kKindSnap = 16;
constexpr uint32_t kKindSnapP = 64;

// Byte 25 of a session page: prepare the session for a concurrent start.
constexpr unsigned char kActPrepare = 0x10;

// A detail-list entry of the KZP family; status Active; the two tracking phases.
constexpr unsigned char kCopyKindKzp = 1;
constexpr unsigned char kStatusActive = 2;
constexpr unsigned char kPhaseTracking = 3;
constexpr unsigned char kPhaseTrackingCopying = 4;

// Sense key "illegal request" and the refusals of the start list.
constexpr int kIllegalRequest = 5;
struct ListRefusal {
    unsigned char ucAsc, ucAscq;
    int iErrno;
};
constexpr ListRefusal kListRefusals[] = {
    {0x25, 0x00, ZRK_ERR_INVALID_DATA},
    {0x26, 0x00, ZRK_ERR_CONC_PARAM},
    {0x26, 0x91, ZRK_ERR_CONC_START},
    {0x26, 0xAB, ZRK_ERR_CASCADE_ARRAYS},
};

uint64_t Join(uint32_t high, uint32_t low) { return static_cast<uint64_t>(high) << 32 | low; }

bool Restarts(const CONC_SES_INFO &e) {
    return e.CopyKind == kKindQuick && (e.OptionFlag & ZRK_OPT_RESTART) != 0;
}

// start within [other, other + size)
bool Inside(uint64_t start, uint64_t other, uint64_t size) {
    return start >= other && start - other < size;
}

// One entry by the rules of its kind; ZRKerrno on failure.
int CheckEntry(const CONC_SES_INFO &e, const CONC_SES_INFO &first) {
    uint32_t mask;
    switch (e.CopyKind) {
    case kKindKzp:
    case kKindSnap:
    case kKindSnapP: mask = ZRK_OPT_ACCEPT_CASCADE; break;
    case kKindQuick: mask = ZRK_OPT_RESTART | ZRK_OPT_ACCEPT_CASCADE; break;
    default: return FailWith(ZRK_ERR_PARAMETER);
    }
    if ((e.OptionFlag & ~mask) != 0) return FailWith(ZRK_ERR_OPTION);
    if (Restarts(e) != Restarts(first)) return FailWith(ZRK_ERR_OPTION);
    if ((e.OptionFlag & ZRK_OPT_ACCEPT_CASCADE) != (first.OptionFlag & ZRK_OPT_ACCEPT_CASCADE))
        return FailWith(ZRK_ERR_OPTION);
    if (e.SrcOlu >= kOluLimit) return FailWith(ZRK_ERR_SRC_OLU);
    if (e.DstOlu >= kOluLimit) return FailWith(ZRK_ERR_DST_OLU);
    const uint64_t srcExtent = Join(e.SrcExtent_high, e.SrcExtent_low);
    const uint64_t size = Join(e.SrcSize_high, e.SrcSize_low);
    const uint64_t dstExtent = Join(e.DstExtent_high, e.DstExtent_low);
    if (size == 0) {
        if (srcExtent != 0 || dstExtent != 0) return FailWith(ZRK_ERR_SIZE);
        if (e.SrcOlu == e.DstOlu) return FailWith(ZRK_ERR_OLU);
        return 0;
    }
    if (e.SrcOlu == e.DstOlu &&
        (Inside(dstExtent, srcExtent, size) || Inside(srcExtent, dstExtent, size)))
        return FailWith(ZRK_ERR_EXTENT);
    return 0;
}

unsigned char *ListSlot(unsigned char *list, uint32_t i) { return list + kConcListHeadLen + 2 * i; }
const unsigned char *ListSlot(const unsigned char *list, uint32_t i) {
    return list + kConcListHeadLen + 2 * i;
}

// The detail entry describes the entry's copy (and, on a storage cluster,
// its arrays).
bool SameQuickSession(const DETAIL_LIST_INFO &d, const CONC_SES_INFO &e, bool cluster) {
    if (d.ucCopyKind != kCopyKindKzp || (d.ucSessionFlags & ZRK_SESFLAG_QUICKKZP) == 0) return false;
    if (Be32(d.SrcOlu) != e.SrcOlu || Be32(d.DstOlu) != e.DstOlu ||
        Be32(d.SrcExtent_high) != e.SrcExtent_high || Be32(d.SrcExtent_low) != e.SrcExtent_low ||
        Be32(d.SrcSize_high) != e.SrcSize_high || Be32(d.SrcSize_low) != e.SrcSize_low ||
        Be32(d.DstExtent_high) != e.DstExtent_high || Be32(d.DstExtent_low) != e.DstExtent_low)
        return false;
    return !cluster || (std::memcmp(d.SrcBoxID, e.SrcBoxID, ZRK_BOXID_LEN) == 0 &&
                        std::memcmp(d.DstBoxID, e.DstBoxID, ZRK_BOXID_LEN) == 0);
}

int Traced(const char *name, int ret) { return TraceEnd(kTraceLevel, name, ret); }

}  // namespace

// ---- the session page -----------------------------------------------------------------

void zrk::MakePrmFromConcSes(const unsigned char *sessionId, TVC_EXEC *page, CONC_SES_INFO entry) {
    *page = TVC_EXEC{};
    PutBe16(page->ucaParamLength, ZRK_TVC_PARAM_LEN);
    std::memcpy(page->ucaSessionID, sessionId, 2);
    page->ucCopyKind = kCopyKindKzp;
    const auto *bytes = reinterpret_cast<const unsigned char *>(&entry);
    if (std::all_of(bytes, bytes + kConcEntryClearLen, [](unsigned char c) { return c == 0; }))
        return;
    const uint64_t srcExtent = Join(entry.SrcExtent_high, entry.SrcExtent_low);
    const uint64_t size = Join(entry.SrcSize_high, entry.SrcSize_low);
    const uint64_t dstExtent = Join(entry.DstExtent_high, entry.DstExtent_low);
    const bool whole = srcExtent == 0 && size == 0 && dstExtent == 0;
    unsigned char flags = whole ? ZRK_SESFLAG_WHOLE_VOLUME : 0;
    switch (entry.CopyKind) {
    case kKindQuick: flags |= ZRK_SESFLAG_QUICKKZP; break;
    case kKindSnap: flags |= ZRK_SESFLAG_SNAPKZP; break;
    case kKindSnapP: flags |= ZRK_SESFLAG_SNAPKZP_P; break;
    default: break;
    }
    page->ucSessionFlags = flags;
    PutBe32(page->SrcOlu, entry.SrcOlu);
    PutBe32(page->DstOlu, entry.DstOlu);
    if (!whole) PutBe16(page->ucaExtentCnt, 1);
    PutBe64(page->ucaSrcExtent, srcExtent);
    PutBe64(page->ucaSize, size);
    PutBe64(page->ucaDstExtent, dstExtent);
}

// ---- roll-back --------------------------------------------------------------------------

void zrk::Some_TravoOut45(const char *volume, const CONC_SES_INFO *entries, uint32_t count,
                          const unsigned char *list) {
    static constexpr char kName[] = "Some_TravoOut45";
    TraceText(kTraceLevel, "INFO", kName, "START");
    TraceText(kTraceLevel, "INFO", kName, "cpLogicalVol=%s, uiSessionCnt=%u", LogText(volume),
              count);
    for (uint32_t i = 0; i < count; ++i) {
        TVC_EXEC page;
        MakePrmFromConcSes(ListSlot(list, i), &page, entries[i]);
        page.ucPageCode = ZRK_TVC_STOP;
        TraceData(kTraceLevel, kName, &page, ZRK_TVC_EXEC_LEN);
        (void)ExecTravoOut(volume, &page, ZRK_TVC_EXEC_LEN);
    }
    Traced(kName, 0);
}

// ---- new sessions -----------------------------------------------------------------------

int zrk::MakeConcStartSes(const char *volume, CONC_SES_INFO *entries, uint32_t count,
                          unsigned char *list) {
    static constexpr char kName[] = "MakeConcStartSes";
    TraceText(kTraceLevel, "INFO", kName, "START");
    TraceText(kTraceLevel, "INFO", kName, "cpLogicalVol=%s, uiSessionCnt=%u", LogText(volume),
              count);
    uint32_t prepared = 0;
    bool failed = false;
    for (uint32_t i = 0; i < count && !failed; ++i) {
        unsigned char *id = ListSlot(list, i);
        if (ReserveSessionId(volume, ZRK_RESERVE_KZP, id) != 0) {
            failed = true;
            break;
        }
        TVC_EXEC page;
        MakePrmFromConcSes(id, &page, entries[i]);
        page.ucPageCode = ZRK_TVC_START;
        page.ucActionFlags |= kActPrepare;
        TraceData(kTraceLevel, kName, &page, ZRK_TVC_EXEC_LEN);
        prepared = i + 1;
        if (ExecTravoOut(volume, &page, ZRK_TVC_EXEC_LEN) != 0) {
            // The refused entry is rolled back by its identifier alone.
            std::memset(&entries[i], 0, kConcEntryClearLen);
            failed = true;
        }
    }
    if (!failed) return Traced(kName, 0);
    const KeptFailure kept;
    Some_TravoOut45(volume, entries, prepared, list);
    kept.Restore();
    return Traced(kName, -1);
}

// ---- sessions to restart ----------------------------------------------------------------

int zrk::MakeConcReStartSes(const char *volume, const CONC_SES_INFO *entries, uint32_t count,
                            unsigned char *list) {
    static constexpr char kName[] = "MakeConcReStartSes";
    TraceText(kTraceLevel, "INFO", kName, "START");
    TraceText(kTraceLevel, "INFO", kName, "cpLogicalVol=%s, uiSessionCnt=%u", LogText(volume),
              count);
    const bool cluster = ZRKstorage_cluster != 0;
    DetailList sessions;
    int read;
    {
        // A storage-cluster volume lists its sessions without the cluster
        // selection.
        const OptionFlagScope selection(cluster ? ZRK_OPT_LIST_NO_CLUSTER : ZRKOptionFlag);
        read = ReadDetailList(volume, ZRK_LIST_MODE_ALL, sessions);
    }
    if (read != 0) return Traced(kName, -1);
    if (sessions.Count() == 0) return Traced(kName, FailWith(ZRK_ERR_NO_SESSION));
    for (uint32_t i = 0; i < count; ++i) {
        const DETAIL_LIST_INFO *found = nullptr;
        for (int k = 0; k < sessions.Count() && found == nullptr; ++k)
            if (SameQuickSession(sessions[k], entries[i], cluster)) found = &sessions[k];
        if (found == nullptr) return Traced(kName, FailWith(ZRK_ERR_NO_SESSION));
        if (found->Status != kStatusActive ||
            (found->Phase != kPhaseTracking && found->Phase != kPhaseTrackingCopying))
            return Traced(kName, FailWith(ZRK_ERR_SEQUENCE));
        std::memcpy(ListSlot(list, i), found->ucaSessionID, 2);
    }
    return Traced(kName, 0);
}

// ---- the start --------------------------------------------------------------------------

int zrk::StartConcKZP(const char *volume, CONC_SES_INFO *entries, uint32_t count) {
    static constexpr char kName[] = "StartConcKZP";
    TraceText(kTraceLevel, "INFO", kName, "START");
    TraceText(kTraceLevel, "INFO", kName, "cpLogicalVol=%s, uiSessionCnt=%u", LogText(volume),
              count);
    if (entries == nullptr || count == 0 || count > 0xFFFF)
        return Traced(kName, FailWith(ZRK_ERR_PARAMETER));
    const uint32_t length = ConcListLength(count);
    std::unique_ptr<unsigned char, decltype(&std::free)> list(
        static_cast<unsigned char *>(std::calloc(length, 1)), &std::free);
    if (list == nullptr) return Traced(kName, FailWith(ZRK_ERR_NO_MEMORY));
    unsigned char *l = list.get();

    const bool restart = (entries[0].OptionFlag & ZRK_OPT_RESTART) != 0;
    const int made = restart ? MakeConcReStartSes(volume, entries, count, l)
                             : MakeConcStartSes(volume, entries, count, l);
    if (made != 0) return Traced(kName, -1);

    l[0] = kConcStartList;
    const uint32_t after = length - 8;
    l[5] = static_cast<unsigned char>(after >> 16);
    l[6] = static_cast<unsigned char>(after >> 8);
    l[7] = static_cast<unsigned char>(after);
    PutBe16(l + 8, static_cast<uint16_t>(count));
    l[12] = restart ? kConcRestart : kConcNewSessions;
    TraceData(kTraceLevel, kName, l, static_cast<int>(length));
    if (ExecTravoOut(volume, l, static_cast<int>(length)) == 0) return Traced(kName, 0);

    KeptFailure kept;
    if (const auto *r = std::find_if(std::begin(kListRefusals), std::end(kListRefusals),
                                     [&](const ListRefusal &x) {
                                         return kept.SenseIs(kIllegalRequest, x.ucAsc, x.ucAscq);
                                     });
        r != std::end(kListRefusals)) {
        ZRKerrno = r->iErrno;
        kept.SetErrno(r->iErrno);
    }
    if ((entries[0].OptionFlag & ZRK_OPT_ACCEPT_CASCADE) != 0 &&
        (ZRKerrno == ZRK_ERR_CASCADE_STATUS || ZRKerrno == ZRK_ERR_CASCADE_ARRAYS ||
         ZRKerrno == ZRK_ERR_CASCADE_MODE)) {
        TraceText(kTraceLevel, "INFO", kName, "accepted ZRKerrno=%d", ZRKerrno);
        return Traced(kName, 0);
    }
    if (!restart) {
        Some_TravoOut45(volume, entries, count, l);
        kept.Restore();
    }
    return Traced(kName, -1);
}

// ---- the public functions ---------------------------------------------------------------

extern "C" int CheckParamStartConc(const CONC_SES_INFO *SesInfo, uint32_t SessionCnt) {
    static constexpr char kName[] = "CheckParamStartConc";
    TraceText(kTraceLevel, "INFO", kName, "START");
    TraceText(kTraceLevel, "INFO", kName, "uiSessionCnt=%u", SessionCnt);
    if (SesInfo == nullptr || SessionCnt == 0) return Traced(kName, FailWith(ZRK_ERR_PARAMETER));
    for (uint32_t i = 0; i < SessionCnt; ++i) {
        if (CheckEntry(SesInfo[i], SesInfo[0]) != 0) {
            TraceText(kTraceLevel, "ERR", kName, "entry %u refused", i);
            return Traced(kName, -1);
        }
    }
    return Traced(kName, 0);
}

namespace {

int StartConcCall(const char *volume, CONC_SES_INFO *entries, uint32_t count,
                  unsigned char *senseData) {
    static constexpr char kName[] = "ZRKStartConcKZP";
    ApiCall call(kName, volume, senseData, __LINE__);
    TraceText(kTraceLevel, "INFO", kName, "START");
    TraceText(kTraceLevel, "INFO", kName, "cpLogicalVol=%s, uiSessionCnt=%d", LogText(volume),
              static_cast<int>(count));
    if (RootCheck() != 0) return Traced(kName, call.RejectAt(__LINE__));
    if (count == 0 || entries == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return Traced(kName, call.RejectAt(__LINE__));
    }
    TraceData(kTraceLevel, kName, entries,
              static_cast<int>(std::min<uint64_t>(uint64_t{count} * sizeof *entries, INT32_MAX)));
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    if (CheckLogicalVol(volume) != 0 || zrkComInfoCheckSet(volume, 0, 0, support) != 0) {
        const int ret = call.FailAt(__LINE__);
        if (senseData != nullptr) TraceData(kTraceLevel, kName, senseData, ZRK_SENSE_LEN);
        return Traced(kName, ret);
    }
    // From here on the caller's sense stays as cleared unless the start fails.
    if (!zrk_support_has(support, ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_CONC_KZP)) {
        FailWith(ZRK_ERR_NOT_SUPPORT);
        return Traced(kName, call.RejectAt(__LINE__));
    }
    if (static_cast<uint32_t>(CommonMaxSes()) < count) {
        FailWith(ZRK_ERR_PER_COMMAND);
        return Traced(kName, call.RejectAt(__LINE__));
    }
    if (CheckParamStartConc(entries, count) != 0) return Traced(kName, call.RejectAt(__LINE__));
    ConvertCheckflg = ZRK_CONVERT_ALWAYS;
    if (ConvertPrimaryBoxID(volume, nullptr, nullptr) != 0)
        return Traced(kName, call.RejectAt(__LINE__));
    if (StartConcKZP(volume, entries, count) != 0) {
        const int ret = call.FailAt(__LINE__);
        if (senseData != nullptr) TraceData(kTraceLevel, kName, senseData, ZRK_SENSE_LEN);
        return Traced(kName, ret);
    }
    return Traced(kName, call.Done(__LINE__));
}

}  // namespace

extern "C" int ZRKStartConcKZP(const char *LogicalVol, CONC_SES_INFO *SesInfo,
                               uint32_t SessionCnt, unsigned char *SenseData) {
    ZRKC_Com_OpenTrace(kConcCallerId);
    const int ret = StartConcCall(LogicalVol, SesInfo, SessionCnt, SenseData);
    ZRKC_Com_CloseTrace();
    return ret;
}
