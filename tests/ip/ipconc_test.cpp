// The concurrent KZP start over the LAN against the simulator's LAN front:
// the parts of one start as the array receives them and the sessions it
// holds afterwards, a refused part, the restart of QuickKZP sessions, the
// cascade refusal with and without the caller's acceptance, the clean-up of
// the sessions the array reports as left behind (500 identifiers a stop),
// and the refusals settled before anything is started.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../../ip/ipconc.h"
#include "child.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "sim_client.h"
#include "zrkapi.h"

namespace {

constexpr uint32_t kKzp = 0, kQuick = 8, kSnap = 16, kSnapP = 64;
constexpr uint32_t kRestart = ZRK_OPT_RESTART;
constexpr uint32_t kAccept = ZRK_OPT_ACCEPT_CASCADE;

// A1 has every function, the concurrent start among them; C1 lacks the
// concurrent start; D1 takes at most two sessions.
std::string Scenario() {
    const std::string full = iptest::SupportHex({{4, 0x8F}});
    std::string s = "array A1 boxid=\"BOXA1\" address=10.0.0.5 support=" + full +
                    "\n"
                    "array B1 boxid=\"BOXB1\" address=10.0.0.6 support=" +
                    full +
                    "\n"
                    "array C1 boxid=\"BOXC1\" address=10.0.0.21 support=" +
                    iptest::SupportHex({}) +
                    "\n"
                    "array D1 boxid=\"BOXD1\" address=10.0.0.22 maxsessions=16,2,16,2 support=" +
                    full + "\nuser admin secret\n";
    for (int olu = 1; olu <= 20; ++olu) {
        for (const char *array : {"A1", "B1", "C1", "D1"}) {
            s += "volume " + std::string(array) + " " + std::to_string(olu) + " 4096\n";
        }
    }
    s += "volume A1 30 4096 type=sdv\nvolume A1 31 4096 type=sdv\n";
    // Volume 12 of A1 is the target of B1's remote copy; 14 is taken.
    s += "session 1 rvz B1 1 A1 12\n"
         "session 40 kzp A1 13 A1 14\n"
         "session 41 quickkzp A1 15 A1 16 phase=tracking\n"
         "session 42 quickkzp A1 17 A1 18 phase=trackcopy\n"
         "session 43 quickkzp A1 19 A1 20 phase=copying\n";
    return s;
}

CONC_SES_INFO Entry(uint32_t src, uint32_t dst, uint32_t kind = kKzp, uint32_t option = 0,
                    uint64_t srcExt = 0, uint64_t size = 0, uint64_t dstExt = 0) {
    CONC_SES_INFO e{};
    e.SrcOlu = src;
    e.DstOlu = dst;
    e.CopyKind = kind;
    e.OptionFlag = option;
    e.SrcExtent_high = static_cast<uint32_t>(srcExt >> 32);
    e.SrcExtent_low = static_cast<uint32_t>(srcExt);
    e.SrcSize_high = static_cast<uint32_t>(size >> 32);
    e.SrcSize_low = static_cast<uint32_t>(size);
    e.DstExtent_high = static_cast<uint32_t>(dstExt >> 32);
    e.DstExtent_low = static_cast<uint32_t>(dstExt);
    return e;
}

std::string Part(const std::string &kind, int src, int dst, const std::string &tail) {
    return "start copy-concurrent-kzp -session-type " + kind + " -source-volume-number " +
           std::to_string(src) + " -destination-volume-number " + std::to_string(dst) + tail;
}

class IpConcSim : public iptest::LanSimTest {
protected:
    IpConcSim() : LanSimTest(Scenario(), {"10.0.0.5", "10.0.0.6", "10.0.0.21", "10.0.0.22"}) {}

    int Start(std::vector<CONC_SES_INFO> entries, const char *ip = "10.0.0.5",
              unsigned char *sense = nullptr) {
        ZRKerrno = 0;
        return ZRKIPStartConcKZP(ip, nullptr, entries.empty() ? nullptr : entries.data(),
                                 static_cast<int>(entries.size()), sense);
    }
    std::vector<std::string> SessionCommands() const { return iptest::LanSessionCommands(sim); }

    // The session line of A1 for the source volume, "" when none.
    std::string SessionFrom(uint32_t olu) const {
        for (const std::string &line : sim.sessions("A1")) {
            if (line.find(" A1 " + std::to_string(olu) + " A1 ") != std::string::npos) return line;
        }
        return {};
    }
};

// ---- starts the array takes ----------------------------------------------------------

TEST_F(IpConcSim, EntriesStartInPartsOfOneTransaction) {
    struct Case {
        const char *what;
        std::vector<CONC_SES_INFO> entries;
        std::vector<std::string> commands;
    } cases[] = {
        {"one entry: the last part alone",
         {Entry(1, 2)},
         {Part("kzp", 1, 2, "     ")}},
        {"two entries: first and last part",
         {Entry(3, 4, kQuick), Entry(5, 30, kSnap)},
         {Part("quick", 3, 4, "    -mode no-commit "), Part("snap", 5, 30, "     -id 2")}},
        {"three entries: first, middle, last; extents",
         {Entry(6, 7, kKzp, 0, 1024, 64, 128), Entry(8, 31, kSnapP),
          Entry(9, 10, kKzp)},
         {Part("kzp", 6, 7,
               " -size 64 -source-lba 1024 -destination-lba 128 -mode no-commit "),
          Part("snap+", 8, 31, "    -mode no-commit -id 3"), Part("kzp", 9, 10, "     -id 3")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(0, Start(c.entries)) << ZRKerrno;
        const std::vector<std::string> sent = SessionCommands();
        EXPECT_EQ(c.commands, sent);
        for (const CONC_SES_INFO &e : c.entries) {
            const std::string line = SessionFrom(e.SrcOlu);
            EXPECT_EQ("2", iptest::SessionField(line, "status")) << line;
        }
    }
    EXPECT_EQ(0, ZRKerrno);
}

// The array refuses the second part: the call ends there, nothing is
// stopped, and the array has rolled the first part's session back.
TEST_F(IpConcSim, RefusedPartEndsTheCall) {
    const size_t before = sim.sessions("A1").size();
    EXPECT_EQ(-1, Start({Entry(1, 2), Entry(3, 14), Entry(5, 6)}));
    EXPECT_EQ(0x15302, ZRKerrno);
    EXPECT_EQ((std::vector<std::string>{Part("kzp", 1, 2, "    -mode no-commit "),
                                        Part("kzp", 3, 14, "    -mode no-commit -id 1")}),
              SessionCommands());
    EXPECT_EQ(before, sim.sessions("A1").size());
    EXPECT_EQ("", SessionFrom(1));
}

// A source that is the target of another array's copy: the sessions start,
// the array reports a cascade for that row, which the caller may accept.
TEST_F(IpConcSim, CascadeRefusalAcceptedOrCleanedUp) {
    struct Case {
        const char *what;
        uint32_t option;
        int ret;
        bool stopped;  // the cascade session was stopped again
    } cases[] = {
        {"not accepted: stopped", 0, -1, true},
        {"accepted", kAccept, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.ret, Start({Entry(12, 2, kKzp, c.option), Entry(3, 4, kKzp, c.option)}));
        EXPECT_EQ(0x25392, ZRKerrno);
        const std::vector<std::string> sent = SessionCommands();
        ASSERT_EQ(c.stopped ? 3u : 2u, sent.size());
        const std::string cascade = SessionFrom(12);
        const std::string other = SessionFrom(3);
        EXPECT_EQ("2", iptest::SessionField(other, "status")) << other;
        if (c.stopped) {
            EXPECT_EQ("", cascade);
            EXPECT_EQ(0u, sent[2].rfind("stop copy-session -session-id ", 0)) << sent[2];
            EXPECT_NE(std::string::npos, sent[2].find(" -mode force ")) << sent[2];
        } else {
            EXPECT_EQ("2", iptest::SessionField(cascade, "status")) << cascade;
        }
        // Clear the way for the next case.
        for (const std::string &line : sim.sessions("A1")) {
            const unsigned id = static_cast<unsigned>(std::stoul(line.substr(8)));
            if (id > 1 && id < 40) sim.commandOk("endsession A1 " + std::to_string(id));
        }
        SessionCommands();
    }
}

// ---- the result rows and the clean-up --------------------------------------------------

// Result rows the simulator's model does not produce come from scripted
// replies; the copy functions are cached by the first call.
class IpConcRows : public IpConcSim {
protected:
    void SetUp() override {
        IpConcSim::SetUp();
        ASSERT_EQ(0, Start({Entry(1, 2)})) << ZRKerrno;
        SessionCommands();
    }
    void Script(const std::string &body) {
        std::string escaped;
        for (char ch : body) {
            escaped += ch == '\n'   ? std::string("\\n")
                       : ch == '\t' ? std::string("\\t")
                                    : std::string(1, ch);
        }
        sim.commandOk("lanreply 1 " + escaped);
    }
    static std::string Row(int result, int code, int id, int src, int dst) {
        char text[96];
        std::snprintf(text, sizeof text, "%X\t%X\t%X\t%X\t%X\t0\t0\n", result, code, id, src, dst);
        return text;
    }
};

TEST_F(IpConcRows, ErrorOfTheFirstFailedRowAndStopsOfRowsWithOne) {
    struct Case {
        const char *what;
        std::string rows;
        int error;
        std::vector<std::string> stops;
    } cases[] = {
        {"all started", Row(0, 0, 7, 3, 4) + Row(0, 0, 8, 5, 6), 0, {}},
        {"second failed, first left behind",
         Row(1, 0x5300, 7, 3, 4) + Row(2, 0x5302, 8, 5, 6), 0x15302,
         {"stop copy-session -session-id 7 -mode force  "}},
        {"rows with 1 only: the first one's error",
         Row(1, 0x5391, 7, 3, 4) + Row(1, 0x5393, 8, 5, 6), 0x15391,
         {"stop copy-session -session-id 7,8 -mode force  "}},
        {"a row for no entry", Row(0, 0, 7, 3, 4) + Row(0, 0, 8, 5, 9), 904, {}},
        {"a failed row after a row with 1 decides",
         Row(1, 0x5392, 7, 3, 4) + Row(3, 0x5301, 8, 5, 6), 0x15301,
         {"stop copy-session -session-id 7 -mode force  "}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Script("00\n7\n");
        Script("00\n2\n" + c.rows);
        EXPECT_EQ(c.error == 0 ? 0 : -1, Start({Entry(3, 4), Entry(5, 6)}));
        EXPECT_EQ(c.error, ZRKerrno);
        std::vector<std::string> sent = SessionCommands();
        ASSERT_EQ(2 + c.stops.size(), sent.size());
        EXPECT_EQ(Part("kzp", 5, 6, "     -id 7"), sent[1]);
        EXPECT_EQ(c.stops, std::vector<std::string>(sent.begin() + 2, sent.end()));
    }
}

// 501 rows to stop: two stop commands of 500 and 1 identifiers; their
// failures leave the start's error as it was.
TEST_F(IpConcRows, CleanUpStopsFiveHundredAtATime) {
    std::string rows = Row(1, 0x5392, 1000, 3, 4);
    for (int i = 1; i < 501; ++i) rows += Row(1, 0, 1000 + i, 100 + i, 4);
    Script("00\n1F5\n" + rows);
    EXPECT_EQ(-1, Start({Entry(3, 4)}));
    EXPECT_EQ(0x25392, ZRKerrno);
    const std::vector<std::string> sent = SessionCommands();
    ASSERT_EQ(3u, sent.size());
    std::string first = "stop copy-session -session-id 1000";
    for (int i = 1; i < 500; ++i) first += "," + std::to_string(1000 + i);
    EXPECT_EQ(first + " -mode force  ", sent[1]);
    EXPECT_EQ("stop copy-session -session-id 1500 -mode force  ", sent[2]);
}

// ---- the restart ----------------------------------------------------------------------

TEST_F(IpConcSim, RestartOfQuickSessions) {
    struct Case {
        const char *what;
        std::vector<CONC_SES_INFO> entries;
        int error;
        std::string start;  // the start command, "" when none is sent
    } cases[] = {
        {"two restartable sessions",
         {Entry(15, 16, kQuick, kRestart), Entry(17, 18, kQuick, kRestart)}, 0,
         "start copy-concurrent-kzp -restart 41,42"},
        {"one still copying", {Entry(15, 16, kQuick, kRestart), Entry(19, 20, kQuick, kRestart)},
         39, ""},
        {"one without a session", {Entry(15, 16, kQuick, kRestart), Entry(1, 9, kQuick, kRestart)},
         21, ""},
        {"a KZP session is no QuickKZP session", {Entry(13, 14, kQuick, kRestart)}, 21, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.error == 0 ? 0 : -1, Start(c.entries));
        EXPECT_EQ(c.error, ZRKerrno);
        const std::vector<std::string> sent = SessionCommands();
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ("show copy-sessions  -mode 128", sent.front());
        EXPECT_EQ(c.start.empty() ? 1u : 2u, sent.size());
        if (!c.start.empty()) {
            EXPECT_EQ(c.start, sent.back());
        }
    }
}

// ---- refusals before anything starts ---------------------------------------------------

TEST_F(IpConcSim, RefusalsBeforeAnyPart) {
    struct Case {
        const char *what;
        const char *ip;
        std::vector<CONC_SES_INFO> entries;
        int error;
    } cases[] = {
        {"no entries", "10.0.0.5", {}, 13},
        {"no concurrent start", "10.0.0.21", {Entry(1, 2)}, 17},
        {"more entries than sessions", "10.0.0.22", {Entry(1, 2), Entry(3, 4), Entry(5, 6)}, 84},
        {"unknown kind", "10.0.0.5", {Entry(1, 2, 3)}, 13},
        {"restart in one entry only", "10.0.0.5", {Entry(1, 2), Entry(3, 4, kQuick, kRestart)}, 37},
        {"source above 0xFFFF", "10.0.0.5", {Entry(0x10000, 2)}, 6},
        {"same volume whole", "10.0.0.5", {Entry(2, 2)}, 48},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        EXPECT_EQ(-1, Start(c.entries, c.ip, sense));
        EXPECT_EQ(c.error, ZRKerrno);
        EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'),
                  std::string(reinterpret_cast<char *>(sense), sizeof sense));
        EXPECT_TRUE(SessionCommands().empty());
    }
    EXPECT_EQ(-1, ZRKIPStartConcKZP("10.0.0.5", nullptr, nullptr, 1, nullptr));
    EXPECT_EQ(13, ZRKerrno);
}

// The call's own lines and those of its internal function.
TEST_F(IpConcSim, TraceLines) {
    ASSERT_EQ(0, Start({Entry(1, 2), Entry(3, 4)})) << ZRKerrno;
    EXPECT_EQ(-1, Start({Entry(5, 14)}));
    const std::string trace = root.traceText();
    for (const char *line : {
             "INFO : ZRKIPStartConcKZP : START",
             "INFO : ZRKIPStartConcKZP : IPaddress=10.0.0.5, SessionCnt=2",
             "INFO : IPStartConcKZP : IPaddress=10.0.0.5, SessionCnt=2",
             "INFO : IPStartConcKZP : END(ret=0, ZRKerrno=0)",
             "INFO : ZRKIPStartConcKZP : END(ret=0, ZRKerrno=0)",
             "ERR : ZRKIPStartConcKZP : END(ret=-1, ZRKerrno=86786)",
         }) {
        EXPECT_NE(std::string::npos, trace.find(line)) << line;
    }
}

TEST_F(IpConcSim, RootOnly) {
    const zrktest::ChildResult child = zrktest::runChild([] {
        if (!zrktest::dropPrivileges()) return 99;
        CONC_SES_INFO entry = Entry(1, 2);
        return ZRKIPStartConcKZP("10.0.0.5", nullptr, &entry, 1, nullptr) == -1 && ZRKerrno == 34
                   ? 0
                   : 1;
    });
    EXPECT_EQ(0, child.exitCode) << child.err;
    EXPECT_TRUE(SessionCommands().empty());
}

}  // namespace
