// The copy-support data an array announces (TRAVO IN page 0x00), the
// profiles that preset it, and what the array itself derives from it: which
// copy groups are set up and which CDB form it expects for each page.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zrksim {

using SupportBytes = std::array<std::uint8_t, 32>;

// The four copy groups, each eight support bytes: bytes 8 x group .. + 7.
enum class Group { Kzp = 0, RemoteKzp = 1, Vz = 2, Rvz = 3 };

// Bits of the last byte of a group.
constexpr std::uint8_t kGroupSetUp = 0x01;
constexpr std::uint8_t kGroupPaged = 0x10;
constexpr std::uint8_t kGroupLargeIn = 0x20;
constexpr std::uint8_t kGroupLargeOut = 0x40;
constexpr std::uint8_t kGroupDetailList = 0x80;

// The support bytes of a profile (paged, detail, idlist, qm); false for an
// unknown name.
bool profileSupport(const std::string &profile, SupportBytes &bytes);
// Adds the storage-cluster failover bits (0x20 of bytes 6, 22 and 30).
void addFailoverBits(SupportBytes &bytes);

class Support {
public:
    explicit Support(const SupportBytes &bytes) : b_(bytes) {}

    bool setUp(Group g) const { return (last(g) & kGroupSetUp) != 0; }
    bool largeIn(Group g) const { return (last(g) & kGroupLargeIn) != 0; }
    bool detailList() const { return anyLast(kGroupDetailList); }
    // The page-based engine drives some group (its last byte has 0x10).
    bool pagedEngine() const { return anyLast(kGroupPaged); }
    bool anyLargeOut() const { return anyLast(kGroupLargeOut); }
    bool failover() const { return ((b_[6] | b_[22] | b_[30]) & 0x20) != 0; }
    // Pages 0x31 and 0x44 (byte 4 bit 0x04).
    bool pagedDetail() const { return (b_[4] & 0x04) != 0; }
    // SnapKZP+ generations (byte 4 or 12 bit 0x08).
    bool snapPlus() const { return ((b_[4] | b_[12]) & 0x08) != 0; }
    // Virtual-volume sessions (byte 4, 20 or 28 bit 0x02).
    bool virtualVolumes() const { return ((b_[4] | b_[20] | b_[28]) & 0x02) != 0; }
    // RVZ buffers (byte 29 bit 0x80).
    bool rvzBuffers() const { return (b_[29] & 0x80) != 0; }
    // Snap data pool size per session, page 0x46 (byte 4 or 12 bit 0x10).
    bool poolSize() const { return ((b_[4] | b_[12]) & 0x10) != 0; }
    // KZP-family kinds of byte 4: 0x01 QuickKZP, 0x04 SnapKZP, 0x08 SnapKZP+.
    bool kzpKind(std::uint8_t bit) const { return (b_[4] & bit) != 0; }
    // VZ functions of byte 21 (local) or 29 (remote): 0x01 suspend and
    // resume, 0x02 secondary access, 0x04 mode change (29 only), 0x08
    // reverse, 0x10 stack mode, 0x20 consistency mode (29 only), 0x40
    // concurrent suspend.
    bool vzFunction(bool remote, std::uint8_t bit) const { return (b_[remote ? 29 : 21] & bit) != 0; }
    // Stack-timer suspend (byte 30 bit 0x10).
    bool stackTimer() const { return (b_[30] & 0x10) != 0; }

    // Whether a main-family array expects the large TRAVO IN form for this
    // page and mode.
    bool expectsLargeIn(std::uint8_t page, std::uint8_t mode) const;

private:
    std::uint8_t last(Group g) const { return b_[static_cast<std::size_t>(g) * 8 + 7]; }
    bool anyLast(std::uint8_t bit) const { return ((b_[7] | b_[15] | b_[23] | b_[31]) & bit) != 0; }

    const SupportBytes &b_;
};

}  // namespace zrksim
