// zrkcargs.h - the command line of the copy-control programs: the parse
// record, the subcommand and option tables shared by the whole family, the
// parser, the password prompt, the usage text, and the frame every program
// builds on them (the permitted-option check, the retry of a call whose
// result area was too small, the per-pair error lines and the exit codes).
//
// Contract with a program:
//   1. It registers its usage text with SetUsageText before it parses.
//   2. parse_param fills a CommandParam; -1 means the ZRKC0100 line is
//      already on standard error: print Usage() and exit kExitUsage.
//   3. It refuses what its own tables do not permit with Refuse(word), which
//      prints the ZRKC0100 line and the usage text and returns kExitUsage.
//   4. It calls its command function through CallWithPairArea (and
//      CallWithOutputArea for the queries that grow their output), which own
//      the areas they allocate.
// The module keeps no state between calls but the usage text; the library's
// uiExOptionFlag collects the bits of the one command line a process parses.
#pragma once

#include "zrkc.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zrkcli {

// The parse record, cleared by parse_param before it parses.
struct CommandParam {
    uint32_t uiFuncCode;            // subcommand code (func_table); 0 unknown
    uint32_t uiOptFlag;             // flags of the opt_table options given
    uint32_t uiOptFlag2;            // flags of the opt_table2 options given
    uint32_t uiApiFlag;             // option word for the command function
    uint32_t uiCount;               // -count / -ct
    uint32_t uiInterval;            // -interval / -iv
    uint32_t uiNumber;              // -num
    int32_t  iForm;                 // operand form (kForm...)
    char     caBoxID[ZRK_BOXID_LEN]; // -box: exactly 40 characters, no terminator
    char     caPassword[256];       // -pw: at most 255 characters, terminated
    char     caOperand1[ZRK_VOLNAME_LEN]; // first operand
    char     caOperand2[ZRK_VOLNAME_LEN]; // second operand
    char     caAccessPath[ZRK_VOLNAME_LEN]; // -p
    uint32_t uiLevel;               // -local, -direct or -remote
};
static_assert(offsetof(CommandParam, iForm) == 28, "CommandParam layout");
static_assert(offsetof(CommandParam, caBoxID) == 32, "CommandParam layout");
static_assert(offsetof(CommandParam, caPassword) == 72, "CommandParam layout");
static_assert(offsetof(CommandParam, caOperand1) == 328, "CommandParam layout");
static_assert(offsetof(CommandParam, caOperand2) == 1352, "CommandParam layout");
static_assert(offsetof(CommandParam, caAccessPath) == 2376, "CommandParam layout");
static_assert(offsetof(CommandParam, uiLevel) == 3400, "CommandParam layout");
static_assert(sizeof(CommandParam) == 3404, "CommandParam layout");

// Operand forms (CommandParam::iForm).
enum : int32_t {
    kFormPair = 1,        // two operands
    kFormVolume = 2,      // one operand
    kFormVolumeB = 3,     // one operand with -b
    kFormNone = 4,        // no operand
    kFormGroupFile = 5,   // one operand with -gf
    kFormSessionList = 6, // one operand with -sl
};

// Subcommand codes (func_table).
enum : uint32_t {
    kFuncStart = 1, kFuncStop = 2, kFuncSdvInit = 3, kFuncSdvInfo = 4, kFuncEstimate = 5,
    kFuncSuspend = 6, kFuncResume = 7, kFuncReverse = 8, kFuncQuery = 9, kFuncVol = 10,
    kFuncRouteSet = 11, kFuncDest = 12, kFuncAlias = 13, kFuncChmod = 14, kFuncSdpInfo = 15,
    kFuncRestore = 16, kFuncCopyInhibit = 17, kFuncLunStatus = 18, kFuncSuspendStatus = 19,
    kFuncRvzBuff = 20, kFuncDevice = 21, kFuncIpRouteSet = 22, kFuncIpLogin = 23,
    kFuncIpLogout = 24, kFuncCopyPriority = 25,
};

// Flags of opt_table (CommandParam::uiOptFlag).
enum : uint32_t {
    kOptB = 0x1, kOptE = 0x2, kOptF = 0x4, kOptG = 0x8, kOptS = 0x10, kOptV = 0x20,
    kOptVz = 0x40, kOptKzp = 0x80, kOptStack = 0x100, kOptSync = 0x200,
    kOptConsistency = 0x400, kOptThrough = 0x800, kOptAutoSplit = 0x1000,
    kOptManualSplit = 0x2000, kOptAutoRecovery = 0x4000, kOptManualRecovery = 0x8000,
    kOptInterval = 0x10000, kOptCount = 0x20000, kOptL = 0x80000, kOptM = 0x100000,
    kOptD = 0x200000, kOptGroupFile = 0x400000, kOptBack = 0x800000, kOptN = 0x1000000,
    kOptRcv = 0x2000000, kOptId = 0x4000000, kOptC = 0x8000000, kOptSet = 0x10000000,
    kOptRelease = 0x20000000, kOptBitDsp = 0x40000000, kOptNum = 0x80000000,
};

// Flags of opt_table2 (CommandParam::uiOptFlag2).
enum : uint32_t {
    kOpt2NoTrans = 0x1, kOpt2RwProtect = 0x2, kOpt2Csv = 0x4, kOpt2Skip = 0x8,
    kOpt2Remain = 0x10, kOpt2Send = 0x20, kOpt2Recv = 0x40, kOpt2Box = 0x80,
    kOpt2Pw = 0x100, kOpt2Skzp = 0x200, kOpt2AccessPath = 0x400, kOpt2NoPost = 0x800,
    kOpt2Q = 0x1000, kOpt2Local = 0x2000, kOpt2Direct = 0x4000, kOpt2Remote = 0x8000,
    kOpt2Odx = 0x10000, kOpt2StackTimer = 0x20000, kOpt2Vvol = 0x40000, kOpt2Tfop = 0x80000,
    kOpt2A = 0x100000, kOpt2VvolDelete = 0x200000, kOpt2SessionList = 0x400000,
    kOpt2RemoteVz = 0x800000,
};

// Options of either table, as the rows of a program name them:
// Opt(kOptG) | Opt2(kOpt2Odx).
struct OptionSet {
    uint32_t uiOpt = 0;    // flags of opt_table
    uint32_t uiOpt2 = 0;   // flags of opt_table2
    constexpr OptionSet operator|(OptionSet other) const {
        return {uiOpt | other.uiOpt, uiOpt2 | other.uiOpt2};
    }
    constexpr bool operator==(const OptionSet &) const = default;
    constexpr bool Empty() const { return uiOpt == 0 && uiOpt2 == 0; }
};
constexpr OptionSet Opt(uint32_t flags) { return {flags, 0}; }
constexpr OptionSet Opt2(uint32_t flags) { return {0, flags}; }
// How many options of the set the command line gives.
int CountGiven(const CommandParam &param, OptionSet set);
// Whether the command line gives the opt_table (Has) or opt_table2 (Has2)
// option of flag.
inline bool Has(const CommandParam &param, uint32_t flag) { return (param.uiOptFlag & flag) != 0; }
inline bool Has2(const CommandParam &param, uint32_t flag) { return (param.uiOptFlag2 & flag) != 0; }

// Exit codes of the copy-control programs.
enum : int {
    kExitOk = 0,
    kExitWarning = 1,   // zrkcvz: the library returned 1
    kExitUsage = 2,     // command-line refusal
    kExitMemory = 3,    // ZRKC1106
    kExitError = 4,     // the library returned -1
};

// The per-pair area of a session-list run: room for every identifier a
// session-list file may hold, supplied before the one call (no retry).
inline constexpr size_t kSessionListAreaSize = ZRK_PAIR_AREA_SIZE(ZRKC_SESSION_LIST_MAX);
static_assert(kSessionListAreaSize == 1972228, "session-list area");

// The refusal words of the parser and the frame.
inline constexpr const char *kWordNoParameter = "No parameter";
inline constexpr const char *kWordLengthOver = "Length over";
inline constexpr const char *kWordVolumeSpec = "Volume specification";
inline constexpr const char *kWordNotPermitted = "Non-permissible option";

// A row of func_table.
struct FuncEntry {
    char caName[40];
    int32_t iCode;
};
// What an option takes after it.
enum class OptValue : uint8_t { None, Number, Password, BoxId, AccessPath, Local, Direct, Remote };
// A row of opt_table or opt_table2.
struct OptEntry {
    char caName[40];
    uint32_t uiFlag;      // flag in uiOptFlag (opt_table) or uiOptFlag2 (opt_table2)
    uint32_t uiApiBits;   // bits of the command's option word
    uint32_t uiExBits;    // bits of uiExOptionFlag (opt_table2 only)
    OptValue eValue;      // what follows the option
    uint32_t CommandParam::*pNumber; // destination of a Number value
};

extern const FuncEntry func_table[25];
extern const OptEntry opt_table[41];
extern const OptEntry opt_table2[25];

// The parser without output: 0, or -1 with the refused parameter in
// *refused. The record is cleared first; uiExOptionFlag collects the bits.
// *passwordArg (when given) receives the index of the -pw value in argv, 0
// when there is none.
int ParseParam(int argc, const char *const *argv, CommandParam *record, std::string *refused,
               int *passwordArg = nullptr);
// The parser: 0, or -1 after the ZRKC0100 line went to standard error. The
// -pw value is overwritten in argv once the record holds it, so the process's
// command line no longer shows it.
int parse_param(int argc, char **argv, CommandParam *record);

// Wipes the password the record holds.
void WipePassword(CommandParam *record);
// Wipes the record's password when the program's run ends, whichever way.
class PasswordWipe {
public:
    explicit PasswordWipe(CommandParam &record) : rRecord(record) {}
    ~PasswordWipe() { WipePassword(&rRecord); }
    PasswordWipe(const PasswordWipe &) = delete;
    PasswordWipe &operator=(const PasswordWipe &) = delete;

private:
    CommandParam &rRecord; // the program's parse record
};

// The ZRKC0100 line for one refused parameter.
std::string RefusalLine(std::string_view parameter);
// The program's usage text (registered once at start).
void SetUsageText(std::string_view text);
// Writes the usage text to standard error in one write.
void Usage();
// The ZRKC0100 line and the usage text on standard error; returns kExitUsage.
int Refuse(std::string_view parameter);

// Whether every given flag lies in the permitted masks.
bool OptionsPermitted(const CommandParam &param, uint32_t permitted, uint32_t permitted2);
inline bool OptionsPermitted(const CommandParam &param, OptionSet permitted) {
    return OptionsPermitted(param, permitted.uiOpt, permitted.uiOpt2);
}

// Prompts "Password: " on standard output and reads one line from fd with
// echo off (when fd is a terminal; the terminal is put back on every way
// out, a terminating signal during the entry included). Reading stops at a carriage return, a line feed or the end of the
// input; the first 255 characters are kept. 0, or -1 when nothing could be
// read at all (the buffer then holds what was read, possibly nothing).
int InputPassword(char buffer[256], int fd = 0);

// ZRKC1106 on standard error; returns kExitMemory.
int OutOfMemory();

// The per-pair result area of one command call, owned by the program.
class PairArea {
public:
    // Allocates and clears size bytes; false when memory ran out.
    bool Allocate(size_t size);
    void *Data() const { return pData.get(); }
    size_t Size() const { return uiSize; }
private:
    struct Free {
        void operator()(void *p) const;
    };
    std::unique_ptr<void, Free> pData;
    size_t uiSize = 0;
};

// Calls call() until it no longer reports a too-small per-pair area (class
// 3, message 1015): each time the ReturnInfo is cleared, an area of the
// needed size is allocated into area and set in the ReturnInfo, and the call
// is made again. Returns the call's result, or -2 after ZRKC1106 (exit
// kExitMemory). A report that asks for no more than the area already given
// is returned as it is rather than retried.
int CallWithPairArea(ReturnInfo &ri, PairArea &area, const std::function<int()> &call);

// How a query's retry on a too-small output area treats the ReturnInfo.
enum class OutputRetry { ClearAll, KeepPairArea };
// Calls call(buffer, size) (first with no buffer and size 0) until it no
// longer reports a too-small output area (class 3, message 1001), growing
// output to the size the library needs. Returns the call's result, or -2
// after ZRKC1106.
int CallWithOutputArea(ReturnInfo &ri, PairArea &output, OutputRetry mode,
                       const std::function<int(void *, uint32_t)> &call);

// The entry i of a per-pair result area, or null when the area lacks it.
const PairResult *PairEntry(const ReturnInfo &ri, uint32_t i);
// The number of entries the per-pair area holds (bounded by its length).
uint32_t PairEntryCount(const ReturnInfo &ri);
// A message line without its final newline (only that one is stripped),
// bounded to its field.
std::string MessageBody(const char *message, size_t size);

// The two run kinds whose failed entries get a line each.
enum class RunKind { GroupFile, SessionList };
// The line of one failed entry: naming is the program's text for the entry.
std::string PairErrorLine(RunKind kind, std::string_view naming, const PairResult &entry);
// Whether a -1 result is the partial failure of a run of that kind.
bool IsRunFailure(const ReturnInfo &ri, RunKind kind);
// One line per failed entry to standard error; name(entry) gives the
// program's naming text.
void PrintPairErrors(const ReturnInfo &ri, RunKind kind,
                     const std::function<std::string(const PairResult &)> &name);

// ---- Library messages (zrkcvz) ----------------------------------------------

// The ReturnInfo's message line to standard error as it stands (bounded to
// its field).
void PrintMessage(const ReturnInfo &ri);

}  // namespace zrkcli
