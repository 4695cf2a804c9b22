#include "progress.h"

#include "snap_volumes.h"

#include <limits>
#include <set>
#include <utility>

namespace zrksim {

namespace {

std::uint64_t times(std::uint64_t rate, std::uint64_t seconds) {
    if (rate != 0 && seconds > std::numeric_limits<std::uint64_t>::max() / rate)
        return std::numeric_limits<std::uint64_t>::max();
    return rate * seconds;
}

// Whether a SnapKZP+ session is the newest generation of its extent: only
// that one saves the blocks the hosts overwrite.
bool newestGeneration(const Model &model, const Session &s) {
    for (const Session &o : model.sessions)
        if (o.kind == SessionKind::SnapKzpPlus && !o.bare() && o.srcArray == s.srcArray &&
            o.uiSrcOlu == s.uiSrcOlu && o.ullSrcExtent == s.ullSrcExtent && o.ullSize == s.ullSize &&
            o.uiGeneration > s.uiGeneration)
            return false;
    return true;
}

// Copies `copy` more blocks; true when the copy is complete.
bool copyOn(Session &s, std::uint64_t copy, std::uint64_t total) {
    s.ullCopied = addUpTo(s.ullCopied, copy, total);
    return s.ullCopied >= total;
}

}  // namespace

std::uint64_t addUpTo(std::uint64_t value, std::uint64_t add, std::uint64_t limit) {
    if (value >= limit) return value;
    return add >= limit - value ? limit : value + add;
}

void advanceClock(SimState &state, std::uint64_t seconds) {
    state.ullClock += seconds;
    Model &model = state.model;
    std::set<std::pair<std::string, std::uint16_t>> ended;  // (source array, identifier)
    for (Session &s : model.sessions) {
        auto found = model.arrays.find(s.srcArray);
        if (found == model.arrays.end() || s.kind == SessionKind::Failover) continue;
        const Array &array = found->second;
        if (s.ucStatus == state::kReserve) {
            if (array.ullReserveTime != 0 && state.ullClock - s.ullStart >= array.ullReserveTime)
                ended.emplace(s.srcArray, s.usId);
            continue;
        }
        std::uint64_t total = totalBlocks(model, s);
        std::uint64_t copy = times(array.ullRate, seconds);
        std::uint64_t writes = times(array.ullWriteRate, seconds);
        bool suspended = s.ucStatus == state::kSuspend || s.ucStatus == state::kErrorSuspend;
        if (suspended && s.vzFamily()) s.ullDiff = addUpTo(s.ullDiff, writes, total);
        if (s.ucStatus != state::kActive) continue;
        switch (s.kind) {
        case SessionKind::Vz:
            if (s.ucPhase == phase::kCopying && copyOn(s, copy, total)) s.ucPhase = phase::kEquivalent;
            break;
        case SessionKind::Kzp:
            if (s.ucPhase == phase::kCopying && copyOn(s, copy, total)) ended.emplace(s.srcArray, s.usId);
            break;
        case SessionKind::QuickKzp:
            if (s.bTracking) s.ullDiff = addUpTo(s.ullDiff, writes, total);
            if (s.ucPhase != phase::kCopying && s.ucPhase != phase::kTrackingCopying) break;
            if (!copyOn(s, copy, total)) break;
            if (s.bTracking) s.ucPhase = phase::kTracking;
            else ended.emplace(s.srcArray, s.usId);
            break;
        case SessionKind::SnapKzpPlus:
            if (!newestGeneration(model, s)) break;
            [[fallthrough]];
        case SessionKind::SnapKzp:
        case SessionKind::Monitor:
            if (s.ucPhase == phase::kTracking) s.ullCopied = addUpTo(s.ullCopied, writes, total);
            break;
        case SessionKind::Failover: break;
        }
    }
    std::erase_if(model.sessions, [&](const Session &s) { return ended.count({s.srcArray, s.usId}) != 0; });
    finishInitialisations(model, state.ullClock);
}

}  // namespace zrksim
