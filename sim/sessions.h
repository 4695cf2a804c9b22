// Copy sessions as the arrays keep them: one record per session, with its
// identifier on each array it spans (a remote session has one on the source
// and one on the destination array).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zrksim {

struct Model;

enum class SessionKind { Kzp, QuickKzp, SnapKzp, SnapKzpPlus, Monitor, Vz, Failover };

namespace state {
constexpr std::uint8_t kIdle = 0;
constexpr std::uint8_t kReserve = 1;
constexpr std::uint8_t kActive = 2;
constexpr std::uint8_t kErrorSuspend = 3;
constexpr std::uint8_t kSuspend = 4;
constexpr std::uint8_t kHalt = 5;
}  // namespace state

namespace phase {
constexpr std::uint8_t kNoPair = 0;
constexpr std::uint8_t kCopying = 1;
constexpr std::uint8_t kEquivalent = 2;
constexpr std::uint8_t kTracking = 3;
constexpr std::uint8_t kTrackingCopying = 4;
constexpr std::uint8_t kReadying = 6;
}  // namespace phase

constexpr std::uint32_t kNoOlu = 0xFFFFFFFFu;  // a monitor session has no destination

// Mode flag bits (byte 6 of a detail-list entry, bits 2-0).
constexpr std::uint8_t kModeSync = 0x04;
constexpr std::uint8_t kModeSplit = 0x02;
constexpr std::uint8_t kModeManual = 0x01;

struct Session {
    std::uint16_t usId = 0;           // identifier on the source array
    std::uint16_t usPartnerId = 0;    // identifier on the destination array (remote), else 0
    SessionKind kind = SessionKind::Vz;
    std::string srcArray;             // array names
    std::string dstArray;             //   (equal for a local session)
    std::uint32_t uiSrcOlu = 0;
    std::uint32_t uiDstOlu = 0;       // kNoOlu for a monitor session
    std::uint64_t ullSrcExtent = 0;   // blocks; all three 0: the whole volume
    std::uint64_t ullSize = 0;
    std::uint64_t ullDstExtent = 0;
    std::uint8_t ucStatus = state::kActive;
    std::uint8_t ucPhase = phase::kEquivalent;
    std::uint64_t ullCopied = 0;      // copied blocks
    std::uint8_t ucMode = 0;          // kModeSync | kModeSplit | kModeManual
    std::uint8_t ucTransfer = 0;      // 0, 2 stack, 3 consistency
    std::uint8_t ucSecondary = 0;     // secondary-access mode, 0..3
    std::uint8_t ucModeChange = 0;    // mode-change state of a remote VZ session
    std::uint16_t usInterval = 0;     // copy interval
    std::uint64_t ullStart = 0;       // start time, virtual seconds since 1970
    std::uint8_t ucVolRole = 1;       // volume role the array reports
    std::uint32_t uiGeneration = 0;   // SnapKZP+: order among the generations of its extent
    bool bVvol = false;               // virtual-volume session
    std::uint64_t ullDiff = 0;        // changed blocks a resume or restart copies again
    std::uint8_t ucStackTimer = 0;    // stack timer of the last suspend, 0 none
    bool bTracking = true;            // QuickKZP: still records updates for a restart
    bool bVvolDelete = false;         // started in virtual-volume delete mode
    bool bPrepared = false;           // Reserve: prepared for a concurrent start

    bool remote() const { return srcArray != dstArray; }
    bool whole() const { return ullSrcExtent == 0 && ullSize == 0 && ullDstExtent == 0; }
    bool kzpFamily() const { return kind != SessionKind::Vz && kind != SessionKind::Failover; }
    bool vzFamily() const { return kind == SessionKind::Vz; }
    // A reserved identifier that no start has described yet.
    bool bare() const { return ucStatus == state::kReserve && !bPrepared; }
    // Whether the session is known to `array`, its identifier there, and
    // whether that array holds the destination side.
    bool on(const std::string &array) const { return array == srcArray || array == dstArray; }
    std::uint16_t idOn(const std::string &array) const {
        return remote() && array == dstArray ? usPartnerId : usId;
    }
    bool destinationSide(const std::string &array) const { return remote() && array == dstArray; }
    // Copy kind byte: 1 KZP family, 2 VZ family and failover, 3 monitor.
    std::uint8_t copyKind() const;
    // Session flag byte: 0x80 whole volume, 0x40 SnapKZP+, 0x20 remote,
    // 0x10 SnapKZP, 0x08 QuickKZP, bits 1-0 secondary access.
    std::uint8_t flags() const;
    // Seconds since the start at virtual time `clock` (0 before it), as both
    // fronts report them.
    std::uint32_t elapsed(std::uint64_t clock) const {
        return static_cast<std::uint32_t>(clock > ullStart ? clock - ullStart : 0);
    }
};

// The scenario's names of kinds, states and phases, and back (false when unknown).
const char *kindName(SessionKind kind);
bool kindFromName(const std::string &name, SessionKind &kind);
// The default phase of a new session of this kind.
std::uint8_t defaultPhase(SessionKind kind);

// The sessions an array knows, in rising order of its own identifiers.
std::vector<const Session *> sessionsOf(const Model &model, const std::string &array);
// The session with identifier `id` on `array`, or null.
Session *findSession(Model &model, const std::string &array, std::uint16_t id);
const Session *findSession(const Model &model, const std::string &array, std::uint16_t id);
// The blocks a session spans: its extent size, or its source volume's size
// for a whole volume (0 when the volume is missing).
std::uint64_t totalBlocks(const Model &model, const Session &s);
// The lowest identifier not in use on `array`, 0 when none is left.
std::uint16_t freeSessionId(const Model &model, const std::string &array);
// The session as a scenario line, every option written out.
std::string sessionLine(const Session &session);
// Eight bytes of binary-coded decimal time: YYYYMMDDhhmmss and 00 (UTC).
std::vector<std::uint8_t> bcdTime(std::uint64_t seconds);
// The same time as sixteen decimal digits: YYYYMMDDhhmmss00.
std::string bcdTimeText(std::uint64_t seconds);

}  // namespace zrksim
