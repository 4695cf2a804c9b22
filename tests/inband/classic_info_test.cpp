// The classic volume information against the simulator: the record of a
// volume on every classic profile (the maxima and RVZ buffer counts only
// where the array sets the copy kinds up, and the commands that takes), the
// refusal of a volume or extent beyond 32 bits before anything is reported,
// the LU mapping list, the LU information page and the list of remote arrays
// by family.
#include "inband_support.h"
#include "zrkclassic.h"
#include "zrkcmd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace inbandtest;

namespace {

constexpr char kHost[] = "/dev/sdb"; // A1:5

// Only KZP set up, and only KZP and VZ (no remote copy).
constexpr char kKzpOnly[] =
    "support=\"0000 0000 0000 0001 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000\"";
constexpr char kNoRemote[] =
    "support=\"0000 0000 0000 0001 0000 0000 0000 0000 0000 0000 0000 0001 0000 0000 0000 0000\"";

std::string Arrays(const std::string &clause) {
    return "array A1 boxid=\"BOX-A1\" " + clause + " rvzbuffers=6 maxsessions=16,1000,8,500\n"
           "array A2 boxid=\"BOX-A2\" " + clause + "\n"
           "volume A1 5 2097152 attr=0x21\nvolume A1 6 2097152\nvolume A1 7 8589934600\n"
           "volume A2 9 2097152\n"
           "rvzbuffer A1 1 remote=A2\nrvzbuffer A1 2 remote=A2\n"
           "disk /dev/sdb 8:16 A1 5\n"
           "disk /dev/sdd 8:48 A1 7\n"
           "partition /dev/sdd1 8:49 /dev/sdd 4294967296 4096\n"
           "partition /dev/sdd2 8:50 /dev/sdd 4294963200 4096\n"
           "partition /dev/sdd3 8:51 /dev/sdd 4294963200 4097\n"
           "brdlx /dev/brdlx/c1/dsk/cross:sdd 250:1 out=\"volume cross a b c d 4294967000 e 4096\"\n"
           "brdlx /dev/brdlx/c1/dsk/wide:sdd 250:2 out=\"volume wide a b c d 0 e 4294967296\"\n";
}

class ClassicInfo : public InbandTest {
protected:
    ClassicInfo() : InbandTest(Arrays("profile=detail")) {}

    void Load(const std::string &clause) {
        Reload(Arrays(clause));
        sim.clearLog();
    }

    // The TRAVO IN pages read (either family's opcode), "in09", leaving out
    // the copy-support read (and the QM family's page 0x02 with it); "diag" for RECEIVE DIAGNOSTIC RESULTS, "lun"
    // for MODE SENSE.
    std::string Trail() const {
        std::string words;
        char word[16];
        for (const zrksim::CdbRecord &r : sim.cdbLog()) {
            const bool travoIn = r.cdb[0] == ZRK_OP_TRAVO_IN || r.cdb[0] == ZRK_OP_TRAVO_IN_QM;
            if (travoIn && (r.cdb[2] == 0 || r.cdb[2] == 0x02)) continue;
            if (travoIn)
                std::snprintf(word, sizeof word, "in%02x", r.cdb[2]);
            else if (r.cdb[0] == 0x1C)
                std::snprintf(word, sizeof word, "diag");
            else if (r.cdb[0] == 0x1A)
                std::snprintf(word, sizeof word, "lun");
            else
                continue;
            words += (words.empty() ? "" : " ") + std::string(word);
        }
        return words;
    }
    // The CDBs of one opcode (and TRAVO IN page, when given), as hex.
    std::vector<std::string> Cdbs(unsigned char opcode, int page = -1) const {
        std::vector<std::string> out;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if (r.cdb[0] == opcode && (page < 0 || r.cdb[2] == page)) out.push_back(zrksim::toHex(r.cdb));
        return out;
    }
    // The copy-support reads (TRAVO IN page 0x00, mode 1).
    size_t SupportReads() const {
        size_t n = 0;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if ((r.cdb[0] == ZRK_OP_TRAVO_IN || r.cdb[0] == ZRK_OP_TRAVO_IN_QM) && r.cdb[2] == 0) ++n;
        return n;
    }
};

// ---- the volume information record --------------------------------------------------------

TEST_F(ClassicInfo, VolumeInfoOnEveryClassicProfile) {
    const std::string maxima = "0010 03e8 0008 01f4";
    struct Case {
        const char *what;
        const char *clause;
        const char *support; // bytes of the record named, the rest 0
        const char *trail;
        bool kzp, vz;        // the maxima read
        const char *buffers; // bytes 96-99, or null for zero
    };
    // clang-format off
    const Case cases[] = {
        {"classic, detail list", "profile=detail", "0000 0000 0100 00a1 0000 0000 0000 00a1 0000 0000 004b 00a1 0000 0000 00ff 00a1",
         "in09 in21 in21 in05", true, true, "0006 0002"},
        {"classic, identifier lists", "profile=idlist", "0000 0000 0000 0001 0000 0000 0000 0001 0000 0000 0001 0001 0000 0000 000f 0001",
         "in09 in05", true, true, nullptr},
        {"QM family", "profile=qm", "0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0001 0001 0000 0000 0001 0001",
         "in09", false, true, nullptr},
        {"only KZP", kKzpOnly, "0000 0000 0000 0001 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000",
         "in05", true, false, nullptr},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Load(c.clause);
        VOLUME_INFO_RECORD record;
        std::memset(&record, 0xEE, sizeof record);
        NewCall();
        ASSERT_EQ(GetVolumeInfo(kHost, 0x12345, &record), 0) << ZRKerrno;
        EXPECT_EQ(SpanHex(record.BoxID, ZRK_BOXID_LEN), BoxIdHex("BOX-A1"));
        EXPECT_EQ(record.uiOlu, 5u);
        EXPECT_EQ(record.uiExtent, 0u);
        EXPECT_EQ(record.uiSize, 2097152u);
        EXPECT_EQ(SpanHex(&record.VolInfoEx, sizeof record.VolInfoEx), GoldenHex(8, {{0, "21"}}));
        Patches info = {{64, c.support}};
        if (c.kzp) info.push_back({16, maxima});
        if (c.vz) info.push_back({24, maxima});
        if (c.buffers != nullptr) info.push_back({96, c.buffers});
        EXPECT_EQ(SpanHex(&record.VolInfo, sizeof record.VolInfo), GoldenHex(256, info));
        EXPECT_EQ(Trail(), std::string("lun ") + c.trail);
    }
}

// A volume or extent that the 32-bit fields cannot hold fails before
// anything of it is reported; one whose last block 32 bits still address is
// reported as it is.
TEST_F(ClassicInfo, VolumeBeyond32BitsIsRefused) {
    struct Case {
        const char *path;
        uint32_t start, size; // when reported
        bool refused;
    };
    // clang-format off
    const Case cases[] = {
        {"/dev/sdd",                       0,          0,    true},  // size beyond 32 bits
        {"/dev/sdd1",                      0,          0,    true},  // start beyond 32 bits
        {"/dev/sdd3",                      0,          0,    true},  // last block beyond 32 bits
        {"/dev/brdlx/c1/dsk/cross:sdd",    0,          0,    true},  // last block beyond 32 bits
        {"/dev/brdlx/c1/dsk/wide:sdd",     0,          0,    true},  // size 2^32: would read as 0
        {"/dev/sdd2",                      4294963200, 4096, false}, // last block 2^32 - 1
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        Load("profile=detail");
        VOLUME_INFO_RECORD record;
        std::memset(&record, 0xEE, sizeof record);
        NewCall();
        if (c.refused) {
            EXPECT_EQ(GetVolumeInfo(c.path, 0, &record), -1);
            EXPECT_EQ(ZRKerrno, ZRK_ERR_EXTENT);
            EXPECT_EQ(record.uiExtent, 0xEEEEEEEEu);
            EXPECT_EQ(record.uiSize, 0xEEEEEEEEu);
            EXPECT_EQ(record.uiOlu, 0xEEEEEEEEu);
            EXPECT_EQ(Trail(), "") << "nothing read after the extent";
        } else {
            ASSERT_EQ(GetVolumeInfo(c.path, 0, &record), 0) << ZRKerrno;
            EXPECT_EQ(record.uiExtent, c.start);
            EXPECT_EQ(record.uiSize, c.size);
            EXPECT_EQ(record.uiOlu, 7u);
        }
    }
}

// A failing step ends the query; what the steps before wrote stays.
TEST_F(ClassicInfo, VolumeInfoStopsAtTheFailingStep) {
    struct Case {
        const char *what;
        int page; // TRAVO IN page refused once
        bool boxRead, supportRead;
    };
    const Case cases[] = {{"VZ maxima", 0x09, true, true},
                          {"RVZ buffers", 0x21, true, true},
                          {"KZP maxima", 0x05, true, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Load("profile=detail");
        sim.injectSenseOnPage(c.page, 1, 5, 0x24, 0, kHost);
        VOLUME_INFO_RECORD record;
        std::memset(&record, 0xEE, sizeof record);
        NewCall();
        EXPECT_EQ(GetVolumeInfo(kHost, 0, &record), -1);
        EXPECT_NE(ZRKerrno, 0);
        EXPECT_EQ(record.uiOlu, 5u);
        EXPECT_EQ(record.uiSize, 2097152u);
        EXPECT_EQ(SpanHex(record.BoxID, ZRK_BOXID_LEN), BoxIdHex("BOX-A1"));
        EXPECT_EQ(record.VolInfo.ucaSupportData[7], 0xA1);
    }
    NewCall();
    EXPECT_EQ(GetVolumeInfo(kHost, 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
}

// ---- the lists and the constant information -----------------------------------------------

TEST_F(ClassicInfo, VolumeListIsTheBoxIdAndTheLuMapping) {
    for (const char *clause : {"profile=detail", "profile=idlist", "profile=qm"}) {
        SCOPED_TRACE(clause);
        Load(clause);
        unsigned char list[ZRK_BOXID_LEN + ZRK_LU_MAPPING_LEN + 16];
        std::memset(list, 0xEE, sizeof list);
        NewCall();
        ASSERT_EQ(GetVolumeList(kHost, 0, list), 0) << ZRKerrno;
        EXPECT_EQ(SpanHex(list, ZRK_BOXID_LEN), BoxIdHex("BOX-A1"));
        EXPECT_EQ(SpanHex(list + ZRK_BOXID_LEN, ZRK_LU_MAPPING_LEN),
                  GoldenHex(ZRK_LU_MAPPING_LEN, {{0, "0005 8000 0006 8000 0007 8000"}}));
        EXPECT_TRUE(std::all_of(list + ZRK_BOXID_LEN + ZRK_LU_MAPPING_LEN, list + sizeof list,
                                [](unsigned char b) { return b == 0xEE; }))
            << "nothing written past the list";
        EXPECT_EQ(Cdbs(0x1C), std::vector<std::string>{"1c01b0040400"});
    }
    NewCall();
    EXPECT_EQ(GetVolumeList(kHost, 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
}

TEST_F(ClassicInfo, ConstInfoIsTheLuInformationPage) {
    unsigned char info[ZRK_LUN_INFO_LEN + 16];
    std::memset(info, 0xEE, sizeof info);
    FreshCall();
    ASSERT_EQ(GetVolumeConstInfo(kHost, 0, info), 0) << ZRKerrno;
    EXPECT_EQ(zrk::Be16(info + 8), 5);
    EXPECT_EQ(info[11], 0x21);
    EXPECT_TRUE(std::all_of(info + ZRK_LUN_INFO_LEN, info + sizeof info,
                            [](unsigned char b) { return b == 0xEE; }));
    EXPECT_EQ(Trail(), "lun");
    NewCall();
    EXPECT_EQ(GetVolumeConstInfo(kHost, 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
}

TEST_F(ClassicInfo, RemoteBoxIdListByFamily) {
    struct Case {
        const char *clause;
        unsigned char opcode;
        const char *allocation; // CDB bytes 7-8
        size_t area;            // bytes of the list the family fills
    };
    const Case cases[] = {{"profile=detail", ZRK_OP_TRAVO_IN, "0c10", ZRK_REMOTE_BOXID_MAIN_LEN},
                          {"profile=idlist", ZRK_OP_TRAVO_IN, "0c10", ZRK_REMOTE_BOXID_MAIN_LEN},
                          {"profile=qm", ZRK_OP_TRAVO_IN_QM, "3010", ZRK_REMOTE_BOXID_LIST_LEN}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.clause);
        Load(c.clause);
        std::vector<unsigned char> list(ZRK_REMOTE_BOXID_LIST_LEN + 16, 0xEE);
        NewCall();
        ASSERT_EQ(GetRemoteBoxIDList(kHost, 0, list.data()), 0) << ZRKerrno;
        EXPECT_EQ(SpanHex(list.data(), ZRK_BOXID_LEN), BoxIdHex("BOX-A1"));
        EXPECT_EQ(list[40], 1) << "one remote array";
        EXPECT_EQ(SpanHex(list.data() + 48, ZRK_BOXID_LEN), BoxIdHex("BOX-A2"));
        EXPECT_TRUE(AllZero(list.data() + c.area, ZRK_REMOTE_BOXID_LIST_LEN - c.area))
            << "the area the family does not fill stays zero";
        EXPECT_TRUE(std::all_of(list.begin() + ZRK_REMOTE_BOXID_LIST_LEN, list.end(),
                                [](unsigned char b) { return b == 0xEE; }));
        const auto cdbs = Cdbs(c.opcode, 0x20);
        ASSERT_EQ(cdbs.size(), 1u);
        EXPECT_EQ(cdbs[0].substr(14, 4), c.allocation);
    }
}

// Without a remote copy set up the list is refused once the support data has
// been read afresh, and the remote arrays are not asked.
TEST_F(ClassicInfo, RemoteBoxIdListNeedsARemoteCopy) {
    for (const char *clause : {kKzpOnly, kNoRemote}) {
        SCOPED_TRACE(clause);
        Load(clause);
        std::vector<unsigned char> list(ZRK_REMOTE_BOXID_LIST_LEN, 0xEE);
        NewCall();
        EXPECT_EQ(GetRemoteBoxIDList(kHost, 0, list.data()), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
        EXPECT_EQ(SupportReads(), 1u);
        EXPECT_TRUE(Cdbs(ZRK_OP_TRAVO_IN, 0x20).empty());
    }
    NewCall();
    EXPECT_EQ(GetRemoteBoxIDList(kHost, 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
}

}  // namespace

namespace {

// Every query under a failing command: a failed run reports -1 with an error
// number, the run without a fault succeeds.
TEST_F(ClassicInfo, EveryQueryUnderAFailingCommand) {
    VOLUME_INFO_RECORD record;
    std::vector<unsigned char> area(ZRK_REMOTE_BOXID_LIST_LEN);
    struct Case {
        const char *what;
        const char *clause;
        std::function<int()> body;
    };
    // clang-format off
    const Case cases[] = {
        {"volume information", "profile=detail", [&] { return GetVolumeInfo(kHost, 0, &record); }},
        {"volume information, QM", "profile=qm", [&] { return GetVolumeInfo(kHost, 0, &record); }},
        {"volume list", "profile=idlist", [&] { return GetVolumeList(kHost, 0, area.data()); }},
        {"constant information", "profile=detail", [&] { return GetVolumeConstInfo(kHost, 0, area.data()); }},
        {"remote arrays", "profile=detail", [&] { return GetRemoteBoxIDList(kHost, 0, area.data()); }},
        {"remote arrays, QM", "profile=qm", [&] { return GetRemoteBoxIDList(kHost, 0, area.data()); }},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FaultWalkOptions options;
        options.fnBeforeRun = [&] {
            Load(c.clause);
            NewCall();
        };
        const FaultWalk walk = WalkFaults(
            sim, c.body, [](const FaultRun &run) { FailedOnItsFault(run); }, options);
        EXPECT_TRUE(walk.bEnded);
        EXPECT_GT(walk.iFaultedRuns, 1);
    }
}

}  // namespace
