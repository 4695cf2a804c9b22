// The frame and common core of the out-of-band API: the call frame, the
// one-slot common data, the option and capability check, the copy-parameter
// check, the copy-request builder and the BoxID check.
#include "ipframe.h"

#include "ipshow_array.h"
#include "platform.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <unistd.h>

using namespace zrkip;

namespace {

// The common data: the array of the last IPComInfoCheckSet.
struct CommonData {
    unsigned char ucaOwnBoxID[ZRK_BOXID_LEN];        // own BoxID
    unsigned char ucaFunctions[IP_COMMON_FUNCS_LEN]; // CliCopyFunctions record
    unsigned char ucaRvzCount[IP_COMMON_RVZCNT_LEN]; // RVZ buffer count, host order
};
CommonData gCommon;

bool AllFF(const char *box) {
    for (size_t i = 0; i < ZRK_BOXID_LEN; ++i) {
        if (static_cast<unsigned char>(box[i]) != 0xFF) return false;
    }
    return true;
}

// [a, a + size) and [b, b + size) share a block; no sum is formed, so
// ranges near the end of the 64-bit space are judged correctly.
bool Overlap(uint64_t a, uint64_t b, uint64_t size) {
    return a <= b ? b - a < size : a - b < size;
}

}  // namespace

// ---- the call frame ------------------------------------------------------------

namespace zrkip {

CallFrame::CallFrame(int callerId, const char *name, unsigned char *sense)
    : pName(name), pSense(sense) {
    ZRKC_Com_OpenTrace(callerId);
    Info(1, "START");
    CtrlSenseData(nullptr, ZRK_SENSE_LEN, ZRK_SENSE_CLEAR);
    CtrlSenseData(pSense, ZRK_SENSE_LEN, ZRK_SENSE_COPY_OUT);
}

CallFrame::~CallFrame() {
    if (!bClosed) ZRKC_Com_CloseTrace();
}

void CallFrame::Info(int level, const char *format, ...) {
    va_list args;
    va_start(args, format);
    TraceTextV(level, "INFO", pName, format, args);
    va_end(args);
}

void CallFrame::Err(int level, const char *format, ...) {
    va_list args;
    va_start(args, format);
    TraceTextV(level, "ERR", pName, format, args);
    va_end(args);
}

void CallFrame::Dump(int level, const void *data, int length) {
    TraceData(level, pName, data, length);
}

int CallFrame::CheckRoot() {
    if (::geteuid() == 0) return 0;
    Err(1, "not root");
    return FailWith(ZRK_ERR_PERMISSION);
}

void CallFrame::SenseAgain() {
    CtrlSenseData(pSense, ZRK_SENSE_LEN, ZRK_SENSE_COPY_OUT);
    if (pSense != nullptr) Dump(2, pSense, ZRK_SENSE_LEN);
}

void TraceCopyArgs(CallFrame &frame, const CopyArgs &a, bool wideOption) {
    frame.Info(2, wideOption ? "IPaddress=%s, CopyInterval=%d, OptionFlag=0x%08x"
                             : "IPaddress=%s, CopyInterval=%d, OptionFlag=0x%02x",
               Shown(a.ip), a.CopyInterval, a.OptionFlag);
    frame.Info(2,
               "SrcBoxID=%.40s, SrcOLU=%d, SrcExtAddr_high=%d, SrcExtAddr_low=%d, SrcSize_high=%d, "
               "SrcSize_low=%d",
               Shown(a.SrcBoxID), static_cast<int>(a.SrcOLU), static_cast<int>(a.SrcExtAddr_high),
               static_cast<int>(a.SrcExtAddr_low), static_cast<int>(a.SrcSize_high),
               static_cast<int>(a.SrcSize_low));
    frame.Info(2, "DstBoxID=%.40s, DstOLU=%d, DstExtAddr_high=%d, DstExtAddr_low=%d",
               Shown(a.DstBoxID), static_cast<int>(a.DstOLU), static_cast<int>(a.DstExtAddr_high),
               static_cast<int>(a.DstExtAddr_low));
}

int CheckMaximum(const char *name, const char *field, uint32_t value) {
    if (value <= kCarriedMaximum) return 0;
    TraceText(1, "ERR", name, " %s %u above %u ", field, value, kCarriedMaximum);
    return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
}

int ListRoom(const char *name, const char *field, uint32_t maximum, size_t callerRoom, size_t *room) {
    if (CheckMaximum(name, field, maximum) != 0) return -1;
    *room = callerRoom < maximum ? callerRoom : maximum;
    return 0;
}

int CheckCopyArgs(const CopyArgs &a, int checkOption) {
    return IPCheckParam(a.ip, a.user, a.SrcBoxID, a.SrcOLU, a.SrcExtAddr_high, a.SrcExtAddr_low,
                        a.SrcSize_high, a.SrcSize_low, a.DstBoxID, a.DstOLU, a.DstExtAddr_high,
                        a.DstExtAddr_low, a.CopyInterval, checkOption);
}

void MakeCopyReq(const CopyArgs &a, IPCopyReq *req) {
    IPMakeReq(a.SrcBoxID, a.SrcOLU, a.SrcExtAddr_high, a.SrcExtAddr_low, a.SrcSize_high,
              a.SrcSize_low, a.DstBoxID, a.DstOLU, a.DstExtAddr_high, a.DstExtAddr_low,
              a.CopyInterval, req);
}

int CallFrame::Finish(int ret) {
    // A positive return is a success too (the volume information's 1).
    if (ret > 0) {
        Info(1, "END(ret=%d, ZRKerrno=%d)", ret, ZRKerrno);
    } else {
        TraceEnd(1, pName, ret);
    }
    ZRKC_Com_CloseTrace();
    bClosed = true;
    return ret;
}

}  // namespace zrkip

// ---- the common data -------------------------------------------------------------

extern "C" void IPCtrlCommonData(unsigned int iOperation, void *buffer) {
    unsigned char *item = nullptr;
    size_t size = 0;
    switch (iOperation / 3) {
    case 0: item = gCommon.ucaOwnBoxID; size = sizeof gCommon.ucaOwnBoxID; break;
    case 1: item = gCommon.ucaFunctions; size = sizeof gCommon.ucaFunctions; break;
    case 2: item = gCommon.ucaRvzCount; size = sizeof gCommon.ucaRvzCount; break;
    default: return;
    }
    switch (iOperation % 3) {
    case 0: std::memset(item, 0, size); break;
    case 1: if (buffer != nullptr) std::memcpy(buffer, item, size); break;
    default: if (buffer != nullptr) std::memcpy(item, buffer, size); break;
    }
}

// ---- options and capabilities ------------------------------------------------------

extern "C" int IPComInfoCheckSet(const char *ip, const char *user, uint32_t OptionFlag,
                                 uint32_t OptionMask, int RefreshFlags) {
    static const char kName[] = "IPComInfoCheckSet";
    TraceText(2, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] OptionFlag=0x%02x, OptionMask=0x%02x",
              zrkip::Shown(ip), OptionFlag, OptionMask);
    auto failed = [&]() { return TraceEnd(1, kName, -1); };

    if ((OptionFlag & ~OptionMask) != 0) {
        ZRKerrno = ZRK_ERR_OPTION;
        return failed();
    }
    ZRKOptionFlag = OptionFlag;

    CliCopyFunctions functions;
    std::memset(&functions, 0, sizeof functions);
    if (ShowCopyFunctions(ip, user, &functions, 1) != 0) return failed();
    IPCtrlCommonData(IP_COMMON_FUNCS_CLEAR, nullptr);
    IPCtrlCommonData(IP_COMMON_FUNCS_SET, &functions);

    unsigned char record[IP_COMMON_FUNCS_LEN];
    std::memcpy(record, &functions, sizeof record);
    if (!zrk_support_has(record, ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_KIND) &&
        !zrk_support_has(record, ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND) &&
        !zrk_support_has(record, ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND)) {
        ZRKerrno = ZRK_ERR_SETUP;
        return failed();
    }

    if ((RefreshFlags & IP_REFRESH_BOXID) != 0) {
        char box[ZRK_BOXID_LEN] = {};
        if (ShowBoxid(ip, user, box, 1) != 0) return failed();
        IPCtrlCommonData(IP_COMMON_BOXID_CLEAR, nullptr);
        IPCtrlCommonData(IP_COMMON_BOXID_SET, box);
    }

    if ((RefreshFlags & IP_REFRESH_RVZCNT) != 0 &&
        zrk_support_has(record, ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_RVZ_BUFFERS)) {
        std::unique_ptr<CliRvzBufferList> list(new (std::nothrow) CliRvzBufferList());
        if (!list) {
            ZRKerrno = ZRK_ERR_NO_MEMORY;
            return failed();
        }
        if (ShowRvzBuffer(ip, user, list.get(), IP_RVZ_LIST_ROWS) != 0) return failed();
        uint32_t count = list->uiMaxBuffCnt;
        IPCtrlCommonData(IP_COMMON_RVZCNT_CLEAR, nullptr);
        IPCtrlCommonData(IP_COMMON_RVZCNT_SET, &count);
    }
    return TraceEnd(2, kName, 0);
}

// ---- the copy arguments ------------------------------------------------------------

extern "C" int IPCheckParam(const char *ip, const char * /*user*/, const char *SrcBoxID,
                            uint32_t SrcOLU, uint32_t SrcExtAddr_high, uint32_t SrcExtAddr_low,
                            uint32_t SrcSize_high, uint32_t SrcSize_low, const char *DstBoxID,
                            uint32_t DstOLU, uint32_t DstExtAddr_high, uint32_t DstExtAddr_low,
                            int CopyInterval, int CheckOption) {
    static const char kName[] = "IPCheckParam";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "IPaddress=%s, CopyInterval=%d, CheckOption=0x%02x",
              zrkip::Shown(ip), CopyInterval, static_cast<unsigned>(CheckOption));
    TraceText(3, "INFO", kName,
              "SrcBoxID=%.40s, SrcOLU=%d, SrcExtAddr_high=%d, SrcExtAddr_low=%d, "
              "SrcSize_high=%d, SrcSize_low=%d",
              zrkip::Shown(SrcBoxID), static_cast<int>(SrcOLU), static_cast<int>(SrcExtAddr_high),
              static_cast<int>(SrcExtAddr_low), static_cast<int>(SrcSize_high),
              static_cast<int>(SrcSize_low));
    TraceText(3, "INFO", kName, "DstBoxID=%.40s, DstOLU=%d, DstExtAddr_high=%d, DstExtAddr_low=%d",
              zrkip::Shown(DstBoxID), static_cast<int>(DstOLU), static_cast<int>(DstExtAddr_high),
              static_cast<int>(DstExtAddr_low));

    const bool monitor = (CheckOption & IP_CHECK_MONITOR) != 0;
    const uint64_t size = zrkip::Join64(SrcSize_high, SrcSize_low);
    const uint64_t src = zrkip::Join64(SrcExtAddr_high, SrcExtAddr_low);
    const uint64_t dst = zrkip::Join64(DstExtAddr_high, DstExtAddr_low);

    auto check = [&]() -> int {
        if (SrcBoxID == nullptr) return FailWith(ZRK_ERR_SRC_BOXID);
        if (DstBoxID == nullptr) return FailWith(ZRK_ERR_DST_BOXID);
        if (monitor && !AllFF(DstBoxID)) return FailWith(ZRK_ERR_DST_BOXID);
        if (SrcOLU > 0xFFFFu) return FailWith(ZRK_ERR_SRC_OLU);
        if (monitor ? DstOLU != 0xFFFFFFFFu : DstOLU > 0xFFFFu) return FailWith(ZRK_ERR_DST_OLU);
        if (size == 0 && (src != 0 || dst != 0)) return FailWith(ZRK_ERR_SIZE);
        if (monitor) {
            if (size == 0 || (DstExtAddr_high == 0xFFFFFFFFu && DstExtAddr_low == 0xFFFFFFFFu)) {
                return 0;
            }
            return FailWith(ZRK_ERR_EXTENT);
        }
        if (std::memcmp(SrcBoxID, DstBoxID, ZRK_BOXID_LEN) != 0) return 0;
        if (size == 0 && SrcOLU == DstOLU) return FailWith(ZRK_ERR_OLU);
        if (SrcOLU == DstOLU && Overlap(src, dst, size)) return FailWith(ZRK_ERR_EXTENT);
        return 0;
    };
    return TraceEnd(1, kName, check());
}

// ---- the request -------------------------------------------------------------------

extern "C" void IPMakeReq(const char *SrcBoxID, uint32_t SrcOLU, uint32_t SrcExtAddr_high,
                          uint32_t SrcExtAddr_low, uint32_t SrcSize_high, uint32_t SrcSize_low,
                          const char *DstBoxID, uint32_t DstOLU, uint32_t DstExtAddr_high,
                          uint32_t DstExtAddr_low, int CopyInterval, IPCopyReq *req) {
    static const char kName[] = "IPMakeReq";
    if (req == nullptr) return;
    std::memset(req, 0, sizeof *req);
    if ((SrcExtAddr_high | SrcExtAddr_low | DstExtAddr_high | DstExtAddr_low | SrcSize_high |
         SrcSize_low) == 0) {
        req->CopyAttr |= ZRK_IPATTR_WHOLE_VOLUME;
    }
    if (SrcBoxID != nullptr) std::memcpy(req->SrcBoxID, SrcBoxID, ZRK_BOXID_LEN);
    if (DstBoxID != nullptr) std::memcpy(req->DstBoxID, DstBoxID, ZRK_BOXID_LEN);
    req->SrcOLU = SrcOLU;
    req->DstOLU = DstOLU;
    req->SrcExtAddr_high = SrcExtAddr_high;
    req->SrcExtAddr_low = SrcExtAddr_low;
    req->DstExtAddr_high = DstExtAddr_high;
    req->DstExtAddr_low = DstExtAddr_low;
    req->SrcSize_high = SrcSize_high;
    req->SrcSize_low = SrcSize_low;
    req->CopyInterval = CopyInterval;
    if (DstOLU == 0xFFFFFFFFu) {
        req->CopyAttr &= static_cast<uint8_t>(~ZRK_IPATTR_REMOTE);
        TraceText(3, "INFO", kName, "local(Estimate)");
    } else if (std::memcmp(req->SrcBoxID, req->DstBoxID, ZRK_BOXID_LEN) != 0) {
        req->CopyAttr |= ZRK_IPATTR_REMOTE;
        TraceText(3, "INFO", kName, "Remote");
    } else {
        req->CopyAttr &= static_cast<uint8_t>(~ZRK_IPATTR_REMOTE);
        TraceText(3, "INFO", kName, "local");
    }
}

extern "C" int IPCheckBoxID(const IPCopyReq *req) {
    static const char kName[] = "IPCheckBoxID";
    if (req == nullptr) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    TraceData(3, kName, req, static_cast<int>(sizeof *req));
    char own[ZRK_BOXID_LEN];
    IPCtrlCommonData(IP_COMMON_BOXID_GET, own);
    int ret = 0;
    if ((req->CopyAttr & ZRK_IPATTR_REMOTE) != 0) {
        if (std::memcmp(req->SrcBoxID, own, sizeof own) != 0 &&
            std::memcmp(req->DstBoxID, own, sizeof own) != 0) {
            TraceText(3, "ERR", kName, "SrcBoxID=%.40s", req->SrcBoxID);
            TraceText(3, "ERR", kName, "DstBoxID=%.40s", req->DstBoxID);
            TraceText(3, "ERR", kName, "OwnBoxID=%.40s", own);
            ret = FailWith(ZRK_ERR_BOXID);
        }
    } else if (std::memcmp(req->SrcBoxID, own, sizeof own) != 0) {
        TraceText(3, "ERR", kName, "SrcBoxID=%.40s", req->SrcBoxID);
        TraceText(3, "ERR", kName, "OwnBoxID=%.40s", own);
        ret = FailWith(ZRK_ERR_DIFFERENT_ZRK);
    }
    return TraceEnd(1, kName, ret);
}
