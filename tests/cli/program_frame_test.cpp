// The refusal decisions of the program frame, in process: command lines
// through the real parser and the frame's Refusal, against a small program
// of the test's own (the order of the checks, variants, each kind of row)
// and against the tables of the real programs (which refusal wins where
// several apply, and models of the option combinations each accepts). The
// program tests run the same programs end to end.
#include "zrkcprogram.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

using namespace zrkcli;

// What the frame decides for a command line: the refusal word ("" when it
// is accepted) and the rule that serves it.
struct Decision {
    std::string sWord;
    const FormRule *pRule = nullptr;
};

// The command line through the parser: 0, or -1 with the refused word.
int Parse(const std::vector<std::string> &args, CommandParam *param, std::string *refused) {
    std::vector<const char *> argv{"program"};
    for (const std::string &a : args) argv.push_back(a.c_str());
    return ParseParam(static_cast<int>(argv.size()), argv.data(), param, refused);
}

Decision Decide(const ProgramTables &program, const std::vector<std::string> &args) {
    CommandParam param;
    std::string refused;
    if (Parse(args, &param, &refused) != 0) return {refused, nullptr};
    Decision decision;
    const char *word = Refusal(program, param, args[0].c_str(), &decision.pRule);
    if (word != nullptr) decision.sWord = word;
    return decision;
}

std::string Line(const std::vector<std::string> &args) {
    std::string line;
    for (const std::string &a : args) line += a + " ";
    return line;
}

// One command line and the word it is refused with ("" accepted).
struct Case {
    std::vector<std::string> args;
    const char *pWord;
};

void ExpectWords(const ProgramTables &program, const std::vector<Case> &cases) {
    for (const Case &c : cases) {
        SCOPED_TRACE(Line(c.args));
        const Decision d = Decide(program, c.args);
        EXPECT_EQ(d.sWord, c.pWord);
        EXPECT_EQ(d.pRule != nullptr, d.sWord.empty());
    }
}

// ---- The frame, on a program of the test's own -------------------------------

int Accept(ProgramRun &) { return 0; }
const char *CheckNumber(const CommandParam &p) { return p.uiNumber > 9 ? "check" : nullptr; }

constexpr OptionRow kBefore[] = {AtLeastOne(Opt(kOptF), "before")};
constexpr OptionRow kAfter[] = {AtMostOne(Opt(kOptS | kOptV), "after 1"), AtMostOne(Opt(kOptS | kOptC), "after 2")};

constexpr FormRule kTestRules[] = {
    {.uiFunc = kFuncStop, .iForm = kFormPair, .before = kBefore,
     .permitted = Opt(kOptF | kOptS | kOptV | kOptC | kOptNum), .after = kAfter, .pCheck = CheckNumber,
     .pHandler = Accept},
    {.uiFunc = kFuncAlias, .variant = Opt(kOptL), .iForm = kFormNone, .permitted = Opt(kOptL), .pHandler = Accept},
    {.uiFunc = kFuncAlias, .variant = Opt(kOptM), .iForm = kFormPair, .permitted = Opt(kOptM), .pHandler = Accept},
    {.uiFunc = kFuncRvzBuff, .iForm = kFormVolume, .permitted = Opt(kOptV), .pHandler = Accept},
    {.uiFunc = kFuncRvzBuff, .variant = Opt(kOptM), .iForm = kFormVolume, .permitted = Opt(kOptM),
     .pHandler = Accept},
    {.uiFunc = kFuncIpLogin, .iForm = kFormVolume, .pHandler = Accept},
};
constexpr SubcommandWords kTestWords[] = {
    {kFuncAlias, "no variant", nullptr},
    {kFuncIpLogin, nullptr, "no form"},
};
const ProgramTables kTestProgram = {.pUsage = "", .rules = kTestRules, .words = kTestWords};

// The first check that applies wins, in the order of zrkcprogram.h.
TEST(ProgramFrame, RefusalsInTheirOrder) {
    ExpectWords(kTestProgram, {
        {{"stop", "-f", "-f", "a", "b"}, "-f"},                           // the parser first
        {{"start", "-x", "a", "b"}, "-x"},
        {{"start", "a", "b"}, "start"},                                   // not served: the word as typed
        {{"stop", "a"}, "Volume specification"},                          // no rule for the form
        {{"iplogin", "a", "b"}, "no form"},                               // the subcommand's own word
        {{"stop", "-s", "-v", "-csv", "-num", "99", "a", "b"}, "before"}, // before rows before the mask
        {{"stop", "-f", "-s", "-v", "-csv", "-num", "99", "a", "b"}, "Non-permissible option"},
        {{"stop", "-f", "-s", "-v", "-c", "-num", "99", "a", "b"}, "after 1"}, // after rows in order
        {{"stop", "-f", "-s", "-c", "-num", "99", "a", "b"}, "after 2"},
        {{"stop", "-f", "-s", "-num", "99", "a", "b"}, "check"},          // the value check last
        {{"stop", "-f", "-s", "-num", "9", "a", "b"}, ""},
    });
}

// A variant is the option of the subcommand's first rule, in table order,
// that the command line gives; without one the rules without a variant
// serve, or the subcommand's word refuses it.
TEST(ProgramFrame, Variants) {
    struct VariantCase {
        std::vector<std::string> args;
        const char *pWord;
        int iRule;  // the index of the serving rule in kTestRules, -1 none
    };
    const VariantCase cases[] = {
        {{"alias"}, "no variant", -1},
        {{"alias", "a", "b"}, "no variant", -1},      // before the operand form
        {{"alias", "-l"}, "", 1},
        {{"alias", "-m", "a", "b"}, "", 2},
        {{"alias", "-m", "-l"}, "Non-permissible option", -1},  // -l's rule comes first
        {{"alias", "-m", "-l", "a", "b"}, "Volume specification", -1},
        {{"rvzbuff", "v"}, "", 3},
        {{"rvzbuff", "-v", "v"}, "", 3},
        {{"rvzbuff", "-m", "v"}, "", 4},
        {{"rvzbuff", "-m", "-v", "v"}, "Non-permissible option", -1},
        {{"rvzbuff", "-m", "a", "b"}, "Volume specification", -1},
    };
    for (const VariantCase &c : cases) {
        SCOPED_TRACE(Line(c.args));
        const Decision d = Decide(kTestProgram, c.args);
        EXPECT_EQ(d.sWord, c.pWord);
        EXPECT_EQ(d.pRule, c.iRule < 0 ? nullptr : &kTestRules[c.iRule]);
    }
}

// Each kind of row on the options given, from both tables.
TEST(ProgramFrame, RowKinds) {
    struct RowCase {
        OptionRow row;
        std::vector<std::string> options;
        bool bBreaks;
    };
    const OptionRow atMost = AtMostOne(Opt(kOptVz | kOptKzp) | Opt2(kOpt2Odx), "");
    const OptionRow exactly = ExactlyOne(Opt(kOptSet | kOptRelease), "");
    const OptionRow atLeast = AtLeastOne(Opt(kOptNum) | Opt2(kOpt2Q), "");
    const OptionRow needs = Requires(Opt(kOptAutoSplit | kOptManualSplit), Opt(kOptSync) | Opt2(kOpt2Q), "");
    const OptionRow excludes = Excludes(Opt(kOptG) | Opt2(kOpt2Q), Opt(kOptV) | Opt2(kOpt2Odx), "");
    const RowCase cases[] = {
        {atMost, {}, false},
        {atMost, {"-odx"}, false},
        {atMost, {"-vz", "-csv", "-b"}, false},
        {atMost, {"-vz", "-odx"}, true},
        {atMost, {"-vz", "-kzp", "-odx"}, true},
        {exactly, {}, true},
        {exactly, {"-set"}, false},
        {exactly, {"-release", "-f"}, false},
        {exactly, {"-set", "-release"}, true},
        {atLeast, {}, true},
        {atLeast, {"-f"}, true},
        {atLeast, {"-q"}, false},
        {atLeast, {"-num", "1", "-q"}, false},
        {needs, {}, false},
        {needs, {"-sy"}, false},
        {needs, {"-ms"}, true},
        {needs, {"-as", "-ms", "-csv"}, true},
        {needs, {"-as", "-sy"}, false},
        {needs, {"-ms", "-q"}, false},
        {excludes, {}, false},
        {excludes, {"-g"}, false},
        {excludes, {"-v", "-odx"}, false},
        {excludes, {"-q", "-odx"}, true},
        {excludes, {"-g", "-v"}, true},
        {excludes, {"-g", "-q", "-csv"}, false},
    };
    for (const RowCase &c : cases) {
        std::vector<std::string> args{"query"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        SCOPED_TRACE(static_cast<int>(c.row.eKind));
        SCOPED_TRACE(Line(args));
        CommandParam param;
        std::string refused;
        ASSERT_EQ(Parse(args, &param, &refused), 0);
        EXPECT_EQ(Breaks(c.row, param), c.bBreaks);
    }
}

// ---- The tables of the real programs ------------------------------------------

struct Program {
    const char *pName;
    const ProgramTables *pTables;
};
const Program kPrograms[] = {
    {"zrkckzp", &kKzpProgram}, {"zrkcqkzp", &kQuickKzpProgram}, {"zrkcskzp", &kSnapKzpProgram},
    {"zrkcinq", &kInqProgram}, {"zrkcvz", &kVzProgram},         {"zrkccopy", &kCopyProgram},
};

// Every rule can serve: it has a handler, no earlier rule takes its place,
// its variant is an option it permits, and a subcommand whose rules all have
// a variant has a word for a command line that names none.
TEST(ProgramTables, EveryRuleCanServe) {
    for (const Program &p : kPrograms) {
        const std::span<const FormRule> rules = p.pTables->rules;
        for (size_t i = 0; i < rules.size(); ++i) {
            const FormRule &rule = rules[i];
            SCOPED_TRACE(std::string(p.pName) + " rule " + std::to_string(i));
            EXPECT_NE(rule.pHandler, nullptr);
            EXPECT_EQ(rule.variant | rule.permitted, rule.permitted);
            bool plain = false;
            for (size_t j = 0; j < rules.size(); ++j) {
                const FormRule &other = rules[j];
                if (other.uiFunc != rule.uiFunc) continue;
                plain = plain || other.variant.Empty();
                if (j < i) {
                    EXPECT_FALSE(other.variant == rule.variant && other.iForm == rule.iForm) << j;
                }
            }
            if (!plain) {
                bool worded = false;
                for (const SubcommandWords &w : p.pTables->words) {
                    worded = worded || (w.uiFunc == rule.uiFunc && w.pNoVariant != nullptr);
                }
                EXPECT_TRUE(worded);
            }
        }
    }
}

// Where several refusals apply, the first in the program's order wins.
TEST(ProgramTables, FirstRefusalWins) {
    const std::string box(40, 'B');
    ExpectWords(kKzpProgram, {
        {{"stop", "-odx", "-c", "a", "b"}, "-f is necessary"},
        {{"stop", "-f", "-c", "-sl", "list"}, "Non-permissible option"},
        {{"stop", "-f", "-p", "lb", "-sl", "list"}, ""},
    });
    ExpectWords(kSnapKzpProgram, {
        {{"start", "-e", "-c", "-odx", "-gf", "group"}, "-e, -c"},
        {{"stop", "-e", "-f", "-csv", "-gf", "group"}, "-e, -f"},
        {{"start", "-csv", "-c", "a"}, "-e is necessary"},
        {{"start", "-e", "-c", "a", "b"}, "Non-permissible option"},
        {{"start", "-e", "-gf", "group"}, ""},
    });
    ExpectWords(kVzProgram, {
        {{"chmod", "-sy", "-gf", "group"}, "Volume specification"},
        {{"start", "-sync", "-cs", "-f", "a", "b"}, "Non-permissible option"},
        {{"suspend", "-f", "-c", "-notrans", "-stacktimer", "a", "b"}, "-f"},
        {{"suspend", "-f", "-notrans", "-stacktimer", "a", "b"}, "-notrans -c"},  // -f is alone in its table
        {{"suspend", "-ct", "1", "-notrans", "-stacktimer", "a", "b"}, "-count -interval"},
        {{"suspend", "-notrans", "-stacktimer", "a", "b"}, "-notrans -c"},
        {{"suspend", "-c", "-notrans", "-stacktimer", "-gf", "group"}, "-stacktimer"},
        {{"suspend", "-f", "-remote_vz", "-sl", "list"}, ""},
        {{"resume", "-st", "-sy", "-remain", "a", "b"}, "option error"},
        {{"resume", "-rcv", "-cs", "-remain", "-gf", "group"}, ""},
    });
    ExpectWords(kCopyProgram, {
        {{"alias", "-csv", "a", "b"}, "Invalid option"},
        {{"alias", "-a", "-d", "5"}, "Non-permissible option"},   // -d's rules come first
        {{"alias", "-d", "x", "-csv"}, "Non-permissible option"},
        {{"alias", "-d", "x"}, "Invalid ID"},
        {{"iprouteset", "-csv", "a"}, "ip_address and user_id is necessary"},
        {{"copyinhibit", "-set", "-release", "-csv", "v"}, "Non-permissible option"},
        {{"query", "-g", "-vz", "-kzp", "v"}, "-g"},
        {{"query", "-vz", "-kzp", "-skzp", "v"}, "-vz, -kzp, -odx"},
        {{"query", "-s", "-v", "-skzp", "-p", "sa", "a", "b"}, "-s -v"},
        {{"query", "-g", "-p", "sa", "-odx", "-gf", "group"}, "-g -p"},
        {{"query", "-v", "-kzp", "-tfop", "-b", "v"}, ""},
        {{"rvzbuff", "-m", "-num", "70000", "-send", "-recv", "v"}, "-send, -recv"},
        {{"rvzbuff", "-m", "-num", "70000", "v"}, "option error"},
        {{"copypriority", "-q", "-local", "low", "-box", box, "v"}, "-q, -local, -direct, -remote"},
        {{"copypriority", "-direct", "1", "-remote", "2", "-csv", "v"}, "-direct, -remote"},
        {{"copypriority", "-local", "low", "-box", box, "-csv", "v"}, "-local, -box , -csv"},
        {{"copypriority", "-q", "-csv", "-b", "v"}, "Volume specification"},
    });
}

// The options of a subset (bit i: names[i]) as a command line.
std::vector<std::string> Options(const std::vector<std::vector<std::string>> &names, unsigned subset) {
    std::vector<std::string> args;
    for (size_t i = 0; i < names.size(); ++i) {
        if ((subset >> i & 1u) != 0) args.insert(args.end(), names[i].begin(), names[i].end());
    }
    return args;
}

// Each subset of a subcommand's options is accepted exactly when a model
// of the combinations it takes, written apart from the tables, says so.
struct Model {
    const char *pName;
    const ProgramTables *pProgram;
    std::vector<std::string> head;                  // subcommand and fixed options
    std::vector<std::vector<std::string>> options;  // the options combined
    std::vector<std::string> operands;
    bool (*pAccepts)(unsigned subset);              // bit i: options[i] given
};

constexpr bool Bit(unsigned subset, unsigned i) { return (subset >> i & 1u) != 0; }
constexpr int Count(unsigned subset, std::initializer_list<unsigned> bits) {
    int n = 0;
    for (unsigned b : bits) n += Bit(subset, b) ? 1 : 0;
    return n;
}

TEST(ProgramTables, CombinationsAcceptedAsModelled) {
    const std::string box(40, 'B');
    // zrkcvz start: -sy 0, -st 1, -cs 2, -as 3, -ms 4, -ar 5, -mr 6. One
    // transfer mode at most; a split mode only with -sy, one at most; a
    // recovery mode only with a transfer mode, one at most.
    const Model start{"vz start", &kVzProgram, {"start"},
                      {{"-sy"}, {"-st"}, {"-cs"}, {"-as"}, {"-ms"}, {"-ar"}, {"-mr"}}, {"a", "b"},
                      [](unsigned s) {
                          return Count(s, {0, 1, 2}) <= 1 && Count(s, {3, 4}) <= (Bit(s, 0) ? 1 : 0) &&
                                 Count(s, {5, 6}) <= (Count(s, {0, 1, 2}) == 1 ? 1 : 0);
                      }};
    // zrkcvz chmod: -sy 0, -st 1, -cs 2, -th 3, -as 4, -ms 5, -ar 6, -mr 7.
    // One transfer mode, one recovery mode, and one split mode with -sy only.
    const Model chmod{"vz chmod", &kVzProgram, {"chmod"},
                      {{"-sy"}, {"-st"}, {"-cs"}, {"-th"}, {"-as"}, {"-ms"}, {"-ar"}, {"-mr"}}, {"a", "b"},
                      [](unsigned s) {
                          return Count(s, {0, 1, 2, 3}) == 1 && Count(s, {6, 7}) == 1 &&
                                 Count(s, {4, 5}) == (Bit(s, 0) ? 1 : 0);
                      }};
    // zrkcvz resume: -rcv 0, -sy 1, -st 2, -cs 3, -back 4. A transfer mode
    // only with -rcv, one at most.
    const Model resume{"vz resume", &kVzProgram, {"resume"},
                       {{"-rcv"}, {"-sy"}, {"-st"}, {"-cs"}, {"-back"}}, {"a", "b"},
                       [](unsigned s) { return Count(s, {1, 2, 3}) <= (Bit(s, 0) ? 1 : 0); }};
    // zrkcvz suspend: -f 0, -ct 1, -iv 2, -c 3, -notrans 4, -stacktimer 5,
    // -back 6. -f alone; -ct and -iv together; -notrans with -c; the stack
    // timer alone.
    const Model suspend{"vz suspend", &kVzProgram, {"suspend"},
                        {{"-f"}, {"-ct", "1"}, {"-iv", "1"}, {"-c"}, {"-notrans"}, {"-stacktimer"}, {"-back"}},
                        {"a", "b"},
                        [](unsigned s) {
                            return !(Bit(s, 0) && Count(s, {1, 2, 3}) > 0) && Bit(s, 1) == Bit(s, 2) &&
                                   (!Bit(s, 4) || Bit(s, 3)) && !(Bit(s, 5) && Count(s, {0, 1, 2, 3, 4}) > 0);
                        }};
    // zrkccopy copypriority: -q 0, -local 1, -direct 2, -remote 3, -box 4,
    // -csv 5. One kind; -q without -box; -local without -box and -csv;
    // -direct and -remote with -box and without -csv.
    const Model priority{"copy copypriority", &kCopyProgram, {"copypriority"},
                         {{"-q"}, {"-local", "low"}, {"-direct", "1"}, {"-remote", "1"}, {"-box", box}, {"-csv"}},
                         {"v"},
                         [](unsigned s) {
                             if (Count(s, {0, 1, 2, 3}) != 1) return false;
                             if (Bit(s, 0)) return !Bit(s, 4);
                             if (Bit(s, 1)) return !Bit(s, 4) && !Bit(s, 5);
                             return Bit(s, 4) && !Bit(s, 5);
                         }};
    // zrkccopy query of a volume: -g 0, -v 1, -vz 2, -kzp 3, -odx 4, -skzp 5,
    // -csv 6. -g without -v, -vz and -kzp; one session kind; -skzp with
    // neither -vz nor -odx.
    const Model query{"copy query", &kCopyProgram, {"query"},
                      {{"-g"}, {"-v"}, {"-vz"}, {"-kzp"}, {"-odx"}, {"-skzp"}, {"-csv"}}, {"v"},
                      [](unsigned s) {
                          return !(Bit(s, 0) && Count(s, {1, 2, 3}) > 0) && Count(s, {2, 3, 4}) <= 1 &&
                                 !(Bit(s, 5) && Count(s, {2, 4}) > 0);
                      }};
    for (const Model *m : {&start, &chmod, &resume, &suspend, &priority, &query}) {
        SCOPED_TRACE(m->pName);
        int accepted = 0;
        for (unsigned s = 0; s < (1u << m->options.size()); ++s) {
            std::vector<std::string> args = m->head;
            const std::vector<std::string> options = Options(m->options, s);
            args.insert(args.end(), options.begin(), options.end());
            args.insert(args.end(), m->operands.begin(), m->operands.end());
            SCOPED_TRACE(Line(args));
            const Decision d = Decide(*m->pProgram, args);
            EXPECT_EQ(d.sWord.empty(), m->pAccepts(s)) << d.sWord;
            accepted += d.sWord.empty() ? 1 : 0;
        }
        EXPECT_GT(accepted, 0);
    }
}

// The rule that serves an accepted command line: its variant and whether it
// prints a result.
TEST(ProgramTables, AcceptedLinesFindTheirRule) {
    struct RuleCase {
        const ProgramTables *pProgram;
        std::vector<std::string> args;
        OptionSet variant;
        int32_t iForm;
        bool bListed;
    };
    const RuleCase cases[] = {
        {&kCopyProgram, {"copypriority", "-q", "-csv", "v"}, Opt2(kOpt2Q), kFormVolume, true},
        {&kCopyProgram, {"copypriority", "-local", "low", "v"}, {}, kFormVolume, false},
        {&kCopyProgram, {"alias", "-l"}, Opt(kOptL), kFormNone, true},
        {&kCopyProgram, {"alias", "-d", "5", "user"}, Opt(kOptD), kFormPair, false},
        {&kCopyProgram, {"alias", "-d", "5"}, Opt(kOptD), kFormVolume, false},
        {&kCopyProgram, {"alias", "-a", "-id", std::string(40, 'B')}, Opt2(kOpt2A), kFormVolume, false},
        {&kCopyProgram, {"rvzbuff", "-num", "3", "v"}, {}, kFormVolume, true},
        {&kCopyProgram, {"rvzbuff", "-m", "-num", "3", "-send", "v"}, Opt(kOptM), kFormVolume, false},
        {&kCopyProgram, {"query", "-s", "a", "b"}, {}, kFormPair, true},
        {&kVzProgram, {"suspendstatus", "-gf", "group"}, {}, kFormGroupFile, true},
        {&kVzProgram, {"chmod", "-st", "-ar", "-sl", "list"}, {}, kFormSessionList, false},
        {&kSnapKzpProgram, {"sdvinfo", "-csv", "-gf", "group"}, {}, kFormGroupFile, true},
        {&kSnapKzpProgram, {"sdvinit", "-gf", "group"}, {}, kFormGroupFile, false},
        {&kInqProgram, {"device", "v"}, {}, kFormVolume, true},
    };
    for (const RuleCase &c : cases) {
        SCOPED_TRACE(Line(c.args));
        const Decision d = Decide(*c.pProgram, c.args);
        ASSERT_EQ(d.sWord, "");
        ASSERT_NE(d.pRule, nullptr);
        EXPECT_TRUE(d.pRule->variant == c.variant);
        EXPECT_EQ(d.pRule->iForm, c.iForm);
        EXPECT_EQ(d.pRule->pList != nullptr, c.bListed);
    }
}

}  // namespace
