// The array's session commands from its own side: start, stop, change,
// suspend and resume pages built by hand, the state each leaves, and the
// qualifier of each refusal.
#include "exec_helpers.h"

#include <gtest/gtest.h>

#include <functional>

using namespace simtest;
using zrksim::Simulator;

namespace {

// A1 lists only B1 as a remote array; C1 is not connected to it.
std::string scenario(const std::string &options = "", const std::string &extra = "") {
    return "clock 1000\n"
           "array A1 boxid=\"BOX-A1\" remotes=B1 " + options + "\n"
           "volume A1 1 100000\nvolume A1 2 100000\nvolume A1 3 100000\nvolume A1 4 100000\n"
           "array B1 boxid=\"BOX-B1\"\nvolume B1 1 100000\n"
           "array C1 boxid=\"BOX-C1\"\nvolume C1 1 100000\n"
           "disk /dev/sdb 8:16 A1 1\ndisk /dev/sdc 8:32 B1 1\n" + extra;
}

// The support bytes of the paged profile with one byte changed.
std::string supportWith(std::size_t byte, unsigned char value) {
    Bytes b(32, 0);
    b[4] = 0x0F;
    b[7] = b[15] = b[23] = b[31] = 0xF1;
    b[21] = 0x4B;
    b[29] = 0xFF;
    b[30] = 0x10;
    b[byte] = value;
    return "support=" + zrksim::toHex(b);
}

Page vzPage(unsigned char code, unsigned id) { return Page(code, id).set(12, 2).set(20, 0x80); }

// The head of a session line (identifier to destination OLU and partner)
// and some of its fields.
std::string state(const Simulator &sim, const std::string &array, unsigned id,
                  const std::vector<std::string> &keys) {
    std::string line = sessionWithId(sim, array, id);
    if (line.empty()) return "gone";
    std::size_t at = 0;
    for (int words = 0; words < 8; ++words) at = line.find(' ', at + 1);
    return line.substr(0, at) + " " + fields(sim, array, id, keys);
}

// The identifiers of the sessions of an array.
std::string ids(const Simulator &sim, const std::string &array) {
    std::string out;
    for (const std::string &line : sim.sessions(array)) {
        std::string id = line.substr(8, line.find(' ', 8) - 8);
        out += (out.empty() ? "" : " ") + id;
    }
    return out;
}

}  // namespace

TEST(SimSessionOps, StartPagesBecomeSessionsOfTheirKind) {
    Simulator sim(scenario());
    struct Case {
        const char *what;
        unsigned char mode, copyKind, flags, startFlags;
        std::uint32_t dst;
        const char *expected;
    } cases[] = {
        {"VZ", 2, 2, 0, 0, 2, "session 1 vz A1 1 A1 2 partner=0 status=2 phase=1 generation=0 vvoldelete=no"},
        {"KZP", 4, 1, 0, 0, 2, "session 1 kzp A1 1 A1 2 partner=0 status=2 phase=1 generation=0 vvoldelete=no"},
        {"QuickKZP", 4, 1, 0x08, 0, 2,
         "session 1 quickkzp A1 1 A1 2 partner=0 status=2 phase=4 generation=0 vvoldelete=no"},
        {"QuickKZP in delete mode", 4, 1, 0x08, 0x80, 2,
         "session 1 quickkzp A1 1 A1 2 partner=0 status=2 phase=4 generation=0 vvoldelete=yes"},
        {"SnapKZP", 4, 1, 0x10, 0, 2,
         "session 1 snapkzp A1 1 A1 2 partner=0 status=2 phase=3 generation=0 vvoldelete=no"},
        {"SnapKZP+", 4, 1, 0x40, 0, 2,
         "session 1 snapkzp+ A1 1 A1 2 partner=0 status=2 phase=3 generation=1 vvoldelete=no"},
        {"monitor", 4, 3, 0, 0, 0xFFFFFFFF,
         "session 1 monitor A1 1 A1 - partner=0 status=2 phase=3 generation=0 vvoldelete=no"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(scenario());
        sim.advanceClock(5);
        unsigned id = reserveId("/dev/sdb", c.mode);
        Page p = Page::start(id, c.copyKind, c.flags, 1, c.dst).set(21, c.startFlags);
        ASSERT_EQ(outcome(out("/dev/sdb", p.b)), kGood);
        EXPECT_EQ(state(sim, "A1", id, {"status", "phase", "generation", "vvoldelete"}), c.expected);
        EXPECT_EQ(field(sessionWithId(sim, "A1", id), "start"), "1005");
    }

    // A remote VZ session started from the destination array with its modes,
    // secondary access, copy interval and no initial copy: Equivalent at once.
    sim.load(scenario());
    unsigned onB = reserveId("/dev/sdc", 2);
    Page remote = Page::start(onB, 2, 0x01, 1, 1).remote("BOX-A1", "BOX-B1").fromDestination();
    remote.set(22, 0x10 | 0x06).set(25, 0x08).put(138, 2, 30);
    ASSERT_EQ(outcome(out("/dev/sdc", remote.b)), kGood);
    EXPECT_EQ(state(sim, "B1", 1, {"status", "phase", "copied", "mode", "transfer", "secondary", "interval"}),
              "session 1 vz A1 1 B1 1 partner=1 status=2 phase=2 copied=100000 mode=sync,split transfer=0 "
              "secondary=1 interval=30");
    Bytes detail = delivered(sg("/dev/sdc", travoInLarge(0x44, onB, 192), 192));
    EXPECT_EQ(hexAt(detail, 8, 20), "0001" "0001" "02" "000000" "00000000" "a1" "00" "16" "00" "00" "01" "02" "02");
    EXPECT_EQ(hexAt(detail, 8 + 136, 8), u64(100000));
}

TEST(SimSessionOps, StartRefusalsNameTheirReason) {
    Simulator sim(scenario());
    struct Case {
        const char *what;
        std::string options, extra;
        unsigned char mode;
        std::function<Page(unsigned)> page;
        int expected;
    } cases[] = {
        {"parameter length not 184", "", "", 2, [](unsigned id) { return Page::start(id, 2, 0, 1, 2).set(7, 0xB0); },
         0x00},
        {"copy kind of the other family", "", "", 2, [](unsigned id) { return Page::start(id, 1, 0, 1, 2); }, 0x00},
        {"two kinds at once", "", "", 4, [](unsigned id) { return Page::start(id, 1, 0x18, 1, 2); }, 0x00},
        {"modes on a local VZ", "", "", 2, [](unsigned id) { return Page::start(id, 2, 0, 1, 2).set(22, 0x04); },
         0x00},
        {"no initial copy on a local VZ", "", "", 2,
         [](unsigned id) { return Page::start(id, 2, 0, 1, 2).set(25, 0x08); }, 0x00},
        {"monitor with a destination the array lacks", "", "", 4,
         [](unsigned id) { return Page::start(id, 3, 0, 1, 9); }, 0x00},
        {"delete mode on a KZP", "", "", 4, [](unsigned id) { return Page::start(id, 1, 0, 1, 2).set(21, 0x80); },
         0x00},
        {"extent beyond the volume", "", "", 2,
         [](unsigned id) { return Page::start(id, 2, 0, 1, 2).extent(99999, 2, 0); }, 0x00},
        {"whole-volume flag beside an extent", "", "", 2,
         [](unsigned id) { return Page::start(id, 2, 0, 1, 2).put(136, 2, 1); }, 0x00},
        {"source is the destination", "", "", 2, [](unsigned id) { return Page::start(id, 2, 0, 1, 1); }, 0x00},
        {"remote to an array not connected", "", "", 2,
         [](unsigned id) { return Page::start(id, 2, 0, 1, 1).remote("BOX-A1", "BOX-C1"); }, 0x00},
        {"remote SnapKZP", "", "", 4,
         [](unsigned id) { return Page::start(id, 1, 0x10, 1, 1).remote("BOX-A1", "BOX-B1"); }, 0x00},
        {"automatic split without synchronous", "", "", 2,
         [](unsigned id) { return Page::start(id, 2, 0, 1, 1).remote("BOX-A1", "BOX-B1").set(22, 0x02); }, 0x00},
        {"stack transfer with synchronous", "", "", 2,
         [](unsigned id) { return Page::start(id, 2, 0, 1, 1).remote("BOX-A1", "BOX-B1").set(22, 0x04).set(23, 2); },
         0x00},
        {"SnapKZP not offered", supportWith(4, 0x0B), "", 4,
         [](unsigned id) { return Page::start(id, 1, 0x10, 1, 2); }, 0x9D},
        {"stack transfer not offered", supportWith(29, 0xEF), "", 2,
         [](unsigned id) { return Page::start(id, 2, 0, 1, 1).remote("BOX-A1", "BOX-B1").set(23, 2); }, 0x9D},
        {"secondary access not offered", supportWith(21, 0x49), "", 2,
         [](unsigned id) { return Page::start(id, 2, 0x01, 1, 2); }, 0x9D},
        {"destination already a destination", "", "session 50 kzp A1 3 A1 2\n", 2,
         [](unsigned id) { return Page::start(id, 2, 0, 1, 2); }, 0x92},
        {"destination is a source", "", "session 50 vz A1 2 A1 3\n", 2,
         [](unsigned id) { return Page::start(id, 2, 0, 1, 2); }, 0x92},
        {"source is a destination", "", "session 50 vz A1 3 A1 1\n", 2,
         [](unsigned id) { return Page::start(id, 2, 0, 1, 2); }, 0x92},
        {"source in a session of another kind", "", "session 50 kzp A1 1 A1 3\n", 2,
         [](unsigned id) { return Page::start(id, 2, 0, 1, 2); }, 0x92},
        {"source shared by the same kind", "", "session 50 vz A1 1 A1 3\n", 2,
         [](unsigned id) { return Page::start(id, 2, 0, 1, 2); }, kGood},
        {"extents apart on one destination", "", "session 50 vz A1 3 A1 2 srcext=0 size=1000 dstext=5000\n", 2,
         [](unsigned id) { return Page::start(id, 2, 0, 1, 2).extent(0, 1000, 0); }, kGood},
        {"every generation taken", "generations=1", "session 50 snapkzp+ A1 1 A1 3\n", 4,
         [](unsigned id) { return Page::start(id, 1, 0x40, 1, 2); }, 0x93},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(scenario(c.options, c.extra));
        std::size_t before = sim.sessions().size();
        unsigned id = reserveId("/dev/sdb", c.mode);
        EXPECT_EQ(outcome(out("/dev/sdb", c.page(id).b)), c.expected);
        // A refused start leaves the reserved identifier as it was.
        std::string line = sessionWithId(sim, "A1", id);
        EXPECT_EQ(field(line, "status"), c.expected == kGood ? "2" : "1");
        std::string reserved = "session 1 " + std::string(c.mode == 2 ? "vz" : "kzp") + " A1 0 A1 0 ";
        if (c.expected != kGood) {
            EXPECT_EQ(line.rfind(reserved, 0), 0u) << line;
        }
        EXPECT_EQ(sim.sessions().size(), before + 1);
    }
}

TEST(SimSessionOps, RefusedStartRollsBackWithTheLibrarysStop) {
    Simulator sim(scenario());
    // Only the start page is refused: neither the detail page 0x44 read nor
    // the reserve nor the roll-back stop.
    sim.injectSenseOnList(0x44, 1, 5, 0x26, 0x00);
    expectGood(sg("/dev/sdb", travoInLarge(0x44, 1, 192), 192));
    unsigned id = reserveId("/dev/sdb", 2);
    EXPECT_EQ(outcome(out("/dev/sdb", Page::start(id, 2, 0, 1, 2).b)), 0x00);
    EXPECT_EQ(field(sessionWithId(sim, "A1", id), "status"), "1");
    EXPECT_EQ(outcome(out("/dev/sdb", Page(0x45, id).set(12, 2).b)), kGood);
    EXPECT_TRUE(sim.sessions().empty());
    EXPECT_TRUE(sim.faults().empty());
    std::vector<zrksim::CdbRecord> log = sim.cdbLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2].dataOut.at(0), 0x44);
    EXPECT_EQ(log[3].dataOut.at(0), 0x45);

    // inpage= refuses the TRAVO IN page and lets the list of that code through.
    sim.injectSenseOnPage(0x44, 1, 5, 0x24, 0x00);
    EXPECT_EQ(sim.faults().at(0).find("inpage=0x44") != std::string::npos, true);
    id = reserveId("/dev/sdb", 2);
    EXPECT_EQ(outcome(out("/dev/sdb", Page::start(id, 2, 0, 1, 2).b)), kGood);
    expectRefused(sg("/dev/sdb", travoInLarge(0x44, id, 192), 192), 0x24);
    EXPECT_FALSE(sim.command("fault errno open 1 EIO page=0x44").ok);
}

TEST(SimSessionOps, ReservedIdentifierNeverStartedLapses) {
    Simulator sim(scenario("reservetime=60"));
    unsigned id = reserveId("/dev/sdb", 4);
    sim.advanceClock(59);
    EXPECT_EQ(field(sessionWithId(sim, "A1", id), "status"), "1");
    sim.advanceClock(1);
    EXPECT_TRUE(sim.sessions().empty());
    EXPECT_EQ(outcome(out("/dev/sdb", Page::start(id, 1, 0, 1, 2).b)), 0x00);
    // With 0 a reservation stays.
    sim.setArray("A1", "reservetime=0");
    reserveId("/dev/sdb", 4);
    sim.advanceClock(1000000);
    EXPECT_EQ(sim.sessions().size(), 1u);
}

TEST(SimSessionOps, SuspendResumeAndChangeFollowTheSessionState) {
    Simulator sim(scenario("", "session 5 vz A1 1 A1 2 copied=100000 diff=300\n"
                               "session 6 rvz A1 3 B1 1 partner=7 copied=100000\n"
                               "session 8 kzp A1 4 A1 3\n"));
    const std::vector<std::string> keys = {"status", "phase", "copied", "diff", "stacktimer", "mode", "transfer"};
    struct Step {
        const char *what;
        const char *path;
        Page page;
        int expected;
        const char *array;
        unsigned id;
        const char *after;
    } steps[] = {
        {"suspend", "/dev/sdb", vzPage(0x48, 5), kGood, "A1", 5,
         "session 5 vz A1 1 A1 2 partner=0 status=4 phase=2 copied=100000 diff=300 stacktimer=0 mode=none transfer=0"},
        {"suspend again", "/dev/sdb", vzPage(0x48, 5), 0x96, "A1", 5,
         "session 5 vz A1 1 A1 2 partner=0 status=4 phase=2 copied=100000 diff=300 stacktimer=0 mode=none transfer=0"},
        {"mode change of a local session", "/dev/sdb", vzPage(0x46, 5).set(25, 0x02), 0x00, "A1", 5,
         "session 5 vz A1 1 A1 2 partner=0 status=4 phase=2 copied=100000 diff=300 stacktimer=0 mode=none transfer=0"},
        {"reverse and mode change at once", "/dev/sdb", vzPage(0x46, 5).set(25, 0x06), 0x00, "A1", 5,
         "session 5 vz A1 1 A1 2 partner=0 status=4 phase=2 copied=100000 diff=300 stacktimer=0 mode=none transfer=0"},
        {"reverse", "/dev/sdb", vzPage(0x46, 5).set(25, 0x04), kGood, "A1", 5,
         "session 5 vz A1 2 A1 1 partner=0 status=4 phase=2 copied=100000 diff=300 stacktimer=0 mode=none transfer=0"},
        {"remain mode on a local session", "/dev/sdb", vzPage(0x49, 5).set(24, 0x40), 0x00, "A1", 5,
         "session 5 vz A1 2 A1 1 partner=0 status=4 phase=2 copied=100000 diff=300 stacktimer=0 mode=none transfer=0"},
        {"resume copies the difference", "/dev/sdb", vzPage(0x49, 5), kGood, "A1", 5,
         "session 5 vz A1 2 A1 1 partner=0 status=2 phase=1 copied=99700 diff=0 stacktimer=0 mode=none transfer=0"},
        {"resume again", "/dev/sdb", vzPage(0x49, 5), 0x97, "A1", 5,
         "session 5 vz A1 2 A1 1 partner=0 status=2 phase=1 copied=99700 diff=0 stacktimer=0 mode=none transfer=0"},
        {"suspend while copying", "/dev/sdb", vzPage(0x48, 5), 0x91, "A1", 5,
         "session 5 vz A1 2 A1 1 partner=0 status=2 phase=1 copied=99700 diff=0 stacktimer=0 mode=none transfer=0"},
        {"change while active", "/dev/sdb", vzPage(0x46, 5).set(25, 0x04), 0x91, "A1", 5,
         "session 5 vz A1 2 A1 1 partner=0 status=2 phase=1 copied=99700 diff=0 stacktimer=0 mode=none transfer=0"},
        {"forced suspend while copying", "/dev/sdb", vzPage(0x48, 5).set(24, 0x80), kGood, "A1", 5,
         "session 5 vz A1 2 A1 1 partner=0 status=4 phase=1 copied=99700 diff=0 stacktimer=0 mode=none transfer=0"},
        {"stack timer on a local session", "/dev/sdb", vzPage(0x48, 5).set(24, 0x82).set(27, 9), 0x00, "A1", 5,
         "session 5 vz A1 2 A1 1 partner=0 status=4 phase=1 copied=99700 diff=0 stacktimer=0 mode=none transfer=0"},
        {"remote suspend with the stack timer from the destination", "/dev/sdc",
         vzPage(0x48, 7).set(20, 0xA0).fromDestination().set(24, 0x02).set(27, 9), kGood, "A1", 6,
         "session 6 vz A1 3 B1 1 partner=7 status=4 phase=2 copied=100000 diff=0 stacktimer=9 mode=none transfer=0"},
        {"mode change to synchronous stack transfer", "/dev/sdb",
         vzPage(0x46, 6).set(20, 0xA0).set(25, 0x02).set(22, 0x04).set(23, 2), 0x00, "A1", 6,
         "session 6 vz A1 3 B1 1 partner=7 status=4 phase=2 copied=100000 diff=0 stacktimer=9 mode=none transfer=0"},
        {"mode change to stack transfer", "/dev/sdb", vzPage(0x46, 6).set(20, 0xA0).set(25, 0x02).set(23, 2), kGood,
         "A1", 6,
         "session 6 vz A1 3 B1 1 partner=7 status=4 phase=2 copied=100000 diff=0 stacktimer=9 mode=none transfer=2"},
        {"reverse of a remote session swaps the arrays", "/dev/sdb", vzPage(0x46, 6).set(20, 0xA0).set(25, 0x04),
         kGood, "B1", 7,
         "session 7 vz B1 1 A1 3 partner=6 status=4 phase=2 copied=100000 diff=0 stacktimer=9 mode=none transfer=2"},
        {"suspend of a KZP session", "/dev/sdb", Page(0x48, 8).set(12, 1).set(20, 0x80), 0x00, "A1", 8,
         "session 8 kzp A1 4 A1 3 partner=0 status=2 phase=1 copied=0 diff=0 stacktimer=0 mode=none transfer=0"},
        {"unknown identifier", "/dev/sdb", vzPage(0x49, 9), 0x00, "A1", 9, "gone"},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.what);
        EXPECT_EQ(outcome(out(s.path, s.page.b)), s.expected);
        EXPECT_EQ(state(sim, s.array, s.id, keys), s.after);
    }
}

TEST(SimSessionOps, StopFollowsKindAndState) {
    Simulator sim(scenario());
    const char *const generations = "session 9 snapkzp+ A1 1 A1 2\nsession 10 snapkzp+ A1 1 A1 3\n"
                                    "session 11 snapkzp+ A1 1 A1 4\n";
    struct Case {
        const char *what;
        std::string sessions;
        Page page;
        int expected;
        const char *left;  // identifiers left on A1, or the state of session 5
    } cases[] = {
        {"unknown identifier", "", Page(0x45, 9).set(12, 2), 0x00, ""},
        {"copy kind of the other family", "session 5 vz A1 1 A1 2\n", Page(0x45, 5).set(12, 1), 0x00, "5"},
        {"halted session without force", "session 5 rvz A1 1 B1 1 status=halt\n", Page(0x45, 5).set(12, 2), 0x91,
         "5"},
        {"halted session by force", "session 5 rvz A1 1 B1 1 status=halt\n",
         Page(0x45, 5).set(12, 2).set(24, 0x80), kGood, ""},
        {"stop tracking while copying", "session 5 quickkzp A1 1 A1 2 phase=trackcopy\n",
         Page(0x45, 5).set(12, 1).set(20, 0x88).set(25, 0x40), kGood, "phase=1 tracking=no"},
        {"stop tracking while tracking", "session 5 quickkzp A1 1 A1 2 phase=tracking\n",
         Page(0x45, 5).set(12, 1).set(20, 0x88).set(25, 0x40), kGood, ""},
        {"stop tracking twice", "session 5 quickkzp A1 1 A1 2 tracking=no\n",
         Page(0x45, 5).set(12, 1).set(20, 0x88).set(25, 0x40), 0x91, "phase=1 tracking=no"},
        {"stop tracking of a KZP", "session 5 kzp A1 1 A1 2\n", Page(0x45, 5).set(12, 1).set(25, 0x40), 0x00,
         "phase=1 tracking=yes"},
        {"monitor session", "session 5 monitor A1 1 A1 -\n", Page(0x45, 5).set(12, 3), kGood, ""},
        {"oldest generation", generations, Page(0x45, 9).set(12, 1).set(20, 0xC0), kGood, "10 11"},
        {"newer generation without force", generations, Page(0x45, 10).set(12, 1).set(20, 0xC0), 0x91, "9 10 11"},
        {"newer generation by force ends the older ones", generations,
         Page(0x45, 10).set(12, 1).set(20, 0xC0).set(24, 0x80), kGood, "11"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(scenario("", c.sessions));
        EXPECT_EQ(outcome(out("/dev/sdb", c.page.b)), c.expected);
        if (std::string(c.left).find('=') != std::string::npos) {
            EXPECT_EQ(fields(sim, "A1", 5, {"phase", "tracking"}), c.left);
        } else {
            EXPECT_EQ(ids(sim, "A1"), c.left);
        }
    }
}

TEST(SimSessionOps, TheClockMovesEverySession) {
    Simulator sim(R"(
clock 1000
array A1 boxid="BOX-A1" rate=1000 writerate=10
volume A1 1 5000
volume A1 2 5000
volume A1 3 5000
volume A1 4 5000
volume A1 5 5000
volume A1 6 5000
volume A1 7 5000
volume A1 8 5000
volume A1 9 5000
volume A1 10 5000
volume A1 11 5000
disk /dev/sdb 8:16 A1 1
session 1 vz A1 1 A1 2 phase=copying
session 3 kzp A1 3 A1 4
session 5 quickkzp A1 5 A1 6 phase=trackcopy
session 7 snapkzp+ A1 7 A1 8
session 8 snapkzp+ A1 7 A1 9
session 10 vz A1 10 A1 11 status=suspend copied=5000
)");
    auto all = [&] {
        std::string out;
        for (unsigned id : {1u, 3u, 5u, 7u, 8u, 10u})
            out += std::to_string(id) + ": " + fields(sim, "A1", id, {"status", "phase", "copied", "diff"}) + "\n";
        return out;
    };
    EXPECT_EQ(sim.advanceClock(4), 1004u);
    EXPECT_EQ(all(), "1: status=2 phase=1 copied=4000 diff=0\n"
                     "3: status=2 phase=1 copied=4000 diff=0\n"
                     "5: status=2 phase=4 copied=4000 diff=40\n"
                     "7: status=2 phase=3 copied=0 diff=0\n"  // only the newest generation saves blocks
                     "8: status=2 phase=3 copied=40 diff=0\n"
                     "10: status=4 phase=2 copied=5000 diff=40\n");
    sim.advanceClock(1);
    EXPECT_EQ(all(), "1: status=2 phase=2 copied=5000 diff=0\n"
                     "3: gone\n"
                     "5: status=2 phase=3 copied=5000 diff=50\n"
                     "7: status=2 phase=3 copied=0 diff=0\n"
                     "8: status=2 phase=3 copied=50 diff=0\n"
                     "10: status=4 phase=2 copied=5000 diff=50\n");

    // Resume and restart copy the difference, and only that.
    EXPECT_EQ(outcome(out("/dev/sdb", vzPage(0x49, 10).b)), kGood);
    EXPECT_EQ(outcome(out("/dev/sdb", Page(0x44, 5).set(12, 1).set(20, 0x88).set(25, 0x80).b)), kGood);
    sim.advanceClock(0);
    EXPECT_EQ(fields(sim, "A1", 10, {"phase", "copied"}), "phase=1 copied=4950");
    EXPECT_EQ(fields(sim, "A1", 5, {"phase", "copied", "diff", "start"}), "phase=4 copied=4950 diff=0 start=1005");
    sim.setArray("A1", "writerate=0");
    sim.advanceClock(1);
    EXPECT_EQ(fields(sim, "A1", 10, {"phase", "copied"}), "phase=2 copied=5000");
    EXPECT_EQ(fields(sim, "A1", 5, {"phase", "copied", "diff"}), "phase=3 copied=5000 diff=0");

    // A QuickKZP session whose tracking stopped ends with its copy.
    sim.addSession("20 quickkzp A1 11 A1 2 phase=trackcopy copied=4500 tracking=no");
    sim.advanceClock(1);
    EXPECT_EQ(sessionWithId(sim, "A1", 20), "");
}

TEST(SimSessionOps, GenerationsAndPoolPages) {
    Simulator sim(scenario("generations=3 pool=1000000 poolused=1000 poolsize=yes", "volume A1 9 100000 olustatus=1\n"));
    // Three generations of volume 1, started by pages, in order.
    std::vector<unsigned> started;
    for (std::uint32_t dst : {2u, 3u, 4u}) {
        unsigned id = reserveId("/dev/sdb", 4);
        ASSERT_EQ(outcome(out("/dev/sdb", Page::start(id, 1, 0x40, 1, dst).b)), kGood);
        started.push_back(id);
    }
    unsigned fourth = reserveId("/dev/sdb", 4);
    EXPECT_EQ(outcome(out("/dev/sdb", Page::start(fourth, 1, 0x40, 1, 9).b)), 0x93);
    EXPECT_EQ(outcome(out("/dev/sdb", Page(0x45, fourth).set(12, 1).b)), kGood);

    Bytes page = delivered(sg("/dev/sdb", travoInLarge(0x45, 1, 100), 100));
    EXPECT_EQ(zrksim::toHex(page), "45" "000000" + u32(62) + "00000001" "0001" "0003" + zeros(16) +
                                       "0003" "0000" + u64(0) + u64(0) + zeros(12) + "0001" "0002" "0003");

    sim.setSession("A1", 1, "copied=100");
    sim.setSession("A1", 2, "copied=200");
    sim.setSession("A1", 3, "copied=300");
    EXPECT_EQ(zrksim::toHex(delivered(sg("/dev/sdb", travoInLarge(0x32, 0, 64), 64))),
              "32000000" + u32(56) + u64(1000000) + u64(1000) + u64(600) + zeros(32));
    EXPECT_EQ(zrksim::toHex(delivered(sg("/dev/sdb", travoInLarge(0x46, 2, 64), 64))),
              "46000000" + u32(56) + "0002" "0002" "0003" "0000" + u64(998400) + u64(200) + u64(600) + u64(100000) +
                  zeros(16));
    // Not a SnapKZP+ session: nothing after the header.
    EXPECT_EQ(zrksim::toHex(delivered(sg("/dev/sdb", travoInLarge(0x46, 7, 64), 64))),
              "46000000" + u32(56) + zeros(56));

    // The oldest generation goes; the list follows.
    ASSERT_EQ(outcome(out("/dev/sdb", Page(0x45, 1).set(12, 1).set(20, 0xC0).b)), kGood);
    page = delivered(sg("/dev/sdb", travoInLarge(0x45, 1, 100), 100));
    EXPECT_EQ(hexAt(page, 32, 2) + hexAt(page, 64, 6), "0002" "0002" "0003" "0000");
    EXPECT_EQ(hexAt(delivered(sg("/dev/sdb", travoInLarge(0x46, 3, 64), 64)), 8, 6), "0003" "0002" "0002");
}

TEST(SimSessionOps, ConcurrentSuspendIsAllOrNothing) {
    const std::string five = "session 1 vz A1 1 A1 2 count=5 copied=100000\n"
                             "session 20 rvz A1 3 B1 1 partner=30\nsession 21 rvz A1 4 B1 1 partner=31\n";
    Simulator sim(scenario("", five));
    // N = 5: 48 bytes, length 40, five slots and three of padding.
    auto list = [](std::vector<unsigned> ids, unsigned char flags) {
        std::size_t n = ids.size();
        Bytes b(16 + 4 * ((n + 3) / 4 * 4), 0);
        b[0] = 0x50;
        b[7] = static_cast<unsigned char>(b.size() - 8);
        b[9] = static_cast<unsigned char>(n);
        b[10] = flags;
        for (std::size_t i = 0; i < n; ++i) b[16 + 4 * i + 1] = static_cast<unsigned char>(ids[i]);
        return b;
    };
    Bytes all5 = list({1, 2, 3, 4, 5}, 0);
    EXPECT_EQ(zrksim::toHex(all5), "50000000" "00000028" "0005" "00" "0000000000" "00010000" "00020000"
                                   "00030000" "00040000" "00050000" + zeros(12));
    auto statuses = [&] {
        std::string out;
        for (unsigned id = 1; id <= 5; ++id) out += field(sessionWithId(sim, "A1", id), "status");
        return out;
    };
    struct Case {
        const char *what;
        std::function<void(Bytes &)> change;
        const char *setup;
        int expected;
    } cases[] = {
        {"one session still copying", [](Bytes &) {}, "phase=copying", 0x91},
        {"one session suspended", [](Bytes &) {}, "status=suspend", 0x91},
        {"one session named twice", [](Bytes &b) { b[16 + 4 * 4 + 1] = 1; }, "", 0x00},
        {"an unknown identifier", [](Bytes &b) { b[16 + 4 * 4 + 1] = 9; }, "", 0x00},
        {"padding not zero", [](Bytes &b) { b[47] = 1; }, "", 0x00},
        {"length field", [](Bytes &b) { b[7] = 44; }, "", 0x00},
        {"remote flag on local sessions", [](Bytes &b) { b[10] = 0x80; }, "", 0x00},
        {"untransferred mode on local sessions", [](Bytes &b) { b[10] = 0x20; }, "", 0x00},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(scenario("", five));
        if (*c.setup) sim.setSession("A1", 3, c.setup);
        Bytes b = all5;
        c.change(b);
        EXPECT_EQ(outcome(out("/dev/sdb", b)), c.expected);
        EXPECT_EQ(statuses(), std::string(*c.setup && std::string(c.setup) == "status=suspend" ? "22422" : "22222"));
    }
    sim.load(scenario("percommand=4", five));
    EXPECT_EQ(outcome(out("/dev/sdb", all5)), 0x00);
    sim.load(scenario("", five));
    EXPECT_EQ(outcome(out("/dev/sdb", all5)), kGood);
    EXPECT_EQ(statuses(), "44444");

    // Remote sessions suspended from the destination array by its own
    // identifiers; a local session among them spoils the whole list.
    EXPECT_EQ(outcome(out("/dev/sdc", list({30, 31}, 0xC0 | 0x20))), kGood);
    EXPECT_EQ(fields(sim, "A1", 20, {"status"}) + " " + fields(sim, "A1", 21, {"status"}), "status=4 status=4");
    sim.load(scenario("", five));
    EXPECT_EQ(outcome(out("/dev/sdb", list({20, 1}, 0x80))), 0x00);
    EXPECT_EQ(outcome(out("/dev/sdb", list({20, 21}, 0xC0))), 0x00);  // this array holds the source side
    EXPECT_EQ(fields(sim, "A1", 20, {"status"}), "status=2");
}

// The start list of a concurrent start (0x80) or restart (0x40).
Bytes concurrentList(const std::vector<unsigned> &ids, unsigned char how) {
    Bytes b(16 + 8 * ((ids.size() + 3) / 4), 0);
    b[0] = 0x51;
    b[7] = static_cast<unsigned char>(b.size() - 8);
    b[9] = static_cast<unsigned char>(ids.size());
    b[12] = how;
    for (std::size_t i = 0; i < ids.size(); ++i) b[16 + 2 * i + 1] = static_cast<unsigned char>(ids[i]);
    return b;
}

TEST(SimSessionOps, ConcurrentStartOfPreparedSessions) {
    Simulator sim(scenario(supportWith(4, 0x8F), "session 9 quickkzp A1 4 A1 3 phase=tracking diff=5 copied=100000\n"));
    unsigned first = reserveId("/dev/sdb", 4);
    unsigned second = reserveId("/dev/sdb", 4);
    ASSERT_EQ(outcome(out("/dev/sdb", Page::start(first, 1, 0, 1, 2).set(25, 0x10).b)), kGood);
    ASSERT_EQ(outcome(out("/dev/sdb", Page::start(second, 1, 0x08, 1, 3).set(25, 0x10).b)), 0x92);  // 3 is taken
    ASSERT_EQ(outcome(out("/dev/sdb", Page(0x45, second).set(12, 1).b)), kGood);
    second = reserveId("/dev/sdb", 4);
    ASSERT_EQ(outcome(out("/dev/sdb", Page::start(second, 1, 0x10, 1, 4).set(25, 0x10).b)), 0x92);  // 4 too
    ASSERT_EQ(outcome(out("/dev/sdb", Page::start(second, 1, 0x40, 2, 4).set(25, 0x10).b)), 0x92);  // 2 the first's
    ASSERT_EQ(outcome(out("/dev/sdb", Page(0x45, second).set(12, 1).b)), kGood);
    EXPECT_EQ(state(sim, "A1", first, {"status", "phase"}), "session 1 kzp A1 1 A1 2 partner=0 status=1 phase=0");

    auto startList = concurrentList;
    sim.advanceClock(7);
    EXPECT_EQ(outcome(out("/dev/sdb", startList({first, 9}, 0x80))), 0x00);  // 9 is not prepared
    EXPECT_EQ(outcome(out("/dev/sdb", startList({first}, 0x80))), kGood);
    EXPECT_EQ(fields(sim, "A1", first, {"status", "phase", "start"}), "status=2 phase=1 start=1007");
    EXPECT_EQ(outcome(out("/dev/sdb", startList({first}, 0x80))), 0x00);
    // Restart: QuickKZP sessions that track.
    EXPECT_EQ(outcome(out("/dev/sdb", startList({9, first}, 0x40))), 0x00);
    EXPECT_EQ(outcome(out("/dev/sdb", startList({9}, 0x40))), kGood);
    EXPECT_EQ(fields(sim, "A1", 9, {"phase", "copied", "diff"}), "phase=4 copied=99995 diff=0");
}

// The start list's own refusals: an array without the function, a session
// whose source is not on the array, and a cascade over arrays, which starts
// the sessions and still reports the condition.
TEST(SimSessionOps, ConcurrentStartRefusals) {
    struct Case {
        const char *name;
        std::string support, sessions;
        unsigned id;
        int asc, ascq;
        const char *status;  // of session `id` afterwards
    };
    const std::string prepared = "session 5 kzp A1 2 A1 3 status=reserve prepared=yes\n";
    const std::vector<Case> cases = {
        {"not offered", "", prepared, 5, 0x26, 0x91, "status=1"},
        {"source elsewhere", supportWith(4, 0x8F),
         "session 5 kzp B1 1 A1 3 partner=6 status=reserve prepared=yes\n", 6, 0x25, 0x00, "status=1"},
        {"cascade", supportWith(4, 0x8F), prepared + "session 7 vz B1 1 A1 2 partner=8\n", 5, 0x26, 0xAB,
         "status=2"},
        {"plain", supportWith(4, 0x8F), prepared, 5, -1, -1, "status=2"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Simulator sim(scenario(c.support, c.sessions));
        SgResult r = out("/dev/sdb", concurrentList({c.id}, 0x80));
        ASSERT_EQ(r.rc, 0);
        if (c.asc < 0) {
            EXPECT_EQ(r.hdr.status, 0);
        } else {
            ASSERT_EQ(r.hdr.status, 2);
            EXPECT_EQ(r.sense[2] & 0x0F, 5);
            EXPECT_EQ(r.sense[12], c.asc);
            EXPECT_EQ(r.sense[13], c.ascq);
        }
        EXPECT_EQ(fields(sim, c.sessions.find("B1 1 A1 3") != std::string::npos ? "B1" : "A1", 5, {"status"}),
                  c.status);
    }
}
