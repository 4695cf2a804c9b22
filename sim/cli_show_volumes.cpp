#include "cli_show.h"

#include "olu_status.h"
#include "sessions.h"
#include "snap_volumes.h"

#include <cstdio>
#include <limits>
#include <optional>
#include <set>
#include <vector>

namespace zrksim {

namespace {

using namespace clitext;

constexpr std::uint64_t kVvolUnit = 2048;  // blocks per unit of the virtual-volume session sizes

std::string hex(std::uint64_t value) { return hexNumber(value); }

// The type word of "-type".
std::uint8_t typeOf(const std::string &word) {
    if (word == "open") return voltype::kOpen;
    if (word == "sdv") return voltype::kSnapData;
    if (word == "sdpv") return voltype::kSnapDataPool;
    return voltype::kThin;
}

// Percent of `part` in `whole`, at most 100.
std::uint64_t percent(std::uint64_t part, std::uint64_t whole) {
    if (whole == 0) return 0;
    if (part >= whole) return 100;
    if (part > std::numeric_limits<std::uint64_t>::max() / 100) return part / (whole / 100);
    return part * 100 / whole;
}

class VolumeShower {
public:
    VolumeShower(const SimState &state, const Array &array) : st_(state), array_(array) {}

    std::optional<std::string> run(const Command &c) {
        const std::string &v = c.verb;
        if (v == "show volumes") return volumes(c);
        if (v == "show snap-data-volume") return snapDataVolumes(c);
        if (v == "show snap-data-pool") return snapDataPool(c);
        if (v == "show vvol-copy-session") return vvolSessions(c);
        return std::nullopt;
    }

private:
    const SimState &st_;
    const Array &array_;

    // "-volume-number N", when given.
    static std::optional<std::uint64_t> oneVolume(const Command &c) {
        if (!c.has("-volume-number")) return std::nullopt;
        return c.number("-volume-number", 0xFFFFFFFFu, 0);
    }

    // 25 columns: 0 number, 1 name, 3 type, 7 capacity in blocks, 8 copy
    // protection (1 on), 24 failover group; the rest 0 (6, a second name, empty).
    std::string volumeRecord(const Volume &v) const {
        std::vector<std::string> col(25, "0");
        col[0] = hex(v.uiOlu);
        col[1] = v.name;
        col[3] = hex(v.ucType);
        col[6] = "";
        col[7] = hex(v.ullBlocks);
        col[8] = v.bCopyProtection ? "1" : "0";
        col[24] = hex(failoverGroup(array_, v));
        return line(col);
    }

    std::string volumes(const Command &c) const {
        c.allow({"-volume-number", "-type"});
        onlyOnce(c, {"-volume-number", "-type"});
        c.values("-type", {"open", "sdv", "sdpv", "tpv"});
        std::optional<std::uint64_t> only = oneVolume(c);
        std::optional<std::uint8_t> type;
        if (const std::string *t = c.get("-type")) type = typeOf(*t);
        std::string rows;
        std::size_t count = 0;
        for (const auto &[olu, v] : array_.volumes) {
            if ((only && *only != olu) || (type && *type != v.ucType)) continue;
            rows += volumeRecord(v);
            ++count;
        }
        return "00\n" + hex(count) + "\n" + rows;
    }

    // 12 columns: 0 number, 1 name, 4 logical and 5 physical size, 6 and 7
    // used by host writes and by copies, 9 and 10 pool space for host
    // writes and copies, 11 the state word; 2, 3 and 8 are 0.
    std::string sdvRecord(const Volume &v) const {
        SdvUsage u = sdvUsage(st_.model, array_.name, v);
        return line({hex(v.uiOlu), v.name, "0", "0", hex(u.ullLogical), hex(u.ullPhysical), hex(u.ullUsedHost),
                     hex(u.ullUsedCopy), "0", hex(u.ullPoolHost), hex(u.ullPoolCopy), hex(v.uiSdvStatus)});
    }

    std::string snapDataVolumes(const Command &c) const {
        c.allow({"-volume-number"});
        onlyOnce(c, {"-volume-number"});
        std::optional<std::uint64_t> only = oneVolume(c);
        std::string rows;
        std::size_t count = 0;
        for (const auto &[olu, v] : array_.volumes) {
            if (!v.snapData() || (only && *only != olu)) continue;
            rows += sdvRecord(v);
            ++count;
        }
        return "00\n" + hex(count) + "\n" + rows;
    }

    // The array has one pool, number 0: presence, a line 0, the row count,
    // the row (number, total, host use, copy use, the encryption part 0).
    std::string snapDataPool(const Command &c) const {
        c.allow({"-sdp-number"});
        onlyOnce(c, {"-sdp-number"});
        std::uint64_t pool = c.number("-sdp-number", 0xFFFFFFFFu, 0);
        if (array_.ullPool == 0) return "00\n0\n";
        if (pool != 0) return "00\n1\n0\n0\n";
        PoolUsage u = poolUsage(st_.model, array_);
        return "00\n1\n0\n1\n" + line({"0", hex(u.ullTotal), hex(u.ullHost), hex(u.ullCopy), "0", "0", "0"});
    }

    // 25 columns: 0 identifier, 1 kind, 2 state, 3 source volume, 5
    // destination volume, 7 error code, 8 to 13 the start (year, month,
    // day, hour, minute, second in decimal), 14 seconds since, 15 copied
    // and 16 size in units of 2048 blocks (the size rounded up), 23 phase,
    // 24 progress in percent; the rest 0.
    std::string vvolRecord(const Session &s) const {
        std::vector<std::string> col(25, "0");
        std::uint64_t total = totalBlocks(st_.model, s);
        col[0] = hex(s.idOn(array_.name));
        col[1] = hex(s.copyKind());
        col[2] = hex(s.ucStatus);
        col[3] = hex(s.uiSrcOlu);
        col[5] = hex(s.uiDstOlu);
        col[7] = s.ucStatus == state::kErrorSuspend ? "1" : "0";
        std::vector<std::uint8_t> bcd = bcdTime(s.ullStart);  // YY YY MM DD hh mm ss 00
        char part[8];
        std::snprintf(part, sizeof part, "%02X%02X", bcd[0], bcd[1]);
        col[8] = part;
        for (std::size_t i = 2; i < 7; ++i) {
            std::snprintf(part, sizeof part, "%02X", bcd[i]);
            col[7 + i] = part;
        }
        col[14] = hex(s.elapsed(st_.ullClock));
        col[15] = hex(s.ullCopied / kVvolUnit);
        col[16] = hex(total / kVvolUnit + (total % kVvolUnit != 0 ? 1 : 0));
        col[23] = hex(s.ucPhase);
        col[24] = hex(percent(s.ullCopied, total));
        return line(col);
    }

    std::string vvolSessions(const Command &c) const {
        c.allow({"-vvol-session-id", "-volume-number"});
        onlyOnce(c, {"-vvol-session-id", "-volume-number"});
        if (c.has("-vvol-session-id") == c.has("-volume-number"))
            syntax(c.verb + " needs -vvol-session-id or -volume-number");
        std::set<std::uint64_t> ids, volumes;
        if (c.has("-volume-number"))
            for (std::uint64_t n : numberList(c, "-volume-number", 0xFFFFFFFFu)) volumes.insert(n);
        bool all = c.has("-vvol-session-id", "all");
        if (c.has("-vvol-session-id") && !all)
            for (std::uint64_t n : numberList(c, "-vvol-session-id", 0xFFFF)) ids.insert(n);
        std::vector<const Session *> held;
        for (const Session *s : sessionsOf(st_.model, array_.name))
            if (s->bVvol && s->kind != SessionKind::Failover && s->ucStatus != state::kReserve) held.push_back(s);
        if (held.empty()) throw CliError(cli_error::kNoVvolSessions, "no virtual-volume copy session");
        std::string rows;
        std::size_t count = 0;
        for (const Session *s : held) {
            if (c.has("-volume-number")) {
                bool src = s->srcArray == array_.name && volumes.count(s->uiSrcOlu) != 0;
                bool dst = s->dstArray == array_.name && s->uiDstOlu != kNoOlu && volumes.count(s->uiDstOlu) != 0;
                if (!src && !dst) continue;
            } else if (!all && ids.count(s->idOn(array_.name)) == 0) {
                continue;
            }
            rows += vvolRecord(*s);
            ++count;
        }
        return "00\n" + hex(count) + "\n" + rows;
    }
};

}  // namespace

bool runVolumeShow(const SimState &state, const Array &array, const Command &command, std::string &reply) {
    std::optional<std::string> r = VolumeShower(state, array).run(command);
    if (!r) return false;
    reply = std::move(*r);
    return true;
}

}  // namespace zrksim
