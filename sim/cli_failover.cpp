#include "cli_failover.h"

#include "sessions.h"
#include "support.h"

#include <cstdio>
#include <limits>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace zrksim {

namespace {

using namespace clitext;

constexpr std::uint8_t kRolePrimary = 1;
constexpr std::uint8_t kDestinationSide = 0x10;  // detail column 3: the volume of this array is the destination

std::string hex(std::uint64_t value) { return hexNumber(value); }

// Percent of `part` in `whole`, at most 100.
std::uint64_t percent(std::uint64_t part, std::uint64_t whole) {
    if (whole == 0) return 0;
    if (part >= whole) return 100;
    if (part > std::numeric_limits<std::uint64_t>::max() / 100) return part / (whole / 100);
    return part * 100 / whole;
}

// One failover group of this array: its role there and its volumes.
struct GroupView {
    std::uint8_t ucRole = 0;
    std::vector<std::uint32_t> volumes;  // rising OLU order
};

// A pair of volumes, this array's first, and its failover sessions.
struct PairView {
    std::uint32_t uiLocal = 0;
    std::uint32_t uiPartner = 0;
    std::vector<const Session *> sessions;  // rising identifier order on this array
};

class FailoverShower {
public:
    FailoverShower(const SimState &state, const Array &array) : st_(state), array_(array) {}

    std::optional<std::string> run(const Command &c) {
        if (c.verb == "show tfo-groups") return groups(c);
        if (c.verb == "show tfo-pair") return pairs(c);
        return std::nullopt;
    }

private:
    const SimState &st_;
    const Array &array_;

    void needFailover() const {
        if (!Support(array_.support).failover()) throw CliError(cli_error::kNotSetUp, "no failover");
    }

    // The groups of the volumes in a storage cluster (role not 0), by number.
    std::map<std::uint32_t, GroupView> groupViews() const {
        std::map<std::uint32_t, GroupView> out;
        for (const auto &[olu, v] : array_.volumes) {
            int role = v.iRole >= 0 ? v.iRole : array_.ucRole;
            int group = v.iGroup >= 0 ? v.iGroup : array_.ucGroup;
            if (role == 0) continue;
            auto [it, fresh] = out.try_emplace(static_cast<std::uint32_t>(group));
            if (fresh) it->second.ucRole = static_cast<std::uint8_t>(role);
            it->second.volumes.push_back(olu);
        }
        return out;
    }

    // 9 columns: 0 group, 1 0, 2 role, 3 the partner's BoxID, 4 active (the
    // primary) or on standby (0), 5 the volume count, 6 to 8 0; then the
    // volume count and one volume a line.
    std::string groupRecord(std::uint32_t number, const GroupView &g) const {
        std::string partner = array_.partner.empty() ? std::string(kBoxIdLen, ' ') : boxIdOf(st_.model, array_.partner);
        std::string out = line({hex(number), "0", hex(g.ucRole), partner, g.ucRole == kRolePrimary ? "1" : "0",
                                hex(g.volumes.size()), "0", "0", "0"});
        out += hex(g.volumes.size()) + "\n";
        for (std::uint32_t olu : g.volumes) out += hex(olu) + "\n";
        return out;
    }

    std::string groups(const Command &c) const {
        c.allow({"-tfog-number"});
        onlyOnce(c, {"-tfog-number"});
        needFailover();
        std::optional<std::uint64_t> only;
        if (c.has("-tfog-number")) only = c.number("-tfog-number", 255, 0);
        std::string rows;
        std::size_t count = 0;
        for (const auto &[number, g] : groupViews()) {
            if (only && *only != number) continue;
            rows += groupRecord(number, g);
            ++count;
        }
        if (count == 0) throw CliError(cli_error::kNoFailoverGroup, "no failover group");
        return "00\n" + hex(count) + "\n" + rows;
    }

    // The failover sessions of this array by the group of their volume here,
    // then by volume pair.
    std::map<std::uint32_t, std::vector<PairView>> pairViews(const std::map<std::uint32_t, GroupView> &groups) const {
        std::map<std::uint32_t, std::uint32_t> groupOf;  // volume -> group
        for (const auto &[number, g] : groups)
            for (std::uint32_t olu : g.volumes) groupOf[olu] = number;
        std::map<std::uint32_t, std::vector<PairView>> out;
        for (const Session *s : sessionsOf(st_.model, array_.name)) {
            if (s->kind != SessionKind::Failover) continue;
            bool here = s->srcArray == array_.name;
            std::uint32_t local = here ? s->uiSrcOlu : s->uiDstOlu;
            std::uint32_t partner = here ? s->uiDstOlu : s->uiSrcOlu;
            auto g = groupOf.find(local);
            if (g == groupOf.end()) continue;
            std::vector<PairView> &list = out[g->second];
            PairView *pair = nullptr;
            for (PairView &p : list)
                if (p.uiLocal == local && p.uiPartner == partner) pair = &p;
            if (pair == nullptr) {
                list.push_back(PairView{local, partner, {}});
                pair = &list.back();
            }
            pair->sessions.push_back(s);
        }
        return out;
    }

    // A detail: this array's volume, the flag (0 for a reserved identifier,
    // which has no detail line), then 14 columns: 0 the partner's volume, 1
    // and 2 the identifiers on the source and destination array, 3 0x10
    // when this array holds the destination plus the mode flags, 4 phase, 5
    // state, 6 seconds since the start, 7 this array's BoxID, 8 the
    // partner's, 9 error code (1 in error suspend), 10 copied blocks, 11 the
    // extent size (0 whole volume), 12 start time, 13 progress in percent.
    std::string detail(std::uint32_t local, std::uint32_t partner, const Session &s) const {
        if (s.ucStatus == state::kReserve) return hex(local) + "\n0\n";
        const std::string &other = s.srcArray == array_.name ? s.dstArray : s.srcArray;
        std::uint64_t total = totalBlocks(st_.model, s);
        std::uint64_t progress = percent(s.ullCopied, total);
        std::uint8_t flags = static_cast<std::uint8_t>((s.destinationSide(array_.name) ? kDestinationSide : 0) | (s.ucMode & 0x07));
        return hex(local) + "\n1\n" +
               line({hex(partner), hex(s.usId), hex(s.usPartnerId), hex(flags), hex(s.ucPhase), hex(s.ucStatus),
                     hex(s.elapsed(st_.ullClock)), array_.boxId, boxIdOf(st_.model, other),
                     s.ucStatus == state::kErrorSuspend ? "1" : "0", hex(s.ullCopied), hex(s.ullSize),
                     bcdTimeText(s.ullStart), hex(progress)});
    }

    // Per group: its number, the pair count; per pair a line of the two
    // volumes, the detail count and the details.
    std::string pairs(const Command &c) const {
        c.allow({});
        needFailover();
        std::map<std::uint32_t, GroupView> groups = groupViews();
        if (groups.empty()) throw CliError(cli_error::kNoFailoverGroup, "no failover group");
        std::map<std::uint32_t, std::vector<PairView>> byGroup = pairViews(groups);
        std::string out = "00\n" + hex(groups.size()) + "\n";
        for (const auto &[number, g] : groups) {
            const std::vector<PairView> &list = byGroup[number];
            out += hex(number) + "\n" + hex(list.size()) + "\n";
            for (const PairView &p : list) {
                out += line({hex(p.uiLocal), hex(p.uiPartner)});
                out += hex(p.sessions.size()) + "\n";
                for (const Session *s : p.sessions) out += detail(p.uiLocal, p.uiPartner, *s);
            }
        }
        return out;
    }
};

}  // namespace

bool runFailoverShow(const SimState &state, const Array &array, const Command &command, std::string &reply) {
    std::optional<std::string> r = FailoverShower(state, array).run(command);
    if (!r) return false;
    reply = std::move(*r);
    return true;
}

}  // namespace zrksim
