// A program on the host that drives an array's copy sessions over the LAN,
// through the array's LAN interface management service and the public ZRKIP
// functions of libzrkapi, one step per run:
//
//   lan_demo ADDRESS login USER PASSWORD
//   lan_demo ADDRESS identify
//   lan_demo ADDRESS sessions
//   lan_demo ADDRESS vz-start|vz-suspend|vz-resume|vz-stop SRC_OLU DST_OLU
//   lan_demo ADDRESS kzp-start|kzp-stop SRC_OLU DST_OLU
//   lan_demo ADDRESS snap-start|snap-stop SRC_OLU DST_OLU
//   lan_demo ADDRESS vz-stop-id SESSION_ID
//   lan_demo ADDRESS sdv-init OLU
//
// ADDRESS is the array's address as the service knows it; pairs are whole
// volumes inside that array. Each step prints what the library returns; a
// failure prints its error code and text and exits 1.
#include "zrkapi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char *kStatus[] = {"Idle", "Reserve", "Active", "ErrorSuspend", "Suspend", "Halt"};
const char *kPhase[] = {"NoPair", "Copying", "Equivalent", "Tracking", "Tracking&Copying", "-",
                        "Readying"};
const char *kKind[] = {"-", "KZP family", "VZ", "monitor"};

const char *word(const char *const *table, size_t size, unsigned long code) {
    return code < size ? table[code] : "?";
}

int fail(const char *what) {
    const char *text = ZRKstrerror(ZRKerrno);
    std::printf("%s: failed, ZRKerrno %d (0x%X) %s", what, ZRKerrno,
                static_cast<unsigned>(ZRKerrno), text ? text : "");
    if (text == nullptr || std::strchr(text, '\n') == nullptr) std::printf("\n");
    return 1;
}

using CopyCall = int (*)(const char *, const char *, const char *, uint32_t, uint32_t, uint32_t,
                         uint32_t, uint32_t, const char *, uint32_t, uint32_t, uint32_t, int,
                         uint32_t, unsigned char *);

struct Step {
    const char *name;
    const char *title;
    CopyCall call;
    uint32_t options;
    bool start;
};

const Step kSteps[] = {
    {"vz-start", "start VZ", ZRKIPStartVZ, 0, true},
    {"vz-suspend", "suspend VZ", ZRKIPSuspendVZ, 0, false},
    {"vz-resume", "resume VZ", ZRKIPResumeVZ, 0, false},
    {"vz-stop", "stop VZ", ZRKIPStopVZ, 0, false},
    {"kzp-start", "start KZP", ZRKIPStartKZP, 0, true},
    {"kzp-stop", "stop KZP", ZRKIPStopKZP, 0, false},
    {"snap-start", "start SnapKZP+", ZRKIPStartSnapKZP_p, 0, true},
    {"snap-stop", "stop SnapKZP+", ZRKIPStopSnapKZP_p, 0, false},
};

// The array's BoxID, from its own answer.
int boxId(const char *ip, char box[ZRK_BOXID_LEN]) {
    unsigned char sense[ZRK_SENSE_LEN] = {};
    uint32_t olu = 0, extHigh = 0, extLow = 0, sizeHigh = 0, sizeLow = 0;
    VOL_INFO info {};
    if (ZRKIPGetVolumeInfo(ip, nullptr, 0, 0x2, box, &olu, &extHigh, &extLow, &sizeHigh,
                           &sizeLow, &info, sense) != 1) {
        return fail("volume information");
    }
    return 0;
}

// The array's copy sessions, from "show copy-sessions": one line each.
int sessions(const char *ip) {
    char *reply = nullptr;
    if (IPExecVastrelCLI(ip, nullptr, 0, "show copy-sessions", &reply) != 0) {
        return fail("show copy-sessions");
    }
    std::vector<std::vector<std::string>> rows;
    std::string text(reply);
    std::free(reply);
    size_t start = 0;
    std::vector<std::string> lines;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (lines.size() < 2 || std::strtoul(lines[0].c_str(), nullptr, 16) != 0) {
        std::printf("show copy-sessions: the array refused it (%s)\n",
                    lines.size() > 1 ? lines[1].c_str() : "no reply");
        return 1;
    }
    unsigned long count = std::strtoul(lines[1].c_str(), nullptr, 16);
    std::printf("sessions of the array over the LAN: %lu\n", count);
    for (size_t i = 2; i < lines.size() && i - 2 < count; ++i) {
        std::vector<std::string> col;
        size_t from = 0;
        for (;;) {
            size_t tab = lines[i].find('\t', from);
            col.push_back(lines[i].substr(from, tab == std::string::npos ? tab : tab - from));
            if (tab == std::string::npos) break;
            from = tab + 1;
        }
        if (col.size() < 15) continue;
        auto hex = [&](size_t k) { return std::strtoul(col[k].c_str(), nullptr, 16); };
        std::printf("  session %lu: %s, OLU %lu -> OLU %lu, status %s, phase %s\n", hex(0),
                    word(kKind, 4, hex(2)), hex(13), hex(14), word(kStatus, 6, hex(7)),
                    word(kPhase, 7, hex(6)));
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ADDRESS STEP [ARGUMENTS]\n", argv[0]);
        return 2;
    }
    const char *ip = argv[1];
    const std::string step = argv[2];
    auto number = [&](int i) {
        return argc > i ? static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 0)) : 0u;
    };

    if (step == "login") {
        if (argc < 5) return 2;
        if (ZRKIPLogIn(ip, argv[3], argv[4], 0, nullptr) != 0) return fail("log in");
        std::printf("logged in to %s as %s\n", ip, argv[3]);
        return 0;
    }
    char box[ZRK_BOXID_LEN + 1] = {};
    if (boxId(ip, box) != 0) return 1;
    if (step == "identify") {
        std::printf("%s: array %.40s\n", ip, box);
        return 0;
    }
    if (step == "sessions") return sessions(ip);
    unsigned char sense[ZRK_SENSE_LEN] = {};
    if (step == "sdv-init") {
        if (ZRKIPSnapDataVolInit(ip, nullptr, number(3), sense) != 0) {
            return fail("initialise snap data volume");
        }
        std::printf("initialise snap data volume: OLU %u started\n", number(3));
        return 0;
    }
    if (step == "vz-stop-id") {
        if (ZRKIPStopVZ(ip, nullptr, nullptr, number(3), 0, 0, 0, 0, nullptr, 0, 0, 0, 255, 0x4,
                        sense) != 0) {
            return fail("stop VZ by session");
        }
        std::printf("stop VZ by session: session %u stopped\n", number(3));
        return 0;
    }
    for (const Step &s : kSteps) {
        if (step != s.name) continue;
        const uint32_t src = number(3), dst = number(4);
        ZRKsessionid = -1;
        if (s.call(ip, nullptr, box, src, 0, 0, 0, 0, box, dst, 0, 0, 255, s.options, sense) != 0) {
            return fail(s.title);
        }
        if (s.start) {
            std::printf("%s over the LAN: OLU %u -> OLU %u, session %d\n", s.title, src, dst,
                        ZRKsessionid);
        } else {
            std::printf("%s over the LAN: OLU %u -> OLU %u done\n", s.title, src, dst);
        }
        return 0;
    }
    std::fprintf(stderr, "unknown step %s\n", step.c_str());
    return 2;
}
