#include "cli_concurrent.h"

#include "bytes.h"
#include "session_ops.h"
#include "sessions.h"

#include <algorithm>
#include <vector>

namespace zrksim {

namespace {

using namespace clitext;

// The concurrent start page 0x51: a start (0x80) or restart (0x40) of
// sessions named by identifier.
constexpr std::uint8_t kHowStart = 0x80;
constexpr std::uint8_t kHowRestart = 0x40;
// The page's answer for a start that took effect with a cascade over arrays.
constexpr std::uint8_t kAscCascade = 0x26;
constexpr std::uint8_t kAscqCascadeAcrossArrays = 0xAB;

Bytes concurrentPage(const std::vector<std::uint16_t> &ids, std::uint8_t how) {
    std::size_t size = 16 + 8 * ((ids.size() + 3) / 4);
    Bytes p(size, 0);
    p[0] = 0x51;
    putBe(p, 5, 3, size - 8);
    putBe(p, 8, 2, ids.size());
    p[12] = how;
    for (std::size_t i = 0; i < ids.size(); ++i) putBe(p, 16 + 2 * i, 2, ids[i]);
    return p;
}

std::uint8_t ascOf(const ScsiAnswer &a) { return a.sense.size() > 12 ? a.sense[12] : 0; }
std::uint8_t ascqOf(const ScsiAnswer &a) { return a.sense.size() > 13 ? a.sense[13] : 0; }

// Acts on a page; throws with the array's code when it is refused.
void act(SimState &st, const Array &array, const Bytes &page) {
    ScsiAnswer a = actOnList(st, array, page, ListFront::Cli);
    if (a.ucStatus != scsi::kGood) throw CliError(cliErrorOfRefusal(ascqOf(a)), "refused");
}

std::string row(std::uint32_t result, std::uint32_t code, const ConcurrentMember &m) {
    return line({hexNumber(result), hexNumber(code), hexNumber(m.usId), hexNumber(m.uiSrcOlu), hexNumber(m.uiDstOlu),
                 hexNumber(m.ullSrcExtent), hexNumber(m.ullDstExtent)});
}

ConcurrentMember memberOf(const Session &s, const std::string &array) {
    return {s.idOn(array), s.uiSrcOlu, s.uiDstOlu, s.ullSrcExtent, s.ullDstExtent};
}

// The source volume of `s` is the target of a remote VZ copy out of
// another array: starting `s` makes a cascade over arrays.
bool cascadeSource(const Model &model, const Session &s) {
    return std::any_of(model.sessions.begin(), model.sessions.end(), [&](const Session &o) {
        return o.vzFamily() && o.remote() && o.ucStatus != state::kReserve && o.dstArray == s.srcArray &&
               o.uiDstOlu == s.uiSrcOlu && o.srcArray != s.srcArray;
    });
}

// The session of member `m` is still the one its part prepared (an
// identifier freed by a stop may have been handed out again since).
bool prepared(const Session *s, const ConcurrentMember &m) {
    return s != nullptr && s->ucStatus == state::kReserve && s->bPrepared && s->uiSrcOlu == m.uiSrcOlu &&
           s->uiDstOlu == m.uiDstOlu && s->ullSrcExtent == m.ullSrcExtent && s->ullDstExtent == m.ullDstExtent;
}

// Rolls back the sessions a concurrent start has prepared and forgets it.
void discard(SimState &st, std::uint32_t group) {
    auto it = st.lan.concurrent.find(group);
    if (it == st.lan.concurrent.end()) return;
    const ConcurrentStart &t = it->second;
    for (const ConcurrentMember &m : t.members) {
        std::erase_if(st.model.sessions, [&](const Session &s) {
            return s.srcArray == t.array && s.usId == m.usId && prepared(&s, m);
        });
    }
    st.lan.concurrent.erase(it);
}

// The open concurrent start that `array` is assembling, 0 when none.
std::uint32_t openOn(const SimState &st, const std::string &array) {
    for (const auto &[group, t] : st.lan.concurrent)
        if (t.array == array) return group;
    return 0;
}

std::string restart(SimState &st, const Array &array, const Command &c) {
    c.allow({"-restart"});
    std::vector<std::uint16_t> ids = c.ids("-restart");
    act(st, array, concurrentPage(ids, kHowRestart));
    std::string rows;
    for (std::uint16_t id : ids) {
        const Session *s = findSession(st.model, array.name, id);
        rows += row(conc_row::kStarted, 0, memberOf(*s, array.name));
    }
    return "00\n" + hexNumber(ids.size()) + "\n" + rows;
}

// The last part: every session still prepared starts at one instant; one
// that is no longer prepared (a stop rolled it back) is not started, and
// then the sessions that did start are left for the host to stop.
std::string commit(SimState &st, const Array &array, std::uint32_t group) {
    const std::vector<ConcurrentMember> members = st.lan.concurrent.at(group).members;
    std::vector<std::uint16_t> ready;
    std::vector<bool> starts(members.size(), false);
    for (std::size_t i = 0; i < members.size(); ++i) {
        const ConcurrentMember &m = members[i];
        if (!prepared(findSession(st.model, array.name, m.usId), m)) continue;
        starts[i] = true;
        ready.push_back(m.usId);
    }
    bool cascade = false;
    if (!ready.empty()) {
        ScsiAnswer a = actOnList(st, array, concurrentPage(ready, kHowStart), ListFront::Cli);
        cascade = a.ucStatus != scsi::kGood && ascOf(a) == kAscCascade && ascqOf(a) == kAscqCascadeAcrossArrays;
        if (a.ucStatus != scsi::kGood && !cascade) {
            discard(st, group);
            throw CliError(cliErrorOfRefusal(ascqOf(a)), "concurrent start refused");
        }
    }
    st.lan.concurrent.erase(group);
    bool failed = ready.size() != members.size();
    std::string rows;
    for (std::size_t i = 0; i < members.size(); ++i) {
        const ConcurrentMember &m = members[i];
        const Session *s = findSession(st.model, array.name, m.usId);
        if (!starts[i]) rows += row(conc_row::kNotStarted, cli_error::kInvalid, m);
        else if (cascade && cascadeSource(st.model, *s)) rows += row(conc_row::kStopIt, kCascadeAcrossArraysCode, m);
        else rows += row(failed ? conc_row::kStopIt : conc_row::kStarted, 0, m);
    }
    return "00\n" + hexNumber(members.size()) + "\n" + rows;
}

}  // namespace

void discardConcurrentStart(SimState &state, const Array &array, const Command &c) {
    std::uint32_t group = openOn(state, array.name);
    if (group == 0) return;
    bool continues = c.verb == "start copy-concurrent-kzp" && !c.has("-restart") && c.has("-id") &&
                     c.get("-id")->find_first_not_of("0123456789") == std::string::npos &&
                     *c.get("-id") == std::to_string(group);
    if (!continues) discard(state, group);
}

std::string runConcurrentStart(SimState &st, const Array &array, const Command &c, const PrepareSession &prepare) {
    if (c.has("-restart")) return restart(st, array, c);
    c.allow({"-session-type", "-source-volume-number", "-destination-volume-number", "-size", "-source-lba",
             "-destination-lba", "-mode", "-id"});
    c.values("-session-type", {"kzp", "quick", "snap", "snap+"});
    c.values("-mode", {"no-commit"});
    if (!c.has("-session-type")) syntax(c.verb + " needs -session-type");
    bool last = !c.has("-mode");
    std::uint32_t group = 0;
    if (c.has("-id")) {
        group = static_cast<std::uint32_t>(c.number("-id", 0xFFFFFFFFu, 0));
        auto it = st.lan.concurrent.find(group);
        if (it == st.lan.concurrent.end() || it->second.array != array.name)
            throw CliError(cli_error::kInvalid, "no concurrent start " + std::to_string(group));
    }
    std::uint16_t id = 0;
    try {
        id = prepare(c);
    } catch (const CliError &) {
        // A refused part ends its transaction.
        if (group != 0) discard(st, group);
        throw;
    }
    if (group == 0) {
        group = st.lan.uiNextConcurrent++;
        st.lan.concurrent[group].array = array.name;
    }
    st.lan.concurrent[group].members.push_back(memberOf(*findSession(st.model, array.name, id), array.name));
    if (!last) return c.has("-id") ? "00\n" : "00\n" + hexNumber(group) + "\n";
    return commit(st, array, group);
}

}  // namespace zrksim
