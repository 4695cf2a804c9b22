#include "copy_pages.h"

#include "cli_generations.h"
#include "olu_status.h"
#include "snap_volumes.h"

#include <algorithm>
#include <map>
#include <utility>

namespace zrksim {

namespace {

constexpr std::size_t kHeaderLen = 8;

std::uint8_t extentCount(const Session &s) { return s.whole() ? 0 : 1; }

std::uint32_t low32(std::uint64_t v) { return static_cast<std::uint32_t>(v); }

// Whether a session belongs to the family of an identifier-list or detail
// page: 0x04, 0x05, 0x15, 0x16 the KZP family, 0x08, 0x09, 0x19, 0x1A the VZ
// family; the local pages take local sessions only.
bool inFamily(const Session &s, std::uint8_t page) {
    bool kzpPage = page == 0x04 || page == 0x05 || page == 0x15 || page == 0x16;
    bool local = page == 0x04 || page == 0x05 || page == 0x08 || page == 0x09;
    if (local && s.remote()) return false;
    return kzpPage ? s.kzpFamily() : s.vzFamily();
}

// Sessions that the identifier lists show: no reserved identifiers, no
// failover and no virtual-volume sessions.
bool listed(const Session &s) { return s.ucStatus != state::kReserve && !s.bVvol; }

// The destination BoxID of a session's records: a monitor session without a
// destination volume names no destination array, all 0xFF as the host's
// request of such a session carries it.
void putDestinationBoxId(Bytes &b, std::size_t at, const Model &model, const Session &s) {
    if (s.kind == SessionKind::Monitor && s.uiDstOlu == kNoOlu)
        std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(at), kBoxIdLen, std::uint8_t{0xFF});
    else
        putText(b, at, kBoxIdLen, boxIdOf(model, s.dstArray));
}

}  // namespace

Bytes detailEntry(const Model &model, const Session &s, const std::string &array, std::uint64_t clock) {
    Bytes e(kDetailEntryLen, 0);
    put16(e, 0, s.usId);
    put16(e, 2, s.usPartnerId);
    e[4] = s.copyKind();
    e[5] = s.flags();
    e[6] = static_cast<std::uint8_t>((s.destinationSide(array) ? 0x10 : 0) | (s.ucMode & 0x07));
    e[7] = s.ucTransfer;
    e[8] = s.ucPhase;
    e[9] = s.ucStatus;
    e[10] = s.ucModeChange;
    put32(e, 12, s.elapsed(clock));
    putText(e, 16, kBoxIdLen, boxIdOf(model, s.srcArray));
    putDestinationBoxId(e, 56, model, s);
    put32(e, 96, s.uiSrcOlu);
    put32(e, 100, s.uiDstOlu);
    put16(e, 104, extentCount(s));
    e[106] = s.ucStatus == state::kErrorSuspend ? 1 : 0;  // error code, as "show copy-sessions"
    put64(e, 108, s.ullCopied);
    put64(e, 116, s.ullSrcExtent);
    put64(e, 124, s.ullSize);
    put64(e, 132, s.ullDstExtent);
    Bytes time = bcdTime(s.ullStart);
    std::copy(time.begin(), time.end(), e.begin() + 152);
    return e;
}

Bytes pagedRecord(const Model &model, const Session &s, const std::string &array, std::uint64_t clock) {
    Bytes r(kPagedRecordLen, 0);
    put16(r, 0, s.usId);
    put16(r, 2, s.usPartnerId);
    r[4] = s.copyKind();
    r[12] = s.flags();
    r[14] = static_cast<std::uint8_t>((s.destinationSide(array) ? 0x10 : 0) | (s.ucMode & 0x07));
    r[15] = s.ucTransfer;
    r[16] = s.ucModeChange;
    r[17] = s.ucVolRole;
    r[18] = s.ucPhase;
    r[19] = s.ucStatus;
    putText(r, 24, kBoxIdLen, boxIdOf(model, s.srcArray));
    putDestinationBoxId(r, 72, model, s);
    put32(r, 120, s.uiSrcOlu);
    put32(r, 124, s.uiDstOlu);
    put16(r, 128, extentCount(s));
    put32(r, 132, s.elapsed(clock));
    put64(r, 136, s.ullCopied);
    Bytes time = bcdTime(s.ullStart);
    std::copy(time.begin(), time.end(), r.begin() + 144);
    put64(r, 152, s.ullSrcExtent);
    put64(r, 160, s.ullSize);
    put64(r, 168, s.ullDstExtent);
    return r;
}

Bytes classicRecord(const Model &model, const Session &s, const std::string &array, std::uint64_t clock) {
    Bytes r(kClassicRecordLen, 0);
    put16(r, 0, s.usId);
    put16(r, 2, s.usPartnerId);
    std::uint8_t flags = static_cast<std::uint8_t>((s.whole() ? 0x80 : 0) | (s.remote() ? 0x20 : 0) |
                                                   (s.destinationSide(array) ? 0x10 : 0));
    if (s.vzFamily()) {
        r[4] = static_cast<std::uint8_t>(flags | (s.ucMode & 0x07));
        r[5] = s.ucPhase;
        r[8] = s.ucTransfer;
        r[9] = s.ucModeChange;
        put16(r, 130, static_cast<std::uint16_t>(s.elapsed(clock))); // the entry's bytes 14-15
    } else {
        r[4] = flags;
        std::uint8_t mode = s.ucPhase & 0x0F;
        if (s.kind == SessionKind::QuickKzp) mode |= 0x20;
        if (s.kind == SessionKind::Monitor) mode |= 0xC0;
        if (s.kind == SessionKind::SnapKzp) mode |= 0x40;
        r[5] = mode;
        put32(r, 8, s.elapsed(clock));
    }
    r[6] = s.ucStatus;
    put32(r, 12, low32(s.ullCopied));
    r[16] = s.ucVolRole;
    putText(r, 24, kBoxIdLen, boxIdOf(model, s.srcArray));
    putDestinationBoxId(r, 72, model, s);
    put32(r, 120, s.uiSrcOlu);
    put32(r, 124, s.uiDstOlu);
    put16(r, 128, extentCount(s));
    put32(r, 136, low32(s.ullSrcExtent));
    put32(r, 140, low32(s.ullSize));
    put32(r, 144, low32(s.ullDstExtent));
    return r;
}

Bytes localRecord(const Session &s, std::uint64_t clock) {
    Bytes r(kLocalRecordLen, 0);
    put16(r, 0, s.usId);
    std::uint8_t byte2 = static_cast<std::uint8_t>((s.whole() ? 0x80 : 0) | (s.ucStatus & 0x0F));
    put32(r, 8, low32(s.ullCopied));
    r[12] = s.ucVolRole;
    if (s.vzFamily()) {
        byte2 |= static_cast<std::uint8_t>((s.ucPhase & 0x07) << 4);
        r[13] = extentCount(s);
        put16(r, 14, static_cast<std::uint16_t>(s.elapsed(clock)));
        put16(r, 18, s.uiSrcOlu);
        put16(r, 22, s.uiDstOlu);
    } else {
        if (s.kind == SessionKind::QuickKzp) byte2 |= 0x20;
        put32(r, 4, s.elapsed(clock));
        put16(r, 14, s.uiSrcOlu);
        put16(r, 16, s.uiDstOlu);
        r[18] = s.ucPhase & 0x0F;
        r[21] = extentCount(s);
    }
    r[2] = byte2;
    put32(r, 24, low32(s.ullSrcExtent));
    put32(r, 28, low32(s.ullSize));
    put32(r, 32, low32(s.ullDstExtent));
    return r;
}

namespace pages {

void setHeader(Bytes &reply, std::uint8_t page, bool large) {
    if (reply.size() < kHeaderLen) reply.resize(kHeaderLen, 0);
    std::uint64_t length = reply.size() - kHeaderLen;
    reply[0] = page;
    if (large) {
        put32(reply, 4, length);
    } else {
        put16(reply, 4, 0);
        put16(reply, 6, std::min<std::uint64_t>(length, 0xFFFF));
    }
}

Bytes support(const Array &array) {
    Bytes b(kHeaderLen, 0);
    b.insert(b.end(), array.support.begin(), array.support.end());
    return b;
}

Bytes reserved(std::uint16_t id) {
    Bytes b(16, 0);
    put16(b, 8, id);
    return b;
}

Bytes qmSupport(const Array &array) {
    Bytes b(kHeaderLen, 0);
    b.insert(b.end(), array.qmSupport.begin(), array.qmSupport.end());
    return b;
}

Bytes idList(const Model &model, const Array &array, std::uint8_t page) {
    bool local = page == 0x05 || page == 0x09;
    Bytes b(16, 0);
    for (int i = 0; i < 4; ++i) put16(b, 8 + 2 * static_cast<std::size_t>(i), array.maxSessions[static_cast<std::size_t>(i)]);
    for (const Session *s : sessionsOf(model, array.name)) {
        if (!listed(*s) || !inFamily(*s, page)) continue;
        std::size_t at = b.size();
        if (local) {
            b.resize(at + 8, 0);
            put16(b, at, s->idOn(array.name));
            b[at + 2] = static_cast<std::uint8_t>((s->ucPhase & 0x0F) << 4 | (s->ucStatus & 0x0F));
            b[at + 3] = s->ucVolRole;
            put16(b, at + 4, s->uiSrcOlu);
            put16(b, at + 6, s->uiDstOlu);
        } else {
            b.resize(at + 16, 0);
            put16(b, at, s->idOn(array.name));
            b[at + 2] = static_cast<std::uint8_t>((s->whole() ? 0x80 : 0) | (s->remote() ? 0x20 : 0) |
                                                  (s->destinationSide(array.name) ? 0x10 : 0) |
                                                  (s->ucMode & 0x07));
            b[at + 3] = s->ucVolRole;
            b[at + 4] = s->ucStatus;
            b[at + 5] = s->ucPhase;
            put32(b, at + 8, s->uiSrcOlu);
            put32(b, at + 12, s->uiDstOlu);
        }
    }
    return b;
}

Bytes localDetail(const Model &model, const Array &array, std::uint8_t page, std::uint16_t id,
                  std::uint64_t clock) {
    Bytes b(kHeaderLen + kLocalRecordLen, 0);
    const Session *s = findSession(model, array.name, id);
    if (s != nullptr && inFamily(*s, page)) {
        Bytes r = localRecord(*s, clock);
        std::copy(r.begin(), r.end(), b.begin() + kHeaderLen);
    }
    return b;
}

Bytes classicDetail(const Model &model, const Array &array, std::uint8_t page, std::uint16_t id,
                    std::uint64_t clock) {
    Bytes b(kHeaderLen + kClassicRecordLen, 0);
    const Session *s = findSession(model, array.name, id);
    if (s != nullptr && inFamily(*s, page)) {
        Bytes r = classicRecord(model, *s, array.name, clock);
        std::copy(r.begin(), r.end(), b.begin() + kHeaderLen);
    }
    return b;
}

}  // namespace pages

std::uint64_t rvzShare(std::uint64_t whole, std::size_t modules) { return modules == 0 ? 0 : whole / modules; }

std::size_t rvzBufferSessions(const Model &model, const Array &array, const RvzBuffer &buffer) {
    if (buffer.remote.empty()) return 0;
    std::size_t n = 0;
    for (const Session *s : sessionsOf(model, array.name)) {
        if (!s->vzFamily() || !s->remote() || s->ucStatus == state::kReserve) continue;
        const std::string &other = s->srcArray == array.name ? s->dstArray : s->srcArray;
        if (other == buffer.remote) ++n;
    }
    return n;
}

namespace pages {

Bytes remoteArrays(const Model &model, const Array &array) {
    std::size_t room = array.qm() ? 256 : 64;
    std::size_t count = std::min(array.remotes.size(), room);
    Bytes b(16 + 48 * count, 0);
    b[8] = static_cast<std::uint8_t>(count);
    for (std::size_t i = 0; i < count; ++i) putText(b, 16 + 48 * i, kBoxIdLen, boxIdOf(model, array.remotes[i]));
    return b;
}

// The RVZ buffer pages carry the same fields as the command-line interface's
// "show rvz-buffer", "show rvz-buffer-usage" and "show rvz-disk-buffer", at
// the places the host reads them: a list entry (page 0x21), the buffer
// detail and its modules (page 0x23), and the disk buffer with its modules
// (page 0x24, a record only for a buffer that has one).
Bytes rvzBufferList(const Model &model, const Array &array) {
    Bytes b(16 + 64 * array.rvzBuffers.size(), 0);
    put16(b, 6, b.size() - 8);  // what follows the length field's header
    put16(b, 8, array.usRvzBuffers);
    put16(b, 10, array.rvzBuffers.size());
    b[15] = array.ucRvzPages;
    std::size_t at = 16;
    for (const auto &[id, buffer] : array.rvzBuffers) {
        b[at + 1] = id;
        b[at + 2] = buffer.remote.empty() ? 0 : 1;  // state
        put16(b, at + 4, buffer.cms.size());
        put16(b, at + 8, buffer.usType);
        put16(b, at + 10, buffer.usInterval);
        put32(b, at + 12, buffer.uiMonitor);
        put32(b, at + 16, buffer.uiSize);
        if (!buffer.remote.empty()) putText(b, at + 24, kBoxIdLen, boxIdOf(model, buffer.remote));
        at += 64;
    }
    return b;
}

Bytes rvzBuffer(const Model &model, const Array &array, const RvzBuffer &buffer) {
    constexpr std::size_t kModules = 32;
    Bytes b(40 + 32 * kModules, 0);
    std::size_t count = std::min(buffer.cms.size(), kModules);
    b[9] = buffer.ucId;
    put16(b, 10, rvzBufferSessions(model, array, buffer));
    put16(b, 14, count);
    put32(b, 16, buffer.uiSize);
    put32(b, 20, buffer.uiUsed);
    put32(b, 24, buffer.uiSize - buffer.uiUsed);
    const std::size_t n = buffer.cms.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 40 + 32 * i;
        const std::uint64_t size = rvzShare(buffer.uiSize, n), used = rvzShare(buffer.uiUsed, n);
        put16(b, at, buffer.cms[i]);
        put32(b, at + 4, size);
        put32(b, at + 8, used);
        put32(b, at + 12, size - used);
    }
    return b;
}

Bytes rvzUsage(const Array &array) {
    bool longForm = (array.ucRvzPages & 0x04) != 0;
    std::size_t recordLen = longForm ? 1120 : 608;
    std::size_t modules = longForm ? 32 : 16;
    constexpr std::size_t kRecords = 8;
    Bytes b(16 + recordLen * kRecords, 0);
    std::size_t count = 0;
    std::size_t at = 16;
    for (const auto &[id, buffer] : array.rvzBuffers) {
        if (buffer.rlus.empty()) continue;  // no disk buffer
        if (count == kRecords) break;
        ++count;
        b[at] = id;
        b[at + 1] = 1;  // disk-buffer state
        b[at + 16] = static_cast<std::uint8_t>(buffer.rlus.size());
        for (std::size_t v = 0; v < buffer.rlus.size() && v < 16; ++v) put16(b, at + 20 + 2 * v, buffer.rlus[v]);
        put64(b, at + 72, buffer.ullDiskSize);
        put64(b, at + 80, buffer.ullDiskUsed);
        put64(b, at + 88, buffer.ullDiskSize - buffer.ullDiskUsed);
        const std::size_t all = buffer.cms.size();
        std::size_t n = std::min(all, modules);
        put16(b, at + 64, n);
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t m = at + 96 + 32 * i;
            const std::uint64_t size = rvzShare(buffer.ullDiskSize, all), used = rvzShare(buffer.ullDiskUsed, all);
            put16(b, m, buffer.cms[i]);
            put64(b, m + 8, size);
            put64(b, m + 16, used);
            put64(b, m + 24, size - used);
        }
        at += recordLen;
    }
    put16(b, 10, count);
    return b;
}

Bytes oluStatus(const Model &model, const Array &array, const Volume &volume) {
    Bytes b(8, 0);
    Bytes record = oluStatusRecord(model, array, volume);
    b.insert(b.end(), record.begin(), record.end());
    return b;
}

Bytes perCommand(const Model &model, const Array &array) {
    Bytes b(16, 0);
    put16(b, 10, array.usPerCommand);
    for (const Session *s : sessionsOf(model, array.name)) {
        if (b.size() >= 16 + 8 * static_cast<std::size_t>(array.usPerCommand)) break;
        if (!s->vzFamily() || !listed(*s)) continue;
        std::size_t at = b.size();
        b.resize(at + 8, 0);
        put16(b, at, s->idOn(array.name));
        b[at + 2] = s->ucStatus;
    }
    return b;
}

Bytes detailList(const Model &model, const Array &array, std::uint16_t start, std::uint8_t selection,
                 std::uint64_t clock) {
    std::vector<const Session *> chosen;
    for (const Session *s : sessionsOf(model, array.name)) {
        if (s->idOn(array.name) < start) continue;
        bool failover = s->kind == SessionKind::Failover;
        if (selection & kSelectFailover) {
            if (!failover) continue;
        } else if (selection & kSelectVvol) {
            if (!s->bVvol) continue;
        } else if (failover || s->bVvol) {
            continue;
        }
        if (s->ucStatus == state::kReserve && (selection & kSelectReserved) == 0) continue;
        chosen.push_back(s);
    }
    std::size_t count = std::min(chosen.size(), kDetailListPageMax);
    Bytes b(16 + kDetailEntryLen * count, 0);
    put16(b, 10, count);
    put16(b, 12, chosen.size() > count ? chosen[count]->idOn(array.name) : 0);
    for (std::size_t i = 0; i < count; ++i) {
        Bytes e = detailEntry(model, *chosen[i], array.name, clock);
        std::copy(e.begin(), e.end(), b.begin() + static_cast<std::ptrdiff_t>(16 + kDetailEntryLen * i));
    }
    return b;
}

Bytes pagedDetail(const Model &model, const Array &array, std::uint16_t id, std::uint64_t clock) {
    Bytes b(kHeaderLen + kPagedRecordLen, 0);
    if (const Session *s = findSession(model, array.name, id)) {
        Bytes r = pagedRecord(model, *s, array.name, clock);
        std::copy(r.begin(), r.end(), b.begin() + kHeaderLen);
    }
    return b;
}

Bytes generations(const Model &model, const Array &array, std::uint32_t olu, std::size_t allocation) {
    // The SnapKZP+ sessions of the OLU, one block per source extent, each
    // block's generations oldest first.
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::vector<const Session *>> blocks;
    for (const Session &s : model.sessions)
        if (s.kind == SessionKind::SnapKzpPlus && s.srcArray == array.name && s.uiSrcOlu == olu)
            blocks[{s.ullSrcExtent, s.ullSize}].push_back(&s);
    std::size_t g = array.usGenerations;
    std::size_t blockLen = 32 + 2 * g;
    std::size_t fit = allocation > 32 ? (allocation - 32) / blockLen : 0;
    std::size_t count = std::min(blocks.size(), fit);
    Bytes b(32 + blockLen * count, 0);
    put16(b, 10, blocks.size());
    put16(b, 12, count);
    put16(b, 14, g);
    std::size_t at = 32;
    for (auto &[extent, sessions] : blocks) {
        if (at >= b.size()) break;
        std::stable_sort(sessions.begin(), sessions.end(), [](const Session *x, const Session *y) {
            return x->uiGeneration < y->uiGeneration;
        });
        std::size_t n = std::min(sessions.size(), g);
        put16(b, at, n);
        put64(b, at + 4, extent.first);
        put64(b, at + 12, extent.second);
        for (std::size_t i = 0; i < n; ++i) put16(b, at + 32 + 2 * i, sessions[i]->usId);
        at += blockLen;
    }
    return b;
}

Bytes poolInfo(const Model &model, const Array &array) {
    // The same three sizes as "show snap-data-pool"; no encryption part.
    const PoolUsage use = poolUsage(model, array);
    Bytes b(64, 0);
    put64(b, 8, use.ullTotal);
    put64(b, 16, use.ullHost);
    put64(b, 24, use.ullCopy);
    return b;
}

Bytes poolSize(const Model &model, const Array &array, std::uint16_t id) {
    Bytes b(64, 0);
    RestoreSize r;
    if (!restoreSize(model, array, id, &r)) return b;
    put16(b, 8, id);
    put16(b, 10, r.usNumber);
    put16(b, 12, r.usCount);
    put64(b, 16, r.ullFree);
    put64(b, 24, r.ullRestore);
    put64(b, 32, r.ullHeld);
    put64(b, 40, r.ullExtent);
    return b;
}

}  // namespace pages

}  // namespace zrksim
