// The status of an array's logical units over the LAN: one volume's status
// record, the records of a range of volumes, and the copy protection of one
// volume.
//
// A record is packed from the volume's row of "show volumes", for a snap
// data volume its row of "show snap-data-volume", and for a failover volume
// its failover group. The list asks each of the three questions at most once
// per call, whatever the width of the range, and searches the answers in
// memory.
#include "ipolustatus.h"

#include "ipaction.h"
#include "ipframe.h"
#include "ipsession.h"
#include "ipshow_failover.h"
#include "ipshow_volumes.h"
#include "platform.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

using namespace zrkip;

namespace {

constexpr int kGetId = 1016;
constexpr int kSetId = 1021;
constexpr int kListId = 1022;

constexpr uint32_t kOluLimit = 0x10000;
constexpr uint8_t kNoTfoGroup = 255;        // CliVolume.ucTfoGroupNo of a volume in no group
constexpr uint8_t kUnlistedTypes[] = {8, 12};  // volume types the list leaves out
// Room for the snap data volume rows: every volume number of an array.
constexpr size_t kSdvRows = 65535;

// Byte offsets of the record.
constexpr size_t kAtOlu = 0;
constexpr size_t kAtTfoGroup = 3;
constexpr size_t kAtFlag = 4;
constexpr size_t kAtSizes = 8;  // six 64-bit values

constexpr unsigned char kProtectionOn = 0x01;  // ucpStatusInfo[0]: the one bit it may carry

void PutBe32(uint32_t value, unsigned char *out) { ShiftAnytoB(&value, 4, 4, out); }
void PutBe64(uint32_t high, uint32_t low, unsigned char *out) {
    PutBe32(high, out);
    PutBe32(low, out + 4);
}

// The array offers transparent failover groups (bit 0x20 of bytes 6, 22, 30).
bool FailoverOffered(const CopyFunctions &functions) {
    return functions.Has(ZRK_SUPPORT_KZP_CLUSTER, ZRK_SUPPORT_CLUSTER) ||
           functions.Has(ZRK_SUPPORT_VZ_CLUSTER, ZRK_SUPPORT_CLUSTER) ||
           functions.Has(ZRK_SUPPORT_RVZ_EXTRA, ZRK_SUPPORT_CLUSTER);
}

// The array lets the copy protection of a volume be set (bit 0x20 of bytes
// 4, 20, 28).
bool ProtectionOffered(const CopyFunctions &functions) {
    return functions.Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_OLU_STATUS) ||
           functions.Has(ZRK_SUPPORT_VZ_KINDS, ZRK_SUPPORT_OLU_STATUS) ||
           functions.Has(ZRK_SUPPORT_RVZ_KINDS, ZRK_SUPPORT_OLU_STATUS);
}

bool Listed(const CliVolume &row) {
    for (uint8_t type : kUnlistedTypes) {
        if (row.ucVolumeType == type) return false;
    }
    return true;
}

bool ReportedAsFailover(const CliVolume &row, bool failoverOffered) {
    return failoverOffered && row.ucTfoGroupNo != kNoTfoGroup;
}

// The row of volume olu: ZRK_ERR_OLU when the array has none, ZRK_ERR_REPLY
// when it lists more than one or a row of another number.
int OneVolume(const char *name, const char *ip, const char *user, uint32_t olu,
              CliVolume *row) {
    int count = 0;
    CliVolume *raw = nullptr;
    const int rc =
        ShowVolumes(ip, user, 0, static_cast<int>(olu), IP_VOLUMES_ONE, &count, &raw);
    const Freed<CliVolume> rows(raw);
    if (rc != 0) return -1;
    if (count <= 0 || !rows) return FailWith(ZRK_ERR_OLU);
    if (count != 1) {
        TraceText(2, "ERR", name, " uiVolCnt is not 1 ");
        return FailWith(ZRK_ERR_REPLY);
    }
    if (rows.get()[0].uiVolumeNo != olu) {
        TraceText(2, "ERR", name, " uiVolumeNo=0x%02x is not the volume asked ",
                  rows.get()[0].uiVolumeNo);
        return FailWith(ZRK_ERR_REPLY);
    }
    *row = rows.get()[0];
    return 0;
}

// A zeroed area for the snap data volume rows.
std::unique_ptr<CliSnapDataVolume[]> SdvArea() {
    return std::unique_ptr<CliSnapDataVolume[]>(new (std::nothrow) CliSnapDataVolume[kSdvRows]());
}

// The failover groups one call has read ("show tfo-groups"), freed on
// every way out.
struct TfoGroupCache {
    CliTfoGroups *pGroups = nullptr;
    TfoGroupCache() = default;
    TfoGroupCache(const TfoGroupCache &) = delete;
    TfoGroupCache &operator=(const TfoGroupCache &) = delete;
    ~TfoGroupCache() { std::free(pGroups); }
};

// The facts of failover group `group`. A single volume asks for its group
// alone (bOne) and takes the first row; a list asks once for all groups and
// searches them, so the whole range costs at most one group query.
int FailoverGroup(const char *name, const char *ip, const char *user, uint8_t group, bool bOne,
                  TfoGroupCache &cache, TfoGroupFacts *facts) {
    if (cache.pGroups == nullptr) {
        const unsigned char number = group;
        if (ShowTfoGroups(ip, user, 0, bOne ? &number : nullptr, bOne ? IP_TFO_GROUP_ONE : 0,
                          &cache.pGroups) != 0) {
            return -1;
        }
    }
    const CliTfoGroups &groups = *cache.pGroups;
    if (groups.uiTfoGroupCount == 0) {
        TraceText(2, "ERR", name, " uiTfoGroupCount is 0 ");
        return FailWith(ZRK_ERR_REPLY);
    }
    for (uint32_t i = 0; i < groups.uiTfoGroupCount; ++i) {
        const CliTfoGroup &row = groups.taTfoGroup[i];
        if (!bOne && row.uiTfoGroupNo != group) continue;
        facts->bSecondary = row.ucTfoRole == 2;
        facts->bStandby = row.ucTfoActive == 0;
        return 0;
    }
    TraceText(2, "ERR", name, " uiTfoGroupCount is 0 ");
    return FailWith(ZRK_ERR_REPLY);
}

}  // namespace

// ---- the record -------------------------------------------------------------------------

void zrkip::PackOluStatus(const CliVolume &volume, const CliSnapDataVolume *sdv,
                          const TfoGroupFacts *tfo, unsigned char *out) {
    std::memset(out, 0, ZRK_OLU_STATUS_LEN);
    ShiftAnytoB(&volume.uiVolumeNo, 4, 2, out + kAtOlu);
    uint32_t flag = 0;
    if (volume.ucColumn8 == 1) flag |= IP_OLU_PROTECTED;
    unsigned char *sizes = out + kAtSizes;
    if (volume.ucVolumeType == IP_VOLUME_TYPE_SDV && sdv != nullptr) {
        flag |= IP_OLU_SDV;
        if (sdv->SdvStatus == IP_SDV_INITIALIZING) flag |= IP_OLU_INITIALIZING;
        PutBe64(sdv->LogicalSize_high, sdv->LogicalSize_low, sizes);
        PutBe64(sdv->PhysicalSize_high, sdv->PhysicalSize_low, sizes + 8);
        PutBe64(sdv->SdvUsedHost_high, sdv->SdvUsedHost_low, sizes + 16);
        PutBe64(sdv->SdvUsedCopy_high, sdv->SdvUsedCopy_low, sizes + 24);
        PutBe64(sdv->SdpUsedHost_high, sdv->SdpUsedHost_low, sizes + 32);
        PutBe64(sdv->SdpUsedCopy_high, sdv->SdpUsedCopy_low, sizes + 40);
    } else {
        PutBe64(volume.uiCapacity_high, volume.uiCapacity_low, sizes);
        PutBe64(volume.uiCapacity_high, volume.uiCapacity_low, sizes + 8);
    }
    if ((volume.ucColumn16 & 0x40) != 0) flag |= IP_OLU_COLUMN16;
    if (tfo != nullptr) {
        out[kAtTfoGroup] = volume.ucTfoGroupNo;
        flag |= IP_OLU_TFO;
        if (tfo->bSecondary) flag |= IP_OLU_TFO_SECONDARY;
        if (tfo->bStandby) flag |= IP_OLU_TFO_STANDBY;
    }
    PutBe32(flag, out + kAtFlag);
}

// ---- the internal functions ---------------------------------------------------------------

extern "C" int IPGetOLUStatus(const char *ip, const char *user, uint32_t Olu,
                              unsigned char *OluStatus) {
    static const char kName[] = "IPGetOLUStatus";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] Olu=0x%02x", Shown(ip), Olu);
    if (OluStatus == nullptr) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));

    const CopyFunctions functions;
    CliVolume row;
    if (OneVolume(kName, ip, user, Olu, &row) != 0) return TraceEnd(1, kName, -1);

    std::unique_ptr<CliSnapDataVolume[]> sdvRows;
    const CliSnapDataVolume *sdv = nullptr;
    if (row.ucVolumeType == IP_VOLUME_TYPE_SDV) {
        sdvRows = SdvArea();
        if (!sdvRows) return TraceEnd(1, kName, FailWith(ZRK_ERR_NO_MEMORY));
        int count = 0;
        if (ShowSnapDataVolume(ip, user, static_cast<int>(Olu), IP_VOLUMES_ONE, &count,
                               sdvRows.get(), kSdvRows) != 0) {
            return TraceEnd(1, kName, -1);
        }
        if (count != 1) {
            TraceText(2, "ERR", kName, " uiVolCnt_snap is not 1 ");
            return TraceEnd(1, kName, FailWith(ZRK_ERR_REPLY));
        }
        if (sdvRows[0].VolNo != Olu) {
            TraceText(2, "ERR", kName, " VolNo=0x%02x is not the volume asked ", sdvRows[0].VolNo);
            return TraceEnd(1, kName, FailWith(ZRK_ERR_REPLY));
        }
        sdv = &sdvRows[0];
    }

    TfoGroupFacts facts{};
    const TfoGroupFacts *tfo = nullptr;
    if (ReportedAsFailover(row, FailoverOffered(functions))) {
        TfoGroupCache cache;
        if (FailoverGroup(kName, ip, user, row.ucTfoGroupNo, true, cache, &facts) != 0) {
            return TraceEnd(1, kName, -1);
        }
        tfo = &facts;
    }

    unsigned char record[ZRK_OLU_STATUS_LEN];
    PackOluStatus(row, sdv, tfo, record);
    std::memcpy(OluStatus, record, sizeof record);
    TraceData(3, kName, record, static_cast<int>(sizeof record));
    return TraceEnd(1, kName, 0);
}

extern "C" int IPGetOLUStatusList(const char *ip, const char *user, uint32_t StartOlu,
                                  uint32_t EndOlu, unsigned char *OluStatusList) {
    static const char kName[] = "IPGetOLUStatusList";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] StartOlu=0x%02x EndOlu=0x%02x", Shown(ip),
              StartOlu, EndOlu);
    if (OluStatusList == nullptr || StartOlu > EndOlu || EndOlu >= kOluLimit) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    }

    const CopyFunctions functions;
    const bool failover = FailoverOffered(functions);
    std::memset(OluStatusList, 0, ZRK_OLU_STATUS_LIST_HEAD);

    int volumeCount = 0;
    CliVolume *raw = nullptr;
    const int rc = ShowVolumes(ip, user, 0, 0, IP_VOLUMES_ALL, &volumeCount, &raw);
    const Freed<CliVolume> volumes(raw);
    if (rc != 0) return TraceEnd(1, kName, -1);
    if (volumeCount <= 0 || !volumes) return TraceEnd(1, kName, 0);

    const size_t room = size_t{EndOlu} - StartOlu + 1;
    std::unique_ptr<unsigned char[]> entries(new (std::nothrow)
                                                 unsigned char[room * ZRK_OLU_STATUS_LEN]());
    if (!entries) return TraceEnd(1, kName, FailWith(ZRK_ERR_NO_MEMORY));

    // The snap data volumes, asked at the first snap data volume of the range.
    std::unique_ptr<CliSnapDataVolume[]> sdvRows;
    int sdvCount = 0;
    auto snapRow = [&](uint32_t olu, const CliSnapDataVolume **found) -> int {
        if (!sdvRows) {
            sdvRows = SdvArea();
            if (!sdvRows) return FailWith(ZRK_ERR_NO_MEMORY);
            if (ShowSnapDataVolume(ip, user, 0, IP_VOLUMES_ALL, &sdvCount, sdvRows.get(),
                                   kSdvRows) != 0) {
                return -1;
            }
            if (sdvCount <= 0) {
                TraceText(2, "ERR", kName, " uiVolCnt_snap is 0 ");
                return FailWith(ZRK_ERR_REPLY);
            }
        }
        for (int i = 0; i < sdvCount; ++i) {
            if (sdvRows[static_cast<size_t>(i)].VolNo == olu) {
                *found = &sdvRows[static_cast<size_t>(i)];
                return 0;
            }
        }
        TraceText(2, "ERR", kName, " tpSdvList_one is NULL ");
        return FailWith(ZRK_ERR_REPLY);
    };

    TfoGroupCache groups;
    size_t filled = 0;
    for (int i = 0; i < volumeCount && filled < room; ++i) {
        const CliVolume &row = volumes.get()[i];
        if (row.uiVolumeNo < StartOlu || row.uiVolumeNo > EndOlu || !Listed(row)) continue;
        const CliSnapDataVolume *sdv = nullptr;
        if (row.ucVolumeType == IP_VOLUME_TYPE_SDV && snapRow(row.uiVolumeNo, &sdv) != 0) {
            return TraceEnd(1, kName, -1);
        }
        TfoGroupFacts facts{};
        const TfoGroupFacts *tfo = nullptr;
        if (ReportedAsFailover(row, failover)) {
            if (FailoverGroup(kName, ip, user, row.ucTfoGroupNo, false, groups, &facts) != 0) {
                return TraceEnd(1, kName, -1);
            }
            tfo = &facts;
        }
        PackOluStatus(row, sdv, tfo, entries.get() + filled * ZRK_OLU_STATUS_LEN);
        ++filled;
    }

    PutBe32(static_cast<uint32_t>(filled), OluStatusList);
    if (filled != 0) {
        std::memcpy(OluStatusList + ZRK_OLU_STATUS_LIST_HEAD, entries.get(),
                    filled * ZRK_OLU_STATUS_LEN);
    }
    TraceData(3, kName, entries.get(), static_cast<int>(filled * ZRK_OLU_STATUS_LEN));
    return TraceEnd(1, kName, 0);
}

extern "C" int IPSetOLUStatus(const char *ip, const char *user, uint32_t Olu,
                              const unsigned char *ucpStatusInfo) {
    static const char kName[] = "IPSetOLUStatus";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] Olu=0x%02x", Shown(ip), Olu);
    if (ucpStatusInfo == nullptr) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));

    const CopyFunctions functions;
    if (!ProtectionOffered(functions)) return TraceEnd(1, kName, FailWith(ZRK_ERR_NOT_SUPPORT));

    const int volume = static_cast<int>(Olu);
    if (SetVolume(ip, user, volume, ucpStatusInfo) == 0) return TraceEnd(1, kName, 0);
    int kept = ZRKerrno;
    if (LinkFailure(kept)) return TraceEnd(1, kName, -1);
    if (kept == ZRK_ERR_ARRAY_PROTECT) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_PROTECT_REPORTED));
    }
    if (kept == ZRK_ERR_ARRAY_TIER) {
        // A tier volume takes its protection through the tier-volume command.
        if (SetMorvicTierVolume(ip, user, volume, ucpStatusInfo) == 0) {
            return TraceEnd(1, kName, 0);
        }
        kept = ZRKerrno;
        if (LinkFailure(kept)) return TraceEnd(1, kName, -1);
    }

    // Refused: a snap data volume carries no protection, so asking to have
    // none is fulfilled; anything else keeps the array's reason.
    CliVolume row;
    if (OneVolume(kName, ip, user, Olu, &row) != 0) return TraceEnd(1, kName, -1);
    if (row.ucVolumeType == IP_VOLUME_TYPE_SDV) {
        if ((ucpStatusInfo[0] & kProtectionOn) != 0) {
            return TraceEnd(1, kName, FailWith(ZRK_ERR_SDV_PROTECT));
        }
        return TraceEnd(1, kName, 0);
    }
    return TraceEnd(1, kName, FailWith(kept));
}

// ---- the public functions ------------------------------------------------------------------

extern "C" int ZRKIPGetOLUStatus(const char *ip, const char *user, uint32_t Olu,
                                 unsigned char *OluStatus, unsigned char *SenseData) {
    CallFrame frame(kGetId, "ZRKIPGetOLUStatus", SenseData);
    frame.Info(2, "cpIPaddress=[%s] Olu=0x%02x", Shown(ip), Olu);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (Olu >= kOluLimit) return frame.Finish(FailWith(ZRK_ERR_OLU));
    if (OluStatus == nullptr) return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    if (IPGetOLUStatus(ip, user, Olu, OluStatus) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    frame.Dump(2, OluStatus, ZRK_OLU_STATUS_LEN);
    return frame.Finish(0);
}

extern "C" int ZRKIPGetOLUStatusList(const char *ip, const char *user, uint32_t StartOlu,
                                     uint32_t EndOlu, unsigned char *OluStatusList,
                                     unsigned char *SenseData) {
    CallFrame frame(kListId, "ZRKIPGetOLUStatusList", SenseData);
    frame.Info(2, "cpIPaddress=[%s] StartOlu=0x%02x EndOlu=0x%02x", Shown(ip), StartOlu,
               EndOlu);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (StartOlu >= kOluLimit || EndOlu >= kOluLimit) return frame.Finish(FailWith(ZRK_ERR_OLU));
    if (StartOlu > EndOlu || OluStatusList == nullptr) {
        return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    }
    if (IPGetOLUStatusList(ip, user, StartOlu, EndOlu, OluStatusList) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    const uint32_t count = ShiftBtoI(OluStatusList, 4);
    frame.Dump(3, OluStatusList,
               static_cast<int>(ZRK_OLU_STATUS_LIST_HEAD + size_t{count} * ZRK_OLU_STATUS_LEN));
    return frame.Finish(0);
}

extern "C" int ZRKIPSetOLUStatus(const char *ip, const char *user, uint32_t Olu,
                                 const unsigned char *ucpStatusInfo, unsigned char *SenseData) {
    CallFrame frame(kSetId, "ZRKIPSetOLUStatus", SenseData);
    frame.Info(2, "cpIPaddress=[%s] Olu=0x%02x", Shown(ip), Olu);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (Olu >= kOluLimit) return frame.Finish(FailWith(ZRK_ERR_OLU));
    if (ucpStatusInfo == nullptr || (ucpStatusInfo[0] & ~kProtectionOn) != 0 ||
        ucpStatusInfo[1] != 0) {
        return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    }
    if (IPSetOLUStatus(ip, user, Olu, ucpStatusInfo) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    return frame.Finish(0);
}
