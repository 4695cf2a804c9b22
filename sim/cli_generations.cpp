#include "cli_generations.h"

#include "progress.h"
#include "sessions.h"
#include "snap_volumes.h"
#include "support.h"

#include <algorithm>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace zrksim {

namespace {

using namespace clitext;

constexpr std::uint64_t kMax64 = std::numeric_limits<std::uint64_t>::max();

std::string hex(std::uint64_t value) { return hexNumber(value); }

// A SnapKZP+ session that holds a generation (a reserved identifier does not).
bool generation(const Session &s) { return s.kind == SessionKind::SnapKzpPlus && s.ucStatus != state::kReserve; }

bool sameExtent(const Session &a, const Session &b) {
    return a.srcArray == b.srcArray && a.uiSrcOlu == b.uiSrcOlu && a.ullSrcExtent == b.ullSrcExtent &&
           a.ullSize == b.ullSize;
}

class GenerationShower {
public:
    GenerationShower(const SimState &state, const Array &array) : st_(state), array_(array) {}

    std::optional<std::string> run(const Command &c) const {
        if (c.verb == "show snap-kzp-gen") return generations(c);
        if (c.verb == "show snap-kzp-restore-size") return restoreSizes(c);
        return std::nullopt;
    }

private:
    const SimState &st_;
    const Array &array_;

    // `00`; a header of the maximum generation count and the number of
    // generations of the volume; the group count; per source extent (in
    // rising order of start and size) its start and size, its generation
    // count and their identifiers, oldest first. Nothing is cut at the
    // maximum: a scenario may hold more generations than the array allows.
    std::string generations(const Command &c) const {
        c.allow({"-volume-number"});
        onlyOnce(c, {"-volume-number"});
        std::uint64_t olu = c.required("-volume-number", 0xFFFFFFFFu);
        if (!Support(array_.support).snapPlus()) throw CliError(cli_error::kNotSetUp, "no SnapKZP+");
        if (array_.volumes.count(static_cast<std::uint32_t>(olu)) == 0)
            throw CliError(cli_error::kInvalid, "no volume " + std::to_string(olu));
        std::map<std::pair<std::uint64_t, std::uint64_t>, std::vector<const Session *>> groups;
        std::size_t total = 0;
        for (const Session &s : st_.model.sessions) {
            if (!generation(s) || s.srcArray != array_.name || s.uiSrcOlu != olu) continue;
            groups[{s.ullSrcExtent, s.ullSize}].push_back(&s);
            ++total;
        }
        std::string out = "00\n" + line({hex(array_.usGenerations), hex(total)}) + hex(groups.size()) + "\n";
        for (auto &[extent, sessions] : groups) {
            std::stable_sort(sessions.begin(), sessions.end(), [](const Session *x, const Session *y) {
                return x->uiGeneration < y->uiGeneration;
            });
            out += line({hex(extent.first), hex(extent.second)}) + hex(sessions.size()) + "\n";
            for (const Session *s : sessions) out += hex(s->usId) + "\n";
        }
        return out;
    }

    // `00`, the row count, one row per listed identifier that names a
    // SnapKZP+ generation, in rising order of the identifier: identifier,
    // free pool capacity, restore size, blocks of all generations of its
    // extent, extent size, its generation number.
    std::string restoreSizes(const Command &c) const {
        c.allow({"-session-id"});
        onlyOnce(c, {"-session-id"});
        if (!Support(array_.support).poolSize()) throw CliError(cli_error::kNotSetUp, "no pool sizes");
        std::set<std::uint64_t> ids;
        for (std::uint64_t n : numberList(c, "-session-id", 0xFFFF)) ids.insert(n);
        std::string rows;
        std::size_t count = 0;
        for (std::uint64_t id : ids) {
            RestoreSize r;
            if (!restoreSize(st_.model, array_, static_cast<std::uint16_t>(id), &r)) continue;
            rows += line({hex(id), hex(r.ullFree), hex(r.ullRestore), hex(r.ullHeld), hex(r.ullExtent),
                          hex(r.usNumber)});
            ++count;
        }
        return "00\n" + hex(count) + "\n" + rows;
    }
};

}  // namespace

bool restoreSize(const Model &model, const Array &array, std::uint16_t id, RestoreSize *out) {
    const Session *s = findSession(model, array.name, id);
    if (s == nullptr || !generation(*s)) return false;
    RestoreSize r;
    const PoolUsage pool = poolUsage(model, array);
    r.ullFree = pool.ullTotal - pool.ullHost - pool.ullCopy;
    r.ullRestore = s->ullCopied;
    for (const Session &o : model.sessions) {
        if (!generation(o) || !sameExtent(o, *s)) continue;
        ++r.usCount;
        if (o.uiGeneration <= s->uiGeneration) ++r.usNumber;
        r.ullHeld = addUpTo(r.ullHeld, o.ullCopied, kMax64);
    }
    r.ullExtent = totalBlocks(model, *s);
    *out = r;
    return true;
}

bool runGenerationShow(const SimState &state, const Array &array, const Command &command, std::string &reply) {
    std::optional<std::string> r = GenerationShower(state, array).run(command);
    if (!r) return false;
    reply = std::move(*r);
    return true;
}

}  // namespace zrksim
