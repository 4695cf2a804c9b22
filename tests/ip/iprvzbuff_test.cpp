// The RVZ buffers of an array reached over the LAN, against the simulator's
// LAN front: the information record byte for byte from the simulator's
// buffers (each buffer's own usage rows and disk buffer), the commands each
// call sends, and the buffer setting with its refusals.
#include "../../ip/iprvzbuff.h"
#include "../sim/lan_helpers.h"
#include "child.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "platform.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using iptest::PaddedBox;

std::string Bytes(const void *data, size_t size) {
    return std::string(static_cast<const char *>(data), size);
}

// One RVZ buffer as the scenario declares it.
struct Buffer {
    unsigned uiId;
    unsigned uiType;
    const char *pRemote;          // array name, or "" for none
    unsigned uiInterval;
    unsigned uiMonitor;
    std::vector<unsigned> vCms;
    uint32_t uiSize;
    uint32_t uiUsed;
    std::vector<unsigned> vRlus;  // none: no disk buffer
    uint64_t ullDiskSize;
    uint64_t ullDiskUsed;
    unsigned uiSessions = 0;      // VZ-family sessions to the remote array
};

std::string Directive(const char *array, const Buffer &b) {
    std::string d = std::string("rvzbuffer ") + array + " " + std::to_string(b.uiId) +
                    " type=" + std::to_string(b.uiType) + " interval=" +
                    std::to_string(b.uiInterval) + " monitor=" + std::to_string(b.uiMonitor) +
                    " size=" + std::to_string(b.uiSize) + " used=" + std::to_string(b.uiUsed);
    if (*b.pRemote != '\0') d += std::string(" remote=") + b.pRemote;
    auto list = [](const std::vector<unsigned> &v) {
        std::string s;
        for (unsigned x : v) s += (s.empty() ? "" : ",") + std::to_string(x);
        return s;
    };
    if (!b.vCms.empty()) d += " cms=" + list(b.vCms);
    if (!b.vRlus.empty()) {
        d += " rlus=" + list(b.vRlus) + " disksize=" + std::to_string(b.ullDiskSize) +
             " diskused=" + std::to_string(b.ullDiskUsed);
    }
    return d + "\n";
}

// Big-endian fields into a record held as a string.
void Put(std::string &r, size_t at, int width, uint64_t v) {
    for (int i = width - 1; i >= 0; --i, v >>= 8) r[at + static_cast<size_t>(i)] = static_cast<char>(v & 0xFF);
}

// The record the array's buffers give: list part, usage part (the buffer's
// own modules, each an even share), disk part and the disk halves of the
// slots when the array announces disk buffers (suppt 0x02).
std::string Expected(unsigned maxBuffers, unsigned suppt, const std::vector<Buffer> &buffers) {
    std::string r(sizeof(RVZ_BUFF_INFO), '\0');
    Put(r, 0, 2, maxBuffers);
    Put(r, 2, 2, buffers.size());
    Put(r, 7, 1, suppt);
    for (size_t k = 0; k < buffers.size(); ++k) {
        const Buffer &b = buffers[k];
        const size_t e = 8 + 2240 * k;
        const size_t n = b.vCms.size();
        Put(r, e + 1, 1, b.uiId);
        Put(r, e + 2, 1, *b.pRemote != '\0' ? 1 : 0);
        Put(r, e + 4, 2, n);
        Put(r, e + 8, 2, b.uiType);
        Put(r, e + 10, 2, b.uiInterval);
        Put(r, e + 12, 4, b.uiMonitor);
        Put(r, e + 16, 4, b.uiSize);
        if (*b.pRemote != '\0') r.replace(e + 24, 40, PaddedBox(std::string("BOX-") + b.pRemote));
        Put(r, e + 65, 1, b.uiId);
        Put(r, e + 66, 2, b.uiSessions);
        Put(r, e + 70, 2, n);
        Put(r, e + 72, 4, b.uiSize);
        Put(r, e + 76, 4, b.uiUsed);
        Put(r, e + 80, 4, b.uiSize - b.uiUsed);
        const bool disk = (suppt & 0x02) != 0 && !b.vRlus.empty();
        if (disk) {
            Put(r, e + 96, 1, b.uiId);
            Put(r, e + 97, 1, 1);
            Put(r, e + 112, 1, b.vRlus.size());
            for (size_t v = 0; v < b.vRlus.size(); ++v) Put(r, e + 116 + 2 * v, 2, b.vRlus[v]);
            Put(r, e + 160, 2, n);
            Put(r, e + 168, 8, b.ullDiskSize);
            Put(r, e + 176, 8, b.ullDiskUsed);
            Put(r, e + 184, 8, b.ullDiskSize - b.ullDiskUsed);
        }
        for (size_t j = 0; j < n; ++j) {
            const size_t s = e + 192 + 64 * j;
            Put(r, s, 2, b.vCms[j]);
            Put(r, s + 4, 4, b.uiSize / n);
            Put(r, s + 8, 4, b.uiUsed / n);
            Put(r, s + 12, 4, b.uiSize / n - b.uiUsed / n);
            if (disk) {
                Put(r, s + 32, 2, b.vCms[j]);
                Put(r, s + 40, 8, b.ullDiskSize / n);
                Put(r, s + 48, 8, b.ullDiskUsed / n);
                Put(r, s + 56, 8, b.ullDiskSize / n - b.ullDiskUsed / n);
            }
        }
    }
    return r;
}

// A1: three buffers; buffer 1 has more modules than the last one (5), so
// its second module's disk half is found only by its own usage rows;
// buffer 3 has no disk buffer and no remote array.
const std::vector<Buffer> kBuffersA1 = {
    {1, 1, "B1", 2, 5, {16, 17}, 4096, 1024, {100, 101}, 0x100000000ull, 4096, 1},
    {3, 2, "", 0, 0, {32}, 8, 0, {}, 0, 0},
    {5, 1, "C1", 4, 15, {18}, 0x10000, 0x20, {7}, 0x2000, 0x1000},
};

// B1: one buffer to A1, which the session from A1 uses too.
const Buffer kBufferB1 = {2, 2, "A1", 1, 3, {16, 17, 18}, 300, 30, {9}, 0x900, 0x90, 1};

std::string Scenario() {
    const std::string all = iptest::SupportHex({});
    std::string s =
        // A1 offers the detail and the long usage page in-band and the disk
        // buffers over the LAN (0x07 both); C1 the short form (0x03).
        "array A1 boxid=\"BOX-A1\" address=10.0.2.5 support=" + all +
        " rvzbuffers=6 remotes=B1,C1,B1 rvzpages=7 rvzdetail=7\n"
        "array B1 boxid=\"BOX-B1\" address=10.0.2.6 support=" + all + " rvzdetail=0 remotes=A1\n"
        "array C1 boxid=\"BOX-C1\" address=10.0.2.7 support=" + all +
        " remotes=A1 rvzpages=3 rvzdetail=3\n"
        "volume A1 1 1000\nvolume B1 1 1000\nvolume C1 1 1000\n"
        "disk /dev/sdb 8:16 A1 1\ndisk /dev/sdc 8:32 C1 1\n"
        // One session runs through buffer 1 (to B1).
        "session 1 rvz A1 1 B1 1 partner=2\n"
        // RVZ without buffers (byte 29 without 0x80).
        "array D1 boxid=\"BOX-D1\" address=10.0.2.8 support=" + iptest::SupportHex({{29, 0x7F}}) + "\n"
        // Buffers offered, none allowed.
        "array E1 boxid=\"BOX-E1\" address=10.0.2.9 support=" + all + " rvzbuffers=0\n"
        "user admin secret\n";
    for (const Buffer &b : kBuffersA1) s += Directive("A1", b);
    s += Directive("B1", kBufferB1);
    return s;
}

constexpr const char *kA1 = "10.0.2.5";
constexpr const char *kB1 = "10.0.2.6";
constexpr const char *kC1 = "10.0.2.7";
constexpr const char *kD1 = "10.0.2.8";
constexpr const char *kE1 = "10.0.2.9";

class IpRvzBuffSim : public iptest::LanSimTest {
protected:
    IpRvzBuffSim() : LanSimTest(Scenario(), {kA1, kB1, kC1, kD1, kE1}) {}
    std::vector<std::string> Sent() const { return iptest::LanCommands(sim); }
};

const std::string kZeroSense(ZRK_SENSE_LEN, '\0');

// Where two records first differ ("same" when they do not), so that a
// failure names a byte rather than printing 17928 of them.
std::string FirstDifference(const std::string &want, const void *got, size_t size) {
    const std::string have = Bytes(got, size);
    if (want.size() != have.size()) return "size " + std::to_string(have.size());
    for (size_t i = 0; i < want.size(); ++i) {
        if (want[i] != have[i]) {
            char text[64];
            std::snprintf(text, sizeof text, "byte %zu: want %02x, got %02x", i,
                          static_cast<unsigned char>(want[i]), static_cast<unsigned char>(have[i]));
            return text;
        }
    }
    return "same";
}

// ---- the information record ---------------------------------------------------------------

TEST_F(IpRvzBuffSim, InformationIsTheSimulatorsBuffers) {
    struct Case {
        const char *ip;
        std::string record;
        std::vector<std::string> commands;
    } cases[] = {
        {kA1, Expected(6, 0x07, kBuffersA1),
         {"show copy-functions", "show boxid", "show rvz-buffer ",
          "show rvz-buffer-usage -partition 1", "show rvz-buffer-usage -partition 3",
          "show rvz-buffer-usage -partition 5", "show rvz-disk-buffer"}},
        // No disk buffers announced: no disk query, every disk half zero.
        {kB1, Expected(8, 0x00, {kBufferB1}),
         {"show copy-functions", "show boxid", "show rvz-buffer ",
          "show rvz-buffer-usage -partition 2"}},
        // No buffer defined: an empty record, and the disk query still runs.
        {kC1, Expected(8, 0x03, {}),
         {"show copy-functions", "show boxid", "show rvz-buffer ", "show rvz-disk-buffer"}},
    };
    for (const Case &c : cases) {
        RVZ_BUFF_INFO info;
        std::memset(&info, 0xEE, sizeof info);
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        ASSERT_EQ(0, ZRKIPGetRVZBuffInfo(c.ip, nullptr, 0, &info, sense)) << c.ip << " " << ZRKerrno;
        EXPECT_EQ("same", FirstDifference(c.record, &info, sizeof info)) << c.ip;
        EXPECT_EQ(kZeroSense, Bytes(sense, sizeof sense)) << c.ip;
        EXPECT_EQ(c.commands, Sent()) << c.ip;
    }
    // A second call takes the copy functions and the buffer list from the
    // caches and asks the usage and the disk buffers anew.
    RVZ_BUFF_INFO again{};
    ASSERT_EQ(0, ZRKIPGetRVZBuffInfo(kA1, nullptr, 0, &again, nullptr)) << ZRKerrno;
    EXPECT_EQ("same", FirstDifference(Expected(6, 0x07, kBuffersA1), &again, sizeof again));
    EXPECT_EQ((std::vector<std::string>{"show rvz-buffer-usage -partition 1",
                                        "show rvz-buffer-usage -partition 3",
                                        "show rvz-buffer-usage -partition 5", "show rvz-disk-buffer"}),
              Sent());
}

// The command layer reads one record over either road: the in-band function
// on a disk of the same array gives the same bytes.
TEST_F(IpRvzBuffSim, InformationEqualsTheInBandRecord) {
    const struct {
        const char *ip;
        const char *disk;
    } arrays[] = {{kA1, "/dev/sdb"}, {kC1, "/dev/sdc"}};
    for (const auto &a : arrays) {
        RVZ_BUFF_INFO lan;
        RVZ_BUFF_INFO inband;
        std::memset(&lan, 0xEE, sizeof lan);
        std::memset(&inband, 0xDD, sizeof inband);
        ASSERT_EQ(0, ZRKIPGetRVZBuffInfo(a.ip, nullptr, 0, &lan, nullptr)) << a.ip << " " << ZRKerrno;
        ASSERT_EQ(0, ZRKGetRVZBuffInfo(a.disk, 0, &inband, nullptr)) << a.disk << " " << ZRKerrno;
        EXPECT_EQ("same", FirstDifference(Bytes(&inband, sizeof inband), &lan, sizeof lan)) << a.ip;
    }
}

TEST_F(IpRvzBuffSim, InformationRefusals) {
    struct Case {
        const char *what;
        const char *ip;
        uint32_t option;
        bool record;                        // pass a record
        int error;
        std::vector<std::string> commands;
    } cases[] = {
        {"an option bit", kA1, 0x1, true, 37, {}},
        {"no record", kA1, 0, false, 13, {}},
        {"no RVZ buffers", kD1, 0, true, 17, {"show copy-functions", "show boxid"}},
        {"no array there", "10.0.2.99", 0, true, 1905, {}},
    };
    for (const Case &c : cases) {
        RVZ_BUFF_INFO info;
        std::memset(&info, 0xEE, sizeof info);
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        ZRKerrno = 0;
        EXPECT_EQ(-1, ZRKIPGetRVZBuffInfo(c.ip, nullptr, c.option, c.record ? &info : nullptr, sense))
            << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what;
        EXPECT_EQ("same", FirstDifference(std::string(sizeof info, '\xEE'), &info, sizeof info)) << c.what;
        EXPECT_EQ(kZeroSense, Bytes(sense, sizeof sense)) << c.what;
        if (c.error != 1905) {
            EXPECT_EQ(c.commands, Sent()) << c.what;
        }
        sim.commandOk("clearlanlog");
    }
}

// A failed usage or disk-buffer query ends the call and leaves the caller's
// record as it was. With the caches warm, the usage of buffer 1 is A1's
// first command and the disk buffers C1's only one.
TEST_F(IpRvzBuffSim, FailedQueriesLeaveTheRecord) {
    RVZ_BUFF_INFO warm{};
    ASSERT_EQ(0, ZRKIPGetRVZBuffInfo(kA1, nullptr, 0, &warm, nullptr)) << ZRKerrno;
    ASSERT_EQ(0, ZRKIPGetRVZBuffInfo(kC1, nullptr, 0, &warm, nullptr)) << ZRKerrno;
    struct Case {
        const char *what;
        const char *ip;
        const char *reply;     // lanreply text
        int error;
        size_t sent;           // commands the array received
    } cases[] = {
        {"usage refused", kA1, "01\\n5300\\nno\\sbuffer\\n", 0x15300, 1},
        {"usage cut short", kA1, "00\\n10\\t4\\tC\\n2\\n10\\t8\\t2\\t6\\n", 902, 1},
        {"disk buffers refused", kC1, "01\\n5306\\nnot\\sset\\sup\\n", 0x15306, 1},
        {"disk entries beyond the record", kC1, "00\\n0\\n9\\n", 902, 1},
    };
    for (const Case &c : cases) {
        sim.commandOk("clearlanlog");
        sim.commandOk(std::string("lanreply 1 ") + c.reply);
        RVZ_BUFF_INFO info;
        std::memset(&info, 0xEE, sizeof info);
        ZRKerrno = 0;
        EXPECT_EQ(-1, ZRKIPGetRVZBuffInfo(c.ip, nullptr, 0, &info, nullptr)) << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what;
        EXPECT_EQ("same", FirstDifference(std::string(sizeof info, '\xEE'), &info, sizeof info))
            << c.what;
        EXPECT_EQ(c.sent, Sent().size()) << c.what;
    }
}

TEST_F(IpRvzBuffSim, DiskBufferSearches) {
    CliRvzDiskBuffer disk{};
    disk.uiEntryCnt = 2;
    disk.entries[0].uiGroupNum = 4;
    disk.entries[1].uiGroupNum = 7;
    disk.entries[1].uiCmCnt = 2;
    disk.entries[1].cms[0].uiCmID = 16;
    disk.entries[1].cms[1].uiCmID = 17;
    disk.entries[1].cms[1].uiDskBuffSize_low = 99;
    disk.entries[2].uiGroupNum = 9;  // beyond the count
    CliRvzDiskBufferEntry entry{};
    EXPECT_EQ(0, IPSearchDiskBuffInfo(7, &entry, &disk));
    EXPECT_EQ(2u, entry.uiCmCnt);
    ZRKerrno = 5;
    EXPECT_EQ(-1, IPSearchDiskBuffInfo(9, &entry, &disk));
    EXPECT_EQ(5, ZRKerrno);
    CliRvzDiskCm row{};
    EXPECT_EQ(0, IPSearchDiskBuffCmInfo(17, &row, &entry));
    EXPECT_EQ(99u, row.uiDskBuffSize_low);
    // Module 0 does not match an empty place beyond the rows.
    EXPECT_EQ(-1, IPSearchDiskBuffCmInfo(0, &row, &entry));
    EXPECT_EQ(5, ZRKerrno);
}

// ---- the setting -------------------------------------------------------------------------

RVZ_BUFF_SET_REQ Request(unsigned id, unsigned type, unsigned interval, uint32_t monitor,
                         const std::string &box) {
    RVZ_BUFF_SET_REQ r{};
    r.uhBuffID = static_cast<uint16_t>(id);
    r.uhBuffType = static_cast<uint16_t>(type);
    r.uhInterval = static_cast<uint16_t>(interval);
    r.uiMonitorTime = monitor;
    std::memcpy(r.ucaRemoteBoxID, box.data(), std::min(box.size(), size_t{ZRK_BOXID_LEN}));
    return r;
}

TEST_F(IpRvzBuffSim, SettingReachesTheArray) {
    const std::vector<std::string> prologue = {"show copy-functions", "show boxid",
                                               "show rvz-buffer "};
    const RVZ_BUFF_SET_REQ request = Request(3, 1, 4, 15, PaddedBox("BOX-B1"));
    unsigned char sense[ZRK_SENSE_LEN];
    std::memset(sense, 0xAA, sizeof sense);
    ASSERT_EQ(0, ZRKIPRVZBuffSet(kA1, nullptr, &request, sense)) << ZRKerrno;
    EXPECT_EQ(kZeroSense, Bytes(sense, sizeof sense));
    std::vector<std::string> commands = prologue;
    commands.push_back("show rvz-path");
    commands.push_back("set rvz-buffer -partition 3 -remote-boxid \"" + PaddedBox("BOX-B1") +
                       "\" -buffer-type send -forwarding-interval 4 -monitoring-time 15");
    EXPECT_EQ(commands, Sent());
    // The array holds the new setting (its list asked directly, past the
    // library's cache): buffer 3 sends to B1, interval 4, monitoring 15.
    const std::string list = lantest::ask(sim.lanPort(), lantest::proc(kA1, "show rvz-buffer "));
    EXPECT_NE(std::string::npos,
              list.find("\n3\t1\t0\t1\t1\t4\tF\t0\t8\t" + PaddedBox("BOX-B1") + "\n"))
        << list;
}

// The setting drops the buffer list its own check remembered: the
// information asked next in the same process shows the new setting.
TEST_F(IpRvzBuffSim, InformationAfterASettingShowsIt) {
    RVZ_BUFF_INFO before{};
    ASSERT_EQ(0, ZRKIPGetRVZBuffInfo(kA1, nullptr, 0, &before, nullptr)) << ZRKerrno;
    const RVZ_BUFF_SET_REQ request = Request(3, 1, 4, 15, PaddedBox("BOX-B1"));
    ASSERT_EQ(0, ZRKIPRVZBuffSet(kA1, nullptr, &request, nullptr)) << ZRKerrno;
    sim.commandOk("clearlanlog");

    std::vector<Buffer> changed = kBuffersA1;
    changed[1].uiType = 1;
    changed[1].pRemote = "B1";
    changed[1].uiInterval = 4;
    changed[1].uiMonitor = 15;
    changed[1].uiSessions = 1; // the session from A1 to B1
    RVZ_BUFF_INFO after{};
    ASSERT_EQ(0, ZRKIPGetRVZBuffInfo(kA1, nullptr, 0, &after, nullptr)) << ZRKerrno;
    EXPECT_EQ("same", FirstDifference(Expected(6, 0x07, changed), &after, sizeof after));
    EXPECT_EQ(Sent().at(0), "show rvz-buffer ");
}

TEST_F(IpRvzBuffSim, SettingRefusals) {
    const std::vector<std::string> listed = {"show copy-functions", "show boxid",
                                             "show rvz-buffer "};
    std::vector<std::string> pathsToo = listed;
    pathsToo.push_back("show rvz-path");
    struct Case {
        const char *what;
        const char *ip;
        RVZ_BUFF_SET_REQ request;
        bool pass;                          // pass the request
        int error;
        std::vector<std::string> commands;
    } cases[] = {
        {"no request", kA1, {}, false, 13, {}},
        {"a BoxID with a double quote", kA1, Request(1, 1, 0, 0, "BOX\"B1"), true, 13, {}},
        {"a BoxID with a control character", kA1, Request(1, 1, 0, 0, "BOX\nB1"), true, 13, {}},
        {"buffer not listed", kA1, Request(2, 1, 0, 0, PaddedBox("BOX-B1")), true, 13, listed},
        {"buffer 257 (not 1)", kA1, Request(257, 1, 0, 0, PaddedBox("BOX-B1")), true, 13, listed},
        {"type 0", kA1, Request(1, 0, 0, 0, PaddedBox("BOX-B1")), true, 13, listed},
        {"type 3", kA1, Request(1, 3, 0, 0, PaddedBox("BOX-B1")), true, 13, listed},
        {"remote without a path", kA1, Request(1, 2, 0, 0, PaddedBox("BOX-D1")), true, 57,
         pathsToo},
        {"the array's own BoxID", kA1, Request(1, 2, 0, 0, PaddedBox("BOX-A1")), true, 57,
         pathsToo},
        {"BoxID not padded", kA1, Request(1, 2, 0, 0, "BOX-B1"), true, 57, pathsToo},
        {"no RVZ buffers", kD1, Request(1, 1, 0, 0, PaddedBox("BOX-A1")), true, 17,
         {"show copy-functions", "show boxid"}},
        {"no buffer allowed", kE1, Request(1, 1, 0, 0, PaddedBox("BOX-A1")), true, 17,
         {"show copy-functions", "show boxid", "show rvz-buffer "}},
    };
    for (const Case &c : cases) {
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        ZRKerrno = 0;
        EXPECT_EQ(-1, ZRKIPRVZBuffSet(c.ip, nullptr, c.pass ? &c.request : nullptr, sense))
            << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what;
        EXPECT_EQ(kZeroSense, Bytes(sense, sizeof sense)) << c.what;
        // The copy functions, the BoxID and the buffer list are asked once
        // per process (cached), so they are left out of the comparison.
        auto asked = [](const std::vector<std::string> &commands) {
            std::vector<std::string> out;
            for (const std::string &command : commands) {
                if (command != "show rvz-buffer " && command != "show boxid" &&
                    command != "show copy-functions") {
                    out.push_back(command);
                }
            }
            return out;
        };
        const std::vector<std::string> wanted = asked(c.commands);
        const std::vector<std::string> got = asked(Sent());
        EXPECT_EQ(wanted, got) << c.what;
    }
    // Nothing changed on the array.
    EXPECT_EQ("00\n6\t3\n1\t1\t0\t2\t1\t2\t5\t0\t1000\t" + PaddedBox("BOX-B1") +
                  "\n3\t0\t0\t1\t2\t0\t0\t0\t8\n5\t1\t0\t1\t1\t4\tF\t0\t10000\t" +
                  PaddedBox("BOX-C1") + "\n",
              lantest::ask(sim.lanPort(), lantest::proc(kA1, "show rvz-buffer ")));
}

TEST_F(IpRvzBuffSim, CallsAreTraced) {
    RVZ_BUFF_INFO info{};
    ASSERT_EQ(0, ZRKIPGetRVZBuffInfo(kA1, nullptr, 0, &info, nullptr)) << ZRKerrno;
    EXPECT_EQ(-1, ZRKIPGetRVZBuffInfo(kA1, nullptr, 0x2, &info, nullptr));
    const RVZ_BUFF_SET_REQ request = Request(1, 2, 1, 2, PaddedBox("BOX-C1"));
    ZRKerrno = 0;  // a success leaves the last failure's number alone
    ASSERT_EQ(0, ZRKIPRVZBuffSet(kA1, nullptr, &request, nullptr)) << ZRKerrno;
    const RVZ_BUFF_SET_REQ unknown = Request(1, 2, 1, 2, PaddedBox("BOX-ZZ"));
    EXPECT_EQ(-1, ZRKIPRVZBuffSet(kA1, nullptr, &unknown, nullptr));
    const std::string trace = root.traceText();
    for (const char *line : {
             "ZRKIPGetRVZBuffInfo : START",
             "ZRKIPGetRVZBuffInfo : cpIPaddress=[10.0.2.5] OptionFlag=0x00",
             "IPGetRVZBuffInfoAll : cpIPaddress=[10.0.2.5] OptionFlag=0x00",
             "ShowRvzBuffUsage : IPaddress=[10.0.2.5], GroupNum=[5], Option=[1]",
             "IPSearchDiskBuffInfo : GroupNum=[3]",
             "IPSearchDiskBuffCmInfo : CmId=[17]",
             "ZRKIPGetRVZBuffInfo : END(ret=0, ZRKerrno=0)",
             "ZRKIPGetRVZBuffInfo : cpIPaddress=[10.0.2.5] OptionFlag=0x02",
             "ZRKIPGetRVZBuffInfo : END(ret=-1, ZRKerrno=37)",
             "ZRKIPRVZBuffSet : cpIPaddress=[10.0.2.5] OptionFlag=0x00",
             "IPRVZBuffInfo : IPaddress=[10.0.2.5]",
             "ShowRvzPath : cpIPaddress=[10.0.2.5]",
             "IPRVZBuffSet : IPaddress=[10.0.2.5]",
             "ZRKIPRVZBuffSet : END(ret=0, ZRKerrno=0)",
             "ZRKIPRVZBuffSet : END(ret=-1, ZRKerrno=57)",
         }) {
        EXPECT_NE(std::string::npos, trace.find(line)) << line;
    }
}

TEST_F(IpRvzBuffSim, RootOnly) {
    const zrktest::ChildResult r = zrktest::runChild([&] {
        if (!zrktest::dropPrivileges()) return 90;
        RVZ_BUFF_INFO info{};
        if (ZRKIPGetRVZBuffInfo(kA1, nullptr, 0, &info, nullptr) != -1 || ZRKerrno != 34) return 1;
        const RVZ_BUFF_SET_REQ request = Request(1, 1, 0, 0, PaddedBox("BOX-B1"));
        if (ZRKIPRVZBuffSet(kA1, nullptr, &request, nullptr) != -1 || ZRKerrno != 34) return 2;
        return 0;
    });
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_TRUE(Sent().empty());
}

}  // namespace
