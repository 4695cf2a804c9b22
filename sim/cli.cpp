#include "cli.h"

#include "bytes.h"
#include "cli_command.h"
#include "cli_concurrent.h"
#include "cli_olu.h"
#include "cli_rvz.h"
#include "cli_show.h"
#include "cli_users.h"
#include "session_ops.h"
#include "snap_volumes.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

namespace zrksim {

std::uint32_t cliErrorOfRefusal(std::uint8_t ascq) {
    switch (ascq) {
    case refusal::kOutOfSequence: return cli_error::kOutOfSequence;
    case refusal::kVolumeInUse: return cli_error::kVolumeInUse;
    case refusal::kGenerationsFull: return cli_error::kGenerationsFull;
    case refusal::kAlreadySuspended: return cli_error::kAlreadySuspended;
    case refusal::kAlreadyActive: return cli_error::kAlreadyActive;
    case refusal::kNotSetUp: return cli_error::kNotSetUp;
    default: return cli_error::kInvalid;
    }
}

namespace {

using namespace clitext;

// Page fields (the TRAVO OUT one-session page the SCSI front reads).
constexpr std::size_t kExecLen = 192;

Bytes execPage(std::uint8_t code) {
    Bytes p(kExecLen, 0);
    p[0] = code;
    putBe(p, 6, 2, kExecLen - 8);
    return p;
}

class Interpreter {
public:
    Interpreter(SimState &state, const Array &array) : st_(state), array_(array) {}

    std::string run(const std::string &text) {
        try {
            Command c = parse(text);
            discardConcurrentStart(st_, array_, c);
            const std::string &v = c.verb;
            if (v.rfind("start copy-", 0) == 0 && v != "start copy-concurrent-kzp") return start(c);
            if (v == "start copy-concurrent-kzp")
                return runConcurrentStart(st_, array_, c, [this](const Command &part) { return prepareConcurrent(part); });
            if (v == "stop copy-session" || v == "stop vvol-copy-session") return stop(c);
            if (v == "suspend copy-vz" || v == "suspend copy-rvz") return suspend(c);
            if (v == "resume copy-vz" || v == "resume copy-rvz") return resume(c);
            if (v == "change copy-vz" || v == "change copy-rvz") return change(c);
            if (v == "set volume" || v == "set morvic-tier-volume") return runVolumeProtection(st_, array_, c);
            if (v == "initialize snap-data-volume") return initializeSnapDataVolume(c);
            if (v == "set rvz-buffer") return zrksim::setRvzBuffer(st_, array_, c);
            if (v == "test authentication") return testAuthentication(st_, c);
            if (v.rfind("show ", 0) == 0) return runShowCommand(st_, array_, c);
            syntax("unknown command " + v);
        } catch (const CliError &e) {
            return failure(e.uiCode, e.what());
        }
    }

private:
    SimState &st_;
    const Array &array_;

    // Sends a page; throws with the mapped code when the array refuses it.
    void act(const Bytes &page) {
        ScsiAnswer a = actOnList(st_, array_, page, ListFront::Cli);
        if (a.ucStatus == scsi::kGood) return;
        std::uint8_t ascq = a.sense.size() > 13 ? a.sense[13] : 0;
        throw CliError(cliErrorOfRefusal(ascq), "refused");
    }

    Session &session(std::uint16_t id) {
        Session *s = findSession(st_.model, array_.name, id);
        if (s == nullptr || s->kind == SessionKind::Failover)
            throw CliError(cli_error::kInvalid, "no session " + std::to_string(id));
        return *s;
    }

    // A one-session page that names session `id` as this array knows it.
    Bytes namedPage(std::uint8_t code, std::uint16_t id) {
        Session &s = session(id);
        Bytes p = execPage(code);
        bool dstSide = s.destinationSide(array_.name);
        putBe(p, dstSide ? 10 : 8, 2, id);
        p[12] = s.copyKind();
        p[20] = s.flags();
        if (dstSide) p[22] |= 0x10;
        return p;
    }

    const Array *arrayByBox(const std::string &box) {
        std::string padded = box.substr(0, std::min(box.size(), kBoxIdLen));
        padded.resize(kBoxIdLen, ' ');
        for (const auto &[name, a] : st_.model.arrays)
            if (a.boxId == padded) return &a;
        return nullptr;
    }

    // Reserves an identifier (as page 0x00 does) for a session of the VZ
    // family or of the KZP family.
    std::uint16_t reserve(bool vz) {
        std::size_t held = sessionsOf(st_.model, array_.name).size();
        std::uint16_t id = freeSessionId(st_.model, array_.name);
        if (id == 0 || held >= array_.maxSessions[1]) throw CliError(cli_error::kInvalid, "no identifier left");
        Session s;
        s.kind = vz ? SessionKind::Vz : SessionKind::Kzp;
        s.usId = id;
        s.srcArray = s.dstArray = array_.name;
        s.ucStatus = state::kReserve;
        s.ucPhase = phase::kNoPair;
        s.ullStart = st_.ullClock;
        st_.model.sessions.push_back(s);
        return id;
    }

    void dropReserve(std::uint16_t id) {
        std::erase_if(st_.model.sessions, [&](const Session &s) {
            return s.srcArray == array_.name && s.usId == id && s.ucStatus == state::kReserve && !s.bPrepared;
        });
    }

    // Volumes and extents of a start.
    void placement(const Command &c, Bytes &p, bool monitor) {
        putBe(p, 128, 4, c.required("-source-volume-number", 0xFFFFFFFFu));
        putBe(p, 132, 4, monitor ? kNoOlu : c.required("-destination-volume-number", 0xFFFFFFFFu));
        if (c.has("-size")) {
            putBe(p, 136, 2, 1);
            putBe(p, 160, 8, c.number("-source-lba", ~0ULL, 0));
            putBe(p, 168, 8, c.number("-size", ~0ULL, 0));
            putBe(p, 176, 8, monitor ? 0 : c.number("-destination-lba", ~0ULL, 0));
        } else {
            if (c.has("-source-lba") || c.has("-destination-lba")) syntax("an extent needs -size");
            p[20] |= 0x80;
        }
    }

    // Starts the session of a filled start page on a reserved identifier.
    std::uint16_t startOn(Bytes &p, bool vz) {
        std::uint16_t id = reserve(vz);
        bool dstSide = (p[22] & 0x10) != 0;
        putBe(p, dstSide ? 10 : 8, 2, id);
        try {
            act(p);
        } catch (...) {
            dropReserve(id);
            throw;
        }
        // The identifier the array reports: the session's on this array.
        return id;
    }

    std::string started(std::uint16_t id) { return "00\n" + hexNumber(id) + "\n"; }

    static const Volume *volumeOf(const Array &array, std::uint64_t olu) {
        auto it = array.volumes.find(static_cast<std::uint32_t>(olu));
        return olu > 0xFFFFFFFFu || it == array.volumes.end() ? nullptr : &it->second;
    }

    // What a start asks of its volumes on the arrays `src` and `dst`:
    // snap data volumes serve only as the destination of a snapshot (and as
    // the source of a KZP copy when they are not being initialised).
    void checkVolumes(const Command &c, const Array &src, const Array &dst) {
        const std::string &v = c.verb;
        if (v == "start copy-monitor") return;
        std::uint64_t srcOlu = c.required("-source-volume-number", 0xFFFFFFFFu);
        std::uint64_t dstOlu = c.required("-destination-volume-number", 0xFFFFFFFFu);
        const Volume *from = volumeOf(src, srcOlu);
        const Volume *to = volumeOf(dst, dstOlu);
        if (from == nullptr || to == nullptr) throw CliError(cli_error::kInvalid, "no such volume");
        if (v == "start copy-snap-kzp") {
            if (!to->snapData()) throw CliError(cli_error::kNotSnapData, "the destination is no snap data volume");
            for (const Session *s : snapshotsInto(st_.model, dst.name, to->uiOlu))
                if (s->srcArray != src.name || s->uiSrcOlu != from->uiOlu)
                    throw CliError(cli_error::kSnapDataTaken, "the snap data volume serves another volume");
            if ((to->uiSdvStatus & sdvstate::kBusy) != 0)
                throw CliError(cli_error::kOutOfSequence, "the snap data volume is busy");
            return;
        }
        if (v == "start copy-kzp" && from->snapData()) {
            if ((from->uiSdvStatus & sdvstate::kInitializing) != 0)
                throw CliError(cli_error::kOutOfSequence, "the snap data volume is being initialised");
        } else if (from->snapData()) {
            throw CliError(cli_error::kInvalid, "the source is a snap data volume");
        }
        if (to->snapData()) throw CliError(cli_error::kInvalid, "the destination is a snap data volume");
    }

    std::string start(const Command &c) {
        const std::string &v = c.verb;
        Bytes p = execPage(0x44);
        bool vz = false;
        const Array *srcArray = &array_;
        const Array *dstArray = &array_;
        if (v == "start copy-vz" || v == "start copy-rvz") {
            vz = true;
            p[12] = 2;
            bool rvz = v == "start copy-rvz";
            c.allow({"-source-volume-number", "-destination-volume-number", "-size", "-source-lba",
                     "-destination-lba", "-secondary-access", "-source-boxid", "-destination-boxid", "-mode",
                     "-xfer-mode", "-split", "-recovery"});
            if (!rvz && (c.has("-source-boxid") || c.has("-mode") || c.has("-xfer-mode") || c.has("-split") ||
                         c.has("-recovery")))
                syntax(v + " takes no remote options");
            c.values("-secondary-access", {"1"});
            if (c.has("-secondary-access")) p[20] |= 0x01;
            if (rvz) {
                const std::string *sb = c.get("-source-boxid");
                const std::string *db = c.get("-destination-boxid");
                if (sb == nullptr || db == nullptr) syntax(v + " needs both BoxIDs");
                const Array *src = arrayByBox(*sb);
                const Array *dst = arrayByBox(*db);
                if (src == nullptr || dst == nullptr) throw CliError(cli_error::kInvalid, "unknown BoxID");
                srcArray = src;
                dstArray = dst;
                std::copy(src->boxId.begin(), src->boxId.end(), p.begin() + 32);
                std::copy(dst->boxId.begin(), dst->boxId.end(), p.begin() + 80);
                p[20] |= 0x20;
                if (dst->name == array_.name && src->name != array_.name) p[22] |= 0x10;
                c.values("-mode", {"skip"});
                c.values("-xfer-mode", {"00", "10", "02", "03"});
                c.values("-split", {"0", "1"});
                c.values("-recovery", {"0", "1"});
                if (c.has("-mode", "skip")) p[25] |= 0x08;
                if (c.has("-xfer-mode", "10")) p[22] |= 0x04;
                if (c.has("-xfer-mode", "02")) p[23] = 2;
                if (c.has("-xfer-mode", "03")) p[23] = 3;
                if (c.has("-split", "1")) p[22] |= 0x02;
                if (c.has("-recovery", "1")) p[22] |= 0x01;
            }
            placement(c, p, false);
        } else if (v == "start copy-kzp") {
            c.allow({"-source-volume-number", "-destination-volume-number", "-size", "-source-lba", "-destination-lba"});
            p[12] = 1;
            placement(c, p, false);
        } else if (v == "start copy-quick-kzp") {
            c.allow({"-source-volume-number", "-destination-volume-number", "-size", "-source-lba",
                     "-destination-lba", "-vvol-session-delete-mode", "-restart"});
            if (c.has("-restart")) {
                if (c.options.size() != 1) syntax("-restart stands alone");
                std::uint16_t id = static_cast<std::uint16_t>(c.number("-restart", 0xFFFF, 0));
                Bytes r = namedPage(0x44, id);
                r[25] |= 0x80;
                act(r);
                return started(id);
            }
            p[12] = 1;
            p[20] |= 0x08;
            c.values("-vvol-session-delete-mode", {"enable"});
            if (c.has("-vvol-session-delete-mode")) p[21] |= 0x80;
            placement(c, p, false);
        } else if (v == "start copy-snap-kzp") {
            c.allow({"-source-volume-number", "-destination-volume-number", "-size", "-source-lba",
                     "-destination-lba", "-vvol-session-delete-mode", "-mode"});
            c.values("-mode", {"normal"});
            c.values("-vvol-session-delete-mode", {"enable"});
            p[12] = 1;
            p[20] |= c.has("-mode", "normal") ? 0x10 : 0x40;
            if (c.has("-vvol-session-delete-mode")) p[21] |= 0x80;
            placement(c, p, false);
        } else if (v == "start copy-monitor") {
            c.allow({"-source-volume-number", "-size", "-source-lba"});
            p[12] = 3;
            placement(c, p, true);
        } else {
            syntax("unknown command " + v);
        }
        checkVolumes(c, *srcArray, *dstArray);
        return started(startOn(p, vz));
    }

    // One command for each identifier: all must succeed, or with
    // "-multi enable" one row per identifier.
    std::string perSession(const Command &c, const std::vector<std::uint16_t> &ids,
                           const std::function<Bytes(std::uint16_t)> &page) {
        c.values("-multi", {"enable"});
        bool multi = c.has("-multi");
        std::string rows;
        for (std::uint16_t id : ids) {
            try {
                act(page(id));
                rows += hexNumber(id) + "\t0\t0\n";
            } catch (const CliError &e) {
                if (!multi) throw;
                char code[16];
                std::snprintf(code, sizeof code, "%04X", e.uiCode);
                rows += hexNumber(id) + "\t1\t" + code + "\n";
            }
        }
        if (!multi) return "00\n";
        return "00\n" + hexNumber(ids.size()) + "\n" + rows;
    }

    std::string stop(const Command &c) {
        bool vvol = c.verb == "stop vvol-copy-session";
        if (vvol) {
            c.allow({"-vvol-session-id", "-force"});
        } else {
            c.allow({"-session-id", "-mode", "-multi"});
            c.values("-mode", {"force", "stop-tracking"});
        }
        const std::string *list = c.get(vvol ? "-vvol-session-id" : "-session-id");
        std::vector<std::uint16_t> ids;
        if (list == nullptr || !list->empty()) ids = c.ids(vvol ? "-vvol-session-id" : "-session-id");
        bool force = vvol ? c.has("-force") : c.has("-mode", "force");
        bool tracking = c.has("-mode", "stop-tracking");
        return perSession(c, ids, [&](std::uint16_t id) {
            // Sessions of virtual volumes have their own stop command.
            if (session(id).bVvol != vvol) throw CliError(cli_error::kInvalid, "no such session " + std::to_string(id));
            Bytes p = namedPage(0x45, id);
            if (force) p[24] |= 0x80;
            if (tracking) p[25] |= 0x40;
            return p;
        });
    }

    std::string suspend(const Command &c) {
        bool rvz = c.verb == "suspend copy-rvz";
        if (rvz) {
            c.allow({"-session-id", "-mode", "-untrans", "-timer", "-multi"});
            c.values("-mode", {"concurrent", "force"});
            c.values("-untrans", {"enable"});
        } else {
            c.allow({"-session-id", "-mode", "-multi"});
            c.values("-mode", {"concurrent", "normal"});
        }
        std::vector<std::uint16_t> ids = c.ids("-session-id");
        if (c.has("-mode", "concurrent")) {
            if (ids.size() > array_.usPerCommand) throw CliError(cli_error::kInvalid, "too many sessions");
            std::size_t slots = (ids.size() + 3) / 4 * 4;
            Bytes p(16 + 4 * slots, 0);
            p[0] = 0x50;
            putBe(p, 4, 4, p.size() - 8);
            putBe(p, 8, 2, ids.size());
            const Session &first = session(ids[0]);
            if (first.remote()) p[10] |= 0x80;
            if (first.destinationSide(array_.name)) p[10] |= 0x40;
            if (c.has("-untrans")) p[10] |= 0x20;
            for (std::size_t i = 0; i < ids.size(); ++i) putBe(p, 16 + 4 * i, 2, ids[i]);
            act(p);
            return "00\n";
        }
        bool force = c.has("-mode", "force");
        std::optional<std::uint64_t> timer;
        if (c.has("-timer")) timer = c.number("-timer", 255, 0);
        return perSession(c, ids, [&](std::uint16_t id) {
            // A timer belongs to stack and consistency transfer.
            std::uint8_t transfer = session(id).ucTransfer;
            if (timer && transfer != 2 && transfer != 3)
                throw CliError(cli_error::kNoStackTimer, "no stack or consistency transfer");
            Bytes p = namedPage(0x48, id);
            if (force) p[24] |= 0x80;
            if (timer) {
                p[24] |= 0x02;
                p[27] = static_cast<std::uint8_t>(*timer);
            }
            return p;
        });
    }

    std::string resume(const Command &c) {
        bool rvz = c.verb == "resume copy-rvz";
        if (rvz) c.allow({"-session-id", "-remain-mode", "-multi"});
        else c.allow({"-session-id", "-multi"});
        c.values("-remain-mode", {"enable"});
        std::vector<std::uint16_t> ids = c.ids("-session-id");
        bool remain = c.has("-remain-mode");
        return perSession(c, ids, [&](std::uint16_t id) {
            Bytes p = namedPage(0x49, id);
            if (remain) p[24] |= 0x40;
            return p;
        });
    }

    std::string change(const Command &c) {
        bool rvz = c.verb == "change copy-rvz";
        if (rvz) {
            c.allow({"-session-id", "-action", "-xfer-mode", "-split", "-recovery", "-multi"});
            c.values("-action", {"reverse", "change"});
            c.values("-xfer-mode", {"00", "10", "02", "03"});
            c.values("-split", {"0", "1"});
            c.values("-recovery", {"0", "1"});
        } else {
            c.allow({"-session-id", "-action", "-multi"});
            c.values("-action", {"reverse"});
        }
        std::vector<std::uint16_t> ids = c.ids("-session-id");
        return perSession(c, ids, [&](std::uint16_t id) {
            Bytes p = namedPage(0x46, id);
            if (c.has("-action", "reverse")) p[25] |= 0x04;
            if (c.has("-action", "change")) {
                p[25] |= 0x02;
                if (c.has("-xfer-mode", "10")) p[22] |= 0x04;
                if (c.has("-xfer-mode", "02")) p[23] = 2;
                if (c.has("-xfer-mode", "03")) p[23] = 3;
                if (c.has("-split", "1")) p[22] |= 0x02;
                if (c.has("-recovery", "1")) p[22] |= 0x01;
            }
            return p;
        });
    }

    Volume &volume(const Command &c) {
        std::uint64_t olu = c.required("-volume-number", 0xFFFFFFFFu);
        Array &a = st_.model.arrays.at(array_.name);
        auto it = a.volumes.find(static_cast<std::uint32_t>(olu));
        if (it == a.volumes.end()) throw CliError(cli_error::kInvalid, "no volume " + std::to_string(olu));
        return it->second;
    }

    std::string initializeSnapDataVolume(const Command &c) {
        c.allow({"-volume-number"});
        Volume &v = volume(c);
        if (!v.snapData()) throw CliError(cli_error::kInvalid, "not a snap data volume");
        if ((v.uiSdvStatus & sdvstate::kBusy) != 0) throw CliError(cli_error::kOutOfSequence, "busy");
        if (!snapshotsInto(st_.model, array_.name, v.uiOlu).empty())
            throw CliError(cli_error::kVolumeInUse, "the destination of a snapshot");
        startInitialisation(v, st_.ullClock, array_.ullSdvInit);
        return "00\n";
    }

    // One part of a concurrent start: its session prepared (status Reserve,
    // holding its volumes) until the last part starts them all.
    std::uint16_t prepareConcurrent(const Command &c) {
        Bytes p = execPage(0x44);
        p[12] = 1;
        p[25] |= 0x10;
        if (c.has("-session-type", "quick")) p[20] |= 0x08;
        if (c.has("-session-type", "snap")) p[20] |= 0x10;
        if (c.has("-session-type", "snap+")) p[20] |= 0x40;
        placement(c, p, false);
        return startOn(p, false);
    }
};

}  // namespace

std::string runArrayCommand(SimState &state, const Array &array, const std::string &text) {
    return Interpreter(state, array).run(text);
}

}  // namespace zrksim
