// The concurrent KZP start over the LAN: several KZP-family sessions of one
// array started at one instant as one array transaction sent in phases, or
// several QuickKZP sessions restarted at one instant. After a failed start
// the sessions that the array reports as left behind are stopped with force.
#include "ipconc.h"

#include "ipframe.h"
#include "ipsession.h"
#include "ipshow_array.h"
#include "platform.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

using namespace zrkip;

namespace {

constexpr int kStartConcId = 1033;
constexpr char kPublicName[] = "ZRKIPStartConcKZP";
constexpr char kName[] = "IPStartConcKZP";

constexpr int kPhaseFirst = 0;
constexpr int kPhaseMiddle = 1;
constexpr int kPhaseLast = 2;

constexpr uint8_t kStatusActive = 2;
constexpr uint8_t kPhaseTracking = 3;
constexpr uint8_t kPhaseTrackingCopying = 4;

// The phase of entry i of count: a single entry is the last phase at once.
int PhaseOf(int i, int count) {
    if (count == 1 || i == count - 1) return kPhaseLast;
    return i == 0 ? kPhaseFirst : kPhaseMiddle;
}

// The restart of QuickKZP: the row of the array's session list that the
// entry describes, by its volumes, start blocks and size.
bool Describes(const CONC_SES_INFO &e, const CliCopySession &row) {
    return row.ucUsable == 1 && row.ucSessionType == IP_SESSION_TYPE_KZP &&
           (row.ucAttr & ZRK_IPATTR_QUICKKZP) != 0 && row.uiSrcOLU == e.SrcOlu &&
           row.uiDstOLU == e.DstOlu && row.uiSrcExtAddr_high == e.SrcExtent_high &&
           row.uiSrcExtAddr_low == e.SrcExtent_low && row.uiDstExtAddr_high == e.DstExtent_high &&
           row.uiDstExtAddr_low == e.DstExtent_low && row.uiSize_high == e.SrcSize_high &&
           row.uiSize_low == e.SrcSize_low;
}

// The session identifiers of the entries to restart, in entry order.
int FindRestartIds(const char *ip, const char *user, const CONC_SES_INFO *entries, int count,
                   int *ids) {
    SessionTable table;
    if (ListAllSessions(ip, user, IP_SHOW_FLAG_MODE, &table) != 0) return -1;
    for (int i = 0; i < count; ++i) {
        const CliCopySession *found = nullptr;
        for (size_t k = 0; k < table.uiCount && found == nullptr; ++k) {
            if (Describes(entries[i], table.vRows.get()[k])) found = &table.vRows.get()[k];
        }
        if (found == nullptr) {
            TraceText(1, "ERR", kName, "no QuickKZP session for entry %d", i);
            return FailWith(ZRK_ERR_NO_SESSION);
        }
        if (found->ucSessionStatus != kStatusActive ||
            (found->ucPhase != kPhaseTracking && found->ucPhase != kPhaseTrackingCopying)) {
            TraceText(1, "ERR", kName, "session %u status=%u phase=%u", found->uiSessionID,
                      found->ucSessionStatus, found->ucPhase);
            return FailWith(ZRK_ERR_SEQUENCE);
        }
        ids[i] = static_cast<int>(found->uiSessionID);
    }
    return 0;
}

// The row of a new session: the entry's volumes and start blocks.
bool RowOfEntry(const CONC_SES_INFO &e, const CliConcStartResult &row) {
    return row.uiSrcOlu == e.SrcOlu && row.uiDstOlu == e.DstOlu &&
           row.uiSrcLba_high == e.SrcExtent_high && row.uiSrcLba_low == e.SrcExtent_low &&
           row.uiDstLba_high == e.DstExtent_high && row.uiDstLba_low == e.DstExtent_low;
}

// The array's code of a row as ZRKerrno.
int RowError(const CliConcStartResult &row) {
    const int kept = ZRKerrno;
    IPSet_ZRKerrno_main(static_cast<int>(row.uiErrCode));
    const int error = ZRKerrno;
    ZRKerrno = kept;
    return error;
}

// The array refuses a cascade start in a way the caller may accept.
bool CascadeRefusal(int error) {
    return error == ZRK_ERR_ARRAY_CASCADE_STATUS || error == ZRK_ERR_CASCADE_REPORTED ||
           error == ZRK_ERR_ARRAY_CASCADE_MODE;
}

// Stops with force, ignoring the outcome, the sessions of the rows whose
// result asks for it; ZRKerrno is kept.
int CleanUp(const char *ip, const char *user, const CliConcStartResult *rows, size_t rowCount) {
    Freed<int> ids(static_cast<int *>(std::calloc(rowCount == 0 ? 1 : rowCount, sizeof(int))));
    if (!ids) return FailWith(ZRK_ERR_NO_MEMORY);
    size_t n = 0;
    for (size_t k = 0; k < rowCount; ++k) {
        if (rows[k].uiResult == IP_CONC_ROW_STOP) {
            ids.get()[n++] = static_cast<int>(rows[k].uiSessionID);
        }
    }
    const int kept = ZRKerrno;
    for (size_t from = 0; from < n; from += IP_CONC_STOP_CHUNK) {
        const size_t chunk = std::min<size_t>(IP_CONC_STOP_CHUNK, n - from);
        (void)StopCopySession(ip, user, ZRK_OPT_FORCE, static_cast<int>(chunk), ids.get() + from);
    }
    ZRKerrno = kept;
    return 0;
}

}  // namespace

void zrkip::CheckConcRows(const CONC_SES_INFO *entries, size_t count, const int *ids, bool restart,
                          const CliConcStartResult *rows, size_t rowCount, int *error) {
    *error = 0;
    int firstStop = 0;
    for (size_t i = 0; i < count; ++i) {
        const CliConcStartResult *row = nullptr;
        for (size_t k = 0; k < rowCount && row == nullptr; ++k) {
            const bool mine = restart ? rows[k].uiSessionID == static_cast<uint32_t>(ids[i])
                                      : RowOfEntry(entries[i], rows[k]);
            if (mine) row = &rows[k];
        }
        if (row == nullptr) {
            *error = ZRK_ERR_REPLY;
            return;
        }
        if (row->uiResult == IP_CONC_ROW_STARTED) continue;
        if (row->uiResult != IP_CONC_ROW_STOP) {
            *error = RowError(*row);
            return;
        }
        if (firstStop == 0) firstStop = RowError(*row);
    }
    *error = firstStop;
}

extern "C" int IPStartConcKZP(const char *ip, const char *user, int SessionCnt,
                              const CONC_SES_INFO *SesInfo) {
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "IPaddress=%s, SessionCnt=%d", Shown(ip), SessionCnt);
    if (SesInfo == nullptr || SessionCnt <= 0) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    }
    const size_t count = static_cast<size_t>(SessionCnt);
    TraceData(3, kName, SesInfo,
              static_cast<int>(std::min<size_t>(count * sizeof(CONC_SES_INFO), INT_MAX)));

    const bool restart = (SesInfo[0].OptionFlag & ZRK_OPT_RESTART) != 0;
    uint32_t rowCount = 0;
    CliConcStartResult *raw = nullptr;
    Freed<int> ids;
    if (restart) {
        ids.reset(static_cast<int *>(std::calloc(count, sizeof(int))));
        if (!ids) return TraceEnd(1, kName, FailWith(ZRK_ERR_NO_MEMORY));
        if (FindRestartIds(ip, user, SesInfo, SessionCnt, ids.get()) != 0) {
            return TraceEnd(1, kName, -1);
        }
        if (StartCopyConcurrentKzp(ip, user, SessionCnt, ids.get(), kPhaseLast, nullptr, SesInfo[0],
                                   &rowCount, &raw) != 0) {
            return TraceEnd(1, kName, -1);
        }
    } else {
        uint32_t concId = 0;
        for (int i = 0; i < SessionCnt; ++i) {
            // A failed phase ends the transaction on the array: nothing
            // was started, nothing is stopped.
            if (StartCopyConcurrentKzp(ip, user, 0, nullptr, PhaseOf(i, SessionCnt),
                                       SessionCnt == 1 ? nullptr : &concId, SesInfo[i], &rowCount,
                                       &raw) != 0) {
                return TraceEnd(1, kName, -1);
            }
        }
    }
    Freed<CliConcStartResult> rows(raw);

    int error = 0;
    CheckConcRows(SesInfo, count, ids.get(), restart, rows.get(), rowCount, &error);
    int ret = 0;
    if (error != 0) {
        ret = -1;
        ZRKerrno = error == ZRK_ERR_ARRAY_CASCADE_ARRAYS ? ZRK_ERR_CASCADE_REPORTED : error;
        if ((SesInfo[0].OptionFlag & ZRK_OPT_ACCEPT_CASCADE) != 0 && CascadeRefusal(ZRKerrno)) {
            // Accepted: the caller still finds the refusal in ZRKerrno.
            ret = 0;
        }
    }
    if (!restart && ret != 0 && CleanUp(ip, user, rows.get(), rowCount) != 0) {
        return TraceEnd(1, kName, -1);
    }
    return TraceEnd(1, kName, ret);
}

extern "C" int ZRKIPStartConcKZP(const char *ip, const char *user, CONC_SES_INFO *SesInfo,
                                 int SessionCnt, unsigned char *SenseData) {
    CallFrame frame(kStartConcId, kPublicName, SenseData);
    frame.Info(2, "IPaddress=%s, SessionCnt=%d", Shown(ip), SessionCnt);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (SessionCnt <= 0 || SesInfo == nullptr) return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    if (IPComInfoCheckSet(ip, user, 0, 0, 0) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    const CopyFunctions caps;
    if (!caps.Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_CONC_KZP)) {
        return frame.Finish(FailWith(ZRK_ERR_NOT_SUPPORT));
    }
    CliCopyFunctions functions;
    IPCtrlCommonData(IP_COMMON_FUNCS_GET, &functions);
    if (functions.uiMaxSession < static_cast<uint32_t>(SessionCnt)) {
        frame.Err(1, "SessionCnt=%d above the maximum %u", SessionCnt, functions.uiMaxSession);
        return frame.Finish(FailWith(ZRK_ERR_PER_COMMAND));
    }
    if (CheckParamStartConc(SesInfo, static_cast<uint32_t>(SessionCnt)) != 0) {
        return frame.Finish(-1);
    }
    if (IPStartConcKZP(ip, user, SessionCnt, SesInfo) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    return frame.Finish(0);
}
