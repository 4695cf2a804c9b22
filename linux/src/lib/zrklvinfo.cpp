// The large-volume volume information (ZRKLVGetVolumeInfo, ZRKLVGetVolumeInfoEx),
// the detail of the session of a pair (ZRKLVQueryDetail), a volume's block size
// (ZRKLVGetBlockSize) and the pick of one session out of a detail list that the
// caller holds (ZRKLVQueryDetailfromList).
//
// Output pointers are looked at before any command: a null one is refused
// with 13, so no call fails half-way after it has reached the array.
#include "zrkclassic.h"
#include "zrkcmulti.h"
#include "zrkframe.h"
#include "zrktvc.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

using zrk::kDetailAreaLen;
using zrkplatform::FailWith;

constexpr uint32_t kQueryDetailMask = ZRK_OPT_SESSION_ID | ZRK_OPT_LIST_SEL_01;
constexpr uint32_t kMaxCopyKind = ZRK_ENGINE_VZ; // 0 any, 1 KZP family, 2 VZ family

// A detail record followed by the zeros that fill the caller's 256-byte area.
struct DetailArea {
    TVC_DETAIL_INFO tDetail;                                        /* the session */
    unsigned char ucaZero[kDetailAreaLen - sizeof(TVC_DETAIL_INFO)]; /* 0 */
};
static_assert(sizeof(DetailArea) == kDetailAreaLen, "detail area layout");

// The outputs of the volume-information functions; pVolInfoEx null for the
// plain form.
struct VolumeOutputs {
    char *pBoxID;            /* 40 bytes */
    uint32_t *puiOlu;        /* OLU */
    uint32_t *puiExtentHigh; /* start block, high half */
    uint32_t *puiExtentLow;  /* start block, low half */
    uint32_t *puiSizeHigh;   /* size in blocks, high half */
    uint32_t *puiSizeLow;    /* size in blocks, low half */
    VOL_INFO *pVolInfo;      /* volume information */
    VOL_INFO_EX *pVolInfoEx; /* extended volume information, or null */
};

// The body of both volume-information functions; ex for the extended form.
int VolumeInfo(const char *name, const char *volume, uint32_t extentCnt, uint32_t optionFlag,
               const VolumeOutputs &out, bool ex, unsigned char *senseData) {
    zrk::ApiCall call(name, volume, senseData, __LINE__);
    zrk::LogExtentCntLine(name, volume, extentCnt, optionFlag);
    VOLUME_INFO_RECORD_LV record{};

    if (zrk::RootCheck() != 0 || zrk::OptionCheck(optionFlag, ZRK_OPT_NO_SWAP) != 0) {
        return call.RejectAt(__LINE__);
    }
    if (out.pBoxID == nullptr || out.puiOlu == nullptr || out.puiExtentHigh == nullptr ||
        out.puiExtentLow == nullptr || out.puiSizeHigh == nullptr || out.puiSizeLow == nullptr ||
        out.pVolInfo == nullptr || (ex && out.pVolInfoEx == nullptr)) {
        FailWith(ZRK_ERR_PARAMETER);
        return call.RejectAt(__LINE__);
    }
    int useTvc = 0; // both engines read the volume information alike
    if (zrkGetVol_main(volume, extentCnt, optionFlag, &record, nullptr, &useTvc) != 0) {
        return call.FailAt(__LINE__);
    }
    *out.puiOlu = record.uiOlu;
    *out.puiExtentHigh = record.uiExtent_high;
    *out.puiExtentLow = record.uiExtent_low;
    *out.puiSizeHigh = record.uiSize_high;
    *out.puiSizeLow = record.uiSize_low;
    std::memcpy(out.pBoxID, record.BoxID, ZRK_BOXID_LEN);
    *out.pVolInfo = record.VolInfo;
    if (ex) *out.pVolInfoEx = record.VolInfoEx;
    return call.Done(__LINE__, 1);
}

} // namespace

extern "C" int ZRKLVGetVolumeInfo(const char *LogicalVol, uint32_t ExtentCnt, uint32_t OptionFlag,
                                  char *BoxID, uint32_t *Olu, uint32_t *Extent_high,
                                  uint32_t *Extent_low, uint32_t *Size_high, uint32_t *Size_low,
                                  VOL_INFO *VolInfo, unsigned char *SenseData) {
    return VolumeInfo("ZRKLVGetVolumeInfo", LogicalVol, ExtentCnt, OptionFlag,
                      {BoxID, Olu, Extent_high, Extent_low, Size_high, Size_low, VolInfo, nullptr},
                      false, SenseData);
}

extern "C" int ZRKLVGetVolumeInfoEx(const char *LogicalVol, uint32_t ExtentCnt,
                                    uint32_t OptionFlag, char *BoxID, uint32_t *Olu,
                                    uint32_t *Extent_high, uint32_t *Extent_low,
                                    uint32_t *Size_high, uint32_t *Size_low, VOL_INFO *VolInfo,
                                    VOL_INFO_EX *VolInfoEx, unsigned char *SenseData) {
    return VolumeInfo("ZRKLVGetVolumeInfoEx", LogicalVol, ExtentCnt, OptionFlag,
                      {BoxID, Olu, Extent_high, Extent_low, Size_high, Size_low, VolInfo,
                       VolInfoEx},
                      true, SenseData);
}

extern "C" int ZRKLVQueryDetail(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                                uint32_t Length, unsigned char *Detail,
                                unsigned char *SenseData) {
    static constexpr const char kName[] = "ZRKLVQueryDetail";
    zrk::ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    const zrk::LvPair pair = ZRK_LV_PAIR;
    zrk::LogLvPair(kName, LogicalVol, OptionFlag, pair);
    COPY_REQ_LV request{};
    DetailArea staging{};
    const bool bySession = (OptionFlag & ZRK_OPT_SESSION_ID) != 0;

    // Only pairs whose extents fit in 32 bits, whichever engine serves them.
    if (!bySession) {
        const int rc = DstOlu == ZRK_NO_DEST
                           ? checkHighPart_estimate(SrcExtent_high, SrcExtent_low, SrcSize_high,
                                                    SrcSize_low, DstExtent_high, DstExtent_low)
                           : checkHighPart(SrcExtent_high, SrcExtent_low, SrcSize_high,
                                           SrcSize_low, DstExtent_high, DstExtent_low);
        if (rc != 0) return call.RejectAt(__LINE__);
    }
    int useTvc = 0;
    if (zrk::CheckLvPair(LogicalVol, pair, OptionFlag, kQueryDetailMask, &useTvc) != 0) {
        return call.FailAt(__LINE__);
    }
    if (Length == 0 || Detail == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return call.FailAt(__LINE__);
    }
    if (useTvc == 0) {
        // The classic detail query answers in the page-based shape.
        COPY_REQ classic{};
        if (bySession) {
            zrk::MakeClassicSessionRequest(SrcOlu, false, 0, &classic);
        } else {
            zrk::MakeClassicRequest(pair, &classic);
        }
        if (QueryDetail(LogicalVol, OptionFlag, &classic, &staging.tDetail) != 0) {
            return call.FailAt(__LINE__);
        }
    } else {
        if (bySession) {
            zrk::MakeLvSessionRequest(SrcOlu, false, 0, &request);
        } else {
            zrk::MakeLvRequest(pair, &request);
        }
        ConvertCheckflg = ZRK_CONVERT_MATCHING;
        if (QueryTvc(LogicalVol, ZRK_ENGINE_ANY, OptionFlag, &request, &staging.tDetail) != 0) {
            return call.FailAt(__LINE__);
        }
    }
    const size_t count = std::min<size_t>(Length, kDetailAreaLen);
    std::memset(Detail, 0, count);
    std::memcpy(Detail, &staging, count);
    return call.Done(__LINE__, 0, Detail, static_cast<int>(count));
}

extern "C" int ZRKLVGetBlockSize(const char *LogicalVol, uint32_t *Capacity_high,
                                 uint32_t *Capacity_low, uint32_t *BlockLength,
                                 unsigned char *SenseData) {
    zrk::ApiCall call("ZRKLVGetBlockSize", LogicalVol, SenseData, __LINE__);
    WriteLog(8, nullptr, 0, "ZRKLVGetBlockSize()  LogicalVol=[%s]", zrk::LogText(LogicalVol));
    if (zrk::RootCheck() != 0) return call.RejectAt(__LINE__);
    if (Capacity_high == nullptr || Capacity_low == nullptr || BlockLength == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return call.RejectAt(__LINE__);
    }
    if (CheckLogicalVol(LogicalVol) != 0) return call.FailAt(__LINE__);
    uint32_t high = 0;
    uint32_t low = 0;
    uint32_t length = 0;
    if (GetBlockSize(LogicalVol, &high, &low, &length) != 0) return call.FailAt(__LINE__);
    *Capacity_high = high;
    *Capacity_low = low;
    *BlockLength = length;
    return call.Done(__LINE__);
}

extern "C" int ZRKLVQueryDetailfromList(uint32_t CopyKind, uint32_t ListCnt,
                                        const DETAIL_LIST_INFO *List, ZRK_LV_PAIR_PARAMS,
                                        TVC_DETAIL_INFO *Detail, uint32_t *KindOut) {
    // No volume, no sense buffer, no command: neither the sense store nor a
    // device is touched.
    static constexpr const char kName[] = "ZRKLVQueryDetailfromList";
    zrk::LogIn(2, kName, __LINE__);
    WriteLog(8, nullptr, 0, "CopyKind=<0x%x> : ListCnt=<0x%x>", CopyKind, ListCnt);
    const zrk::LvPair pair = ZRK_LV_PAIR;
    zrk::LogLvPairLines(pair);

    auto refuse = [](int code, int level, int line) {
        FailWith(code);
        return zrk::LogErr(level, kName, line);
    };
    if (zrk::RootCheck() != 0) return refuse(ZRK_ERR_PERMISSION, 2, __LINE__);
    if (CopyKind > kMaxCopyKind) return refuse(ZRK_ERR_PARAMETER, 1, __LINE__);
    if (ListCnt == 0) return refuse(ZRK_ERR_NO_SESSION, 1, __LINE__);
    if (SrcOlu >= zrk::kOluLimit) return refuse(ZRK_ERR_SRC_OLU, 1, __LINE__);
    if (Detail == nullptr || KindOut == nullptr) return refuse(ZRK_ERR_PARAMETER, 2, __LINE__);
    // A list, and a count that the engine can walk.
    if (List == nullptr || ListCnt > INT_MAX) return refuse(ZRK_ERR_PARAMETER, 2, __LINE__);
    if (SrcBoxID == nullptr) return refuse(ZRK_ERR_SRC_BOXID, 2, __LINE__);
    if (DstBoxID == nullptr) return refuse(ZRK_ERR_DST_BOXID, 2, __LINE__);

    COPY_REQ_LV request{};
    zrk::MakeLvRequest(pair, &request);
    TVC_DETAIL_INFO found{};
    if (QueryDetailfromListForLV(static_cast<int>(ListCnt), List,
                                 static_cast<unsigned char>(CopyKind), &request, &found) != 0) {
        return zrk::LogErr(2, kName, __LINE__);
    }
    *Detail = found;
    *KindOut = found.ucCopyKind;
    return zrk::LogOk(2, kName, __LINE__);
}
