// The concurrent VZ suspend over the LAN: several VZ or RVZ sessions of one
// array, all on the box pair of the first, suspended at one instant by one
// array command. Every pair must name an existing session that is not
// suspended yet; until all of that holds nothing is sent but the questions.
#include "ipconc.h"

#include "ipcontrol.h"
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

constexpr int kMultiSuspendId = 1008;
constexpr char kPublicName[] = "ZRKIPMultiSuspendVZ";
constexpr char kName[] = "IPMultiSuspendTvc";

constexpr uint32_t kMultiSuspendMask = ZRK_OPT_UNTRANSFERRED;  // 0x10
constexpr int kRefresh = IP_REFRESH_BOXID | IP_REFRESH_FUNCS;    // 5
constexpr uint8_t kStatusSuspend = 4;
constexpr size_t kSlot = 4;  // bytes of one output slot

// The array can suspend the first request's kind concurrently.
int Gate(const CopyFunctions &c, uint32_t option, const IPCopyReq &first) {
    if (Remote(first)) {
        bool ok = c.Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND) &&
                  c.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_CONC_SUSPEND);
        if (ok && (option & ZRK_OPT_UNTRANSFERRED) != 0) {
            ok = c.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_RVZ_BUFFERS);
        }
        return ok ? 0 : FailWith(ZRK_ERR_NOT_SUPPORT);
    }
    if (!c.Has(ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND) ||
        !c.Has(ZRK_SUPPORT_VZ_FUNCS, ZRK_SUPPORT_CONC_SUSPEND)) {
        return FailWith(ZRK_ERR_NOT_SUPPORT);
    }
    // Untransferred data exists only between two arrays.
    return (option & ZRK_OPT_UNTRANSFERRED) != 0 ? FailWith(ZRK_ERR_OPTION) : 0;
}

bool SameBox(const char *a, const char *b) { return std::memcmp(a, b, ZRK_BOXID_LEN) == 0; }

// Every further request lies on the box pair of the first: inside this
// array, or from it to the first's destination, or from the first's source
// to it.
int SameBoxPair(const IPCopyReq *req, unsigned count) {
    char own[ZRK_BOXID_LEN];
    IPCtrlCommonData(IP_COMMON_BOXID_GET, own);
    const IPCopyReq &first = req[0];
    const char *wantSrc = own;
    const char *wantDst = own;
    int error = ZRK_ERR_CONC_NOT_LOCAL;
    if (Remote(first) && SameBox(first.SrcBoxID, own)) {
        wantDst = first.DstBoxID;
        error = ZRK_ERR_CONC_DEST;
    } else if (Remote(first)) {
        wantSrc = first.SrcBoxID;
        error = ZRK_ERR_CONC_SOURCE;
    }
    for (unsigned i = 1; i < count; ++i) {
        if (!SameBox(req[i].SrcBoxID, wantSrc) || !SameBox(req[i].DstBoxID, wantDst)) {
            TraceText(1, "ERR", kName, "pair %u on another box pair", i);
            return FailWith(error);
        }
    }
    return 0;
}

// The identifiers of the sessions of the requests, in request order.
int FindSessions(const char *ip, const char *user, const IPCopyReq *req, unsigned count, int *ids) {
    SessionTable table;
    if (ListAllSessions(ip, user, IP_SHOW_FLAG_MODE, &table) != 0) return -1;
    for (unsigned i = 0; i < count; ++i) {
        CliCopySession row;
        std::memset(&row, 0, sizeof row);
        const int listed = static_cast<int>(table.uiCount);
        if (IPSearchSession(&req[i], table.vRows.get(), listed, 0, &row) != 0) return -1;
        if (row.ucSessionStatus == kStatusSuspend) {
            TraceText(1, "ERR", kName, "session %u is suspended", row.uiSessionID);
            return FailWith(ZRK_ERR_SEQUENCE);
        }
        ids[i] = static_cast<int>(SessionIdFor(0, req[i], row));
    }
    return 0;
}

}  // namespace

extern "C" int IPMultiSuspendTvc(const char *ip, const char *user, IPCopyReq *req,
                                 unsigned int SessionCnt, int OptionFlag, unsigned char *Result) {
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "IPaddress=%s, SessionCnt=0x%02x, OptionFlag=0x%02x", Shown(ip),
              SessionCnt, static_cast<unsigned>(OptionFlag));
    if (req == nullptr || Result == nullptr || SessionCnt == 0) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    }
    TraceData(3, kName, req, static_cast<int>(sizeof *req));
    const uint32_t option = static_cast<uint32_t>(OptionFlag);

    CliCopyFunctions functions;
    IPCtrlCommonData(IP_COMMON_FUNCS_GET, &functions);
    if (SessionCnt > functions.uiMaxConcSuspend || SessionCnt > IP_CONC_SUSPEND_MAX) {
        TraceText(1, "ERR", kName, "SessionCnt=%u, the array takes %u", SessionCnt,
                  functions.uiMaxConcSuspend);
        return TraceEnd(1, kName, FailWith(ZRK_ERR_PER_COMMAND));
    }
    const CopyFunctions caps;
    if (Gate(caps, option, req[0]) != 0) return TraceEnd(1, kName, -1);
    if (IPCheckBoxID(&req[0]) != 0) return TraceEnd(1, kName, -1);
    if (SameBoxPair(req, SessionCnt) != 0) return TraceEnd(1, kName, -1);

    Freed<int> ids(static_cast<int *>(std::calloc(SessionCnt, sizeof(int))));
    if (!ids) return TraceEnd(1, kName, FailWith(ZRK_ERR_NO_MEMORY));
    if (FindSessions(ip, user, req, SessionCnt, ids.get()) != 0) return TraceEnd(1, kName, -1);

    const int count = static_cast<int>(SessionCnt);
    const int done = Remote(req[0]) ? SuspendCopyRvz(ip, user, OptionFlag, 1, count, ids.get())
                                    : SuspendCopyVz(ip, user, OptionFlag, 1, count, ids.get());
    if (done != 0) return TraceEnd(1, kName, -1);

    std::memset(Result, 0, SessionCnt * kSlot);
    for (unsigned i = 0; i < SessionCnt; ++i) {
        const uint32_t id = static_cast<uint32_t>(ids.get()[i]);
        ShiftAnytoB(&id, 4, 2, Result + i * kSlot);
    }
    return TraceEnd(1, kName, 0);
}

extern "C" int ZRKIPMultiSuspendVZ(const char *ip, const char *user, const CONC_SUS_PAIR_LV *Pairs,
                                   int SessionCnt, uint32_t OptionFlag, uint32_t *Result,
                                   unsigned char *SenseData) {
    CallFrame frame(kMultiSuspendId, kPublicName, SenseData);
    frame.Info(2, "IPaddress=%s, SessionCnt=%d, OptionFlag=0x%02x", Shown(ip), SessionCnt,
               OptionFlag);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    // A count of 0 or less has no entries to trace.
    if (Pairs == nullptr || SessionCnt <= 0 || Result == nullptr) {
        return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    }
    const unsigned count = static_cast<unsigned>(SessionCnt);
    frame.Dump(2, Pairs,
               static_cast<int>(std::min<size_t>(count * sizeof(CONC_SUS_PAIR_LV), INT_MAX)));
    if (IPComInfoCheckSet(ip, user, OptionFlag, kMultiSuspendMask, kRefresh) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }

    Freed<IPCopyReq> req(static_cast<IPCopyReq *>(std::calloc(count, sizeof(IPCopyReq))));
    if (!req) return frame.Finish(FailWith(ZRK_ERR_NO_MEMORY));
    for (unsigned i = 0; i < count; ++i) {
        const CONC_SUS_PAIR_LV &p = Pairs[i];
        // There is no destination size: the copy has the source's.
        if (IPCheckParam(ip, user, p.SrcBoxID, p.SrcOlu, p.SrcExtent_high, p.SrcExtent_low,
                         p.SrcSize_high, p.SrcSize_low, p.DstBoxID, p.DstOlu, p.DstExtent_high,
                         p.DstExtent_low, 0, 0) != 0) {
            return frame.Finish(-1);
        }
        IPCopyReq &r = req.get()[i];
        IPMakeReq(p.SrcBoxID, p.SrcOlu, p.SrcExtent_high, p.SrcExtent_low, p.SrcSize_high,
                  p.SrcSize_low, p.DstBoxID, p.DstOlu, p.DstExtent_high, p.DstExtent_low, 0, &r);
        r.ReqMark = 1;
        r.CopyType = IP_COPY_VZ;
    }
    if (IPMultiSuspendTvc(ip, user, req.get(), count, static_cast<int>(OptionFlag),
                          reinterpret_cast<unsigned char *>(Result)) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    return frame.Finish(0);
}
