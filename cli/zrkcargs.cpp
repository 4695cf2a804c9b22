// zrkcargs.cpp - the command-line half of the programs' shared module: the
// three tables, the parser, the usage text, the password prompt and the call
// frame of the copy-control programs.
#include "zrkcargs.h"
#include "zrkcalias.h"

#include "sysio.h"
#include "zrkcmessages.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>

namespace zrkcli {

// Subcommand words, searched in this order.
const FuncEntry func_table[25] = {
    {"start", kFuncStart},           {"stop", kFuncStop},
    {"sdvinit", kFuncSdvInit},       {"sdvinfo", kFuncSdvInfo},
    {"estimate", kFuncEstimate},     {"suspend", kFuncSuspend},
    {"resume", kFuncResume},         {"reverse", kFuncReverse},
    {"query", kFuncQuery},           {"vol", kFuncVol},
    {"routeset", kFuncRouteSet},     {"dest", kFuncDest},
    {"alias", kFuncAlias},           {"chmod", kFuncChmod},
    {"sdpinfo", kFuncSdpInfo},       {"restore", kFuncRestore},
    {"copyinhibit", kFuncCopyInhibit}, {"lunstatus", kFuncLunStatus},
    {"suspendstatus", kFuncSuspendStatus}, {"rvzbuff", kFuncRvzBuff},
    {"device", kFuncDevice},         {"iprouteset", kFuncIpRouteSet},
    {"iplogin", kFuncIpLogin},       {"iplogout", kFuncIpLogout},
    {"copypriority", kFuncCopyPriority},
};

namespace {
constexpr OptValue kNone = OptValue::None;
constexpr OptValue kNum = OptValue::Number;
constexpr uint32_t CommandParam::*kNoNumber = nullptr;
}  // namespace

// The first option table, searched first. Long and short spellings share
// one flag; 0x40000 has no option.
const OptEntry opt_table[41] = {
    {"-b", kOptB, ZRKC_OPT_QUERY_WHOLE_ARRAY, 0, kNone, kNoNumber},
    {"-e", kOptE, ZRK_OPT_MONITOR, 0, kNone, kNoNumber},
    {"-f", kOptF, ZRK_OPT_FORCE, 0, kNone, kNoNumber},
    {"-g", kOptG, ZRKC_OPT_QUERY_GENERATIONS, 0, kNone, kNoNumber},
    {"-s", kOptS, 0, 0, kNone, kNoNumber},
    {"-v", kOptV, ZRKC_OPT_QUERY_DETAIL, 0, kNone, kNoNumber},
    {"-vz", kOptVz, ZRKC_OPT_QUERY_VZ_ONLY, 0, kNone, kNoNumber},
    {"-kzp", kOptKzp, ZRKC_OPT_QUERY_KZP_ONLY, 0, kNone, kNoNumber},
    {"-sync", kOptSync, ZRK_OPT_SYNC, 0, kNone, kNoNumber},
    {"-sy", kOptSync, ZRK_OPT_SYNC, 0, kNone, kNoNumber},
    {"-stack", kOptStack, ZRK_OPT_STACK, 0, kNone, kNoNumber},
    {"-st", kOptStack, ZRK_OPT_STACK, 0, kNone, kNoNumber},
    {"-consistency", kOptConsistency, ZRK_OPT_CONSISTENCY, 0, kNone, kNoNumber},
    {"-cs", kOptConsistency, ZRK_OPT_CONSISTENCY, 0, kNone, kNoNumber},
    {"-through", kOptThrough, 0, 0, kNone, kNoNumber},
    {"-th", kOptThrough, 0, 0, kNone, kNoNumber},
    {"-automaticsplit", kOptAutoSplit, ZRK_OPT_AUTO_SPLIT, 0, kNone, kNoNumber},
    {"-as", kOptAutoSplit, ZRK_OPT_AUTO_SPLIT, 0, kNone, kNoNumber},
    {"-manualsplit", kOptManualSplit, 0, 0, kNone, kNoNumber},
    {"-ms", kOptManualSplit, 0, 0, kNone, kNoNumber},
    {"-automaticrecovery", kOptAutoRecovery, 0, 0, kNone, kNoNumber},
    {"-ar", kOptAutoRecovery, 0, 0, kNone, kNoNumber},
    {"-manualrecovery", kOptManualRecovery, ZRK_OPT_MANUAL_RCV, 0, kNone, kNoNumber},
    {"-mr", kOptManualRecovery, ZRK_OPT_MANUAL_RCV, 0, kNone, kNoNumber},
    {"-count", kOptCount, 0, 0, kNum, &CommandParam::uiCount},
    {"-ct", kOptCount, 0, 0, kNum, &CommandParam::uiCount},
    {"-interval", kOptInterval, 0, 0, kNum, &CommandParam::uiInterval},
    {"-iv", kOptInterval, 0, 0, kNum, &CommandParam::uiInterval},
    {"-l", kOptL, 0, 0, kNone, kNoNumber},
    {"-m", kOptM, 0, 0, kNone, kNoNumber},
    {"-d", kOptD, 0, 0, kNone, kNoNumber},
    {"-gf", kOptGroupFile, ZRKC_OPT_GROUP_FILE, 0, kNone, kNoNumber},
    {"-back", kOptBack, ZRKC_OPT_OTHER_WAY, 0, kNone, kNoNumber},
    {"-n", kOptN, ZRKC_OPT_NO_DEVICE_LIST, 0, kNone, kNoNumber},
    {"-rcv", kOptRcv, ZRKC_OPT_RECOVERY, 0, kNone, kNoNumber},
    {"-id", kOptId, ZRKC_OPT_BOXID_ALIAS, 0, kNone, kNoNumber},
    {"-c", kOptC, ZRKC_OPT_CONC_SUSPEND, 0, kNone, kNoNumber},
    {"-set", kOptSet, 0, 0, kNone, kNoNumber},
    {"-release", kOptRelease, 0, 0, kNone, kNoNumber},
    {"-bitdsp", kOptBitDsp, 0, 0, kNone, kNoNumber},
    {"-num", kOptNum, 0, 0, kNum, &CommandParam::uiNumber},
};

// The second option table, searched when the first has no match.
const OptEntry opt_table2[25] = {
    {"-notrans", kOpt2NoTrans, ZRK_OPT_UNTRANSFERRED, 0, kNone, kNoNumber},
    {"-rwprotect", kOpt2RwProtect, ZRK_OPT_SECONDARY, 0, kNone, kNoNumber},
    {"-rwp", kOpt2RwProtect, ZRK_OPT_SECONDARY, 0, kNone, kNoNumber},
    {"-csv", kOpt2Csv, 0, 0, kNone, kNoNumber},
    {"-skip", kOpt2Skip, ZRK_OPT_SKIP_COPY, 0, kNone, kNoNumber},
    {"-remain", kOpt2Remain, ZRK_OPT_REMAIN, 0, kNone, kNoNumber},
    {"-send", kOpt2Send, 0, 0, kNone, kNoNumber},
    {"-recv", kOpt2Recv, 0, 0, kNone, kNoNumber},
    {"-box", kOpt2Box, 0, 0, OptValue::BoxId, kNoNumber},
    {"-pw", kOpt2Pw, 0, 0, OptValue::Password, kNoNumber},
    {"-skzp", kOpt2Skzp, ZRKC_OPT_QUERY_SNAPKZP_7, 0, kNone, kNoNumber},
    {"-p", kOpt2AccessPath, ZRKC_OPT_ACCESS_PATH, 0, OptValue::AccessPath, kNoNumber},
    {"-nopost", kOpt2NoPost, ZRKC_OPT_NO_POST, 0, kNone, kNoNumber},
    {"-q", kOpt2Q, 0, 0, kNone, kNoNumber},
    {"-local", kOpt2Local, 0, 0, OptValue::Local, kNoNumber},
    {"-direct", kOpt2Direct, 0, 0, OptValue::Direct, kNoNumber},
    {"-remote", kOpt2Remote, 0, 0, OptValue::Remote, kNoNumber},
    {"-odx", kOpt2Odx, ZRKC_OPT_ODX, 0, kNone, kNoNumber},
    {"-stacktimer", kOpt2StackTimer, ZRKC_OPT_STACK_TIMER, 0, kNone, kNoNumber},
    {"-vvol", kOpt2Vvol, 0, ZRKC_EXOPT_VVOL, kNone, kNoNumber},
    {"-tfop", kOpt2Tfop, 0, ZRKC_EXOPT_TFOP, kNone, kNoNumber},
    {"-a", kOpt2A, 0, 0, kNone, kNoNumber},
    {"-vvol_delete", kOpt2VvolDelete, 0, ZRKC_EXOPT_VVOL_DELETE, kNone, kNoNumber},
    {"-sl", kOpt2SessionList, 0, ZRKC_EXOPT_SESSION_LIST, kNone, kNoNumber},
    {"-remote_vz", kOpt2RemoteVz, 0, ZRKC_EXOPT_REMOTE_VZ, kNone, kNoNumber},
};

namespace {

std::string gUsage;   // the program's usage text

const OptEntry *FindOption(const OptEntry *table, size_t count, const char *word) {
    for (size_t i = 0; i < count; ++i) {
        if (std::strcmp(table[i].caName, word) == 0) return &table[i];
    }
    return nullptr;
}

// An unsigned decimal number that fits 32 bits: leading blanks and a plus
// sign as the C conversion takes them, then digits and nothing else. A minus
// sign (which the C conversion would wrap) and values above 4294967295 are
// refused.
bool ParseUnsigned32(const char *text, uint32_t *value) {
    const char *p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    if (*p == '+') ++p;
    if (*p < '0' || *p > '9') return false;
    uint64_t number = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        number = number * 10 + static_cast<uint64_t>(*p - '0');
        if (number > UINT32_MAX) return false;
    }
    if (*p != '\0') return false;
    *value = static_cast<uint32_t>(number);
    return true;
}

// The value of -local: a word of the copy-rate levels.
bool ParseLocal(const char *text, uint32_t *level) {
    static const char *const kWords[] = {"auto", "low", "high", "very-low", "middle"};
    for (uint32_t i = 0; i < 5; ++i) {
        if (std::strcmp(text, kWords[i]) == 0) {
            *level = i;
            return true;
        }
    }
    return false;
}

// The value of -direct and -remote: "auto" (0) or 1 to max.
bool ParseLevel(const char *text, uint32_t max, uint32_t *level) {
    if (std::strcmp(text, "auto") == 0) {
        *level = 0;
        return true;
    }
    uint32_t number = 0;
    if (!ParseUnsigned32(text, &number) || number == 0 || number > max) return false;
    *level = number;
    return true;
}

// Takes the value of one opt_table2 option; false with the refused word.
bool TakeValue(const OptEntry &opt, const char *value, CommandParam *record, std::string *refused) {
    const size_t length = std::strlen(value);
    switch (opt.eValue) {
    case OptValue::Password:
        if (length >= sizeof(record->caPassword)) break;
        std::memcpy(record->caPassword, value, length + 1);
        return true;
    case OptValue::BoxId:
        if (length != sizeof(record->caBoxID)) break;
        std::memcpy(record->caBoxID, value, sizeof(record->caBoxID));
        return true;
    case OptValue::AccessPath:
        if (length >= sizeof(record->caAccessPath)) break;
        std::memcpy(record->caAccessPath, value, length + 1);
        return true;
    case OptValue::Local:
        if (ParseLocal(value, &record->uiLevel)) return true;
        break;
    case OptValue::Direct:
        if (ParseLevel(value, 255, &record->uiLevel)) return true;
        break;
    case OptValue::Remote:
        if (ParseLevel(value, 65535, &record->uiLevel)) return true;
        break;
    case OptValue::None:
    case OptValue::Number:
        return true;
    }
    *refused = value;
    return false;
}

void WriteAll(int fd, std::string_view text) {
    (void)zrkplatform::sys::WriteAll(fd, text.data(), text.size());
}

}  // namespace

int ParseParam(int argc, const char *const *argv, CommandParam *record, std::string *refused,
               int *passwordArg) {
    std::memset(record, 0, sizeof(*record));
    if (passwordArg != nullptr) *passwordArg = 0;
    if (argc < 2) {
        *refused = kWordNoParameter;
        return -1;
    }
    for (const FuncEntry &func : func_table) {
        if (std::strcmp(func.caName, argv[1]) == 0) {
            record->uiFuncCode = static_cast<uint32_t>(func.iCode);
            break;
        }
    }
    if (record->uiFuncCode == 0) {
        *refused = argv[1];
        return -1;
    }
    int operands = 0;
    for (int i = 2; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strlen(arg) >= ZRK_VOLNAME_LEN) {
            *refused = kWordLengthOver;
            return -1;
        }
        if (arg[0] != '-') {
            if (operands == 0) {
                std::memcpy(record->caOperand1, arg, std::strlen(arg) + 1);
            } else if (operands == 1) {
                std::memcpy(record->caOperand2, arg, std::strlen(arg) + 1);
            } else {
                *refused = arg;
                return -1;
            }
            ++operands;
            continue;
        }
        const OptEntry *opt = FindOption(opt_table, std::size(opt_table), arg);
        const bool second = opt == nullptr;
        if (second) opt = FindOption(opt_table2, std::size(opt_table2), arg);
        if (opt == nullptr) {
            *refused = arg;
            return -1;
        }
        uint32_t &flags = second ? record->uiOptFlag2 : record->uiOptFlag;
        if ((flags & opt->uiFlag) != 0) {
            *refused = arg;
            return -1;
        }
        flags |= opt->uiFlag;
        record->uiApiFlag |= opt->uiApiBits;
        uiExOptionFlag |= opt->uiExBits;
        if (opt->eValue == OptValue::None) continue;
        if (i + 1 >= argc) {
            *refused = arg;
            return -1;
        }
        const char *value = argv[++i];
        if (opt->eValue == OptValue::Password && passwordArg != nullptr) *passwordArg = i;
        if (opt->eValue == OptValue::Number) {
            if (!ParseUnsigned32(value, &(record->*(opt->pNumber)))) {
                *refused = arg;
                return -1;
            }
        } else if (!TakeValue(*opt, value, record, refused)) {
            return -1;
        }
    }
    if (operands == 2) {
        record->iForm = kFormPair;
    } else if (operands == 0) {
        record->iForm = kFormNone;
    } else if (record->uiOptFlag & kOptB) {
        record->iForm = kFormVolumeB;
    } else if (record->uiOptFlag & kOptGroupFile) {
        record->iForm = kFormGroupFile;
    } else if (record->uiOptFlag2 & kOpt2SessionList) {
        record->iForm = kFormSessionList;
    } else {
        record->iForm = kFormVolume;
    }
    return 0;
}

int parse_param(int argc, char **argv, CommandParam *record) {
    std::string refused;
    int passwordArg = 0;
    const int rc = ParseParam(argc, argv, record, &refused, &passwordArg);
    // The -pw value is in the record now: every local user can read the
    // command line in /proc until it is gone from there.
    if (passwordArg > 0) explicit_bzero(argv[passwordArg], std::strlen(argv[passwordArg]));
    if (rc == 0) return 0;
    WriteAll(STDERR_FILENO, RefusalLine(refused));
    explicit_bzero(refused.data(), refused.size());
    return -1;
}

void WipePassword(CommandParam *record) { explicit_bzero(record->caPassword, sizeof(record->caPassword)); }

std::string RefusalLine(std::string_view parameter) {
    return zrkc::MessageText(zrkc::Msg::CommandParameterIncorrect, static_cast<int>(parameter.size()),
                             parameter.data());
}

void SetUsageText(std::string_view text) { gUsage = text; }

void Usage() {
    if (gUsage.empty()) return;
    // One write of the whole text, as the usage is one block.
    (void)zrkplatform::sys::Write(STDERR_FILENO, gUsage.data(), gUsage.size());
}

int Refuse(std::string_view parameter) {
    WriteAll(STDERR_FILENO, RefusalLine(parameter));
    Usage();
    return kExitUsage;
}

bool OptionsPermitted(const CommandParam &param, uint32_t permitted, uint32_t permitted2) {
    return (param.uiOptFlag & ~permitted) == 0 && (param.uiOptFlag2 & ~permitted2) == 0;
}

int CountGiven(const CommandParam &param, OptionSet set) {
    return std::popcount(param.uiOptFlag & set.uiOpt) + std::popcount(param.uiOptFlag2 & set.uiOpt2);
}

namespace {

// The terminal settings of a password entry, for the signal handlers: the
// ones to put back (gSavedTerminal) and the ones of the entry, echo off
// (gQuietTerminal); both are written before the handlers are installed and
// gSavedFd is the terminal while the entry lasts (-1 otherwise).
struct termios gSavedTerminal;
struct termios gQuietTerminal;
volatile sig_atomic_t gSavedFd = -1;
// Signals that end the process, then the stop and the continue.
constexpr int kEntrySignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGCONT};

// The handlers call only async-signal-safe functions.
void SetTerminal(const struct termios &settings) {
    const int fd = gSavedFd;
    if (fd >= 0) tcsetattr(fd, TCSANOW, &settings);
}

void Install(int sig, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
}

// A terminating signal: the terminal back, then the signal's own action.
void RestoreAndReraise(int sig) {
    SetTerminal(gSavedTerminal);
    Install(sig, SIG_DFL);
    raise(sig);
}

// Ctrl-Z: the terminal back, stop; on continue the entry's settings again.
void RestoreAndStop(int) {
    const int savedErrno = errno;
    SetTerminal(gSavedTerminal);
    Install(SIGTSTP, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    raise(SIGTSTP);                           // pending while the handler runs
    sigprocmask(SIG_UNBLOCK, &stop, nullptr); // the process stops here
    Install(SIGTSTP, RestoreAndStop);
    SetTerminal(gQuietTerminal);
    errno = savedErrno;
}

// Continued after any stop (SIGSTOP too): echo off again.
void QuietAgain(int) {
    const int savedErrno = errno;
    SetTerminal(gQuietTerminal);
    errno = savedErrno;
}

// Echo off (and character-at-a-time input) on a terminal for the lifetime of
// the object; the old settings come back however the reader leaves, and
// while the process is stopped.
class EchoOff {
public:
    explicit EchoOff(int fd) : iFd(fd) {
        if (tcgetattr(fd, &tSaved) != 0) return;
        struct termios quiet = tSaved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON);
        quiet.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR);
        quiet.c_cc[VMIN] = 1;
        quiet.c_cc[VTIME] = 0;
        gSavedTerminal = tSaved;
        gQuietTerminal = quiet;
        gSavedFd = fd;
        struct sigaction action {};
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kEntrySignals); ++i) {
            const int sig = kEntrySignals[i];
            action.sa_handler = sig == SIGTSTP ? RestoreAndStop : sig == SIGCONT ? QuietAgain : RestoreAndReraise;
            sigaction(sig, &action, &taOld[i]);
        }
        bHandlers = true;
        bActive = tcsetattr(fd, TCSADRAIN, &quiet) == 0;
        if (!bActive) gSavedFd = -1;  // nothing to put back, nor to set again
    }
    ~EchoOff() {
        if (!bHandlers) return;
        // No handler may set the entry's settings again once they are put
        // back: the signals wait until the old handlers are in place.
        sigset_t all, old;
        sigemptyset(&all);
        for (int sig : kEntrySignals) sigaddset(&all, sig);
        sigprocmask(SIG_BLOCK, &all, &old);
        if (bActive) tcsetattr(iFd, TCSADRAIN, &tSaved);
        gSavedFd = -1;
        for (size_t i = 0; i < std::size(kEntrySignals); ++i) {
            sigaction(kEntrySignals[i], &taOld[i], nullptr);
        }
        sigprocmask(SIG_SETMASK, &old, nullptr);
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    int iFd;
    struct termios tSaved {};
    struct sigaction taOld[std::size(kEntrySignals)] {};
    bool bActive = false;
    bool bHandlers = false;
};

}  // namespace

int InputPassword(char buffer[256], int fd) {
    std::fflush(stdout);
    WriteAll(STDOUT_FILENO, "Password: ");
    size_t kept = 0;
    bool readAny = false;
    {
        EchoOff echoOff(fd);
        char c = 0;
        for (;;) {
            const ssize_t n = zrkplatform::sys::Read(fd, &c, 1);
            if (n <= 0) break;           // end of input or an error
            readAny = true;
            if (c == '\r' || c == '\n') break;
            if (kept < 255) buffer[kept++] = c;
        }
        explicit_bzero(&c, sizeof(c));
    }
    buffer[kept] = '\0';
    WriteAll(STDOUT_FILENO, "\n");
    return readAny ? 0 : -1;
}

int OutOfMemory() {
    WriteAll(STDERR_FILENO, zrkc::TextOf(zrkc::Msg::NoMemory));
    return kExitMemory;
}

void PairArea::Free::operator()(void *p) const { std::free(p); }

bool PairArea::Allocate(size_t size) {
    pData.reset(std::calloc(size == 0 ? 1 : size, 1));
    uiSize = pData ? size : 0;
    return pData != nullptr;
}

namespace {
constexpr int32_t kClassParameter = ZRKC_CLASS_PARAMETER;
}  // namespace

int CallWithPairArea(ReturnInfo &ri, PairArea &area, const std::function<int()> &call) {
    int result = call();
    while (ri.iReturnClass == kClassParameter && ri.uiMessageNo == zrkc::Msg::PairAreaShort) {
        const size_t need = ri.uiNeedPairAreaSize;
        if (need <= area.Size()) break;  // nothing gained by asking again
        std::memset(&ri, 0, sizeof(ri));
        if (!area.Allocate(need)) {
            OutOfMemory();
            return -2;
        }
        ri.pPairArea = area.Data();
        ri.uiPairAreaLength = static_cast<uint32_t>(need);
        result = call();
    }
    return result;
}

int CallWithOutputArea(ReturnInfo &ri, PairArea &output, OutputRetry mode,
                       const std::function<int(void *, uint32_t)> &call) {
    int result = call(nullptr, 0);
    while (ri.iReturnClass == kClassParameter && ri.uiMessageNo == zrkc::Msg::OutputAreaShort) {
        const size_t need = ri.uiNeedOutputSize;
        if (need <= output.Size() && output.Data() != nullptr && need != 0) break;
        if (mode == OutputRetry::ClearAll) {
            std::memset(&ri, 0, sizeof(ri));
        } else {
            ri.iReturnClass = ZRKC_CLASS_OK;
            ri.uiMessageNo = 0;
            std::memset(ri.caMessage, 0, sizeof(ri.caMessage));
        }
        if (!output.Allocate(need)) {
            OutOfMemory();
            return -2;
        }
        result = call(output.Data(), static_cast<uint32_t>(need));
        if (need == 0) break;
    }
    return result;
}

uint32_t PairEntryCount(const ReturnInfo &ri) {
    if (ri.pPairArea == nullptr || ri.uiPairAreaLength < 4) return 0;
    uint32_t count;
    std::memcpy(&count, ri.pPairArea, sizeof(count));
    const uint32_t room = static_cast<uint32_t>((ri.uiPairAreaLength - 4) / sizeof(PairResult));
    return count < room ? count : room;
}

const PairResult *PairEntry(const ReturnInfo &ri, uint32_t i) {
    if (i >= PairEntryCount(ri)) return nullptr;
    const auto *base = static_cast<const unsigned char *>(ri.pPairArea) + 4;
    return reinterpret_cast<const PairResult *>(base + static_cast<size_t>(i) * sizeof(PairResult));
}

std::string MessageBody(const char *message, size_t size) {
    std::string text(message, strnlen(message, size));
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

std::string PairErrorLine(RunKind kind, std::string_view naming, const PairResult &entry) {
    // The run's message without its line end, then the entry's naming.
    const zrkc::Msg run =
        kind == RunKind::GroupFile ? zrkc::Msg::GroupLinesFailed : zrkc::Msg::SessionListLinesFailed;
    std::string line = MessageBody(zrkc::TextOf(run), ZRK_MESSAGE_LEN);
    line += ' ';
    line += naming;
    line += " Error message=(";
    line += MessageBody(entry.caMessage, sizeof(entry.caMessage));
    line += ").\n";
    return line;
}

bool IsRunFailure(const ReturnInfo &ri, RunKind kind) {
    if (kind == RunKind::GroupFile) {
        return ri.iReturnClass == ZRKC_CLASS_GROUP_LINES && ri.uiMessageNo == zrkc::Msg::GroupLinesFailed;
    }
    return ri.iReturnClass == ZRKC_CLASS_SESSION_LIST && ri.uiMessageNo == zrkc::Msg::SessionListLinesFailed;
}

void PrintPairErrors(const ReturnInfo &ri, RunKind kind,
                     const std::function<std::string(const PairResult &)> &name) {
    const uint32_t count = PairEntryCount(ri);
    for (uint32_t i = 0; i < count; ++i) {
        const PairResult *entry = PairEntry(ri, i);
        if (entry->iReturnClass == ZRKC_CLASS_OK) continue;
        WriteAll(STDERR_FILENO, PairErrorLine(kind, name(*entry), *entry));
    }
}

// ---- Library messages (zrkcvz) ----------------------------------------------

void PrintMessage(const ReturnInfo &ri) {
    WriteAll(STDERR_FILENO, std::string_view(ri.caMessage, strnlen(ri.caMessage, sizeof(ri.caMessage))));
}

}  // namespace zrkcli
