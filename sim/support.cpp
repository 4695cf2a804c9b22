#include "support.h"

namespace zrksim {

namespace {

struct Profile {
    const char *name;
    std::uint8_t byte4, byte7, byte15, byte21, byte23, byte29, byte30, byte31;
};

// The support bytes each profile sets; every other byte is 0.
constexpr Profile kProfiles[] = {
    // page-based engine: every group set up, paged, large forms, detail list
    {"paged", 0x0F, 0xF1, 0xF1, 0x4B, 0xF1, 0xFF, 0x10, 0xF1},
    // classic with a detail list and the large TRAVO IN form
    {"detail", 0x01, 0xA1, 0xA1, 0x4B, 0xA1, 0xFF, 0x00, 0xA1},
    // classic with identifier lists only, short forms
    {"idlist", 0x00, 0x01, 0x01, 0x01, 0x01, 0x0F, 0x00, 0x01},
    // QM family: VZ and RVZ, short forms
    {"qm", 0x00, 0x00, 0x00, 0x01, 0x01, 0x01, 0x00, 0x01},
};

}  // namespace

bool profileSupport(const std::string &profile, SupportBytes &bytes) {
    for (const Profile &p : kProfiles) {
        if (profile != p.name) continue;
        bytes.fill(0);
        bytes[4] = p.byte4;
        bytes[7] = p.byte7;
        bytes[15] = p.byte15;
        bytes[21] = p.byte21;
        bytes[23] = p.byte23;
        bytes[29] = p.byte29;
        bytes[30] = p.byte30;
        bytes[31] = p.byte31;
        return true;
    }
    return false;
}

void addFailoverBits(SupportBytes &bytes) {
    bytes[6] |= 0x20;
    bytes[22] |= 0x20;
    bytes[30] |= 0x20;
}

bool Support::expectsLargeIn(std::uint8_t page, std::uint8_t mode) const {
    switch (page) {
    case 0x00:
        return ((mode & 0x04) != 0 && (largeIn(Group::RemoteKzp) || largeIn(Group::Kzp))) ||
               ((mode & 0x02) != 0 && (largeIn(Group::Rvz) || largeIn(Group::Vz)));
    case 0x05: return largeIn(Group::Kzp);
    case 0x15: return largeIn(Group::RemoteKzp);
    case 0x09: return largeIn(Group::Vz);
    case 0x19: return largeIn(Group::Rvz);
    case 0x40: return largeIn(Group::Vz) || largeIn(Group::Rvz);
    case 0x24:
    case 0x31:
    case 0x32:
    case 0x33:
    case 0x44:
    case 0x45:
    case 0x46: return true;
    default: return false;
    }
}

}  // namespace zrksim
