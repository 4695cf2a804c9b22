// Initialisation of a snap data volume of an array reached over the LAN.
// When the array refuses, the volume is looked up to report why more
// precisely than the array's code does: no such volume, not a snap data
// volume, or one that is being initialised already.
#include "ipaction.h"
#include "ipframe.h"
#include "ipsession.h"
#include "ipshow_volumes.h"
#include "platform.h"

namespace {

constexpr int kSnapVolInitId = 1015;
constexpr uint32_t kOluLimit = 0x10000;

constexpr int kErrInvalidOlu = 48;
constexpr int kErrNotSupported = 17;
constexpr int kErrNotSdv = 68;
constexpr int kErrSequence = 39;

// Capability bytes and bits of the copy-function record.
constexpr int kKzpByte = 7, kKzpKindsByte = 4;
constexpr unsigned char kSetUp = 0x01;
constexpr unsigned char kSnapKinds = 0x04 | 0x08;  // SnapKZP or SnapKZP+

int Fail(int error) {
    ZRKerrno = error;
    return -1;
}

// Why the array refused to initialise olu: 48, 68, 39, or `kept` (the
// array's own code) when the volume gives no better reason.
int Diagnose(const char *name, const char *ip, const char *user, int olu, int kept) {
    const uint32_t number = static_cast<uint32_t>(olu);
    uint8_t type = 0;
    if (zrkipsession::LookUpVolume(name, ip, user, number, &type) != 0) return -1;
    if (type != IP_VOLUME_TYPE_SDV) return Fail(kErrNotSdv);
    // Room for one row: a reply of more is malformed.
    uint32_t status = 0;
    if (zrkipsession::LookUpSnapVolume(name, ip, user, number, 1, &status) != 0) return -1;
    return Fail(status == IP_SDV_INITIALIZING ? kErrSequence : kept);
}

}  // namespace

extern "C" int IPSnapVolInit(const char *ip, const char *user, int olu) {
    static const char kName[] = "IPSnapVolInit";
    zrkip::Trace(1, "INFO", kName, "START");
    zrkip::Trace(3, "INFO", kName, "cpIPaddress=[%s] Olu=0x%02x", zrkipframe::Shown(ip),
                 static_cast<unsigned>(olu));

    const zrkipframe::CopyFunctions functions;
    if (!functions.Has(kKzpByte, kSetUp) || !functions.Has(kKzpKindsByte, kSnapKinds)) {
        return zrkip::TraceEnd(kName, Fail(kErrNotSupported));
    }
    if (InitializeSnapDataVolume(ip, user, olu) == 0) return zrkip::TraceEnd(kName, 0);
    const int kept = ZRKerrno;
    if (zrkipsession::LinkFailure(kept)) return zrkip::TraceEnd(kName, -1);
    return zrkip::TraceEnd(kName, Diagnose(kName, ip, user, olu, kept));
}

extern "C" int ZRKIPSnapDataVolInit(const char *ip, const char *user, uint32_t Olu,
                                    unsigned char *SenseData) {
    zrkipframe::CallFrame frame(kSnapVolInitId, "ZRKIPSnapDataVolInit", SenseData);
    frame.Info(2, "cpIPaddress=[%s] Olu=0x%02x", zrkipframe::Shown(ip), Olu);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (Olu >= kOluLimit) return frame.Finish(Fail(kErrInvalidOlu));
    if (IPComInfoCheckSet(ip, user, 0, 0, 5) != 0 ||
        IPSnapVolInit(ip, user, static_cast<int>(Olu)) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    return frame.Finish(0);
}
