// zrkcprogram.h - the one frame of the command programs that call the command
// layer (zrkckzp, zrkcqkzp, zrkcskzp, zrkcinq, zrkcvz, zrkccopy). Each
// program is data: its usage text, one rule per subcommand, variant and
// operand form (the rows of options it checks and the handler that calls its
// command), the refusal words of its subcommands and the naming of a failed
// group-file entry. The frame first opens /dev/null on any closed standard
// descriptor (OpenStandardDescriptors), then parses, refuses, calls the
// rule's handler and reports. A program's main is its tables handed to
// RunCommandProgram (zrkcmain.cpp).
//
// Variants: a rule with a variant option serves a command line that gives
// that option. The variant of a command line is the variant option of the
// subcommand's first rule, in table order, that it gives; with none, the
// rules without a variant serve.
//
// Order of the refusals (each prints the ZRKC0100 line and the usage text and
// exits kExitUsage), the first that applies:
//   1. the parser;
//   2. a subcommand the program does not serve (the word as typed);
//   3. no variant option given to a subcommand whose rules all have one
//      (the subcommand's pNoVariant word);
//   4. an operand form without a rule for the subcommand and variant (the
//      subcommand's pNoForm word, else "Volume specification");
//   5. the rule's `before` rows, in order;
//   6. an option the rule does not permit ("Non-permissible option");
//   7. the rule's `after` rows, in order;
//   8. the rule's check of values (pCheck).
//
// Exit codes: 0 the command succeeded (result 0, or 1 in a program without
// warnings: a warning prints nothing); 1 a warning (bWarnings: result 1, its
// message printed); 2 refused; 3 out of memory; 4 the command failed (-1):
// one ZRKC1804/ZRKC1834 line per failed entry of a group or session-list
// run, or the library's message. A rule with a lister prints its output
// after any result but -1, and after a group run with failed entries, whose
// rows then carry the failures (exit 4); otherwise the lister gives the exit
// code.
#pragma once

#include "zrkcargs.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace zrkcli {

// ---- Rows of options --------------------------------------------------------

// The refusal word of a combination of options that no row of the
// program's own permits (zrkcvz, zrkccopy).
inline constexpr const char *kWordOptionError = "option error";

// What a row of options demands of a command line.
enum class RowKind : uint8_t {
    AtMostOne,   // no two options of the set
    ExactlyOne,  // one option of the set, no more
    Requires,    // with an option of `when` given (always, when empty), one of the set
    Excludes,    // with an option of `when` given, none of the set
};

// One row: a command line that breaks it is refused with its word.
struct OptionRow {
    RowKind eKind;       // what the row demands
    OptionSet when;      // Requires, Excludes: the options that bring the row into play
    OptionSet set;       // the options the row counts
    const char *pWord;   // the refusal word
};

constexpr OptionRow AtMostOne(OptionSet set, const char *word) { return {RowKind::AtMostOne, {}, set, word}; }
constexpr OptionRow ExactlyOne(OptionSet set, const char *word) { return {RowKind::ExactlyOne, {}, set, word}; }
constexpr OptionRow AtLeastOne(OptionSet set, const char *word) { return {RowKind::Requires, {}, set, word}; }
constexpr OptionRow Requires(OptionSet when, OptionSet set, const char *word) {
    return {RowKind::Requires, when, set, word};
}
constexpr OptionRow Excludes(OptionSet when, OptionSet set, const char *word) {
    return {RowKind::Excludes, when, set, word};
}

// Whether the command line breaks the row.
bool Breaks(const OptionRow &row, const CommandParam &param);

// ---- Rules ------------------------------------------------------------------

// One run of a rule: what its handler calls the command with, and the areas
// the command fills (the run owns them).
struct ProgramRun {
    CommandParam &rParam;  // the parse record
    ReturnInfo &rRi;       // the command's result
    uint32_t uiWord;       // the command's option word
    PairArea area;         // the per-pair result area
    PairArea output;       // the output area of a query

    char *Source() const { return rParam.caOperand1; }
    // The second operand of a pair, else null.
    char *Target() const { return rParam.iForm == kFormPair ? rParam.caOperand2 : nullptr; }
    int Word() const { return static_cast<int>(uiWord); }
};

// Calls the rule's command: its result (0, 1 or -1), or -2 after ZRKC1106.
using Handler = int (*)(ProgramRun &run);
// Prints the output of a run; returns the exit code. failed: a group run
// with failed entries.
using Lister = int (*)(ProgramRun &run, bool failed);
// The refusal word of the values of a command line, or null.
using ValueCheck = const char *(*)(const CommandParam &param);

// One subcommand, in one variant, in one operand form.
struct FormRule {
    uint32_t uiFunc = 0;                  // the subcommand (kFunc...)
    OptionSet variant{};                  // the option that names the rule's variant; empty: none
    int32_t iForm = 0;                    // the operand form (kForm...)
    std::span<const OptionRow> before{};  // rows checked before the permitted options
    OptionSet permitted{};                // the options the rule permits
    std::span<const OptionRow> after{};   // rows checked after the permitted options
    ValueCheck pCheck = nullptr;          // the last check, of values; null: none
    Handler pHandler = nullptr;           // calls the command
    Lister pList = nullptr;               // prints the output; null: the rule has none
};

// The refusal words of a subcommand where they are not the frame's own.
struct SubcommandWords {
    uint32_t uiFunc;           // the subcommand
    const char *pNoVariant;    // its rules all have a variant and none is given
    const char *pNoForm;       // no rule has the operand form; null: "Volume specification"
};

// One program.
struct ProgramTables {
    const char *pUsage = nullptr;              // the usage text
    std::span<const FormRule> rules{};         // searched in order
    std::span<const SubcommandWords> words{};  // the subcommands with words of their own
    // The option word of an accepted command line; null: uiApiFlag.
    uint32_t (*pWord)(const CommandParam &param) = nullptr;
    // Registers the layouts its listers print; null: none.
    void (*pLayouts)() = nullptr;
    // The naming text of a failed group-file entry (ZRKC1804); null: its
    // pair, "Source=(s). Target=(t).".
    std::string (*pNaming)(const CommandParam &param, const PairResult &entry) = nullptr;
    bool bWarnings = false;                    // result 1: its message and exit kExitWarning
};

// The whole main of a program; returns its exit code.
int RunCommandProgram(int argc, char **argv, const ProgramTables &program);

// The refusal word of a parsed command line (typed: its subcommand word as
// given), or null with *rule the rule that serves it.
const char *Refusal(const ProgramTables &program, const CommandParam &param, const char *typed,
                    const FormRule **rule);

// ---- Handlers and listers the programs share ---------------------------------

// A pair command of the command layer (start, stop, restore, ...).
using PairCommand = int (*)(char *source, char *target, int option, ReturnInfo *ri);

// The pair command on the run's operands; group files retried on a larger
// per-pair area.
int CallPairCommand(ProgramRun &run, PairCommand command);
template <PairCommand command>
int CallPair(ProgramRun &run) {
    return CallPairCommand(run, command);
}

// zrkc_execcli_sessionlist of the session-list file with cliType, on a
// per-pair area for every session the file may hold.
int CallSessionList(ProgramRun &run, int cliType);

// A query that grows its per-pair area and its output area on demand,
// starting from neither.
int CallGrowing(ProgramRun &run, const std::function<int(void *, uint32_t)> &call);

// A fixed-size record the command fills: a cleared output area of its size.
template <typename Record, typename Command>
int CallIntoRecord(ProgramRun &run, Command command) {
    if (!run.output.Allocate(sizeof(Record))) {
        OutOfMemory();
        return -2;
    }
    return command(run.output.Data(), static_cast<uint32_t>(sizeof(Record)));
}

// "Volume=(v). " of a failed group-file entry named by its volume.
std::string VolumeNaming(const PairResult &entry);

// Prints the output area through its layout: exit kExitError when failed,
// else list_out's code.
int ListResult(ProgramRun &run, bool failed);

// ---- The programs on the frame (each in its own file) ----------------------------
extern const ProgramTables kKzpProgram;       // zrkckzp
extern const ProgramTables kQuickKzpProgram;  // zrkcqkzp
extern const ProgramTables kSnapKzpProgram;   // zrkcskzp
extern const ProgramTables kInqProgram;       // zrkcinq
extern const ProgramTables kVzProgram;        // zrkcvz
extern const ProgramTables kCopyProgram;      // zrkccopy

}  // namespace zrkcli
