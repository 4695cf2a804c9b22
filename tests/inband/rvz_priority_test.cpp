// RVZ buffer information, the copy priority read and setting, and the light
// volume information, against the simulator: the pages read and the lists
// sent, replies whose counts claim more than they hold, the refusals, and
// the device released on every way out.
#include "inband_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace inbandtest;

namespace {

constexpr char kDisk[] = "/dev/sdb";

// The page-based profile with copy priority offered (support byte 4 bit 0x40).
constexpr char kPrioritySupport[] =
    "000000004f0000f100000000000000f100000000004b00f10000000000ff10f1";

std::string Arrays(const std::string &a1Options) {
    return "array A1 boxid=\"BOX-A1\" " + a1Options +
           "\narray A2 boxid=\"BOX-A2\"\n"
           "volume A1 5 2097152\nvolume A2 9 2097152\ndisk /dev/sdb 8:16 A1 5\n"
           "rvzbuffer A1 1 remote=A2 cms=16,17 rlus=4\nrvzbuffer A1 3 remote=A2 cms=32 rlus=5\n";
}

class RvzPriority : public InbandTest {
protected:
    RvzPriority() : InbandTest(Arrays("profile=paged")) {}

    // The TRAVO IN commands of page `page` in the log.
    size_t PageReads(unsigned char page) const {
        size_t n = 0;
        for (const auto &r : sim.cdbLog())
            if (r.cdb.size() == 10 && r.cdb[0] == 0xEB && r.cdb[2] == page) ++n;
        return n;
    }
    // The TRAVO OUT lists sent.
    std::vector<Bytes> ListsSent() const {
        std::vector<Bytes> lists;
        for (const auto &r : sim.cdbLog())
            if (r.cdb.size() == 10 && (r.cdb[0] == 0xE9 || r.cdb[0] == 0xEC) &&
                !r.dataOut.empty())
                lists.push_back(r.dataOut);
        return lists;
    }
    void Load(const std::string &a1Options) {
        sim.load(Arrays(a1Options));
        FreshCall();
    }
};

// ---- RVZ buffer information ---------------------------------------------------------

TEST_F(RvzPriority, RvzBufferInformationByOfferedPages) {
    struct Case {
        const char *pages;     // rvzpages
        size_t detailReads;    // page 0x23 reads
        size_t usageReads;     // page 0x24 reads
    };
    const Case cases[] = {{"0", 0, 0}, {"1", 2, 0}, {"3", 2, 1}, {"7", 2, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pages);
        Load(std::string("profile=paged rvzpages=") + c.pages);
        RVZ_BUFF_INFO info;
        std::memset(&info, 0xAA, sizeof info);
        unsigned char sense[ZRK_SENSE_LEN];
        const int descriptors = OpenDescriptors();
        ASSERT_EQ(ZRKGetRVZBuffInfo(kDisk, 0, &info, sense), 0) << ZRKerrno;
        ExpectDeviceReleased(descriptors);
        EXPECT_EQ(PageReads(0x23), c.detailReads);
        EXPECT_EQ(PageReads(0x24), c.usageReads);
        EXPECT_EQ(Be(info.ucaHead + 2, 2), 2u);
        EXPECT_EQ(info.ucaHead[7], std::stoi(c.pages));
        EXPECT_EQ(info.Buff[0].ucaEntry[1], 1);
        EXPECT_EQ(info.Buff[1].ucaEntry[1], 3);
        for (int b = 2; b < 8; ++b) EXPECT_TRUE(AllZero(reinterpret_cast<const unsigned char *>(&info.Buff[b]), sizeof info.Buff[b])) << b;
        const RVZ_BUFF_ELEMENT &e = info.Buff[0];
        if (c.detailReads != 0) {
            EXPECT_EQ(e.ucaDetail[1], 1);             // the buffer detail from byte 8
            EXPECT_EQ(Be(e.ucaDetail + 6, 2), 2u);    // its module count
            EXPECT_EQ(Be(e.Cm[0].ucaDetail, 2), 16u);
            EXPECT_EQ(Be(e.Cm[1].ucaDetail, 2), 17u);
            EXPECT_TRUE(AllZero(reinterpret_cast<const unsigned char *>(&e.Cm[2]), sizeof e.Cm[2]));
            EXPECT_EQ(Be(info.Buff[1].Cm[0].ucaDetail, 2), 32u);
        } else {
            EXPECT_TRUE(AllZero(e.ucaDetail, sizeof e.ucaDetail));
        }
        if (c.usageReads != 0) {
            EXPECT_EQ(e.ucaUsage[0], 1);
            EXPECT_EQ(Be(e.Cm[0].ucaUsage, 2), 16u);
            EXPECT_EQ(Be(e.Cm[1].ucaUsage, 2), 17u);
            EXPECT_EQ(info.Buff[1].ucaUsage[0], 3);
            EXPECT_EQ(Be(info.Buff[1].Cm[0].ucaUsage, 2), 32u);
        } else {
            EXPECT_TRUE(AllZero(e.ucaUsage, sizeof e.ucaUsage));
            EXPECT_TRUE(AllZero(e.Cm[0].ucaUsage, sizeof e.Cm[0].ucaUsage));
        }
    }
}

// The buffer list is read once, 528 bytes long, whatever maximum the array
// announces: an array holding more buffers than its maximum loses none.
TEST_F(RvzPriority, RvzBufferListReadOnceInFull) {
    for (const char *maximum : {"8", "1"}) {
        SCOPED_TRACE(maximum);
        Load(std::string("profile=paged rvzpages=0 rvzbuffers=") + maximum);
        RVZ_BUFF_INFO info{};
        ASSERT_EQ(ZRKGetRVZBuffInfo(kDisk, 0, &info, nullptr), 0) << ZRKerrno;
        std::vector<Bytes> reads;
        for (const auto &r : sim.cdbLog())
            if (r.cdb.size() == 10 && r.cdb[0] == 0xEB && r.cdb[2] == 0x21) reads.push_back(r.cdb);
        ASSERT_EQ(reads.size(), 1u);
        EXPECT_EQ(reads[0][1] & 0x07, 0x01); // mode 1
        EXPECT_EQ(Be(reads[0].data() + 6, 3), 528u);
        EXPECT_EQ(Be(info.ucaHead, 2), static_cast<unsigned>(std::stoi(maximum)));
        EXPECT_EQ(Be(info.ucaHead + 2, 2), 2u);
        EXPECT_EQ(info.Buff[0].ucaEntry[1], 1);
        EXPECT_EQ(info.Buff[1].ucaEntry[1], 3);
    }
}

TEST_F(RvzPriority, RvzBufferPagesWithHostileCounts) {
    struct Case {
        const char *name;
        const char *pages;     // rvzpages
        int page;              // the page corrupted
        size_t offset;         // where
        const char *hex;       // with what
        int usageOfFirst;      // byte 0 of the first buffer's usage head
    };
    const Case cases[] = {
        // The list claims 65535 buffers: only its 8 entries are read.
        {"list count", "0", 0x21, 10, "ffff", 0},
        // The buffer detail claims 65535 modules: only 32 slots.
        {"module count of the detail", "1", 0x23, 14, "ffff", 0},
        // The short usage page claims 65535 records, the first 65535 modules.
        {"short usage counts", "3", 0x24, 10, "ffff", 1},
        {"short record's modules", "3", 0x24, 16 + 64, "ffff", 1},
        // The long form likewise.
        {"long usage counts", "7", 0x24, 10, "ffff", 1},
        {"long record's modules", "7", 0x24, 16 + 64, "ffff", 1},
        // The first buffer is missing from the usage page: its usage stays 0.
        {"buffer missing", "3", 0x24, 16, "09", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Load(std::string("profile=paged rvzpages=") + c.pages);
        // Every read of the page (the detail is read once per buffer).
        sim.corrupt(c.page, c.offset, c.hex, 2, 0, "A1");
        RVZ_BUFF_INFO info{};
        ASSERT_EQ(ZRKGetRVZBuffInfo(kDisk, 0, &info, nullptr), 0) << ZRKerrno;
        EXPECT_EQ(info.Buff[0].ucaEntry[1], 1);
        EXPECT_EQ(info.Buff[0].ucaUsage[0], c.usageOfFirst);
        EXPECT_EQ(info.Buff[1].ucaEntry[1], 3);
        EXPECT_EQ(ZRKopenFlag, 0);
    }
}

TEST_F(RvzPriority, RvzBufferInformationRefusals) {
    RVZ_BUFF_INFO info{};
    // An option bit: 37 before any command.
    EXPECT_EQ(ZRKGetRVZBuffInfo(kDisk, 0x1, &info, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_OPTION);
    EXPECT_TRUE(sim.cdbLog().empty());
    // No output area: 13 before any command.
    FreshCall();
    EXPECT_EQ(ZRKGetRVZBuffInfo(kDisk, 0, nullptr, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
    EXPECT_TRUE(sim.cdbLog().empty());
    // An array without RVZ buffers (support byte 29 without 0x80): 17.
    Load("profile=idlist");
    const int descriptors = OpenDescriptors();
    EXPECT_EQ(ZRKGetRVZBuffInfo(kDisk, 0, &info, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
    EXPECT_EQ(PageReads(0x21), 0u);
    ExpectDeviceReleased(descriptors);
}

TEST_F(RvzPriority, RvzBufferInformationFaultWalk) {
    RVZ_BUFF_INFO info{};
    const FaultWalk walk = WalkWithSense(
        sim, [&](unsigned char *sense) { return ZRKGetRVZBuffInfo(kDisk, 0, &info, sense); }, 0);
    EXPECT_GT(walk.clean.uiCommands, 4u);
}

// ---- copy priority ------------------------------------------------------------------

TEST_F(RvzPriority, CopyPriorityRead) {
    COPY_PRIORITY_INFO info{};
    // Not offered by the page-based profile: 17 without a read.
    EXPECT_EQ(ZRKGetCopyPriority(kDisk, &info, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
    EXPECT_EQ(PageReads(0x35), 0u);

    Load(std::string("support=") + kPrioritySupport);
    const int descriptors = OpenDescriptors();
    ASSERT_EQ(ZRKGetCopyPriority(kDisk, &info, nullptr), 0) << ZRKerrno;
    ExpectDeviceReleased(descriptors);
    EXPECT_EQ(info.ucCapability, 0xF0);
    EXPECT_EQ(info.ucCount, 1);
    EXPECT_EQ(std::string(info.Entry[0].BoxID, ZRK_BOXID_LEN), BoxId("BOX-A2"));
    ASSERT_EQ(PageReads(0x35), 1u);
    for (const auto &r : sim.cdbLog()) {
        if (r.cdb[0] == 0xEB && r.cdb[2] == 0x35) {
            EXPECT_EQ(zrksim::toHex(r.cdb), "eb093500000000041000");
        }
    }

    FreshCall();
    EXPECT_EQ(ZRKGetCopyPriority(kDisk, nullptr, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
    EXPECT_TRUE(sim.cdbLog().empty());
}

COPY_PRIORITY_SET Setting(int kind, int level, const char *partner, int subKind, int sw) {
    COPY_PRIORITY_SET s{};
    s.ucKind = static_cast<unsigned char>(kind);
    s.ucLevel = static_cast<unsigned char>(level);
    if (partner != nullptr) std::memcpy(s.BoxID, BoxId(partner).data(), ZRK_BOXID_LEN);
    s.ucSubKind = static_cast<unsigned char>(subKind);
    s.ucSwitch = static_cast<unsigned char>(sw);
    s.ucaReserved2[0] = 0x5A; // passed on unchanged
    return s;
}

TEST_F(RvzPriority, CopyPrioritySetting) {
    struct Case {
        const char *name;
        COPY_PRIORITY_SET setting;
        std::vector<std::pair<size_t, const char *>> patches; // laid over page 0x35
        int rc;
        int err;
        size_t reads; // page 0x35 reads
        size_t sent;  // lists sent
    };
    const Case cases[] = {
        {"level 2 unchecked", Setting(0, 2, nullptr, 0, 0), {}, 0, 0, 0, 1},
        {"level 3 offered", Setting(0, 3, nullptr, 0, 0), {}, 0, 0, 1, 1},
        {"level 4 without 0x10", Setting(0, 4, nullptr, 0, 0), {{8, "e0"}}, -1, ZRK_ERR_PRIORITY_COMBO, 1, 0},
        {"level 3 without 0x80", Setting(0, 3, nullptr, 0, 0), {{8, "70"}}, -1, ZRK_ERR_PRIORITY_COMBO, 1, 0},
        {"level 5 refused by the array", Setting(0, 5, nullptr, 0, 0), {}, -1, ZRK_ERR_PRIORITY_PARAM, 0, 1},
        {"switch on, no 0x40", Setting(1, 0, "BOX-A2", 0, 1), {{8, "b0"}}, -1, ZRK_ERR_PRIORITY_COMBO, 1, 0},
        {"switch on with 0x40", Setting(1, 0, "BOX-A2", 0, 1), {}, 0, 0, 1, 1},
        {"switch unchanged, no 0x40", Setting(1, 0, "BOX-A2", 0, 0), {{8, "b0"}}, 0, 0, 1, 1},
        {"switch on already, no 0x40", Setting(1, 0, "BOX-A2", 0, 7), {{8, "b0"}, {16 + 41, "01"}}, 0, 0, 1, 1},
        {"unknown partner", Setting(1, 0, "BOX-ZZ", 0, 1), {}, -1, ZRK_ERR_BOXID, 1, 0},
        {"partner beyond the count", Setting(1, 1, "BOX-A2", 1, 0), {{10, "00"}}, -1, ZRK_ERR_BOXID, 1, 0},
        // 255 entries claimed: 16 are searched, none past the reply.
        {"hostile count", Setting(1, 1, "BOX-ZZ", 1, 0), {{10, "ff"}}, -1, ZRK_ERR_BOXID, 1, 0},
        {"partner setting, no 0x20", Setting(1, 1, "BOX-A2", 1, 0), {{8, "d0"}}, -1, ZRK_ERR_PRIORITY_COMBO, 1, 0},
        {"partner setting", Setting(1, 1, "BOX-A2", 1, 0), {}, 0, 0, 1, 1},
        {"other sub-kind, refused by the array", Setting(1, 0, "BOX-A2", 2, 0), {}, -1, ZRK_ERR_PRIORITY_COMBO, 0, 1},
        {"other kind, refused by the array", Setting(2, 0, nullptr, 0, 0), {}, -1, ZRK_ERR_PRIORITY_PARAM, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Load(std::string("support=") + kPrioritySupport);
        for (const auto &[offset, hex] : c.patches) sim.corrupt(0x35, offset, hex, 1, 0, "A1");
        unsigned char sense[ZRK_SENSE_LEN];
        const int descriptors = OpenDescriptors();
        EXPECT_EQ(ZRKSetCopyPriority(kDisk, sense, c.setting), c.rc);
        if (c.rc != 0) {
            EXPECT_EQ(ZRKerrno, c.err);
        }
        ExpectDeviceReleased(descriptors);
        EXPECT_EQ(PageReads(0x35), c.reads);
        const std::vector<Bytes> lists = ListsSent();
        ASSERT_EQ(lists.size(), c.sent);
        if (c.sent == 0) continue;
        Bytes expected = Hex("35000000 00000078");
        const auto *raw = reinterpret_cast<const unsigned char *>(&c.setting);
        expected.insert(expected.end(), raw, raw + sizeof c.setting);
        EXPECT_EQ(lists[0], expected);
    }
}

TEST_F(RvzPriority, CopyPriorityNotOffered) {
    const int descriptors = OpenDescriptors();
    EXPECT_EQ(ZRKSetCopyPriority(kDisk, nullptr, Setting(0, 2, nullptr, 0, 0)), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
    EXPECT_TRUE(ListsSent().empty());
    ExpectDeviceReleased(descriptors);
}

TEST_F(RvzPriority, CopyPrioritySettingInAStorageCluster) {
    // The failover bit in support byte 6, and A1 the primary of a cluster.
    Load("partner=A2 role=1 support=000000004f0020f100000000000000f100000000004b00f10000000000ff10f1");
    const int descriptors = OpenDescriptors();
    EXPECT_EQ(ZRKSetCopyPriority(kDisk, nullptr, Setting(0, 2, nullptr, 0, 0)), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_CLUSTER);
    EXPECT_TRUE(ListsSent().empty());
    ExpectDeviceReleased(descriptors);
}

// ---- light volume information --------------------------------------------------------

TEST_F(RvzPriority, LightVolumeInformation) {
    char box[ZRK_BOXID_LEN] = {};
    uint32_t olu = 0, eh = 9, el = 9, sh = 9, sl = 0;
    VOL_INFO_EX ex;
    std::memset(&ex, 0xAA, sizeof ex);
    const int descriptors = OpenDescriptors();
    ASSERT_EQ(ZRKLVGetVolumeInfoLite(kDisk, 0, 0, box, &olu, &eh, &el, &sh, &sl, nullptr, nullptr), 1)
        << ZRKerrno;
    ExpectDeviceReleased(descriptors);
    EXPECT_EQ(std::string(box, sizeof box), BoxId("BOX-A1"));
    EXPECT_EQ(olu, 5u);
    EXPECT_EQ(eh, 0u);
    EXPECT_EQ(el, 0u);
    EXPECT_EQ(sh, 0u);
    EXPECT_EQ(sl, 2097152u);
    // No session counts are read.
    EXPECT_EQ(PageReads(0x21), 0u);
    EXPECT_EQ(PageReads(0x09), 0u);

    FreshCall();
    olu = 0;
    ASSERT_EQ(ZRKLVGetVolumeInfoLiteEx(kDisk, 0, 0, box, &olu, &eh, &el, &sh, &sl, nullptr, &ex,
                                       nullptr),
              1)
        << ZRKerrno;
    ExpectDeviceReleased(descriptors);
    EXPECT_EQ(olu, 5u);
    EXPECT_TRUE(AllZero(ex.ucaReserved1, sizeof ex.ucaReserved1));
}

TEST_F(RvzPriority, LightVolumeInformationRefusals) {
    char box[ZRK_BOXID_LEN];
    uint32_t olu, eh, el, sh, sl;
    VOL_INFO_EX ex;
    struct Case {
        const char *name;
        int extentCnt;
        uint32_t option;
        bool nullOlu;
        bool nullEx;
        int err;
    };
    const Case cases[] = {
        {"extent count", 1, 0, false, false, ZRK_ERR_EXTENT_CNT},
        {"option", 0, 0x1, false, false, ZRK_ERR_OPTION},
        {"no OLU area", 0, 0, true, false, ZRK_ERR_PARAMETER},
        {"no extra area", 0, 0, false, true, ZRK_ERR_PARAMETER},
    };
    const int descriptors = OpenDescriptors();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t *pOlu = c.nullOlu ? nullptr : &olu;
        if (!c.nullEx) {
            FreshCall();
            EXPECT_EQ(ZRKLVGetVolumeInfoLite(kDisk, c.extentCnt, c.option, box, pOlu, &eh, &el, &sh,
                                             &sl, nullptr, nullptr),
                      -1);
            EXPECT_EQ(ZRKerrno, c.err);
            ExpectDeviceReleased(descriptors);
        }
        FreshCall();
        EXPECT_EQ(ZRKLVGetVolumeInfoLiteEx(kDisk, c.extentCnt, c.option, box, pOlu, &eh, &el, &sh,
                                           &sl, nullptr, c.nullEx ? nullptr : &ex, nullptr),
                  -1);
        EXPECT_EQ(ZRKerrno, c.err);
        ExpectDeviceReleased(descriptors);
    }
}

TEST_F(RvzPriority, LightVolumeInformationFaultWalks) {
    char box[ZRK_BOXID_LEN];
    uint32_t olu, eh, el, sh, sl;
    VOL_INFO_EX ex;
    const FaultWalk lite = WalkWithSense(
        sim,
        [&](unsigned char *sense) {
            return ZRKLVGetVolumeInfoLite(kDisk, 0, 0, box, &olu, &eh, &el, &sh, &sl, nullptr, sense);
        },
        1);
    const FaultWalk liteEx = WalkWithSense(
        sim,
        [&](unsigned char *sense) {
            return ZRKLVGetVolumeInfoLiteEx(kDisk, 0, 0, box, &olu, &eh, &el, &sh, &sl, nullptr, &ex,
                                            sense);
        },
        1);
    EXPECT_GT(liteEx.clean.uiCommands, lite.clean.uiCommands);
}

} // namespace
