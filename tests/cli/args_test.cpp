// The command-line half of the programs' module: the parser's tables of
// accepted lines and refusals, the operand forms, the number limits, the
// password prompt, the usage text, and the frame's retry and error lines.
#include "child.h"
#include "zrkcargs.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace zrktest {
namespace {

using zrkcli::CommandParam;

struct Parsed {
    int rc;
    CommandParam param;
    std::string refused;
};

Parsed Parse(std::vector<std::string> words) {
    std::vector<const char *> argv;
    for (const std::string &w : words) argv.push_back(w.c_str());
    Parsed p{};
    p.rc = zrkcli::ParseParam(static_cast<int>(argv.size()), argv.data(), &p.param, &p.refused);
    return p;
}

struct RefusalCase {
    std::vector<std::string> words;
    std::string refused;
};

TEST(CliArgs, RefusalsNameTheirParameter) {
    const std::string len1024(1024, 'v');
    const std::string box39(39, 'B'), box41(41, 'B'), pw256(256, 'p'), path1024(1024, 'a');
    const RefusalCase cases[] = {
        {{"zrkcvz"}, "No parameter"},
        {{"zrkcvz", "begin"}, "begin"},
        {{"zrkcvz", "Start"}, "Start"},
        {{"zrkcvz", "start", len1024}, "Length over"},
        {{"zrkcvz", "start", "-" + std::string(1023, 'x')}, "Length over"},
        {{"zrkcvz", "start", "-nosuch"}, "-nosuch"},
        {{"zrkcvz", "start", "-sy", "-sync"}, "-sync"},
        {{"zrkcvz", "start", "-f", "-f"}, "-f"},
        {{"zrkcvz", "start", "-csv", "-csv"}, "-csv"},
        {{"zrkcvz", "start", "-rwp", "-rwprotect"}, "-rwprotect"},
        {{"zrkcvz", "suspend", "-num", "12x"}, "-num"},
        {{"zrkcvz", "suspend", "-ct"}, "-ct"},
        {{"zrkcvz", "suspend", "-iv", ""}, "-iv"},
        {{"zrkcvz", "suspend", "-iv", "-5"}, "-iv"},
        {{"zrkcvz", "suspend", "-count", "4294967296"}, "-count"},
        {{"zrkcvz", "suspend", "-count", "99999999999999999999"}, "-count"},
        {{"zrkcvz", "start", "-box", box39}, box39},
        {{"zrkcvz", "start", "-box", box41}, box41},
        {{"zrkcvz", "start", "-box"}, "-box"},
        {{"zrkcvz", "start", "-pw", pw256}, pw256},
        {{"zrkcvz", "start", "-pw"}, "-pw"},
        {{"zrkcvz", "start", "-p", path1024}, path1024},
        {{"zrkcvz", "start", "-local", "fast"}, "fast"},
        {{"zrkcvz", "start", "-local", "Auto"}, "Auto"},
        {{"zrkcvz", "start", "-direct", "0"}, "0"},
        {{"zrkcvz", "start", "-direct", "256"}, "256"},
        {{"zrkcvz", "start", "-direct", "1x"}, "1x"},
        {{"zrkcvz", "start", "-remote", "65536"}, "65536"},
        {{"zrkcvz", "start", "-remote", "4294967297"}, "4294967297"},
        {{"zrkcvz", "start", "-remote"}, "-remote"},
        {{"zrkcvz", "start", "a", "b", "c"}, "c"},
    };
    for (const RefusalCase &c : cases) {
        Parsed p = Parse(c.words);
        EXPECT_EQ(p.rc, -1) << c.words.back();
        EXPECT_EQ(p.refused, c.refused) << c.words.back().substr(0, 40);
    }
}

TEST(CliArgs, OperandForms) {
    struct FormCase {
        std::vector<std::string> words;
        int32_t form;
    } cases[] = {
        {{"z", "start", "src", "dst"}, zrkcli::kFormPair},
        {{"z", "start", "vol"}, zrkcli::kFormVolume},
        {{"z", "start", "vol", "-b"}, zrkcli::kFormVolumeB},
        {{"z", "start", "-b", "-gf", "file"}, zrkcli::kFormVolumeB},
        {{"z", "start", "file", "-gf"}, zrkcli::kFormGroupFile},
        {{"z", "start", "file", "-gf", "-sl"}, zrkcli::kFormGroupFile},
        {{"z", "start", "-sl", "file"}, zrkcli::kFormSessionList},
        {{"z", "start"}, zrkcli::kFormNone},
        {{"z", "start", "-gf"}, zrkcli::kFormNone},
        {{"z", "start", "a", "b", "-b"}, zrkcli::kFormPair},
    };
    for (const FormCase &c : cases) {
        Parsed p = Parse(c.words);
        ASSERT_EQ(p.rc, 0);
        EXPECT_EQ(p.param.iForm, c.form);
    }
}

TEST(CliArgs, SubcommandCodesFollowTheTable) {
    for (const zrkcli::FuncEntry &f : zrkcli::func_table) {
        Parsed p = Parse({"z", f.caName});
        ASSERT_EQ(p.rc, 0) << f.caName;
        EXPECT_EQ(p.param.uiFuncCode, static_cast<uint32_t>(f.iCode));
    }
    EXPECT_EQ(Parse({"z", "copypriority"}).param.uiFuncCode, 25u);
    EXPECT_EQ(Parse({"z", "suspendstatus"}).param.uiFuncCode, 19u);
}

TEST(CliArgs, EveryOptionIsFoundAndSetsItsBits) {
    for (const zrkcli::OptEntry &o : zrkcli::opt_table) {
        std::vector<std::string> words = {"z", "start", o.caName};
        if (o.eValue == zrkcli::OptValue::Number) words.push_back("7");
        Parsed p = Parse(words);
        ASSERT_EQ(p.rc, 0) << o.caName;
        EXPECT_EQ(p.param.uiOptFlag, o.uiFlag) << o.caName;
        EXPECT_EQ(p.param.uiOptFlag2, 0u) << o.caName;
        EXPECT_EQ(p.param.uiApiFlag, o.uiApiBits) << o.caName;
    }
    for (const zrkcli::OptEntry &o : zrkcli::opt_table2) {
        std::vector<std::string> words = {"z", "start", o.caName};
        if (o.eValue == zrkcli::OptValue::BoxId) words.push_back(std::string(40, 'B'));
        else if (o.eValue != zrkcli::OptValue::None) words.push_back("auto");
        uiExOptionFlag = 0;
        Parsed p = Parse(words);
        ASSERT_EQ(p.rc, 0) << o.caName;
        EXPECT_EQ(p.param.uiOptFlag2, o.uiFlag) << o.caName;
        EXPECT_EQ(p.param.uiOptFlag, 0u) << o.caName;
        EXPECT_EQ(p.param.uiApiFlag, o.uiApiBits) << o.caName;
        EXPECT_EQ(uiExOptionFlag, o.uiExBits) << o.caName;
    }
}

TEST(CliArgs, SelectedBitsAsTheProgramsReadThem) {
    uiExOptionFlag = 0;
    Parsed p = Parse({"z", "suspend", "a", "b", "-sy", "-cs", "-gf", "-c", "-tfop", "-sl", "-remote_vz",
                      "-vvol", "-vvol_delete", "-n", "-back", "-rcv", "-id"});
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(p.param.uiApiFlag, ZRK_OPT_SYNC | ZRK_OPT_CONSISTENCY | ZRKC_OPT_GROUP_FILE |
                                 ZRKC_OPT_CONC_SUSPEND | ZRKC_OPT_ACCESS_PATH | ZRKC_OPT_OTHER_WAY |
                                 ZRKC_OPT_RECOVERY | ZRKC_OPT_STACK_TIMER);
    EXPECT_EQ(uiExOptionFlag, 0x1Fu);
    EXPECT_EQ(p.param.uiOptFlag, 0x200u | 0x400u | 0x400000u | 0x8000000u | 0x1000000u | 0x800000u |
                                 0x2000000u | 0x4000000u);
}

TEST(CliArgs, ValuesAndTheirLimits) {
    const std::string box(40, 'Q'), pw255(255, 'p'), path1023(1023, 'a');
    Parsed p = Parse({"z", "suspend", "-ct", "4294967295", "-iv", " +600", "-num", "0",
                      "-box", box, "-pw", pw255, "-p", path1023, "-remote", "65535"});
    ASSERT_EQ(p.rc, 0) << p.refused;
    EXPECT_EQ(p.param.uiCount, 4294967295u);
    EXPECT_EQ(p.param.uiInterval, 600u);
    EXPECT_EQ(p.param.uiNumber, 0u);
    EXPECT_EQ(std::string(p.param.caBoxID, 40), box);
    EXPECT_EQ(std::string(p.param.caPassword), pw255);
    EXPECT_EQ(std::string(p.param.caAccessPath), path1023);
    EXPECT_EQ(p.param.uiLevel, 65535u);

    struct LevelCase { std::string option, value; uint32_t level; } levels[] = {
        {"-local", "auto", 0}, {"-local", "low", 1}, {"-local", "high", 2},
        {"-local", "very-low", 3}, {"-local", "middle", 4}, {"-direct", "auto", 0},
        {"-direct", "1", 1}, {"-direct", "255", 255}, {"-remote", "auto", 0}, {"-remote", "1", 1},
    };
    for (const LevelCase &c : levels) {
        Parsed q = Parse({"z", "copypriority", c.option, c.value});
        ASSERT_EQ(q.rc, 0) << c.option << " " << c.value;
        EXPECT_EQ(q.param.uiLevel, c.level) << c.option << " " << c.value;
    }
}

TEST(CliArgs, OperandsAndValuesAreStoredWhole) {
    const std::string name1023(1023, 'n');
    Parsed p = Parse({"z", "start", name1023, "/dev/sdb", "-p", "-alias"});
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(std::string(p.param.caOperand1), name1023);
    EXPECT_EQ(std::string(p.param.caOperand2), "/dev/sdb");
    EXPECT_EQ(std::string(p.param.caAccessPath), "-alias");
}

TEST(CliArgs, ParseClearsTheRecord) {
    CommandParam param;
    std::memset(&param, 0x5A, sizeof(param));
    const char *argv[] = {"z", "stop"};
    std::string refused;
    ASSERT_EQ(zrkcli::ParseParam(2, argv, &param, &refused), 0);
    CommandParam expected{};
    expected.uiFuncCode = 2;
    expected.iForm = zrkcli::kFormNone;
    EXPECT_EQ(std::memcmp(&param, &expected, sizeof(param)), 0);
}

TEST(CliArgs, RefusalLineAndUsageOnStandardError) {
    ChildResult r = runChild([] {
        zrkcli::SetUsageText("Usage: zrkcvz start ...\n");
        char a0[] = "zrkcvz", a1[] = "start", a2[] = "-zz";
        char *argv[] = {a0, a1, a2, nullptr};
        CommandParam param;
        if (zrkcli::parse_param(3, argv, &param) != -1) return 9;
        zrkcli::Usage();
        return zrkcli::Refuse("Non-permissible option");
    });
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "ZRKC0100 ERROR Specified command parameter is incorrect. Parameter=(-zz).\n"
              "Usage: zrkcvz start ...\n"
              "ZRKC0100 ERROR Specified command parameter is incorrect. Parameter=(Non-permissible option).\n"
              "Usage: zrkcvz start ...\n");
}

TEST(CliArgs, PermittedOptionMasks) {
    Parsed p = Parse({"z", "start", "a", "b", "-sy", "-csv"});
    ASSERT_EQ(p.rc, 0);
    EXPECT_TRUE(zrkcli::OptionsPermitted(p.param, zrkcli::kOptSync, zrkcli::kOpt2Csv));
    EXPECT_FALSE(zrkcli::OptionsPermitted(p.param, zrkcli::kOptSync, 0));
    EXPECT_FALSE(zrkcli::OptionsPermitted(p.param, 0, zrkcli::kOpt2Csv));
}

// The password prompt over a pipe: the line ends at CR, LF or the end of
// the input, and only the first 255 characters are kept.
TEST(CliArgs, PasswordEntry) {
    struct PwCase { std::string input; std::string expected; int rc; } cases[] = {
        {"secret\nrest", "secret", 0},
        {"secret\rrest", "secret", 0},
        {"no-newline", "no-newline", 0},
        {"", "", -1},
        {std::string(300, 'x') + "\n", std::string(255, 'x'), 0},
    };
    for (const PwCase &c : cases) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        ASSERT_EQ(write(fds[1], c.input.data(), c.input.size()), static_cast<ssize_t>(c.input.size()));
        close(fds[1]);
        ChildResult r = runChild([&] {
            char buffer[256] = {};
            int rc = zrkcli::InputPassword(buffer, fds[0]);
            std::fprintf(stderr, "%s", buffer);
            return rc == 0 ? 0 : 1;
        });
        close(fds[0]);
        EXPECT_EQ(r.out, "Password: \n");
        EXPECT_EQ(r.err, c.expected);
        EXPECT_EQ(r.exitCode, c.rc == 0 ? 0 : 1);
    }
}

// On a terminal: the line is read and echo is back on afterwards; a
// terminal that goes away ends the entry instead of blocking.
TEST(CliArgs, PasswordEntryOnATerminal) {
    for (bool hangUp : {false, true}) {
        int master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave, 0);
        const std::string typed = hangUp ? "" : "secret\r";
        ASSERT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
        if (hangUp) close(master);
        ChildResult r = runChild([&] {
            char buffer[256] = {};
            int rc = zrkcli::InputPassword(buffer, slave);
            struct termios after {};
            const int echo = tcgetattr(slave, &after) == 0 && (after.c_lflag & ECHO) ? 1 : 0;
            std::fprintf(stderr, "%s|%d", buffer, echo);
            return rc == 0 ? 0 : 1;
        });
        if (hangUp) {
            // Nothing arrives: the entry ends with nothing read.
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.err.substr(0, 1), "|");
        } else {
            EXPECT_EQ(r.exitCode, 0);
            EXPECT_EQ(r.err, "secret|1");
            close(master);
        }
        close(slave);
    }
}

// A stand-in command that asks for a larger per-pair area until it gets it.
TEST(CliFrame, PairAreaRetry) {
    ReturnInfo ri{};
    zrkcli::PairArea area;
    int calls = 0;
    const size_t need = ZRK_PAIR_AREA_SIZE(3);
    int rc = zrkcli::CallWithPairArea(ri, area, [&] {
        ++calls;
        if (ri.pPairArea == nullptr || ri.uiPairAreaLength < need) {
            ri.iReturnClass = ZRKC_CLASS_PARAMETER;
            ri.uiMessageNo = 1015;
            ri.uiNeedPairAreaSize = static_cast<uint32_t>(need);
            return 1;
        }
        EXPECT_EQ(ri.iReturnClass, 0);   // cleared before the second call
        const auto *bytes = static_cast<const unsigned char *>(ri.pPairArea);
        for (size_t i = 0; i < need; ++i) EXPECT_EQ(bytes[i], 0);
        return 0;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(ri.uiPairAreaLength, need);
    EXPECT_EQ(area.Size(), need);
}

TEST(CliFrame, PairAreaRetryStopsWhenNothingIsGained) {
    ReturnInfo ri{};
    zrkcli::PairArea area;
    int calls = 0;
    int rc = zrkcli::CallWithPairArea(ri, area, [&] {
        ++calls;
        ri.iReturnClass = ZRKC_CLASS_PARAMETER;
        ri.uiMessageNo = 1015;
        ri.uiNeedPairAreaSize = 100;
        return 1;
    });
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(calls, 2);
}

TEST(CliFrame, OutputAreaRetryKeepsOrClearsTheReturnInfo) {
    for (auto mode : {zrkcli::OutputRetry::ClearAll, zrkcli::OutputRetry::KeepPairArea}) {
        ReturnInfo ri{};
        char pairs[8] = {};
        ri.pPairArea = pairs;
        ri.uiPairAreaLength = sizeof(pairs);
        zrkcli::PairArea out;
        std::vector<uint32_t> sizes;
        int rc = zrkcli::CallWithOutputArea(ri, out, mode, [&](void *buffer, uint32_t size) {
            sizes.push_back(size);
            if (size < 64) {
                ri.iReturnClass = ZRKC_CLASS_PARAMETER;
                ri.uiMessageNo = 1001;
                ri.uiNeedOutputSize = 64;
                return 1;
            }
            EXPECT_NE(buffer, nullptr);
            return 0;
        });
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(sizes, (std::vector<uint32_t>{0, 64}));
        if (mode == zrkcli::OutputRetry::KeepPairArea) {
            EXPECT_EQ(ri.pPairArea, pairs);
        } else {
            EXPECT_EQ(ri.pPairArea, nullptr);
        }
    }
}

TEST(CliFrame, MemoryLineExitsThree) {
    ChildResult direct = runChild([] { return zrkcli::OutOfMemory(); });
    EXPECT_EQ(direct.exitCode, 3);
    EXPECT_EQ(direct.out, "");
    EXPECT_EQ(direct.err, "ZRKC1106 ERROR Insufficient memory.\n");
}

std::vector<unsigned char> PairAreaOf(const std::vector<PairResult> &entries) {
    std::vector<unsigned char> area(ZRK_PAIR_AREA_SIZE(entries.size()));
    const uint32_t count = static_cast<uint32_t>(entries.size());
    std::memcpy(area.data(), &count, 4);
    for (size_t i = 0; i < entries.size(); ++i) {
        std::memcpy(area.data() + 4 + i * sizeof(PairResult), &entries[i], sizeof(PairResult));
    }
    return area;
}

PairResult Entry(const char *src, const char *dst, int32_t cls, uint32_t no, const char *msg) {
    PairResult e{};
    std::snprintf(e.caSource, sizeof(e.caSource), "%s", src);
    std::snprintf(e.caTarget, sizeof(e.caTarget), "%s", dst);
    e.iReturnClass = cls;
    e.uiMessageNo = no;
    std::snprintf(e.caMessage, sizeof(e.caMessage), "%s", msg);
    return e;
}

TEST(CliFrame, PairErrorLinesStripOnlyTheFinalNewline) {
    auto area = PairAreaOf({
        Entry("s1", "t1", 0, 0, ""),
        Entry("s2", "t2", 6, 1300, "ZRKC1300 ERROR one\n"),
        Entry("s3", "t3", 3, 1004, "ZRKC1004 ERROR two\nlines\n\n"),
        Entry("s4", "t4", 3, 1004, "ZRKC1004 ERROR none"),
    });
    ReturnInfo ri{};
    ri.iReturnClass = ZRKC_CLASS_GROUP_LINES;
    ri.uiMessageNo = 1804;
    ri.pPairArea = area.data();
    ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
    EXPECT_TRUE(zrkcli::IsRunFailure(ri, zrkcli::RunKind::GroupFile));
    EXPECT_FALSE(zrkcli::IsRunFailure(ri, zrkcli::RunKind::SessionList));
    ChildResult r = runChild([&] {
        zrkcli::PrintPairErrors(ri, zrkcli::RunKind::GroupFile, [](const PairResult &e) {
            return std::string("Source=(") + e.caSource + "). Target=(" + e.caTarget + ").";
        });
        zrkcli::PrintPairErrors(ri, zrkcli::RunKind::SessionList, [](const PairResult &e) {
            return std::string("ID=(") + e.caSource + ").";
        });
        return 0;
    });
    const std::string g = "ZRKC1804 ERROR Error occurred with copy operation described in group file. ";
    const std::string s = "ZRKC1834 ERROR Error occurred with copy operation described in session list file. ";
    EXPECT_EQ(r.err,
              g + "Source=(s2). Target=(t2). Error message=(ZRKC1300 ERROR one).\n" +
              g + "Source=(s3). Target=(t3). Error message=(ZRKC1004 ERROR two\nlines\n).\n" +
              g + "Source=(s4). Target=(t4). Error message=(ZRKC1004 ERROR none).\n" +
              s + "ID=(s2). Error message=(ZRKC1300 ERROR one).\n" +
              s + "ID=(s3). Error message=(ZRKC1004 ERROR two\nlines\n).\n" +
              s + "ID=(s4). Error message=(ZRKC1004 ERROR none).\n");
}

TEST(CliFrame, PairAreaCountIsBoundedByItsLength) {
    auto area = PairAreaOf({Entry("a", "b", 1, 1, "x\n")});
    const uint32_t lie = 1000;
    std::memcpy(area.data(), &lie, 4);
    ReturnInfo ri{};
    ri.pPairArea = area.data();
    ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
    EXPECT_EQ(zrkcli::PairEntryCount(ri), 1u);
    EXPECT_EQ(zrkcli::PairEntry(ri, 1), nullptr);
    ri.uiPairAreaLength = 3;
    EXPECT_EQ(zrkcli::PairEntryCount(ri), 0u);
}

}  // namespace
}  // namespace zrktest
