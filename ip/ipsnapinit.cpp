// Initialisation of a snap data volume of an array reached over the LAN.
// When the array refuses, the volume is looked up to report why more
// precisely than the array's code does: no such volume, not a snap data
// volume, or one that is being initialised already.
#include "ipaction.h"
#include "ipframe.h"
#include "ipsession.h"
#include "ipshow_volumes.h"
#include "platform.h"

using namespace zrkip;

namespace {

constexpr int kSnapVolInitId = 1015;
constexpr uint32_t kOluLimit = 0x10000;

// Why the array refused to initialise olu: ZRK_ERR_OLU, ZRK_ERR_SDV,
// ZRK_ERR_SEQUENCE, or `kept` (the array's own code) when the volume gives
// no better reason.
int Diagnose(const char *name, const char *ip, const char *user, int olu, int kept) {
    const uint32_t number = static_cast<uint32_t>(olu);
    uint8_t type = 0;
    if (zrkip::LookUpVolume(name, ip, user, number, &type) != 0) return -1;
    if (type != IP_VOLUME_TYPE_SDV) return FailWith(ZRK_ERR_SDV);
    // Room for one row: a reply of more is counted, not read.
    uint32_t status = 0;
    if (zrkip::LookUpSnapVolume(name, ip, user, number, 1, &status) != 0) return -1;
    return FailWith(status == IP_SDV_INITIALIZING ? ZRK_ERR_SEQUENCE : kept);
}

}  // namespace

extern "C" int IPSnapVolInit(const char *ip, const char *user, int olu) {
    static const char kName[] = "IPSnapVolInit";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] Olu=0x%02x", zrkip::Shown(ip),
              static_cast<unsigned>(olu));

    // SnapKZP or SnapKZP+ on an array with the KZP group set up.
    const zrkip::CopyFunctions functions;
    if (!functions.Has(ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_KIND) ||
        !functions.Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP | ZRK_SUPPORT_SNAP_P)) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_NOT_SUPPORT));
    }
    if (InitializeSnapDataVolume(ip, user, olu) == 0) return TraceEnd(1, kName, 0);
    const int kept = ZRKerrno;
    if (zrkip::LinkFailure(kept)) return TraceEnd(1, kName, -1);
    return TraceEnd(1, kName, Diagnose(kName, ip, user, olu, kept));
}

extern "C" int ZRKIPSnapDataVolInit(const char *ip, const char *user, uint32_t Olu,
                                    unsigned char *SenseData) {
    zrkip::CallFrame frame(kSnapVolInitId, "ZRKIPSnapDataVolInit", SenseData);
    frame.Info(2, "cpIPaddress=[%s] Olu=0x%02x", zrkip::Shown(ip), Olu);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (Olu >= kOluLimit) return frame.Finish(FailWith(ZRK_ERR_OLU));
    if (IPComInfoCheckSet(ip, user, 0, 0, zrkip::kRefreshCopy) != 0 ||
        IPSnapVolInit(ip, user, static_cast<int>(Olu)) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    return frame.Finish(0);
}
