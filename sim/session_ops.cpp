#include "session_ops.h"

#include "bytes.h"
#include "classic_lists.h"
#include "olu_status.h"
#include "progress.h"
#include "rvz_pages.h"
#include "snap_volumes.h"
#include "support.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

namespace zrksim {

namespace {

constexpr std::uint8_t kAscInvalidListField = 0x26;
constexpr std::size_t kExecLen = 192;      // the one-session pages
constexpr std::uint64_t kExecParamLen = 184;

// Fields of the one-session pages.
namespace at {
constexpr std::size_t kId = 8;          // identifier as this array knows it
constexpr std::size_t kPartnerId = 10;  //   or, addressed from the destination side, here
constexpr std::size_t kCopyKind = 12;
constexpr std::size_t kFlags = 20;
constexpr std::size_t kStartFlags = 21;
constexpr std::size_t kMode = 22;
constexpr std::size_t kTransfer = 23;
constexpr std::size_t kOperation = 24;
constexpr std::size_t kAction = 25;
constexpr std::size_t kStackTimer = 27;
constexpr std::size_t kSrcBoxId = 32;
constexpr std::size_t kDstBoxId = 80;
constexpr std::size_t kSrcOlu = 128;
constexpr std::size_t kDstOlu = 132;
constexpr std::size_t kExtentCount = 136;
constexpr std::size_t kInterval = 138;
constexpr std::size_t kSrcExtent = 160;
constexpr std::size_t kSize = 168;
constexpr std::size_t kDstExtent = 176;
}  // namespace at

// Byte 20.
constexpr std::uint8_t kFlagWhole = 0x80;
constexpr std::uint8_t kFlagSnapPlus = 0x40;
constexpr std::uint8_t kFlagRemote = 0x20;
constexpr std::uint8_t kFlagSnap = 0x10;
constexpr std::uint8_t kFlagQuick = 0x08;
constexpr std::uint8_t kFlagSecondary = 0x03;
// Byte 21.
constexpr std::uint8_t kStartDeleteMode = 0x80;
// Byte 22.
constexpr std::uint8_t kModeDestinationSide = 0x10;
// Byte 24.
constexpr std::uint8_t kOpForce = 0x80;
constexpr std::uint8_t kOpRemain = 0x40;
constexpr std::uint8_t kOpStackTimer = 0x02;
// Byte 25.
constexpr std::uint8_t kActRestart = 0x80;
constexpr std::uint8_t kActStopTracking = 0x40;
constexpr std::uint8_t kActPrepare = 0x10;
constexpr std::uint8_t kActSkip = 0x08;
constexpr std::uint8_t kActReverse = 0x04;
constexpr std::uint8_t kActModeChange = 0x02;
// Byte 10 of the concurrent suspend.
constexpr std::uint8_t kConcRemote = 0x80;
constexpr std::uint8_t kConcDestinationSide = 0x40;
constexpr std::uint8_t kConcUntransferred = 0x20;
// Byte 12 of the concurrent start.
constexpr std::uint8_t kConcStart = 0x80;
constexpr std::uint8_t kConcRestart = 0x40;

// Transfer modes.
constexpr std::uint8_t kTransferStack = 2;
constexpr std::uint8_t kTransferConsistency = 3;

using Refused = std::optional<std::uint8_t>;  // the qualifier, or nothing when the list fits

ScsiAnswer refuse(std::uint8_t ascq) { return checkCondition(scsi::kIllegalRequest, kAscInvalidListField, ascq); }
ScsiAnswer answer(const Refused &r) { return r ? refuse(*r) : ScsiAnswer{}; }

// The concurrent start's own refusals beyond ASC 0x26.
constexpr std::uint8_t kAscSourceNotHere = 0x25;   // a session's source is no volume of this array
constexpr std::uint8_t kCascadeAcrossArrays = 0xAB;  // with ASC 0x26: the start took effect, but a
                                                     // source is the target of another array's copy

// A block range of one volume.
struct Range {
    std::string array;
    std::uint32_t uiOlu = 0;
    std::uint64_t ullFrom = 0;
    std::uint64_t ullTo = 0;  // one past the last block
};

std::uint64_t volumeBlocks(const Model &model, const std::string &array, std::uint32_t olu) {
    auto a = model.arrays.find(array);
    if (a == model.arrays.end()) return 0;
    auto v = a->second.volumes.find(olu);
    return v == a->second.volumes.end() ? 0 : v->second.ullBlocks;
}

Range sourceRange(const Model &model, const Session &s) {
    if (s.whole()) return {s.srcArray, s.uiSrcOlu, 0, volumeBlocks(model, s.srcArray, s.uiSrcOlu)};
    return {s.srcArray, s.uiSrcOlu, s.ullSrcExtent, s.ullSrcExtent + s.ullSize};
}

Range destinationRange(const Model &model, const Session &s) {
    if (s.whole()) return {s.dstArray, s.uiDstOlu, 0, volumeBlocks(model, s.dstArray, s.uiDstOlu)};
    return {s.dstArray, s.uiDstOlu, s.ullDstExtent, s.ullDstExtent + s.ullSize};
}

bool overlap(const Range &a, const Range &b) {
    return a.array == b.array && a.uiOlu == b.uiOlu && a.ullFrom < b.ullTo && b.ullFrom < a.ullTo;
}

// A monitor session copies nothing: a destination it names holds no range.
bool hasDestination(const Session &s) { return s.uiDstOlu != kNoOlu && s.kind != SessionKind::Monitor; }

// A KZP copy from a SnapKZP+ snapshot back onto the snapshot's source (the
// restore of the snapshot) shares both ranges with that session.
bool restoresSnapshot(const Model &model, const Session &next, const Session &o) {
    return next.kind == SessionKind::Kzp && o.kind == SessionKind::SnapKzpPlus &&
           hasDestination(next) && hasDestination(o) &&
           overlap(sourceRange(model, next), destinationRange(model, o)) &&
           overlap(destinationRange(model, next), sourceRange(model, o));
}

// A destination range takes part in no other session, except that a
// KZP-family copy may read the target of a remote VZ copy (a cascade) and a
// restore may copy a snapshot back; a source range is shared only by
// sessions of one kind, and by monitor sessions.
Refused volumesFree(const Model &model, const Session &next) {
    Range src = sourceRange(model, next);
    for (const Session &o : model.sessions) {
        if (o.bare() || o.kind == SessionKind::Failover) continue;
        if (restoresSnapshot(model, next, o)) continue;
        Range oSrc = sourceRange(model, o);
        if (hasDestination(next)) {
            Range dst = destinationRange(model, next);
            if (overlap(dst, oSrc) || (hasDestination(o) && overlap(dst, destinationRange(model, o))))
                return refusal::kVolumeInUse;
        }
        bool cascade = next.kzpFamily() && o.vzFamily() && o.remote();
        if (hasDestination(o) && !cascade && overlap(src, destinationRange(model, o))) return refusal::kVolumeInUse;
        bool shared = o.kind == next.kind || o.kind == SessionKind::Monitor || next.kind == SessionKind::Monitor;
        if (!shared && overlap(src, oSrc)) return refusal::kVolumeInUse;
    }
    return std::nullopt;
}

bool sameExtent(const Session &a, const Session &b) {
    return a.srcArray == b.srcArray && a.uiSrcOlu == b.uiSrcOlu && a.ullSrcExtent == b.ullSrcExtent &&
           a.ullSize == b.ullSize;
}

// The SnapKZP+ generations of the extent of `s`, `s` excluded.
std::vector<const Session *> generationsOf(const Model &model, const Session &s) {
    std::vector<const Session *> out;
    for (const Session &o : model.sessions)
        if (&o != &s && o.kind == SessionKind::SnapKzpPlus && !o.bare() && sameExtent(o, s)) out.push_back(&o);
    return out;
}

const Array *arrayByBoxId(const Model &model, const Bytes &list, std::size_t offset) {
    std::string box(list.begin() + static_cast<std::ptrdiff_t>(offset),
                    list.begin() + static_cast<std::ptrdiff_t>(offset + kBoxIdLen));
    for (const auto &[name, array] : model.arrays)
        if (array.boxId == box) return &array;
    return nullptr;
}

// The kind a start page describes by its copy kind and flags.
std::optional<SessionKind> kindOfPage(const Bytes &list) {
    std::uint8_t flags = list[at::kFlags] & (kFlagQuick | kFlagSnap | kFlagSnapPlus);
    switch (list[at::kCopyKind]) {
    case 2: return flags == 0 ? std::optional(SessionKind::Vz) : std::nullopt;
    case 3: return flags == 0 ? std::optional(SessionKind::Monitor) : std::nullopt;
    case 1:
        switch (flags) {
        case 0: return SessionKind::Kzp;
        case kFlagQuick: return SessionKind::QuickKzp;
        case kFlagSnap: return SessionKind::SnapKzp;
        case kFlagSnapPlus: return SessionKind::SnapKzpPlus;
        default: return std::nullopt;
        }
    default: return std::nullopt;
    }
}

// The mode and transfer mode of a remote VZ session: automatic split only
// with synchronous transfer, stack and consistency only without it.
Refused modesFit(const Support &support, std::uint8_t mode, std::uint8_t transfer) {
    if (mode > (kModeSync | kModeSplit | kModeManual)) return refusal::kInvalid;
    if ((mode & kModeSplit) != 0 && (mode & kModeSync) == 0) return refusal::kInvalid;
    if (transfer != 0 && transfer != kTransferStack && transfer != kTransferConsistency) return refusal::kInvalid;
    if (transfer != 0 && (mode & kModeSync) != 0) return refusal::kInvalid;
    if (transfer == kTransferStack && !support.vzFunction(true, 0x10)) return refusal::kNotSetUp;
    if (transfer == kTransferConsistency && !support.vzFunction(true, 0x20)) return refusal::kNotSetUp;
    return std::nullopt;
}

class ListActor {
public:
    ListActor(SimState &state, const Array &array, ListFront front)
        : st_(state), model_(state.model), array_(array), support_(array.support), front_(front) {}

    ScsiAnswer act(const Bytes &list) {
        if (list.empty()) return refuse(refusal::kInvalid);
        switch (list[0]) {
        case 0x44:
        case 0x45:
        case 0x46:
        case 0x48:
        case 0x49: {
            if (list.size() != kExecLen || getBe(list, 6, 2) != kExecParamLen) return refuse(refusal::kInvalid);
            Session *s = findSession(model_, array_.name, listId(list));
            if (s == nullptr || s->kind == SessionKind::Failover) return refuse(refusal::kInvalid);
            return answer(onPage(*s, list));
        }
        case 0x31: return answer(initialiseSnapData(list));
        case 0x33: return answer(setOluStatus(model_.arrays.at(array_.name), list));
        case 0x47: return answer(setRvzBuffer(list));
        case 0x35: return setCopyPriority(model_, array_, list);
        case 0x50: return answer(concurrentSuspend(list));
        case 0x51: return concurrentStart(list);
        default:
            if (isClassicList(list[0])) return answer(classic(list));
            return refuse(refusal::kInvalid);
        }
    }

private:
    SimState &st_;
    Model &model_;
    const Array &array_;
    Support support_;
    ListFront front_;

    Refused onPage(Session &s, const Bytes &page) {
        switch (page[0]) {
        case 0x44: return start(s, page);
        case 0x45: return stop(s, page);
        case 0x46: return change(s, page);
        case 0x48: return suspend(s, page);
        default: return resume(s, page);
        }
    }

    // A classic list acts as the page it tells again, on a session it must
    // describe as the array knows it: the family, local or remote, the OLUs,
    // the whole volume or the extent (their low 32 bits), the BoxIDs and the
    // volume role. A list that names no volumes only gives back a reserved
    // identifier. The QM family starts and stops sessions by the 192-byte
    // pages only.
    Refused classic(const Bytes &list) {
        ClassicList c;
        if (Refused r = readClassicList(list, c)) return r;
        const Bytes &page = c.page;
        bool startOrStop = page[0] == 0x44 || page[0] == 0x45;
        if (array_.qm() && startOrStop) return refusal::kInvalid;
        Session *s = findSession(model_, array_.name, listId(page));
        if (s == nullptr || s->kind == SessionKind::Failover) return refusal::kInvalid;
        if (page[0] == 0x44) {
            if (c.ucVolRole == 0) return refusal::kInvalid;
            if (Refused r = start(*s, page)) return r;
            s->ucVolRole = c.ucVolRole;
            return std::nullopt;
        }
        if (!s->bare()) {
            if (!c.bNamesVolumes || c.bRemote != s->remote() || c.ucVolRole != s->ucVolRole) return refusal::kInvalid;
            if (c.bKzpFamily && s->kind != SessionKind::Kzp) return refusal::kInvalid;
            std::uint32_t mask = c.bRemote ? 0xFFFFFFFFu : 0xFFFFu;
            if (c.uiSrcOlu != (s->uiSrcOlu & mask) || c.uiDstOlu != (s->uiDstOlu & mask)) return refusal::kInvalid;
            bool whole = (page[at::kFlags] & kFlagWhole) != 0;
            if (whole != s->whole()) return refusal::kInvalid;
            if (!whole && (getBe(page, at::kSrcExtent, 8) != (s->ullSrcExtent & 0xFFFFFFFFu) ||
                           getBe(page, at::kSize, 8) != (s->ullSize & 0xFFFFFFFFu) ||
                           getBe(page, at::kDstExtent, 8) != (s->ullDstExtent & 0xFFFFFFFFu)))
                return refusal::kInvalid;
            if (c.bRemote) {
                const Array *src = arrayByBoxId(model_, page, at::kSrcBoxId);
                const Array *dst = arrayByBoxId(model_, page, at::kDstBoxId);
                if (src == nullptr || dst == nullptr || src->name != s->srcArray || dst->name != s->dstArray)
                    return refusal::kInvalid;
            }
        }
        return onPage(*s, page);
    }

    // List 0x31 (16 bytes): 6-7 the length 8, 8-9 the OLU of a snap data
    // volume to initialise. Not while it initialises (out of sequence), nor
    // while a snapshot saves into it (volume in use).
    Refused initialiseSnapData(const Bytes &list) {
        if (list.size() != 16 || getBe(list, 1, 5) != 0 || getBe(list, 6, 2) != 8 || getBe(list, 10, 6) != 0)
            return refusal::kInvalid;
        if (!support_.pagedDetail()) return refusal::kNotSetUp;
        Array &array = model_.arrays.at(array_.name);
        auto v = array.volumes.find(static_cast<std::uint32_t>(getBe(list, 8, 2)));
        if (v == array.volumes.end() || !v->second.snapData()) return refusal::kInvalid;
        if ((v->second.uiSdvStatus & sdvstate::kBusy) != 0) return refusal::kOutOfSequence;
        if (!snapshotsInto(model_, array.name, v->second.uiOlu).empty()) return refusal::kVolumeInUse;
        startInitialisation(v->second, st_.ullClock, array.ullSdvInit);
        return std::nullopt;
    }

    // List 0x47 (128 bytes): 6-7 the length 120, 8-9 buffer identifier, 16-17
    // type (1 send, 2 receive), 18-19 forwarding interval, 20-23 monitoring
    // time, 24-63 the BoxID of a remote array this array lists. Defines the
    // buffer, or sets it anew; no more buffers than `rvzbuffers`.
    Refused setRvzBuffer(const Bytes &list) {
        if (list.size() != 128 || getBe(list, 1, 5) != 0 || getBe(list, 6, 2) != 120 || getBe(list, 10, 6) != 0 ||
            !std::all_of(list.begin() + 64, list.end(), [](std::uint8_t b) { return b == 0; }))
            return refusal::kInvalid;
        if (!support_.setUp(Group::Rvz) || !support_.rvzBuffers()) return refusal::kNotSetUp;
        std::uint64_t id = getBe(list, 8, 2);
        std::uint64_t type = getBe(list, 16, 2);
        const Array *remote = arrayByBoxId(model_, list, 24);
        Array &array = model_.arrays.at(array_.name);
        if (id > 0xFF || (type != 1 && type != 2) || remote == nullptr || remote->name == array.name ||
            std::find(array.remotes.begin(), array.remotes.end(), remote->name) == array.remotes.end())
            return refusal::kInvalid;
        auto key = static_cast<std::uint8_t>(id);
        if (array.rvzBuffers.count(key) == 0 && array.rvzBuffers.size() >= array.usRvzBuffers)
            return refusal::kInvalid;
        RvzBuffer &b = array.rvzBuffers[key];
        b.ucId = key;
        b.usType = static_cast<std::uint16_t>(type);
        b.usInterval = static_cast<std::uint16_t>(getBe(list, 18, 2));
        b.uiMonitor = static_cast<std::uint32_t>(getBe(list, 20, 4));
        b.remote = remote->name;
        return std::nullopt;
    }

    static std::uint16_t listId(const Bytes &list) {
        bool destinationSide = (list[at::kMode] & kModeDestinationSide) != 0;
        return static_cast<std::uint16_t>(getBe(list, destinationSide ? at::kPartnerId : at::kId, 2));
    }

    void end(const std::set<std::pair<std::string, std::uint16_t>> &which) {
        std::erase_if(model_.sessions, [&](const Session &o) { return which.count({o.srcArray, o.usId}) != 0; });
    }
    void end(const Session &s) { end({{s.srcArray, s.usId}}); }

    // Whether the support data offers a kind, local or remote.
    bool kindSetUp(SessionKind kind, bool remote) const {
        switch (kind) {
        case SessionKind::Vz: return support_.setUp(remote ? Group::Rvz : Group::Vz);
        case SessionKind::Kzp: return support_.setUp(remote ? Group::RemoteKzp : Group::Kzp);
        case SessionKind::QuickKzp: return support_.setUp(Group::Kzp) && support_.kzpKind(0x01);
        case SessionKind::SnapKzp: return support_.setUp(Group::Kzp) && support_.kzpKind(0x04);
        case SessionKind::SnapKzpPlus: return support_.setUp(Group::Kzp) && support_.kzpKind(0x08);
        case SessionKind::Monitor: return support_.setUp(Group::Kzp) && support_.kzpKind(0x0C);
        case SessionKind::Failover: return false;
        }
        return false;
    }

    // Reads the session a start page describes into `next` (the reserved
    // identifier's record).
    Refused describe(const Bytes &list, Session &next) const {
        std::optional<SessionKind> kind = kindOfPage(list);
        if (!kind || next.vzFamily() != (*kind == SessionKind::Vz)) return refusal::kInvalid;
        next.kind = *kind;
        bool remote = (list[at::kFlags] & kFlagRemote) != 0;
        bool destinationSide = (list[at::kMode] & kModeDestinationSide) != 0;
        if (remote && next.kind != SessionKind::Vz && next.kind != SessionKind::Kzp) return refusal::kInvalid;
        if (remote) {
            const Array *src = arrayByBoxId(model_, list, at::kSrcBoxId);
            const Array *dst = arrayByBoxId(model_, list, at::kDstBoxId);
            if (src == nullptr || dst == nullptr || src == dst) return refusal::kInvalid;
            if ((destinationSide ? dst : src)->name != array_.name) return refusal::kInvalid;
            const std::string &other = destinationSide ? src->name : dst->name;
            // Both arrays must be connected for copies: each lists the other.
            const std::vector<std::string> &otherRemotes = model_.arrays.at(other).remotes;
            if (std::find(array_.remotes.begin(), array_.remotes.end(), other) == array_.remotes.end() ||
                std::find(otherRemotes.begin(), otherRemotes.end(), array_.name) == otherRemotes.end())
                return refusal::kInvalid;
            std::uint16_t otherId = freeSessionId(model_, other);
            if (otherId == 0) return refusal::kInvalid;
            std::uint16_t reserved = next.usId;
            next.srcArray = src->name;
            next.dstArray = dst->name;
            next.usId = destinationSide ? otherId : reserved;
            next.usPartnerId = destinationSide ? reserved : otherId;
        } else if (destinationSide) {
            return refusal::kInvalid;
        }
        next.uiSrcOlu = static_cast<std::uint32_t>(getBe(list, at::kSrcOlu, 4));
        next.uiDstOlu = static_cast<std::uint32_t>(getBe(list, at::kDstOlu, 4));
        std::uint64_t srcBlocks = volumeBlocks(model_, next.srcArray, next.uiSrcOlu);
        std::uint64_t dstBlocks = 0;
        if (srcBlocks == 0) return refusal::kInvalid;
        if (next.kind == SessionKind::Monitor) {
            if (next.uiDstOlu != kNoOlu && volumeBlocks(model_, next.dstArray, next.uiDstOlu) == 0)
                return refusal::kInvalid;
        } else {
            dstBlocks = volumeBlocks(model_, next.dstArray, next.uiDstOlu);
            if (dstBlocks == 0) return refusal::kInvalid;
            if (!remote && next.uiSrcOlu == next.uiDstOlu) return refusal::kInvalid;
        }
        std::uint64_t extents = getBe(list, at::kExtentCount, 2);
        bool whole = (list[at::kFlags] & kFlagWhole) != 0;
        if (extents > 1 || whole != (extents == 0)) return refusal::kInvalid;
        next.ullSrcExtent = next.ullSize = next.ullDstExtent = 0;
        if (extents == 1) {
            next.ullSrcExtent = getBe(list, at::kSrcExtent, 8);
            next.ullSize = getBe(list, at::kSize, 8);
            next.ullDstExtent = getBe(list, at::kDstExtent, 8);
            if (next.ullSize == 0 || next.ullSrcExtent > srcBlocks || next.ullSize > srcBlocks - next.ullSrcExtent)
                return refusal::kInvalid;
            if (next.kind != SessionKind::Monitor &&
                (next.ullDstExtent > dstBlocks || next.ullSize > dstBlocks - next.ullDstExtent))
                return refusal::kInvalid;
        }
        // Modes, transfer, skip, secondary access, delete mode.
        bool vz = next.kind == SessionKind::Vz;
        std::uint8_t mode = list[at::kMode] & 0x07;
        std::uint8_t transfer = list[at::kTransfer];
        bool skip = (list[at::kAction] & kActSkip) != 0;
        std::uint8_t secondary = list[at::kFlags] & kFlagSecondary;
        bool deleteMode = (list[at::kStartFlags] & kStartDeleteMode) != 0;
        if (vz && remote) {
            if (Refused r = modesFit(support_, mode, transfer)) return r;
        } else if (mode != 0 || transfer != 0 || skip) {
            return refusal::kInvalid;
        }
        if (secondary != 0 && !vz) return refusal::kInvalid;
        bool deleteKind = next.kind == SessionKind::QuickKzp || next.kind == SessionKind::SnapKzpPlus;
        if (deleteMode && !deleteKind) return refusal::kInvalid;
        if (!kindSetUp(next.kind, remote)) return refusal::kNotSetUp;
        if (secondary != 0 && !support_.vzFunction(remote, 0x02)) return refusal::kNotSetUp;
        if (deleteMode && !support_.virtualVolumes()) return refusal::kNotSetUp;
        next.ucMode = mode;
        next.ucTransfer = transfer;
        next.ucSecondary = secondary;
        next.usInterval = vz ? static_cast<std::uint16_t>(getBe(list, at::kInterval, 2)) : 0;
        next.bVvolDelete = deleteMode;
        return std::nullopt;
    }

    // A described session begins: status Active, its first phase.
    void activate(Session &s, bool skip) const {
        s.ucStatus = state::kActive;
        s.bPrepared = false;
        s.ullCopied = 0;
        s.ullDiff = 0;
        s.ucStackTimer = 0;
        s.bTracking = true;
        s.ullStart = st_.ullClock;
        switch (s.kind) {
        case SessionKind::QuickKzp: s.ucPhase = phase::kTrackingCopying; break;
        case SessionKind::SnapKzp:
        case SessionKind::SnapKzpPlus:
        case SessionKind::Monitor: s.ucPhase = phase::kTracking; break;
        default: s.ucPhase = phase::kCopying; break;
        }
        if (skip) {
            s.ucPhase = phase::kEquivalent;
            s.ullCopied = totalBlocks(model_, s);
        }
    }

    Refused start(Session &s, const Bytes &list) {
        if ((list[at::kAction] & kActRestart) != 0) {
            if (Refused r = canRestart(s, list[at::kCopyKind])) return r;
            restart(s);
            return std::nullopt;
        }
        if (!s.bare()) return refusal::kInvalid;
        Session next = s;
        if (Refused r = describe(list, next)) return r;
        bool prepare = (list[at::kAction] & kActPrepare) != 0;
        if (prepare && (next.vzFamily() || next.remote())) return refusal::kInvalid;
        if (Refused r = volumesFree(model_, next)) return r;
        if (next.kind == SessionKind::SnapKzpPlus) {
            std::vector<const Session *> generations = generationsOf(model_, next);
            if (generations.size() >= array_.usGenerations) return refusal::kGenerationsFull;
            std::uint32_t last = 0;
            for (const Session *g : generations) last = std::max(last, g->uiGeneration);
            next.uiGeneration = last + 1;
        }
        if (prepare) {
            next.bPrepared = true;
        } else {
            activate(next, (list[at::kAction] & kActSkip) != 0);
        }
        s = next;
        return std::nullopt;
    }

    // A QuickKZP session that still tracks copies its difference again.
    Refused canRestart(const Session &s, std::uint8_t copyKind) const {
        if (s.kind != SessionKind::QuickKzp || s.ucStatus == state::kReserve || copyKind != 1)
            return refusal::kInvalid;
        if (!kindSetUp(SessionKind::QuickKzp, false)) return refusal::kNotSetUp;
        bool tracking = s.ucPhase == phase::kTracking || s.ucPhase == phase::kTrackingCopying;
        if (s.ucStatus != state::kActive || !tracking || !s.bTracking) return refusal::kOutOfSequence;
        return std::nullopt;
    }

    void restart(Session &s) const {
        s.ucPhase = phase::kTrackingCopying;
        s.ullCopied = s.ullCopied > s.ullDiff ? s.ullCopied - s.ullDiff : 0;
        s.ullDiff = 0;
        s.ullStart = st_.ullClock;
    }

    Refused stop(Session &s, const Bytes &list) {
        std::uint8_t copyKind = list[at::kCopyKind];
        if (s.vzFamily() ? copyKind != 2 : (copyKind != 1 && copyKind != 3)) return refusal::kInvalid;
        if (s.ucStatus == state::kReserve) {  // the roll-back of a reserve or a prepare
            end(s);
            return std::nullopt;
        }
        bool force = (list[at::kOperation] & kOpForce) != 0;
        if ((list[at::kAction] & kActStopTracking) != 0) {
            if (s.kind != SessionKind::QuickKzp) return refusal::kInvalid;
            if (!s.bTracking) return refusal::kOutOfSequence;
            if (s.ucPhase == phase::kTracking) {
                end(s);
            } else {
                s.bTracking = false;
                s.ucPhase = phase::kCopying;
            }
            return std::nullopt;
        }
        if (s.ucStatus == state::kHalt && !force) return refusal::kOutOfSequence;
        if (s.kind == SessionKind::SnapKzpPlus) {
            // The oldest generation goes alone; a newer one only by force,
            // and with every generation older than itself.
            std::set<std::pair<std::string, std::uint16_t>> which{{s.srcArray, s.usId}};
            for (const Session *g : generationsOf(model_, s))
                if (g->uiGeneration < s.uiGeneration) which.emplace(g->srcArray, g->usId);
            if (which.size() > 1 && !force) return refusal::kOutOfSequence;
            end(which);
            return std::nullopt;
        }
        end(s);
        return std::nullopt;
    }

    // Checks common to change, suspend and resume: a started VZ session.
    static Refused vzSession(const Session &s, const Bytes &list) {
        if (!s.vzFamily() || list[at::kCopyKind] != 2 || s.ucStatus == state::kReserve) return refusal::kInvalid;
        return std::nullopt;
    }

    Refused change(Session &s, const Bytes &list) {
        if (Refused r = vzSession(s, list)) return r;
        bool reverse = (list[at::kAction] & kActReverse) != 0;
        bool modeChange = (list[at::kAction] & kActModeChange) != 0;
        if (reverse == modeChange) return refusal::kInvalid;
        std::uint8_t mode = list[at::kMode] & 0x07;
        std::uint8_t transfer = list[at::kTransfer];
        if (reverse) {
            if (!support_.vzFunction(s.remote(), 0x08)) return refusal::kNotSetUp;
        } else {
            if (!s.remote()) return refusal::kInvalid;
            if (Refused r = modesFit(support_, mode, transfer)) return r;
            if (!support_.vzFunction(true, 0x04)) return refusal::kNotSetUp;
        }
        if (s.ucStatus != state::kSuspend) return refusal::kOutOfSequence;
        if (reverse) {
            std::swap(s.srcArray, s.dstArray);
            std::swap(s.uiSrcOlu, s.uiDstOlu);
            std::swap(s.ullSrcExtent, s.ullDstExtent);
            if (s.remote()) std::swap(s.usId, s.usPartnerId);
        } else {
            s.ucMode = mode;
            s.ucTransfer = transfer;
        }
        s.ucModeChange = 0;
        return std::nullopt;
    }

    Refused suspend(Session &s, const Bytes &list) {
        if (Refused r = vzSession(s, list)) return r;
        bool force = (list[at::kOperation] & kOpForce) != 0;
        bool timer = (list[at::kOperation] & kOpStackTimer) != 0;
        if (!support_.vzFunction(s.remote(), 0x01)) return refusal::kNotSetUp;
        if (timer && (!s.remote() || !support_.stackTimer())) return refusal::kInvalid;
        if (s.ucStatus == state::kSuspend) return refusal::kAlreadySuspended;
        bool broken = s.ucStatus == state::kErrorSuspend || s.ucStatus == state::kHalt;
        if (s.ucStatus != state::kActive && !(force && broken)) return refusal::kOutOfSequence;
        if (s.ucPhase != phase::kEquivalent && !force) return refusal::kOutOfSequence;
        s.ucStatus = state::kSuspend;
        s.ucStackTimer = timer ? list[at::kStackTimer] : 0;
        return std::nullopt;
    }

    Refused resume(Session &s, const Bytes &list) {
        if (Refused r = vzSession(s, list)) return r;
        if (!support_.vzFunction(s.remote(), 0x01)) return refusal::kNotSetUp;
        if ((list[at::kOperation] & kOpRemain) != 0 && !s.remote()) return refusal::kInvalid;
        if (s.ucStatus == state::kActive) return refusal::kAlreadyActive;
        if (s.ucStatus != state::kSuspend && s.ucStatus != state::kErrorSuspend) return refusal::kOutOfSequence;
        s.ucStatus = state::kActive;
        s.ucPhase = phase::kCopying;
        s.ullCopied = s.ullCopied > s.ullDiff ? s.ullCopied - s.ullDiff : 0;
        s.ullDiff = 0;
        return std::nullopt;
    }

    // The identifiers of a concurrent list: `count` 2-byte identifiers at
    // `first`, each `stride` bytes apart, every other byte up to the end 0.
    static bool identifiers(const Bytes &list, std::size_t first, std::size_t stride, std::size_t count,
                            std::vector<std::uint16_t> &ids) {
        for (std::size_t at = first; at < list.size(); ++at) {
            std::size_t slot = (at - first) / stride;
            bool idByte = slot < count && (at - first) % stride < 2;
            if (!idByte && list[at] != 0) return false;
        }
        for (std::size_t i = 0; i < count; ++i)
            ids.push_back(static_cast<std::uint16_t>(getBe(list, first + stride * i, 2)));
        return true;
    }

    // Distinct sessions of this array named by `ids`, or empty.
    std::vector<Session *> named(const std::vector<std::uint16_t> &ids) {
        std::vector<Session *> out;
        for (std::uint16_t id : ids) {
            Session *s = findSession(model_, array_.name, id);
            if (s == nullptr || std::find(out.begin(), out.end(), s) != out.end()) return {};
            out.push_back(s);
        }
        return out;
    }

    Refused concurrentSuspend(const Bytes &list) {
        if (list.size() < 16) return refusal::kInvalid;
        std::size_t count = getBe(list, 8, 2);
        std::size_t size = 16 + 4 * ((count + 3) / 4 * 4);  // slots for a multiple of four
        std::uint8_t flags = list[10];
        bool remote = (flags & kConcRemote) != 0;
        bool destinationSide = (flags & kConcDestinationSide) != 0;
        if (count == 0 || count > array_.usPerCommand || list.size() != size || getBe(list, 1, 3) != 0 ||
            getBe(list, 4, 4) != size - 8 || getBe(list, 11, 5) != 0)
            return refusal::kInvalid;
        // The classic list has no side bit: the sessions it names tell the
        // side, one for all of them.
        bool sideBit = support_.pagedEngine();
        std::uint8_t known = static_cast<std::uint8_t>(kConcRemote | kConcUntransferred |
                                                       (sideBit ? kConcDestinationSide : 0));
        if ((flags & ~known) != 0 || (!remote && (flags & (kConcDestinationSide | kConcUntransferred)) != 0))
            return refusal::kInvalid;
        std::vector<std::uint16_t> ids;
        if (!identifiers(list, 16, 4, count, ids)) return refusal::kInvalid;
        if (!support_.vzFunction(remote, 0x40)) return refusal::kNotSetUp;
        std::vector<Session *> sessions = named(ids);
        if (sessions.empty()) return refusal::kInvalid;
        if (!sideBit) destinationSide = sessions[0]->destinationSide(array_.name);
        for (const Session *s : sessions) {
            if (!s->vzFamily() || s->ucStatus == state::kReserve || s->remote() != remote ||
                s->destinationSide(array_.name) != destinationSide || s->srcArray != sessions[0]->srcArray ||
                s->dstArray != sessions[0]->dstArray)
                return refusal::kInvalid;
        }
        for (const Session *s : sessions)
            if (s->ucStatus != state::kActive || s->ucPhase != phase::kEquivalent) return refusal::kOutOfSequence;
        for (Session *s : sessions) {
            s->ucStatus = state::kSuspend;
            s->ucStackTimer = 0;
        }
        return std::nullopt;
    }

    // Whether the source volume of `s` is the target of a remote VZ copy
    // out of another array: starting it makes a cascade over arrays.
    bool cascadeSource(const Session &s) const {
        for (const Session &other : model_.sessions)
            if (other.vzFamily() && other.remote() && other.ucStatus != state::kReserve &&
                other.dstArray == s.srcArray && other.uiDstOlu == s.uiSrcOlu && other.srcArray != s.srcArray)
                return true;
        return false;
    }

    ScsiAnswer concurrentStart(const Bytes &list) {
        if (list.size() < 16) return refuse(refusal::kInvalid);
        std::size_t count = getBe(list, 8, 2);
        std::size_t size = 16 + 8 * ((count + 3) / 4);
        std::uint8_t how = list[12];
        if (count == 0 || list.size() != size || getBe(list, 1, 4) != 0 || getBe(list, 5, 3) != size - 8 ||
            getBe(list, 10, 2) != 0 || getBe(list, 13, 3) != 0 || (how != kConcStart && how != kConcRestart))
            return refuse(refusal::kInvalid);
        // An array without the function (byte 4 bit 0x80) refuses the
        // start as one it cannot run now.
        if (front_ == ListFront::Scsi && !support_.kzpKind(0x80)) return refuse(refusal::kOutOfSequence);
        std::vector<std::uint16_t> ids;
        if (!identifiers(list, 16, 2, count, ids)) return refuse(refusal::kInvalid);
        std::vector<Session *> sessions = named(ids);
        if (sessions.empty()) return refuse(refusal::kInvalid);
        for (const Session *s : sessions) {
            const auto &volumes = model_.arrays.at(array_.name).volumes;
            if (s->srcArray != array_.name || volumes.count(s->uiSrcOlu) == 0)
                return checkCondition(scsi::kIllegalRequest, kAscSourceNotHere, 0x00);
        }
        for (const Session *s : sessions) {
            if (how == kConcStart) {
                if (s->ucStatus != state::kReserve || !s->bPrepared) return refuse(refusal::kInvalid);
            } else if (Refused r = canRestart(*s, 1)) {
                return refuse(*r);
            }
        }
        bool cascade = false;
        for (Session *s : sessions) {
            cascade = cascade || cascadeSource(*s);
            if (how == kConcStart) activate(*s, false);
            else restart(*s);
        }
        return cascade ? refuse(kCascadeAcrossArrays) : ScsiAnswer{};
    }
};

}  // namespace

ScsiAnswer actOnList(SimState &state, const Array &array, const Bytes &list, ListFront front) {
    return ListActor(state, array, front).act(list);
}

}  // namespace zrksim
