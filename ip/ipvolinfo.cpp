// What the array is rather than what a session does: the volume-information
// area built from the array's copy functions, and its model record.
#include "ipframe.h"

#include "ipshow_array.h"
#include "platform.h"

#include <cstdio>
#include <cstring>

using namespace zrkip;

namespace {

constexpr int kVolumeInfoId = 1001;
constexpr int kDeviceInfoId = 1028;

// Information bits of the volume-information call.
constexpr int kInfoBoxId = 0x1;     // the own BoxID
constexpr int kInfoRvzCount = 0x2;  // the RVZ buffer count
constexpr int kInfoMaxima = 0x4;    // session maxima, support groups, generation count

constexpr uint32_t kVolumeInfoMask = IP_VOLINFO_MAXIMA | IP_VOLINFO_BOXID | IP_VOLINFO_RVZCNT;

// The option word's refresh flags and information bits.
struct Selection {
    int iRefresh;  // RefreshFlags of IPComInfoCheckSet
    int iInfo;     // what is filled
};

Selection Select(uint32_t option) {
    if (option == 0) return {-1, kInfoBoxId | kInfoRvzCount | kInfoMaxima};
    Selection s{0, 0};
    if ((option & IP_VOLINFO_BOXID) != 0) {
        s.iRefresh |= IP_REFRESH_BOXID;
        s.iInfo |= kInfoBoxId;
    }
    if ((option & IP_VOLINFO_RVZCNT) != 0) {
        s.iRefresh |= IP_REFRESH_RVZCNT | IP_REFRESH_FUNCS;
        s.iInfo |= kInfoRvzCount;
    }
    if ((option & IP_VOLINFO_MAXIMA) != 0) {
        s.iRefresh |= IP_REFRESH_FUNCS;  // no refresh of its own
        s.iInfo |= kInfoMaxima;
    }
    return s;
}

// The low 16 bits of a host value, big-endian.
void PutBe16(uint32_t value, unsigned char *out) { ShiftAnytoB(&value, 4, 2, out); }

}  // namespace

extern "C" int IPGetVolumeInfo(const char *ip, const char * /*user*/, int info, VOL_INFO *area) {
    static const char kName[] = "IPGetVolumeInfo";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] Info=0x%02x", zrkip::Shown(ip),
              static_cast<unsigned>(info));
    if (area == nullptr) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));

    CliCopyFunctions functions;
    IPCtrlCommonData(IP_COMMON_FUNCS_GET, &functions);
    unsigned char record[IP_COMMON_FUNCS_LEN];
    std::memcpy(record, &functions, sizeof record);
    uint32_t rvzCount = 0;
    IPCtrlCommonData(IP_COMMON_RVZCNT_GET, &rvzCount);

    VOL_INFO built;
    std::memset(&built, 0, sizeof built);
    const bool kzp = zrk_support_has(record, ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_KIND);
    const bool mirror = zrk_support_has(record, ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND) ||
                        zrk_support_has(record, ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND);
    const bool maxima = (info & kInfoMaxima) != 0;
    // The area carries the maxima in 16 bits: a larger one is a broken answer.
    const bool snapGen = kzp && zrk_support_has(record, ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP_P);
    if (maxima && (kzp || mirror) &&
        (CheckMaximum(kName, "MaxSession", functions.uiMaxSession) != 0 ||
         CheckMaximum(kName, "MaxSession2", functions.uiMaxSession2) != 0 ||
         (snapGen && CheckMaximum(kName, "MaxSnapGen", functions.uiMaxSnapGen) != 0))) {
        return TraceEnd(1, kName, -1);
    }

    if (kzp && maxima) {
        PutBe16(functions.uiMaxSession2, built.ucaKzpMaxSession);
        PutBe16(functions.uiMaxSession, built.ucaKzpMaxSession + 2);
        std::memcpy(built.ucaSupportData, record, 8);
        if (snapGen) PutBe16(functions.uiMaxSnapGen, built.ucaMaxGeneration);
    }
    if (mirror && maxima) {
        PutBe16(functions.uiMaxSession2, built.ucaVzMaxSession);
        PutBe16(functions.uiMaxSession, built.ucaVzMaxSession + 2);
        std::memcpy(built.ucaSupportData + 16, record + 16, 8);
        std::memcpy(built.ucaSupportData + 24, record + 24, 8);
        built.ucRvzBuffSupport = static_cast<unsigned char>(functions.uiRvzBuffFlags & 0xFF);
    }
    if (mirror && (info & kInfoRvzCount) != 0 &&
        zrk_support_has(record, ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_RVZ_BUFFERS)) {
        PutBe16(rvzCount, built.ucaRvzBuffMax);
    }
    std::memcpy(area, &built, sizeof built);
    TraceData(3, kName, &built, static_cast<int>(sizeof built));
    return TraceEnd(1, kName, 0);
}

extern "C" int ZRKIPGetVolumeInfo(const char *ip, const char *user, int ExtentCnt,
                                  uint32_t OptionFlag, char *BoxID, uint32_t *Olu,
                                  uint32_t *Extent_high, uint32_t *Extent_low,
                                  uint32_t *Size_high, uint32_t *Size_low, VOL_INFO *VolInfo,
                                  unsigned char *SenseData) {
    zrkip::CallFrame frame(kVolumeInfoId, "ZRKIPGetVolumeInfo", SenseData);
    frame.Info(2, "cpIPaddress=[%s] OptionFlag=0x%02x", zrkip::Shown(ip), OptionFlag);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);

    // Every output is written on success, so none may be missing; this is
    // settled before the array is asked anything.
    if (BoxID == nullptr || Olu == nullptr || Extent_high == nullptr || Extent_low == nullptr ||
        Size_high == nullptr || Size_low == nullptr || VolInfo == nullptr) {
        return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    }

    const Selection selection = Select(OptionFlag);
    if (IPComInfoCheckSet(ip, user, OptionFlag, kVolumeInfoMask, selection.iRefresh) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    if (ExtentCnt != 0) {
        return frame.Finish(FailWith(ZRK_ERR_EXTENT_CNT));
    }

    VOL_INFO area;
    if (IPGetVolumeInfo(ip, user, selection.iInfo, &area) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    if ((selection.iInfo & kInfoBoxId) != 0) IPCtrlCommonData(IP_COMMON_BOXID_GET, BoxID);
    std::memcpy(VolInfo, &area, sizeof area);
    *Olu = 0;
    *Extent_high = 0;
    *Extent_low = 0;
    *Size_high = 0;
    *Size_low = 0;
    frame.Info(2, "BoxID=%.40s", BoxID);
    frame.Dump(2, &area, static_cast<int>(sizeof area));
    return frame.Finish(1);
}

extern "C" int IPGetModelInfo(const char *ip, const char *user, unsigned char *area) {
    static const char kName[] = "IPGetModelInfo";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] ", zrkip::Shown(ip));

    CliModelInfo model;
    std::memset(&model, 0, sizeof model);
    int ret = 0;
    if (area == nullptr) {
        ret = FailWith(ZRK_ERR_PARAMETER);
    } else if (ShowModelInfo(ip, user, &model, 1) != 0) {
        ret = -1;
    } else {
        std::memcpy(area, &model, sizeof model);
    }
    return TraceEnd(1, kName, ret);
}

extern "C" int ZRKIPGetDeviceInfo(const char *ip, const char *user, int InfoType,
                                  unsigned char *DeviceInfo, unsigned char *SenseData) {
    zrkip::CallFrame frame(kDeviceInfoId, "ZRKIPGetDeviceInfo", SenseData);
    frame.Info(2, "cpIPaddress=[%s] InfoType=0x%02x", zrkip::Shown(ip),
               static_cast<unsigned>(InfoType));
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (DeviceInfo == nullptr || InfoType != 0) {
        return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    }
    if (IPGetModelInfo(ip, user, DeviceInfo) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    frame.Dump(2, DeviceInfo, static_cast<int>(sizeof(CliModelInfo)));
    return frame.Finish(0);
}
