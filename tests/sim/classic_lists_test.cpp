// The classic session lists from the array's side: the 48-byte local and the
// 160-byte remote lists built by hand and sent with the short TRAVO OUT form,
// the sessions they start and change, the stop that gives back a reserved
// identifier after a refused start, the RVZ buffer setting (0x47), the snap
// data volume initialisation (0x31), the QM family's forms, and the pages the
// classic engine reads beside them (0x40 with its entries, RECEIVE
// DIAGNOSTIC RESULTS page 0xB0).
#include "exec_helpers.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

using namespace simtest;
using zrksim::Simulator;

namespace {

// A1 lists B1 and C1 as remote arrays; C1 does not list A1, and A1 does not
// list D1. Every array takes only the short forms. `options` are A1's,
// `optionsB1` B1's.
std::string scenario(const std::string &options = "", const std::string &extra = "",
                     const std::string &optionsB1 = "") {
    return "clock 1000\n"
           "array A1 boxid=\"BOX-A1\" profile=idlist remotes=B1,C1 " + options + "\n"
           "volume A1 1 100000\nvolume A1 2 100000\nvolume A1 3 100000\nvolume A1 4 100000\n"
           "volume A1 5 100000 type=sdv\n"
           "array B1 boxid=\"BOX-B1\" profile=idlist " + optionsB1 + "\nvolume B1 1 100000\n"
           "array C1 boxid=\"BOX-C1\" profile=idlist remotes=B1\nvolume C1 1 100000\n"
           "array D1 boxid=\"BOX-D1\" profile=idlist\nvolume D1 1 100000\n"
           "disk /dev/sdb 8:16 A1 1\ndisk /dev/sdc 8:32 B1 1\n" + extra;
}

// The support bytes of the idlist profile with some bytes changed.
std::string supportWith(std::initializer_list<std::pair<std::size_t, unsigned char>> changes) {
    Bytes b(32, 0);
    b[7] = b[15] = b[21] = b[23] = b[31] = 0x01;
    b[29] = 0x0F;
    for (const auto &[at, value] : changes) b[at] = value;
    return "support=" + zrksim::toHex(b);
}

bool isRemoteCode(unsigned char code) { return code >= 0x14; }

// A classic list: code, the length of the rest, the identifier, volume role 1.
struct Classic : ListBuilder<Classic> {
    Classic(unsigned char code, unsigned id) : ListBuilder(isRemoteCode(code) ? 160 : 48) {
        b[0] = code;
        b[7] = static_cast<unsigned char>(b.size() - 8);
        put(8, 2, id);
        b[isRemoteCode(code) ? 24 : 20] = 1;
    }
    // Local VZ form (0x08 to 0x0B) of a whole volume.
    static Classic vz(unsigned char code, unsigned id, unsigned src, unsigned dst) {
        return Classic(code, id).set(10, 0x80).put(26, 2, src).put(30, 2, dst);
    }
    // Local KZP form (0x04, 0x05) of a whole volume.
    static Classic kzp(unsigned char code, unsigned id, unsigned src, unsigned dst) {
        return Classic(code, id).set(10, 0x80).put(22, 2, src).put(24, 2, dst);
    }
    // Remote form of a whole volume from the source array's side.
    static Classic remote(unsigned char code, unsigned id, std::uint32_t src, std::uint32_t dst,
                          const std::string &srcBox = "BOX-A1", const std::string &dstBox = "BOX-B1") {
        return Classic(code, id).set(12, 0xA0).box(32, srcBox).box(80, dstBox).put(128, 4, src).put(132, 4, dst);
    }
    // The destination side's identifier in bytes 10-11 instead.
    Classic &fromDestination() {
        b[10] = b[8];
        b[11] = b[9];
        b[8] = b[9] = 0;
        b[12] |= 0x10;
        return *this;
    }
    // An extent instead of the whole volume (the flag byte of each form).
    Classic &extent(std::uint32_t srcExt, std::uint32_t size, std::uint32_t dstExt) {
        bool remote = b.size() == 160;
        std::size_t flags = remote ? 12 : 10;
        std::size_t filled = remote ? 137 : (b[0] == 0x04 || b[0] == 0x05) ? 29 : 21;
        std::size_t first = remote ? 144 : 32;
        b[flags] &= 0x7F;
        b[filled] = 1;
        return put(first, 4, srcExt).put(first + 4, 4, size).put(first + 8, 4, dstExt);
    }
};

// Sends a list with the short TRAVO OUT form (0xE9, or 0xEC on the QM family).
int send(const std::string &path, const Bytes &list, unsigned char opcode = 0xE9) {
    return outcome(sendOut(path, travoOut(static_cast<unsigned>(list.size()), false, 0, opcode), list));
}

// Reserves an identifier with the short TRAVO IN form.
unsigned reserve(const std::string &path, unsigned char mode, unsigned char opcode = 0xEB) {
    SgResult r = sg(path, travoInShort(0x00, 1, 16, mode, 0, opcode), 16);
    EXPECT_EQ(r.hdr.status, 0) << "asc " << int(r.sense[12]);
    return static_cast<unsigned>(Be(r.data, 8, 2));
}

Bytes readShort(const std::string &path, unsigned char page, unsigned id, unsigned alloc) {
    SgResult r = sg(path, travoInShort(page, id, alloc), alloc);
    EXPECT_EQ(r.hdr.status, 0) << "asc " << int(r.sense[12]);
    return delivered(r);
}

const std::vector<std::string> kKeys = {"srcext", "size", "dstext", "status", "phase",
                                        "mode",   "transfer", "secondary", "interval", "volrole"};

}  // namespace

TEST(SimClassicLists, StartListsBecomeSessions) {
    // Secondary access, stack and consistency offered.
    const std::string offered = supportWith({{21, 0x4B}, {29, 0xFF}});
    Simulator sim(scenario(offered));
    struct Case {
        const char *what;
        std::string path;     // where the list goes
        unsigned char mode;   // the reserve
        std::function<Classic(unsigned)> list;
        std::string array;    // the session's source array
        std::string expected; // its line head and fields
    } cases[] = {
        {"local VZ, interval and secondary access", "/dev/sdb", 2,
         [](unsigned id) { return Classic::vz(0x08, id, 1, 2).put(22, 2, 30).set(24, 0x01).set(20, 2); }, "A1",
         "session 1 vz A1 1 A1 2 srcext=0 size=0 dstext=0 status=2 phase=1 mode=none transfer=0 secondary=1 "
         "interval=30 volrole=2"},
        {"local VZ of an extent", "/dev/sdb", 2,
         [](unsigned id) { return Classic::vz(0x08, id, 1, 2).extent(100, 200, 300); }, "A1",
         "session 1 vz A1 1 A1 2 srcext=100 size=200 dstext=300 status=2 phase=1 mode=none transfer=0 "
         "secondary=0 interval=0 volrole=1"},
        {"local KZP", "/dev/sdb", 4, [](unsigned id) { return Classic::kzp(0x04, id, 3, 4); }, "A1",
         "session 1 kzp A1 3 A1 4 srcext=0 size=0 dstext=0 status=2 phase=1 mode=none transfer=0 secondary=0 "
         "interval=0 volrole=1"},
        {"local KZP of an extent", "/dev/sdb", 4,
         [](unsigned id) { return Classic::kzp(0x04, id, 3, 4).extent(8, 16, 24); }, "A1",
         "session 1 kzp A1 3 A1 4 srcext=8 size=16 dstext=24 status=2 phase=1 mode=none transfer=0 secondary=0 "
         "interval=0 volrole=1"},
        {"RVZ, synchronous with split and recovery, no initial copy", "/dev/sdb", 2,
         [](unsigned id) { return Classic::remote(0x18, id, 1, 1).set(12, 0xA7).set(72, 0x80).put(138, 2, 7); },
         "A1",
         "session 1 vz A1 1 B1 1 srcext=0 size=0 dstext=0 status=2 phase=2 mode=sync,split,manual transfer=0 "
         "secondary=0 interval=7 volrole=1"},
        {"RVZ of an extent, consistency, secondary access", "/dev/sdb", 2,
         [](unsigned id) { return Classic::remote(0x18, id, 2, 1).set(16, 3).set(72, 0x01).extent(5, 6, 7); },
         "A1",
         "session 1 vz A1 2 B1 1 srcext=5 size=6 dstext=7 status=2 phase=1 mode=none transfer=3 secondary=1 "
         "interval=0 volrole=1"},
        {"RVZ from the destination's host", "/dev/sdc", 2,
         [](unsigned id) { return Classic::remote(0x18, id, 3, 1).fromDestination(); }, "A1",
         "session 1 vz A1 3 B1 1 srcext=0 size=0 dstext=0 status=2 phase=1 mode=none transfer=0 secondary=0 "
         "interval=0 volrole=1"},
        {"remote KZP of an extent", "/dev/sdb", 4,
         [](unsigned id) { return Classic::remote(0x14, id, 4, 1).extent(1, 2, 3); }, "A1",
         "session 1 kzp A1 4 B1 1 srcext=1 size=2 dstext=3 status=2 phase=1 mode=none transfer=0 secondary=0 "
         "interval=0 volrole=1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(scenario(offered));
        unsigned id = reserve(c.path, c.mode);
        ASSERT_EQ(send(c.path, c.list(id).b), kGood);
        std::string line = sessionWithId(sim, c.array, 1);
        ASSERT_FALSE(line.empty());
        std::size_t at = 0;
        for (int words = 0; words < 7; ++words) at = line.find(' ', at + 1);
        EXPECT_EQ(line.substr(0, at) + " " + fields(sim, c.array, 1, kKeys), c.expected);
    }
}

TEST(SimClassicLists, RefusedStartsKeepTheReserveUntilItsStop) {
    Simulator sim(scenario());
    struct Case {
        const char *what;
        std::string options;
        unsigned char mode;
        std::function<Classic(unsigned)> list;
        int expected;  // ASCQ
    } cases[] = {
        {"length of the rest not 40", "", 2, [](unsigned id) { return Classic::vz(0x08, id, 1, 2).set(7, 0x98); },
         0x00},
        {"header byte set", "", 2, [](unsigned id) { return Classic::vz(0x08, id, 1, 2).set(3, 1); }, 0x00},
        {"forced bit on a start", "", 2, [](unsigned id) { return Classic::vz(0x08, id, 1, 2).set(10, 0xC0); },
         0x00},
        {"neither whole volume nor extent", "", 2,
         [](unsigned id) { return Classic::vz(0x08, id, 1, 2).set(10, 0); }, 0x00},
        {"extent flag 2", "", 4, [](unsigned id) { return Classic::kzp(0x04, id, 3, 4).extent(1, 2, 3).set(29, 2); },
         0x00},
        {"extent fields beside a whole volume", "", 4,
         [](unsigned id) { return Classic::kzp(0x04, id, 3, 4).put(36, 4, 10); }, 0x00},
        {"extent beyond the volume", "", 2,
         [](unsigned id) { return Classic::vz(0x08, id, 1, 2).extent(99990, 20, 0); }, 0x00},
        {"volume role 0", "", 2, [](unsigned id) { return Classic::vz(0x08, id, 1, 2).set(20, 0); }, 0x00},
        {"KZP list on a VZ reserve", "", 2, [](unsigned id) { return Classic::kzp(0x04, id, 1, 2); }, 0x00},
        {"VZ list on a KZP reserve", "", 4, [](unsigned id) { return Classic::vz(0x08, id, 1, 2); }, 0x00},
        {"no such volume", "", 2, [](unsigned id) { return Classic::vz(0x08, id, 1, 9); }, 0x00},
        {"modes on a remote KZP", "", 4, [](unsigned id) { return Classic::remote(0x14, id, 1, 1).set(12, 0xA4); },
         0x00},
        {"the other side's identifier on a start", "", 2,
         [](unsigned id) { return Classic::remote(0x18, id, 1, 1).put(10, 2, 5); }, 0x00},
        {"remote bit missing", "", 2, [](unsigned id) { return Classic::remote(0x18, id, 1, 1).set(12, 0x80); },
         0x00},
        {"partner does not list this array", "", 2,
         [](unsigned id) { return Classic::remote(0x18, id, 1, 1, "BOX-A1", "BOX-C1"); }, 0x00},
        {"this array does not list the partner", "", 2,
         [](unsigned id) { return Classic::remote(0x18, id, 1, 1, "BOX-A1", "BOX-D1"); }, 0x00},
        {"this array on neither side", "", 2,
         [](unsigned id) { return Classic::remote(0x18, id, 1, 1, "BOX-B1", "BOX-C1"); }, 0x00},
        {"unknown BoxID", "", 4, [](unsigned id) { return Classic::remote(0x14, id, 1, 1, "BOX-A1", "BOX-Z9"); },
         0x00},
        {"automatic split without synchronous", "", 2,
         [](unsigned id) { return Classic::remote(0x18, id, 1, 1).set(12, 0xA2); }, 0x00},
        {"RVZ not set up", supportWith({{31, 0x00}}), 2, [](unsigned id) { return Classic::remote(0x18, id, 1, 1); },
         0x9D},
        {"remote KZP not set up", supportWith({{15, 0x00}}), 4,
         [](unsigned id) { return Classic::remote(0x14, id, 1, 1); }, 0x9D},
        {"secondary access not offered", supportWith({{21, 0x01}}), 2,
         [](unsigned id) { return Classic::vz(0x08, id, 1, 2).set(24, 0x01); }, 0x9D},
        {"destination in use", "", 2, [](unsigned id) { return Classic::vz(0x08, id, 1, 4); }, 0x92},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(scenario(c.options, "session 50 kzp A1 3 A1 4\n"));
        unsigned id = reserve("/dev/sdb", c.mode);
        sim.clearLog();
        EXPECT_EQ(send("/dev/sdb", c.list(id).b), c.expected);
        std::string reserved = "session " + std::to_string(id) + " " + (c.mode == 2 ? "vz" : "kzp") + " A1 0 A1 0 ";
        EXPECT_EQ(sessionWithId(sim, "A1", id).rfind(reserved, 0), 0u) << sessionWithId(sim, "A1", id);
        // The stop that gives the identifier back: code, length, identifier
        // and volume role only, of the family of the reserve.
        EXPECT_EQ(send("/dev/sdb", Classic(c.mode == 2 ? 0x09 : 0x05, id).b), kGood);
        EXPECT_EQ(sessionWithId(sim, "A1", id), "");
        EXPECT_EQ(sim.cdbLog().size(), 2u);
        EXPECT_EQ(sim.sessions().size(), 1u);
    }
}

TEST(SimClassicLists, TheStopOfAReserveNamesOnlyItsIdentifier) {
    Simulator sim(scenario());
    struct Case {
        const char *what;
        unsigned char mode;
        std::function<Classic(unsigned)> stop;
        int expected;
    } cases[] = {
        {"VZ reserve, local VZ stop", 2, [](unsigned id) { return Classic(0x09, id); }, kGood},
        {"KZP reserve, local KZP stop", 4, [](unsigned id) { return Classic(0x05, id); }, kGood},
        {"VZ reserve, KZP stop", 2, [](unsigned id) { return Classic(0x05, id); }, 0x00},
        {"KZP reserve, VZ stop", 4, [](unsigned id) { return Classic(0x09, id); }, 0x00},
        {"a stop naming OLUs but no volume", 2, [](unsigned id) { return Classic(0x09, id).put(26, 2, 1); }, 0x00},
        {"forced, naming no volume", 2, [](unsigned id) { return Classic(0x09, id).set(10, 0x40); }, 0x00},
        {"another identifier", 2, [](unsigned id) { return Classic(0x09, id + 1); }, 0x00},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(scenario());
        unsigned id = reserve("/dev/sdb", c.mode);
        EXPECT_EQ(send("/dev/sdb", c.stop(id).b), c.expected);
        EXPECT_EQ(sessionWithId(sim, "A1", id).empty(), c.expected == kGood);
    }
    // A started session is not stopped by a list that names no volume.
    sim.load(scenario("", "session 7 vz A1 1 A1 2\n"));
    EXPECT_EQ(send("/dev/sdb", Classic(0x09, 7).b), 0x00);
    EXPECT_FALSE(sessionWithId(sim, "A1", 7).empty());
}

TEST(SimClassicLists, ListsOnStartedSessions) {
    Simulator sim(scenario());
    // Sessions as the detail pages show them: 7 local VZ, 8 RVZ (9 on B1),
    // 10 KZP, 11 remote KZP (12 on B1), 13 QuickKZP.
    const std::string sessions = "session 7 vz A1 1 A1 2 status=active phase=equivalent\n"
                                 "session 8 rvz A1 3 B1 1 partner=9 status=suspend mode=sync\n"
                                 "session 10 kzp A1 4 A1 2 srcext=10 size=20 dstext=30\n"
                                 "session 11 kzp A1 1 B1 1 partner=12\n"
                                 "session 13 quickkzp A1 3 A1 4\n";
    struct Case {
        const char *what;
        std::string path;
        Classic list;
        int expected;
        unsigned id;           // the session's identifier on A1
        std::string after;     // its status afterwards, "gone" when it ended
    } cases[] = {
        {"local VZ suspend", "/dev/sdb", Classic::vz(0x0A, 7, 1, 2), kGood, 7, "status=4"},
        {"local VZ stop", "/dev/sdb", Classic::vz(0x09, 7, 1, 2), kGood, 7, "gone"},
        {"local VZ forced stop", "/dev/sdb", Classic::vz(0x09, 7, 1, 2).set(10, 0xC0), kGood, 7, "gone"},
        {"local VZ resume of an active session", "/dev/sdb", Classic::vz(0x0B, 7, 1, 2), 0x97, 7, "status=2"},
        {"local VZ stop naming other OLUs", "/dev/sdb", Classic::vz(0x09, 7, 1, 3), 0x00, 7, "status=2"},
        {"local VZ stop in another volume role", "/dev/sdb", Classic::vz(0x09, 7, 1, 2).set(20, 2), 0x00, 7,
         "status=2"},
        {"local list on a remote session", "/dev/sdb", Classic::vz(0x09, 8, 3, 1), 0x00, 8, "status=4"},
        {"RVZ resume with remain mode", "/dev/sdb", Classic::remote(0x1B, 8, 3, 1).put(10, 2, 9).set(72, 0x40),
         kGood, 8, "status=2"},
        {"RVZ resume from the destination's host", "/dev/sdc",
         Classic::remote(0x1B, 8, 3, 1).put(10, 2, 9).set(12, 0xB4), kGood, 8, "status=2"},
        {"RVZ suspend of a suspended session", "/dev/sdb", Classic::remote(0x1A, 8, 3, 1).put(10, 2, 9), 0x96, 8,
         "status=4"},
        {"RVZ forced stop carrying the session's modes", "/dev/sdb",
         Classic::remote(0x19, 8, 3, 1).put(10, 2, 9).set(12, 0xE4), kGood, 8, "gone"},
        {"RVZ stop naming another partner", "/dev/sdb",
         Classic::remote(0x19, 8, 3, 1, "BOX-A1", "BOX-C1").put(10, 2, 9), 0x00, 8, "status=4"},
        {"remote list on a local session", "/dev/sdb", Classic::remote(0x19, 7, 1, 2, "BOX-A1", "BOX-A1"), 0x00, 7,
         "status=2"},
        {"remain mode on a suspend", "/dev/sdb", Classic::remote(0x1A, 8, 3, 1).put(10, 2, 9).set(72, 0x40), 0x00,
         8, "status=4"},
        {"KZP stop of an extent", "/dev/sdb", Classic::kzp(0x05, 10, 4, 2).extent(10, 20, 30), kGood, 10, "gone"},
        {"KZP stop naming another extent", "/dev/sdb", Classic::kzp(0x05, 10, 4, 2).extent(10, 20, 31), 0x00, 10,
         "status=2"},
        {"remote KZP forced stop", "/dev/sdb", Classic::remote(0x15, 11, 1, 1).put(10, 2, 12).set(12, 0xE0), kGood,
         11, "gone"},
        {"KZP stop of a QuickKZP session", "/dev/sdb", Classic::kzp(0x05, 13, 3, 4), 0x00, 13, "status=2"},
        {"VZ suspend of a KZP session", "/dev/sdb", Classic::vz(0x0A, 10, 4, 2).extent(10, 20, 30), 0x00, 10,
         "status=2"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(scenario("", sessions));
        EXPECT_EQ(send(c.path, c.list.b), c.expected);
        EXPECT_EQ(fields(sim, "A1", c.id, {"status"}), c.after);
    }
}

TEST(SimClassicLists, QmFamilyStartsAndStopsByTheLongPages) {
    const std::string qm = "clock 1000\n"
                           "array Q1 boxid=\"BOX-Q1\" profile=qm\nvolume Q1 1 100000\nvolume Q1 2 100000\n"
                           "array Q2 boxid=\"BOX-Q2\" profile=qm\nvolume Q2 1 100000\n"
                           "disk /dev/sdb 8:16 Q1 1\n";
    Simulator sim(qm);
    // The classic start is not the QM family's.
    unsigned id = reserve("/dev/sdb", 2, 0xEE);
    EXPECT_EQ(send("/dev/sdb", Classic::vz(0x08, id, 1, 2).b, 0xEC), 0x00);
    // The long page: a remote start with synchronous transfer, split and
    // recovery, then a suspend and a resume by the classic remote lists.
    Page start = Page::start(id, 2, 0, 1, 1).remote("BOX-Q1", "BOX-Q2").set(22, 0x07).set(25, 0x08);
    ASSERT_EQ(send("/dev/sdb", start.b, 0xEC), kGood);
    EXPECT_EQ(fields(sim, "Q1", id, {"status", "phase", "mode"}), "status=2 phase=2 mode=sync,split,manual");
    Classic suspend = Classic::remote(0x1A, id, 1, 1, "BOX-Q1", "BOX-Q2").put(10, 2, 1).set(12, 0xA7);
    ASSERT_EQ(send("/dev/sdb", suspend.b, 0xEC), kGood);
    EXPECT_EQ(fields(sim, "Q1", id, {"status"}), "status=4");
    // The classic stop is refused; the long one with force ends it.
    EXPECT_EQ(send("/dev/sdb", Classic::remote(0x19, id, 1, 1, "BOX-Q1", "BOX-Q2").put(10, 2, 1).b, 0xEC), 0x00);
    Page stop = Page(0x45, id).set(12, 2).set(20, 0xA0).set(22, 0x07).set(24, 0x80).put(10, 2, 1);
    ASSERT_EQ(send("/dev/sdb", stop.b, 0xEC), kGood);
    EXPECT_EQ(sessionWithId(sim, "Q1", id), "");
    // The stop that gives back the reserve of a refused start: copy kind only.
    id = reserve("/dev/sdb", 2, 0xEE);
    EXPECT_EQ(send("/dev/sdb", Page::start(id, 2, 0, 1, 9).b, 0xEC), 0x00);
    ASSERT_EQ(send("/dev/sdb", Page(0x45, id).set(12, 2).b, 0xEC), kGood);
    EXPECT_EQ(sim.sessions().size(), 0u);
}

TEST(SimClassicLists, MonitorSessionWithADestination) {
    Simulator sim(scenario(supportWith({{4, 0x04}})));
    // A monitor session may name a destination; it saves nothing there, so
    // the volume stays free for a copy.
    unsigned id = reserve("/dev/sdb", 4);
    ASSERT_EQ(send("/dev/sdb", Page::start(id, 3, 0, 1, 5).b), kGood);
    EXPECT_EQ(sessionWithId(sim, "A1", id).rfind("session 1 monitor A1 1 A1 5 ", 0), 0u);
    unsigned next = reserve("/dev/sdb", 4);
    EXPECT_EQ(send("/dev/sdb", Classic::kzp(0x04, next, 2, 5).b), kGood);
    // The stop of its detail (copy kind 3) ends it.
    ASSERT_EQ(send("/dev/sdb", Page(0x45, id).set(12, 3).set(20, 0x80).put(128, 4, 1).put(132, 4, 5).b), kGood);
    EXPECT_EQ(sessionWithId(sim, "A1", id), "");
    // Without a destination as before; a destination the array lacks is refused.
    id = reserve("/dev/sdb", 4);
    EXPECT_EQ(send("/dev/sdb", Page::start(id, 3, 0, 1, 0xFFFFFFFF).b), kGood);
    id = reserve("/dev/sdb", 4);
    EXPECT_EQ(send("/dev/sdb", Page::start(id, 3, 0, 1, 77).b), 0x00);
    // The scenario line of such a session declares it again.
    sim.addSession("40 monitor A1 3 A1 4");
    EXPECT_EQ(sessionWithId(sim, "A1", 40).rfind("session 40 monitor A1 3 A1 4 ", 0), 0u);
    EXPECT_EQ(zrksim::checkScenario(scenario("", "session 40 monitor A1 3 A1 4\n")), "");
}

TEST(SimClassicLists, RvzBufferSetting) {
    auto list = [](unsigned id, unsigned type, const std::string &box) {
        Bytes b(128, 0);
        b[0] = 0x47;
        b[7] = 120;
        zrktest::PutBe(&b[8], 2, id);
        zrktest::PutBe(&b[16], 2, type);
        zrktest::PutBe(&b[18], 2, 30);
        zrktest::PutBe(&b[20], 4, 600);
        const std::string text = zrktest::BoxId(box);
        std::copy(text.begin(), text.end(), b.begin() + 24);
        return b;
    };
    const std::string buffers = supportWith({{29, 0x8F}}) + " rvzbuffers=2";
    Simulator sim(scenario(buffers));
    struct Case {
        const char *what;
        std::string options;
        Bytes list;
        int expected;
        std::string entries;  // page 0x21 bytes 10-11, then the first entry's identifier (byte 1), type,
                              // interval and monitoring time (bytes 8-15) when there is one
    } cases[] = {
        {"a send buffer to B1", buffers, list(1, 1, "BOX-B1"), kGood, "0001" "01" "0001" "001e" "00000258"},
        {"a receive buffer", buffers, list(3, 2, "BOX-B1"), kGood, "0001" "03" "0002" "001e" "00000258"},
        {"type 3", buffers, list(1, 3, "BOX-B1"), 0x00, "0000"},
        {"identifier above 255", buffers, list(256, 1, "BOX-B1"), 0x00, "0000"},
        {"an array not listed", buffers, list(1, 1, "BOX-D1"), 0x00, "0000"},
        {"this array", buffers, list(1, 1, "BOX-A1"), 0x00, "0000"},
        {"a byte set after the BoxID", buffers, [&] { Bytes b = list(1, 1, "BOX-B1"); b[100] = 1; return b; }(),
         0x00, "0000"},
        {"buffers not offered", supportWith({{29, 0x0F}}), list(1, 1, "BOX-B1"), 0x9D, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(scenario(c.options));
        EXPECT_EQ(send("/dev/sdb", c.list), c.expected);
        if (c.entries.empty()) continue;
        Bytes page = readShort("/dev/sdb", 0x21, 0, 80);
        EXPECT_EQ(hexAt(page, 10, 2) + (c.entries.size() > 4 ? hexAt(page, 17, 1) + hexAt(page, 24, 8) : ""),
                  c.entries);
    }
    // A buffer set again takes the new values; one more than `rvzbuffers` is refused.
    sim.load(scenario(buffers));
    ASSERT_EQ(send("/dev/sdb", list(1, 1, "BOX-B1")), kGood);
    ASSERT_EQ(send("/dev/sdb", list(1, 2, "BOX-C1")), kGood);
    ASSERT_EQ(send("/dev/sdb", list(2, 1, "BOX-B1")), kGood);
    EXPECT_EQ(send("/dev/sdb", list(3, 1, "BOX-B1")), 0x00);
    Bytes page = readShort("/dev/sdb", 0x21, 0, 144);
    EXPECT_EQ(hexAt(page, 8, 4), "0002" "0002");
    EXPECT_EQ(hexAt(page, 16, 2) + hexAt(page, 24, 2) + hexAt(page, 40, 40), "0001" "0002" + BoxIdHex("BOX-C1"));
}

TEST(SimClassicLists, SnapDataVolumeInitialisation) {
    auto list = [](unsigned olu) {
        Bytes b(16, 0);
        b[0] = 0x31;
        b[7] = 8;
        zrktest::PutBe(&b[8], 2, olu);
        return b;
    };
    const std::string snap = supportWith({{4, 0x04}}) + " sdvinit=30";
    Simulator sim(scenario(snap));
    struct Case {
        const char *what;
        std::string options, extra;
        Bytes list;
        int expected;
    } cases[] = {
        {"a snap data volume", snap, "", list(5), kGood},
        {"an open volume", snap, "", list(2), 0x00},
        {"no such volume", snap, "", list(77), 0x00},
        {"the length not 8", snap, "", [&] { Bytes b = list(5); b[7] = 16; return b; }(), 0x00},
        {"a byte set after the OLU", snap, "", [&] { Bytes b = list(5); b[12] = 1; return b; }(), 0x00},
        {"the destination of a snapshot", snap, "session 9 snapkzp A1 1 A1 5\n", list(5), 0x92},
        {"SnapKZP not offered", "", "", list(5), 0x9D},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(scenario(c.options, c.extra));
        EXPECT_EQ(send("/dev/sdb", c.list), c.expected);
    }
    // While it initialises it is out of sequence; after `sdvinit` seconds again free.
    sim.load(scenario(snap));
    ASSERT_EQ(send("/dev/sdb", list(5)), kGood);
    EXPECT_EQ(send("/dev/sdb", list(5)), 0x91);
    sim.advanceClock(29);
    EXPECT_EQ(send("/dev/sdb", list(5)), 0x91);
    sim.advanceClock(1);
    EXPECT_EQ(send("/dev/sdb", list(5)), kGood);
}

TEST(SimClassicLists, CommandStatusAndLuMappingPages) {
    Simulator sim(scenario("percommand=2", "session 7 vz A1 1 A1 2 status=suspend\n"
                                           "session 8 kzp A1 3 A1 4\n"
                                           "session 9 rvz A1 3 B1 1 partner=4\n"
                                           "session 12 vz A1 4 A1 2 status=active\n"));
    // Page 0x40: the per-command maximum, then a VZ-family session per
    // entry (identifier, status, state byte, value), at most that many.
    EXPECT_EQ(zrksim::toHex(readShort("/dev/sdb", 0x40, 0, 48)),
              "40000000" "00000018" "0000" "0002" "00000000" "0007" "04" "00" "00000000" "0009" "02" "00" "00000000");
    // From B1, the remote session by its identifier there.
    EXPECT_EQ(hexAt(readShort("/dev/sdc", 0x40, 0, 48), 4, 16), "00000010" "0000" "0040" "00000000" "0004" "02" "00");
    // RECEIVE DIAGNOSTIC RESULTS page 0xB0: the volumes in OLU order.
    SgResult r = sg("/dev/sdb", {0x1C, 0x01, 0xB0, 0x04, 0x04, 0x00}, 1028);
    expectGood(r);
    Bytes page = delivered(r);
    ASSERT_EQ(page.size(), 1028u);
    EXPECT_EQ(hexAt(page, 0, 24), "b0000400" "00018000" "00028000" "00038000" "00048000" "00058000");
    EXPECT_EQ(hexAt(page, 24, 1004), zeros(1004));
    // Cut to the allocation length; without the page code valid bit, or
    // another page, refused.
    EXPECT_EQ(delivered(sg("/dev/sdb", {0x1C, 0x01, 0xB0, 0x00, 0x08, 0x00}, 8)).size(), 8u);
    expectRefused(sg("/dev/sdb", {0x1C, 0x00, 0xB0, 0x04, 0x04, 0x00}, 1028), 0x24);
    expectRefused(sg("/dev/sdb", {0x1C, 0x01, 0x80, 0x04, 0x04, 0x00}, 1028), 0x24);
}

TEST(SimClassicLists, ConcurrentSuspendWithoutTheSideBit) {
    // 0x50 with `count` identifiers and the flags of byte 10.
    auto list = [](const std::vector<unsigned> &ids, unsigned char flags) {
        std::size_t slots = (ids.size() + 3) / 4 * 4;
        Bytes b(16 + 4 * slots, 0);
        b[0] = 0x50;
        zrktest::PutBe(&b[4], 4, b.size() - 8);
        zrktest::PutBe(&b[8], 2, ids.size());
        b[10] = flags;
        for (std::size_t i = 0; i < ids.size(); ++i) zrktest::PutBe(&b[16 + 4 * i], 2, ids[i]);
        return b;
    };
    // Two RVZ sessions from A1 to B1 (21 and 22 on B1), one from B1 to A1
    // (23 on A1), a local one; all active and equivalent.
    const std::string sessions = "session 7 rvz A1 1 B1 1 partner=21 phase=equivalent\n"
                                 "session 8 rvz A1 2 B1 1 partner=22 phase=equivalent\n"
                                 "session 30 rvz B1 1 A1 3 partner=23 phase=equivalent\n"
                                 "session 9 vz A1 3 A1 4 phase=equivalent\n";
    const std::string offered = supportWith({{21, 0x41}, {29, 0x4F}});
    Simulator sim(scenario(offered, sessions, offered));
    struct Case {
        const char *what;
        std::string path;
        Bytes list;
        int expected;
        std::vector<std::tuple<std::string, unsigned, std::string>> after;  // source array, identifier, status
    } cases[] = {
        {"the source side's identifiers", "/dev/sdb", list({7, 8}, 0x80), kGood,
         {{"A1", 7, "status=4"}, {"A1", 8, "status=4"}}},
        {"the destination side's identifiers", "/dev/sdc", list({21, 22}, 0x80), kGood,
         {{"A1", 7, "status=4"}, {"A1", 8, "status=4"}}},
        {"untransferred-data mode", "/dev/sdc", list({21}, 0xA0), kGood,
         {{"A1", 7, "status=4"}, {"A1", 8, "status=2"}}},
        {"sessions of both sides", "/dev/sdb", list({7, 23}, 0x80), 0x00,
         {{"A1", 7, "status=2"}, {"B1", 30, "status=2"}}},
        {"the page-based side bit", "/dev/sdc", list({21, 22}, 0xC0), 0x00,
         {{"A1", 7, "status=2"}, {"A1", 8, "status=2"}}},
        {"a local session", "/dev/sdb", list({9}, 0x00), kGood, {{"A1", 9, "status=4"}}},
        {"a local session named remote", "/dev/sdb", list({9}, 0x80), 0x00, {{"A1", 9, "status=2"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(scenario(offered, sessions, offered));
        EXPECT_EQ(send(c.path, c.list), c.expected);
        for (const auto &[array, id, status] : c.after) EXPECT_EQ(fields(sim, array, id, {"status"}), status) << id;
    }
}
