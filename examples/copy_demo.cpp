// A program on the host that drives an array's copy sessions through the
// public large-volume functions of libzrkapi, one step per run:
//
//   copy_demo DEVICE identify
//   copy_demo DEVICE vz-start|vz-query|vz-suspend|vz-resume|vz-stop SRC_OLU DST_OLU
//   copy_demo DEVICE snap-start|snap-stop SRC_OLU DST_OLU
//   copy_demo DEVICE snap-list SRC_OLU
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
#include <vector>

namespace {

using demo::fail;
using demo::kPhase;
using demo::kStatus;
using demo::Pair;
using demo::word;

unsigned be16(const unsigned char *p) { return static_cast<unsigned>(p[0] << 8 | p[1]); }

using PairCall = int (*)(const char *, const char *, uint32_t, uint32_t, uint32_t, uint32_t,
                         uint32_t, const char *, uint32_t, uint32_t, uint32_t, uint32_t,
                         uint32_t, unsigned char *);

int pairStep(const char *dev, const char *what, PairCall call, const Pair &p, uint32_t options,
             uint32_t interval) {
    unsigned char sense[ZRK_SENSE_LEN] = {};
    if (call(dev, p.box, p.src, 0, 0, 0, 0, p.box, p.dst, 0, 0, interval, options, sense) != 0) {
        return fail(what, sense);
    }
    std::printf("%s: OLU %u -> OLU %u done\n", what, p.src, p.dst);
    return 0;
}

int identify(const char *dev, Pair *pair) {
    unsigned char sense[ZRK_SENSE_LEN] = {};
    uint32_t olu = 0, extHigh = 0, extLow = 0, sizeHigh = 0, sizeLow = 0;
    VOL_INFO info {};
    if (ZRKLVGetVolumeInfo(dev, 0, 0, pair->box, &olu, &extHigh, &extLow, &sizeHigh, &sizeLow,
                           &info, sense) != 1) {
        return fail("volume information", sense);
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
    const std::string step = argv[2];
    Pair pair {};
    pair.src = argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 0)) : 0;
    pair.dst = argc > 4 ? static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 0)) : 0;
    if (identify(dev, &pair) != 0) return 1;

    if (step == "identify") {
        unsigned char sense[ZRK_SENSE_LEN] = {};
        uint32_t olu = 0, extHigh = 0, extLow = 0, sizeHigh = 0, sizeLow = 0;
        uint32_t capHigh = 0, capLow = 0, blockLength = 0;
        VOL_INFO info {};
        ZRKLVGetVolumeInfo(dev, 0, 0, pair.box, &olu, &extHigh, &extLow, &sizeHigh, &sizeLow,
                           &info, sense);
        if (ZRKLVGetBlockSize(dev, &capHigh, &capLow, &blockLength, sense) != 0) {
            return fail("block size", sense);
        }
        std::printf("%s: array %.40s, OLU %u, extent %llu, size %llu blocks of %u bytes\n", dev,
                    pair.box, olu,
                    static_cast<unsigned long long>(extHigh) << 32 | extLow,
                    static_cast<unsigned long long>(sizeHigh) << 32 | sizeLow, blockLength);
        return 0;
    }
    if (step == "vz-start") return pairStep(dev, "start VZ", ZRKLVStartVZ, pair, 0, 255);
    if (step == "vz-suspend") return pairStep(dev, "suspend VZ", ZRKLVSuspendVZ, pair, 0, 255);
    if (step == "vz-resume") return pairStep(dev, "resume VZ", ZRKLVResumeVZ, pair, 0, 255);
    if (step == "vz-stop") return pairStep(dev, "stop VZ", ZRKLVStopVZ, pair, 0, 255);
    if (step == "vz-query") {
        unsigned char sense[ZRK_SENSE_LEN] = {};
        uint32_t status = 0, phase = 0, copiedHigh = 0, copiedLow = 0;
        if (ZRKLVQueryVZ(dev, pair.box, pair.src, 0, 0, 0, 0, pair.box, pair.dst, 0, 0, 255, 0,
                         &status, &phase, &copiedHigh, &copiedLow, sense) != 0) {
            return fail("query VZ", sense);
        }
        std::printf("query VZ: OLU %u -> OLU %u status %s, phase %s, copied %llu blocks\n",
                    pair.src, pair.dst, word(kStatus, std::size(kStatus), status), word(kPhase, std::size(kPhase), phase),
                    static_cast<unsigned long long>(copiedHigh) << 32 | copiedLow);
        return 0;
    }
    if (step == "snap-start") {
        return pairStep(dev, "start SnapKZP+", ZRKLVStartSnapKZP_p, pair, 0, 0);
    }
    if (step == "snap-stop") return pairStep(dev, "stop SnapKZP+", ZRKLVStopSnapKZP_p, pair, 0, 0);
    if (step == "snap-list") {
        unsigned char sense[ZRK_SENSE_LEN] = {};
        std::vector<unsigned char> list(16 + 256 * 1024);
        if (ZRKLVGeneraListSnapKZP_p(dev, pair.box, pair.src, 0, 0, 0, 0, 0, list.data(),
                                     sense) != 0) {
            return fail("SnapKZP+ generations", sense);
        }
        unsigned count = be16(list.data());
        std::printf("SnapKZP+ generations of OLU %u: %u\n", pair.src, count);
        for (unsigned i = 0; i < count && i < 1024; ++i) {
            TVC_DETAIL_INFO d {};
            std::memcpy(&d, list.data() + 16 + 256 * i, sizeof d);
            std::printf("  generation %u: session %u, destination OLU %u, status %s\n", i + 1,
                        be16(d.ucaSessionID), be16(d.DstOlu + 2), word(kStatus, std::size(kStatus), d.Status));
        }
        return 0;
    }
    std::fprintf(stderr, "unknown step %s\n", step.c_str());
    return 2;
}
