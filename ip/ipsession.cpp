// Finding the array's session that a copy request describes: by volume or
// by identifier, among the ordinary copy sessions or those of virtual
// volumes, and among rows that the caller already holds.
#include "ipsession.h"

#include "ipframe.h"
#include "ipshow_array.h"
#include "platform.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

using namespace zrkip;

namespace {

constexpr char kQueryName[] = "IPQueryTvc";
constexpr char kSearchName[] = "IPSearchSession";

constexpr uint8_t kModelListModeBit = 0x04;  // byte 9 of the model record
constexpr size_t kModelListModeByte = 9;

// The capability of the array for the kind of session the request names:
// the KZP, VZ and RVZ groups set up.
bool Capable(const IPCopyReq &req, bool byId) {
    const zrkip::CopyFunctions functions;
    const bool kzp = functions.Has(ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_KIND);
    const bool vz = functions.Has(ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND);
    const bool rvz = functions.Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND);
    const bool remote = zrkip::Remote(req);
    switch (req.CopyType) {
    case IP_COPY_ANY:
        if (byId) return true;
        return remote ? rvz : (kzp || vz);
    case IP_COPY_KZP:
        if (byId) return kzp;
        return !remote && kzp;
    case IP_COPY_MONITOR:
        // A copy monitor belongs to the KZP family: an array with point-in-time
        // copies and no mirror still holds monitors that must be found. The
        // mirror bits keep admitting what they always admitted.
        if (kzp && (byId || !remote)) return true;
        if (byId) return vz || rvz;
        return remote ? rvz : vz;
    default:
        if (byId) return vz || rvz;
        return remote ? rvz : vz;
    }
}

// The request's kind admits a row of this type.
bool TypeFits(const IPCopyReq &req, const CliCopySession &s) {
    if (req.CopyType == IP_COPY_KZP) return s.ucSessionType != IP_SESSION_TYPE_VZ;
    if (req.CopyType == IP_COPY_VZ) return s.ucSessionType == IP_SESSION_TYPE_VZ;
    return true;
}

// Volumes, start blocks and size; for a remote request the two BoxIDs too.
bool SameCopy(const IPCopyReq &req, const CliCopySession &s) {
    if (s.uiSrcOLU != req.SrcOLU || s.uiDstOLU != req.DstOLU ||
        s.uiSrcExtAddr_high != req.SrcExtAddr_high || s.uiSrcExtAddr_low != req.SrcExtAddr_low ||
        s.uiDstExtAddr_high != req.DstExtAddr_high || s.uiDstExtAddr_low != req.DstExtAddr_low ||
        s.uiSize_high != req.SrcSize_high || s.uiSize_low != req.SrcSize_low) {
        return false;
    }
    if (zrkip::Remote(req)) {
        return std::memcmp(s.ucaSrcBoxID, req.SrcBoxID, ZRK_BOXID_LEN) == 0 &&
               std::memcmp(s.ucaDstBoxID, req.DstBoxID, ZRK_BOXID_LEN) == 0;
    }
    return true;
}

void DumpRequest(const char *name, const IPCopyReq *req) {
    TraceData(3, name, req, static_cast<int>(sizeof *req));
}

void DumpRow(const char *name, const CliCopySession *row) {
    TraceData(3, name, row, static_cast<int>(sizeof *row));
}

// What the scan found: a row, or a session identifier not in use.
enum class Pick { None, Found, Unused };

Pick Scan(const IPCopyReq &req, bool byId, const CliCopySession *rows, size_t count,
          size_t *index) {
    for (size_t i = 0; i < count; ++i) {
        const CliCopySession &s = rows[i];
        if (!TypeFits(req, s)) continue;
        if (byId) {
            if (s.ucSessionStatus == 0) return Pick::Unused;
            if (zrkip::RemoteRow(s)) {
                const uint32_t id =
                    (s.ucAttr2 & IP_SESSION_ATTR2_SECOND_ID) != 0 ? s.uiSessionID2 : s.uiSessionID;
                if (id != req.SrcOLU) continue;
            }
        } else if (!SameCopy(req, s)) {
            continue;
        }
        if (s.ucUsable != 1) continue;
        *index = i;
        return Pick::Found;
    }
    return Pick::None;
}

}  // namespace

extern "C" int IPConvVVolSes2CopySes(const CliVvolCopySession *in, int count,
                                     CliCopySession *out) {
    if (in == nullptr || out == nullptr || count <= 0) return 0;
    for (int i = 0; i < count; ++i) {
        const CliVvolCopySession &v = in[i];
        CliCopySession s;
        std::memset(&s, 0, sizeof s);
        s.uiSessionID = v.uiSessionID;
        s.ucSessionType = v.ucSessionType;
        s.ucPhase = v.ucPhase;
        s.ucSessionStatus = v.ucSessionStatus;
        s.uiLapseTime = v.uiLapseTime;
        s.uiSrcOLU = v.uiSrcOLU;
        s.uiDstOLU = v.uiDstOLU;
        s.ucErrorCode = v.ucErrorCode;
        s.uiCopiedBlock_high = v.uiCopiedBlock_high;
        s.uiCopiedBlock_low = v.uiCopiedBlock_low;
        s.uiSize_high = v.uiSize_high;
        s.uiSize_low = v.uiSize_low;
        std::memcpy(s.ucaStartTime, v.ucaStartTime, sizeof s.ucaStartTime);
        s.uiColumn28 = v.uiColumn21;
        s.uiColumn29 = v.uiColumn22;
        s.uiCopyProgress = v.uiCopyProgress;
        s.ucColumn36 = v.ucColumn20;
        s.ucUsable = 1;
        out[i] = s;
    }
    return count;
}

extern "C" int IPQueryTvc(const char *ip, const char *user, uint32_t Option, int listFlags,
                          const IPCopyReq *req, CliCopySession *row) {
    TraceText(1, "INFO", kQueryName, "START");
    TraceText(3, "INFO", kQueryName, "OptionFlag=0x%02x", Option);
    if (req == nullptr || row == nullptr) {
        return TraceEnd(1, kQueryName, FailWith(ZRK_ERR_PARAMETER));
    }
    DumpRequest(kQueryName, req);
    auto failed = [](int code) { return TraceEnd(1, kQueryName, FailWith(code)); };

    const bool byId = (Option & ZRK_OPT_SESSION_ID) != 0;
    const bool vvol = (Option & ZRK_OPT_VVOL) != 0;
    const bool remote = zrkip::Remote(*req);

    if (!byId && IPCheckBoxID(req) != 0) return TraceEnd(1, kQueryName, -1);
    if (!Capable(*req, byId)) return failed(ZRK_ERR_NOT_SUPPORT);

    // Room for the array's whole session table; an array that reports no
    // maximum still gets one row, so its listing can be read.
    CliCopyFunctions functions;
    IPCtrlCommonData(IP_COMMON_FUNCS_GET, &functions);
    const size_t room = std::max<size_t>(functions.uiMaxSession, 1);
    zrkip::Freed<CliCopySession> rows;
    if (!vvol) {
        rows.reset(static_cast<CliCopySession *>(std::calloc(room, sizeof(CliCopySession))));
        if (!rows) return failed(ZRK_ERR_NO_MEMORY);
    }

    // The one number the listing names.
    int mode = IP_SESSIONS_VOLUMES;
    uint32_t number = req->SrcOLU;
    if (byId) {
        mode = IP_SESSIONS_IDS;
    } else if (remote) {
        char own[ZRK_BOXID_LEN];
        IPCtrlCommonData(IP_COMMON_BOXID_GET, own);
        if (std::memcmp(req->SrcBoxID, own, sizeof own) != 0) number = req->DstOLU;
    }
    const int list[1] = {static_cast<int>(number)};

    int flags = 0;
    if (zrkip::ListShowFlags(ip, user, listFlags, &flags) != 0) return TraceEnd(1, kQueryName, -1);

    int count = 0;
    if (vvol) {
        CliVvolCopySession *raw = nullptr;
        if (ShowVvolCopySession(ip, user, 1, list, byId ? 2 : 1, flags, &count, &raw) != 0) {
            std::free(raw);
            return TraceEnd(1, kQueryName, -1);
        }
        zrkip::Freed<CliVvolCopySession> vlist(raw);
        if (count > 0 && vlist) {
            rows.reset(static_cast<CliCopySession *>(
                std::calloc(static_cast<size_t>(count), sizeof(CliCopySession))));
            if (!rows) return failed(ZRK_ERR_NO_MEMORY);
            IPConvVVolSes2CopySes(vlist.get(), count, rows.get());
        } else {
            count = 0;
        }
    } else {
        if (ShowCopySessions(ip, user, 1, list, mode, flags, &count, rows.get(), room) != 0) {
            return TraceEnd(1, kQueryName, -1);
        }
        count = std::clamp(count, 0, static_cast<int>(std::min<size_t>(room, INT32_MAX)));
    }

    size_t index = 0;
    const Pick pick =
        count > 0 ? Scan(*req, byId, rows.get(), static_cast<size_t>(count), &index) : Pick::None;
    if (pick != Pick::Found) return failed(ZRK_ERR_NO_SESSION);
    *row = rows.get()[index];
    DumpRow(kQueryName, row);
    return TraceEnd(1, kQueryName, 0);
}

namespace zrkip {

int ListShowFlags(const char *ip, const char *user, int listFlags, int *flags) {
    *flags = listFlags;
    if ((ZRKOptionFlag & ZRK_OPT_LIST_SEL_01) == 0 && listFlags == 0) return 0;
    CliModelInfo model;
    std::memset(&model, 0, sizeof model);
    if (ShowModelInfo(ip, user, &model, 1) != 0) return -1;
    unsigned char bytes[sizeof model];
    std::memcpy(bytes, &model, sizeof bytes);
    if ((bytes[kModelListModeByte] & kModelListModeBit) == 0) {
        ZRKOptionFlag &= ~ZRK_OPT_LIST_SEL_01;
        *flags = 0;
    }
    return 0;
}

int ListAllSessions(const char *ip, const char *user, int listFlags, SessionTable *table) {
    CliCopyFunctions functions;
    IPCtrlCommonData(IP_COMMON_FUNCS_GET, &functions);
    table->uiRoom = std::max<size_t>(functions.uiMaxSession, 1);
    table->uiCount = 0;
    table->vRows.reset(
        static_cast<CliCopySession *>(std::calloc(table->uiRoom, sizeof(CliCopySession))));
    if (!table->vRows) return FailWith(ZRK_ERR_NO_MEMORY);
    // The whole table is read in the form the caller names, whatever the
    // array's model announces: no model question first.
    int count = 0;
    if (ShowCopySessions(ip, user, 0, nullptr, IP_SESSIONS_ALL, listFlags, &count, table->vRows.get(),
                         table->uiRoom) != 0) {
        return -1;
    }
    table->uiCount =
        static_cast<size_t>(std::clamp<int64_t>(count, 0, static_cast<int64_t>(table->uiRoom)));
    return 0;
}

}  // namespace zrkip

extern "C" int IPSearchSession(const IPCopyReq *req, const CliCopySession *rows, int count,
                               uint32_t option, CliCopySession *row) {
    TraceText(1, "INFO", kSearchName, "START");
    TraceText(3, "INFO", kSearchName, "SessionListCnt=0x%02x OptionFlag=0x%02x",
              static_cast<unsigned>(count), option);
    if (req == nullptr || row == nullptr || (rows == nullptr && count > 0)) {
        return TraceEnd(1, kSearchName, FailWith(ZRK_ERR_PARAMETER));
    }
    DumpRequest(kSearchName, req);

    const bool remote = zrkip::Remote(*req);
    constexpr uint8_t kKindBits = ZRK_IPATTR_QUICKKZP | ZRK_IPATTR_SNAPKZP | ZRK_IPATTR_SNAPKZP_P;
    for (int i = 0; i < count; ++i) {
        const CliCopySession &s = rows[i];
        if (s.ucUsable != 1 || s.ucSessionStatus == 0) continue;
        if (zrkip::RemoteRow(s) != remote) continue;
        if (req->CopyType == IP_COPY_KZP) {
            if (s.ucSessionType != IP_SESSION_TYPE_KZP) continue;
            if ((s.ucAttr & kKindBits) != (req->CopyAttr & kKindBits)) continue;
        } else if (req->CopyType == IP_COPY_VZ) {
            if (s.ucSessionType != IP_SESSION_TYPE_VZ) continue;
        }
        if (!SameCopy(*req, s)) continue;
        *row = s;
        DumpRow(kSearchName, row);
        return TraceEnd(1, kSearchName, 0);
    }
    return TraceEnd(1, kSearchName, FailWith(ZRK_ERR_NO_SESSION));
}

// ---- the volumes of a refused request ----------------------------------------------------

namespace zrkip {

int LookUpVolume(const char *name, const char *ip, const char *user, uint32_t olu,
                 uint8_t *type) {
    int count = 0;
    CliVolume *raw = nullptr;
    if (ShowVolumes(ip, user, 0, static_cast<int>(olu), IP_VOLUMES_ONE, &count, &raw) != 0) {
        std::free(raw);
        return -1;
    }
    const zrkip::Freed<CliVolume> list(raw);
    if (count <= 0 || !list) {
        return FailWith(ZRK_ERR_OLU);
    }
    if (count != 1) {
        TraceText(2, "ERR", name, " uiVolCount is not 1 ");
        return FailWith(ZRK_ERR_REPLY);
    }
    *type = list.get()[0].ucVolumeType;
    return 0;
}

int LookUpSnapVolume(const char *name, const char *ip, const char *user, uint32_t olu,
                     size_t room, uint32_t *status) {
    std::vector<CliSnapDataVolume> rows(room == 0 ? 1 : room);
    int count = 0;
    if (CountSnapDataVolume(ip, user, static_cast<int>(olu), &count, rows.data(), rows.size()) !=
        0) {
        return -1;
    }
    if (count != 1) {
        TraceText(2, "ERR", name, " uiSDVVolCount is not 1 ");
        return FailWith(ZRK_ERR_REPLY);
    }
    *status = rows[0].SdvStatus;
    return 0;
}

}  // namespace zrkip
