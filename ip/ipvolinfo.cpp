// What the array is rather than what a session does: the volume-information
// area built from the array's copy functions, and its model record.
#include "ipframe.h"

#include "ipshow_array.h"
#include "platform.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int kVolumeInfoId = 1001;
constexpr int kDeviceInfoId = 1028;

// Information bits of the volume-information call.
constexpr int kInfoBoxId = 0x1;     // the own BoxID
constexpr int kInfoRvzCount = 0x2;  // the RVZ buffer count
constexpr int kInfoMaxima = 0x4;    // session maxima, support groups, generation count

constexpr uint32_t kVolumeInfoMask = 0x7;

// The option word's refresh flags and information bits.
struct Selection {
    int refresh;   // RefreshFlags of IPComInfoCheckSet
    int info;      // what is filled
};

Selection Select(uint32_t option) {
    if (option == 0) return {-1, kInfoBoxId | kInfoRvzCount | kInfoMaxima};
    Selection s{0, 0};
    if ((option & 0x2) != 0) {
        s.refresh |= IP_REFRESH_BOXID;
        s.info |= kInfoBoxId;
    }
    if ((option & 0x4) != 0) {
        s.refresh |= IP_REFRESH_RVZCNT | 0x4;
        s.info |= kInfoRvzCount;
    }
    if ((option & 0x1) != 0) {
        s.refresh |= 0x4;   // no refresh of its own
        s.info |= kInfoMaxima;
    }
    return s;
}

// The low 16 bits of a host value, big-endian.
void PutBe16(uint32_t value, unsigned char *out) { ShiftAnytoB(&value, 4, 2, out); }

}  // namespace

extern "C" int IPGetVolumeInfo(const char *ip, const char * /*user*/, int info, VOL_INFO *area) {
    static const char kName[] = "IPGetVolumeInfo";
    ZRKC_Com_OutputTrace(1, 1, "INFO", kName, nullptr, 0, "START");
    std::memset(caTrcData, 0, sizeof caTrcData);
    std::snprintf(caTrcData, sizeof caTrcData, "cpIPaddress=[%s] Info=0x%02x",
                  zrkipframe::Shown(ip), static_cast<unsigned>(info));
    ZRKC_Com_OutputTrace(3, 1, "INFO", kName, nullptr, 0, caTrcData);

    if (area == nullptr) {
        ZRKerrno = 13;
        ZRKC_Com_OutputTrace(1, 1, "ERR", kName, nullptr, 0, "END(ret=-1, ZRKerrno=13)");
        return -1;
    }

    CliCopyFunctions functions;
    IPCtrlCommonData(IP_COMMON_FUNCS_GET, &functions);
    unsigned char record[IP_COMMON_FUNCS_LEN];
    std::memcpy(record, &functions, sizeof record);
    uint32_t rvzCount = 0;
    IPCtrlCommonData(IP_COMMON_RVZCNT_GET, &rvzCount);

    VOL_INFO built;
    std::memset(&built, 0, sizeof built);
    const bool kzp = (record[IP_CF_KZP_BYTE] & 0x01) != 0;
    const bool mirror = (record[IP_CF_VZ_BYTE] & 0x01) != 0 || (record[IP_CF_RVZ_BYTE] & 0x01) != 0;
    const bool maxima = (info & kInfoMaxima) != 0;

    if (kzp && maxima) {
        PutBe16(functions.uiMaxSession2, built.ucaKzpMaxSession);
        PutBe16(functions.uiMaxSession, built.ucaKzpMaxSession + 2);
        std::memcpy(built.ucaSupportData, record, 8);
        if ((record[4] & 0x08) != 0) PutBe16(functions.uiMaxSnapGen, built.ucaMaxGeneration);
    }
    if (mirror && maxima) {
        PutBe16(functions.uiMaxSession2, built.ucaVzMaxSession);
        PutBe16(functions.uiMaxSession, built.ucaVzMaxSession + 2);
        std::memcpy(built.ucaSupportData + 16, record + 16, 8);
        std::memcpy(built.ucaSupportData + 24, record + 24, 8);
        built.ucRvzBuffSupport = static_cast<unsigned char>(functions.uiRvzBuffFlags & 0xFF);
    }
    if (mirror && (info & kInfoRvzCount) != 0 && (record[IP_CF_RVZBUFF_BYTE] & 0x80) != 0) {
        PutBe16(rvzCount, built.ucaRvzBuffMax);
    }
    std::memcpy(area, &built, sizeof built);
    ZRKC_Com_OutputTrace(3, 2, "INFO", kName, nullptr, static_cast<int>(sizeof built), &built);
    std::memset(caTrcData, 0, sizeof caTrcData);
    std::snprintf(caTrcData, sizeof caTrcData, "END(ret=0, ZRKerrno=%d)", ZRKerrno);
    ZRKC_Com_OutputTrace(1, 1, "INFO", kName, nullptr, 0, caTrcData);
    return 0;
}

extern "C" int ZRKIPGetVolumeInfo(const char *ip, const char *user, int ExtentCnt,
                                  uint32_t OptionFlag, char *BoxID, uint32_t *Olu,
                                  uint32_t *Extent_high, uint32_t *Extent_low,
                                  uint32_t *Size_high, uint32_t *Size_low, VOL_INFO *VolInfo,
                                  unsigned char *SenseData) {
    zrkipframe::CallFrame frame(kVolumeInfoId, "ZRKIPGetVolumeInfo", SenseData);
    frame.Info(2, "cpIPaddress=[%s] OptionFlag=0x%02x", zrkipframe::Shown(ip), OptionFlag);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);

    // Every output is written on success, so none may be missing; this is
    // settled before the array is asked anything.
    if (BoxID == nullptr || Olu == nullptr || Extent_high == nullptr || Extent_low == nullptr ||
        Size_high == nullptr || Size_low == nullptr || VolInfo == nullptr) {
        ZRKerrno = 13;
        return frame.Finish(-1);
    }

    const Selection selection = Select(OptionFlag);
    if (IPComInfoCheckSet(ip, user, OptionFlag, kVolumeInfoMask, selection.refresh) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    if (ExtentCnt != 0) {
        ZRKerrno = 3;
        return frame.Finish(-1);
    }

    if ((selection.info & kInfoBoxId) != 0) IPCtrlCommonData(IP_COMMON_BOXID_GET, BoxID);
    VOL_INFO area;
    IPGetVolumeInfo(ip, user, selection.info, &area);
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
    ZRKC_Com_OutputTrace(1, 1, "INFO", kName, nullptr, 0, "START");
    std::memset(caTrcData, 0, sizeof caTrcData);
    std::snprintf(caTrcData, sizeof caTrcData, "cpIPaddress=[%s] ", zrkipframe::Shown(ip));
    ZRKC_Com_OutputTrace(3, 1, "INFO", kName, nullptr, 0, caTrcData);

    CliModelInfo model;
    std::memset(&model, 0, sizeof model);
    int ret = 0;
    if (area == nullptr) {
        ZRKerrno = 13;
        ret = -1;
    } else if (ShowModelInfo(ip, user, &model, 1) != 0) {
        ret = -1;
    } else {
        std::memcpy(area, &model, sizeof model);
    }
    std::memset(caTrcData, 0, sizeof caTrcData);
    std::snprintf(caTrcData, sizeof caTrcData, "END(ret=%d, ZRKerrno=%d)", ret, ZRKerrno);
    ZRKC_Com_OutputTrace(1, 1, ret == 0 ? "INFO" : "ERR", kName, nullptr, 0, caTrcData);
    return ret;
}

extern "C" int ZRKIPGetDeviceInfo(const char *ip, const char *user, int InfoType,
                                  unsigned char *DeviceInfo, unsigned char *SenseData) {
    zrkipframe::CallFrame frame(kDeviceInfoId, "ZRKIPGetDeviceInfo", SenseData);
    frame.Info(2, "cpIPaddress=[%s] InfoType=0x%02x", zrkipframe::Shown(ip),
               static_cast<unsigned>(InfoType));
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (DeviceInfo == nullptr || InfoType != 0) {
        ZRKerrno = 13;
        return frame.Finish(-1);
    }
    if (IPGetModelInfo(ip, user, DeviceInfo) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    frame.Dump(2, DeviceInfo, static_cast<int>(sizeof(CliModelInfo)));
    return frame.Finish(0);
}
