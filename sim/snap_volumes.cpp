#include "snap_volumes.h"

#include "progress.h"

#include <algorithm>
#include <limits>

namespace zrksim {

namespace {

bool snapshot(const Session &s) { return s.kind == SessionKind::SnapKzp || s.kind == SessionKind::SnapKzpPlus; }

}  // namespace

std::vector<const Session *> snapshotsInto(const Model &model, const std::string &array, std::uint32_t olu) {
    std::vector<const Session *> out;
    for (const Session &s : model.sessions)
        if (snapshot(s) && !s.bare() && s.dstArray == array && s.uiDstOlu == olu) out.push_back(&s);
    return out;
}

SdvUsage sdvUsage(const Model &model, const std::string &array, const Volume &volume) {
    SdvUsage u;
    u.ullLogical = u.ullPhysical = volume.ullBlocks;
    std::uint64_t saved = 0;
    for (const Session *s : snapshotsInto(model, array, volume.uiOlu))
        saved = addUpTo(saved, s->ullCopied, std::numeric_limits<std::uint64_t>::max());
    u.ullUsedCopy = std::min(saved, u.ullPhysical);
    u.ullPoolCopy = saved - u.ullUsedCopy;
    return u;
}

PoolUsage poolUsage(const Model &model, const Array &array) {
    PoolUsage u;
    u.ullTotal = array.ullPool;
    u.ullHost = std::min(array.ullPoolUsed, array.ullPool);
    std::uint64_t saved = 0;
    for (const Session &s : model.sessions)
        if (snapshot(s) && s.srcArray == array.name && s.ucStatus != state::kReserve)
            saved = addUpTo(saved, s.ullCopied, std::numeric_limits<std::uint64_t>::max());
    u.ullCopy = std::min(saved, u.ullTotal - u.ullHost);
    return u;
}

void startInitialisation(Volume &volume, std::uint64_t now, std::uint64_t seconds) {
    if (seconds == 0) {
        volume.uiSdvStatus = 0;
        volume.bInitializing = false;
        return;
    }
    volume.uiSdvStatus = sdvstate::kInitializing;
    volume.bInitializing = true;
    volume.ullInitEnd = addUpTo(now, seconds, std::numeric_limits<std::uint64_t>::max());
}

void finishInitialisations(Model &model, std::uint64_t now) {
    for (auto &[name, array] : model.arrays)
        for (auto &[olu, volume] : array.volumes)
            if (volume.bInitializing && now >= volume.ullInitEnd) {
                volume.bInitializing = false;
                volume.uiSdvStatus = 0;
            }
}

}  // namespace zrksim
