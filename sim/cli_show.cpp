#include "cli_show.h"

#include "cli_failover.h"
#include "cli_generations.h"
#include "cli_rvz.h"
#include "cli_users.h"
#include "copy_pages.h"
#include "sessions.h"
#include "support.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <set>
#include <vector>

namespace zrksim {

namespace {

using namespace clitext;

// "-mode" bit that lists reserved identifiers too (as selection 0x80 of the
// detail list).
constexpr std::uint64_t kModeReserved = 0x80;
// Model information byte 9 bit that announces "-mode".
constexpr std::uint8_t kModelModeForm = 0x04;
// RVZ buffer detail flag: disk-buffer information available.
constexpr std::uint8_t kRvzDiskBuffers = 0x02;

std::string hex(std::uint64_t value) { return hexNumber(value); }

class Shower {
public:
    Shower(const SimState &state, const Array &array) : st_(state), array_(array) {}

    std::string run(const Command &c) {
        const std::string &v = c.verb;
        if (v == "show copy-sessions") return copySessions(c);
        if (v == "show boxid") return boxId(c);
        if (v == "show copy-functions") return copyFunctions(c);
        if (v == "show model-info") return modelInfo(c);
        if (v == "show rvz-buffer") return rvzBuffer(c);
        if (v == "show rvz-buffer-usage") return rvzBufferUsage(c);
        if (v == "show rvz-disk-buffer") return rvzDiskBuffer(c);
        if (v == "show rvz-path") return showRvzPath(st_, array_, c);
        if (v == "show users") return showUsers(st_, c);
        std::string reply;
        if (runVolumeShow(st_, array_, c, reply)) return reply;
        if (runGenerationShow(st_, array_, c, reply)) return reply;
        if (runFailoverShow(st_, array_, c, reply)) return reply;
        syntax("unknown command " + v);
    }

private:
    const SimState &st_;
    const Array &array_;

    // One record of "show copy-sessions": 40 columns.
    std::string sessionRecord(const Session &s) {
        const Model &m = st_.model;
        std::uint8_t attr2 = static_cast<std::uint8_t>((s.destinationSide(array_.name) ? 0x10 : 0) | (s.ucMode & 0x07));
        std::vector<std::string> col = {
            hex(s.usId),                                  // 0 identifier on the source array
            hex(s.usPartnerId),                           // 1 identifier on the destination array
            hex(s.copyKind()),                            // 2 kind
            hex(s.flags()),                               // 3 attributes
            hex(attr2),                                   // 4 destination side, mode flags
            hex(s.ucTransfer),                            // 5 transfer mode
            hex(s.ucPhase),                               // 6
            hex(s.ucStatus),                              // 7
            hex(s.ucModeChange),                          // 8
            "0",                                          // 9
            hex(s.elapsed(st_.ullClock)),       // 10 elapsed seconds
            boxIdOf(m, s.srcArray),                       // 11
            boxIdOf(m, s.dstArray),                       // 12
            hex(s.uiSrcOlu),                              // 13
            hex(s.uiDstOlu),                              // 14
            hex(s.whole() ? 0 : 1),                       // 15 extent count
            hex(s.ucStatus == state::kErrorSuspend ? 1 : 0),  // 16 error code
            "0",                                          // 17
            hex(s.ullCopied),                             // 18
            hex(s.ullSrcExtent),                          // 19
            hex(s.ullDstExtent),                          // 20
            hex(s.ullSize),                               // 21
            "0", "0", "0",                                // 22 23 24
            bcdTimeText(s.ullStart),                         // 25
            s.bare() ? "0" : "1",                         // 26 usable
            "0", "0", "0", "0", "0", "0", "0", "0",       // 27 to 34
            "0", "0", "0", "0", "0",                      // 35 to 39
        };
        return line(col);
    }

    // The record of an identifier that names no session the command lists:
    // the identifier, kind 0, state 0 (not in use), not usable.
    static std::string unusedRecord(std::uint64_t id) {
        std::vector<std::string> col(40, "0");
        col[0] = hex(id);
        col[11] = col[12] = std::string(kBoxIdLen, ' ');
        col[25] = std::string(16, '0');
        return line(col);
    }

    std::string copySessions(const Command &c) {
        c.allow({"-volume-number", "-session-id", "-mode"});
        onlyOnce(c, {"-volume-number", "-session-id", "-mode"});
        if (c.has("-volume-number") && c.has("-session-id")) syntax("-volume-number and -session-id exclude each other");
        std::uint64_t mode = 0;
        if (c.has("-mode")) {
            if ((array_.modelInfo[9] & kModelModeForm) == 0) syntax("this model has no -mode");
            mode = c.number("-mode", 255, 0);
        }
        std::set<std::uint64_t> volumes, ids;
        if (c.has("-volume-number"))
            for (std::uint64_t n : numberList(c, "-volume-number", 0xFFFFFFFFu)) volumes.insert(n);
        if (c.has("-session-id"))
            for (std::uint64_t n : numberList(c, "-session-id", 0xFFFF)) ids.insert(n);
        // Records by this array's identifier (rising, as the array keeps them).
        std::map<std::uint64_t, std::string> records;
        for (const Session *s : sessionsOf(st_.model, array_.name)) {
            if (s->kind == SessionKind::Failover || s->bVvol) continue;
            if (s->ucStatus == state::kReserve && (mode & kModeReserved) == 0) continue;
            if (c.has("-volume-number")) {
                bool src = s->srcArray == array_.name && volumes.count(s->uiSrcOlu) != 0;
                bool dst = s->dstArray == array_.name && s->uiDstOlu != kNoOlu && volumes.count(s->uiDstOlu) != 0;
                if (!src && !dst) continue;
            }
            if (c.has("-session-id") && ids.count(s->idOn(array_.name)) == 0) continue;
            records[s->idOn(array_.name)] = sessionRecord(*s);
        }
        // Every identifier asked for gets its record, in use or not.
        for (std::uint64_t id : ids)
            if (records.count(id) == 0) records[id] = unusedRecord(id);
        std::string rows;
        for (const auto &[id, record] : records) rows += record;
        return "00\n" + hex(records.size()) + "\n" + rows;
    }

    std::string boxId(const Command &c) {
        c.allow({});
        return "00\n" + array_.boxId + "\n";
    }

    // Eight support bytes from `at` as one 64-bit number.
    std::uint64_t word(std::size_t at) const {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < 8; ++i) v = v << 8 | array_.support[at + i];
        return v;
    }

    std::string copyFunctions(const Command &c) {
        c.allow({});
        return "00\n" + line({hex(word(0)), hex(word(8)), hex(word(16)), hex(word(24))}) +
               line({hex(array_.bLanMaxima ? array_.lanMaxima[0] : array_.maxSessions[1]),
                     hex(array_.bLanMaxima ? array_.lanMaxima[1] : array_.maxSessions[3]),
                     hex(array_.bLanMaxima ? array_.lanMaxima[2] : array_.usGenerations),
                     hex(array_.ucRvzDetail), hex(array_.usPerCommand), hex(array_.uiCopyFlags)});
    }

    std::string modelInfo(const Command &c) {
        c.allow({});
        const auto &b = array_.modelInfo;
        return "00\n" + line({hex(b[0]), hex(b[1])}) + line({hex(b[2]), hex(b[3])}) +
               line({hex(b[4]), hex(b[5]), hex(b[6]), hex(b[7]), hex(b[8]), hex(b[9])});
    }

    void needBuffers() const {
        if (!Support(array_.support).rvzBuffers()) throw CliError(cli_error::kNotSetUp, "no RVZ buffers");
    }

    std::size_t sessionsUsing(const RvzBuffer &b) const { return rvzBufferSessions(st_.model, array_, b); }

    std::string rvzBuffer(const Command &c) {
        c.allow({});
        needBuffers();
        std::string out = "00\n" + line({hex(array_.usRvzBuffers), hex(array_.rvzBuffers.size())});
        for (const auto &[id, b] : array_.rvzBuffers) {
            std::vector<std::string> col = {hex(id),
                                            hex(b.remote.empty() ? 0 : 1),
                                            "0",
                                            hex(b.cms.size()),
                                            hex(b.usType),
                                            hex(b.usInterval),
                                            hex(b.uiMonitor),
                                            "0",
                                            hex(b.uiSize)};
            if (!b.remote.empty()) col.push_back(boxIdOf(st_.model, b.remote));
            out += line(col);
        }
        return out;
    }

    static std::uint64_t share(std::uint64_t whole, std::size_t modules) { return rvzShare(whole, modules); }

    std::string rvzBufferUsage(const Command &c) {
        c.allow({"-partition"});
        needBuffers();
        std::uint64_t id = c.required("-partition", 255);
        auto it = array_.rvzBuffers.find(static_cast<std::uint8_t>(id));
        if (it == array_.rvzBuffers.end()) throw CliError(cli_error::kInvalid, "no RVZ buffer " + std::to_string(id));
        const RvzBuffer &b = it->second;
        std::size_t n = b.cms.size();
        std::string out = "00\n" + line({hex(b.uiSize), hex(b.uiUsed), hex(b.uiSize - b.uiUsed)}) + hex(n) + "\n";
        for (std::uint16_t cm : b.cms) {
            std::uint64_t size = share(b.uiSize, n), used = share(b.uiUsed, n);
            out += line({hex(cm), hex(size), hex(used), hex(size - used)});
        }
        return out + hex(sessionsUsing(b)) + "\n";
    }

    std::string rvzDiskBuffer(const Command &c) {
        c.allow({});
        needBuffers();
        if ((array_.ucRvzDetail & kRvzDiskBuffers) == 0) throw CliError(cli_error::kNotSetUp, "no disk buffers");
        std::string entries;
        std::size_t count = 0;
        for (const auto &[id, b] : array_.rvzBuffers) {
            if (b.rlus.empty()) continue;
            ++count;
            entries += line({hex(id), "1"});
            entries += hex(b.rlus.size()) + "\n";
            for (std::uint32_t rlu : b.rlus) entries += hex(rlu) + "\n";
            entries += line({"0", "0", hex(b.ullDiskSize), hex(b.ullDiskUsed), hex(b.ullDiskSize - b.ullDiskUsed)});
            std::size_t n = b.cms.size();
            entries += hex(n) + "\n";
            for (std::uint16_t cm : b.cms) {
                std::uint64_t size = share(b.ullDiskSize, n), used = share(b.ullDiskUsed, n);
                entries += line({hex(cm), hex(size), hex(used), hex(size - used)});
            }
        }
        return "00\n0\n" + hex(count) + "\n" + entries;
    }
};

}  // namespace

std::string runShowCommand(const SimState &state, const Array &array, const Command &command) {
    return Shower(state, array).run(command);
}

}  // namespace zrksim
