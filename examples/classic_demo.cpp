// A program on the host that drives the copy sessions of an array without
// the page-based engine through the classic public functions of libzrkapi
// (32-bit blocks), one step per run:
//
//   classic_demo DEVICE identify
//   classic_demo DEVICE vz-start|vz-query|vz-suspend|vz-resume|vz-stop SRC_OLU DST_OLU
//   classic_demo DEVICE kzp-start|kzp-query|kzp-stop SRC_OLU DST_OLU
//   classic_demo DEVICE vz-status
//
// DEVICE is a host device of the array; pairs are whole volumes inside that
// array. Each step prints what the library returns; a failure prints its
// error code and text and exits 1.
#include "demo_report.h"
#include "zrkapi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

namespace {

using demo::fail;
using demo::kPhase;
using demo::kStatus;
using demo::Pair;
using demo::word;

using PairCall = int (*)(const char *, const char *, uint32_t, uint32_t, uint32_t,
                         const char *, uint32_t, uint32_t, uint32_t, uint32_t, unsigned char *);

int pairStep(const char *dev, const char *what, PairCall call, const Pair &p) {
    unsigned char sense[ZRK_SENSE_LEN] = {};
    if (call(dev, p.box, p.src, 0, 0, p.box, p.dst, 0, 0, 0, sense) != 0) return fail(what, sense);
    std::printf("%s: OLU %u -> OLU %u done\n", what, p.src, p.dst);
    return 0;
}

// The array's BoxID, the volume's OLU and size, as the classic volume
// information gives them.
int identify(const char *dev, Pair *pair, bool print) {
    unsigned char sense[ZRK_SENSE_LEN] = {};
    unsigned char info[sizeof(VOL_INFO)] = {};
    uint32_t olu = 0, extent = 0, size = 0;
    if (ZRKGetVolumeInfo(dev, 0, 0, pair->box, &olu, &extent, &size, info, sense) != 1) {
        return fail("volume information", sense);
    }
    if (print) {
        int shown = ZRK_BOXID_LEN;  // the BoxID is padded with blanks
        while (shown > 0 && pair->box[shown - 1] == ' ') --shown;
        std::printf("array %.*s, OLU %u, start block %u, %u blocks\n", shown, pair->box, olu,
                    extent, size);
    }
    return 0;
}

int vzQuery(const char *dev, const Pair &p) {
    unsigned char sense[ZRK_SENSE_LEN] = {};
    uint32_t status = 0, phase = 0, copied = 0;
    if (ZRKQueryVZ(dev, p.box, p.src, 0, 0, p.box, p.dst, 0, 0, 0, &status, &phase, &copied,
                   sense) != 0) {
        return fail("VZ query", sense);
    }
    std::printf("VZ query: status %s, phase %s, %u blocks copied\n",
                word(kStatus, std::size(kStatus), status), word(kPhase, std::size(kPhase), phase),
                copied);
    return 0;
}

int kzpQuery(const char *dev, const Pair &p) {
    unsigned char sense[ZRK_SENSE_LEN] = {};
    uint32_t status = 0, copied = 0, lapse = 0;
    if (ZRKQueryKZP(dev, p.box, p.src, 0, 0, p.box, p.dst, 0, 0, 0, &status, &copied, &lapse,
                    sense) != 0) {
        return fail("KZP query", sense);
    }
    std::printf("KZP query: status %s, %u blocks copied, %u s since the start\n",
                word(kStatus, std::size(kStatus), status), copied, lapse);
    return 0;
}

int vzStatusList(const char *dev) {
    unsigned char sense[ZRK_SENSE_LEN] = {};
    static unsigned char list[65536];
    if (ZRKStatusListVZ(dev, 0, list, sense) != 0) return fail("VZ status list", sense);
    // The header counts the sessions one command may name; the entries of
    // the array's mirrors come first, the rest of the list is cleared.
    unsigned room = static_cast<unsigned>(list[2] << 8 | list[3]);
    std::printf("VZ status list: room for %u sessions\n", room);
    for (unsigned i = 0; i < room && 8 + 8 * (i + 1) <= sizeof list; ++i) {
        const unsigned char *e = list + 8 + 8 * i;
        if (e[2] == 0) continue;
        std::printf("  session %u: status %s, state %u\n", static_cast<unsigned>(e[0] << 8 | e[1]),
                    word(kStatus, std::size(kStatus), e[2]), e[3]);
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DEVICE STEP [SRC_OLU [DST_OLU]]\n", argv[0]);
        return 2;
    }
    const char *dev = argv[1];
    std::string step = argv[2];
    Pair pair {};
    if (step == "identify") return identify(dev, &pair, true);
    if (step == "vz-status") return vzStatusList(dev);
    if (argc < 5) {
        std::fprintf(stderr, "%s: %s needs SRC_OLU and DST_OLU\n", argv[0], step.c_str());
        return 2;
    }
    if (identify(dev, &pair, false) != 0) return 1;
    pair.src = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 0));
    pair.dst = static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 0));
    if (step == "vz-start") return pairStep(dev, "VZ start", ZRKStartVZ, pair);
    if (step == "vz-query") return vzQuery(dev, pair);
    if (step == "vz-suspend") return pairStep(dev, "VZ suspend", ZRKSuspendVZ, pair);
    if (step == "vz-resume") return pairStep(dev, "VZ resume", ZRKResumeVZ, pair);
    if (step == "vz-stop") return pairStep(dev, "VZ stop", ZRKStopVZ, pair);
    if (step == "kzp-start") return pairStep(dev, "KZP start", ZRKStartKZP, pair);
    if (step == "kzp-query") return kzpQuery(dev, pair);
    if (step == "kzp-stop") return pairStep(dev, "KZP stop", ZRKStopKZP, pair);
    std::fprintf(stderr, "%s: unknown step %s\n", argv[0], step.c_str());
    return 2;
}
