// zrkccopy - the command program of copy queries and of the host and array
// settings that are not copy sessions: routes and aliases, LAN routes and
// LAN login, copy inhibit, LUN status, RVZ buffers and copy priority.
//
// Its rules on the frame (zrkcprogram.h) check the operand form, the variant
// and the options of each subcommand, and call its one command function. It
// reports the result's layout on standard output, messages on standard
// error, and the exit code (0 done, 2 command line refused, 3 out of memory,
// 4 the command failed; query -s returns the session's state as 10 to 29,
// or 5 when the state has no code).
#include "zrkcalias.h"
#include "zrkclun_out.h"
#include "zrkcmessages.h"
#include "zrkcout.h"
#include "zrkcprogram.h"
#include "zrkcquery_out.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

namespace zrkcli {
namespace {

constexpr char kUsageText[] =
    "Usage : zrkccopy query [-v | -s] [-odx] [-back] [-csv] [-p Alias]          src_volume trg_volume |\n"
    "        zrkccopy query [-v] [-odx] [-back] [-csv] [-p Alias] -gf           group_file            |\n"
    "        zrkccopy query [-v] [-vz | -kzp | -odx] [-b] [-csv]                volume                |\n"
    "        zrkccopy query -g [-csv]                                           volume                |\n"
    "        zrkccopy query -g [-csv] -gf                                       group_file            |\n"
    "        zrkccopy routeset                                                  volume                |\n"
    "        zrkccopy dest [-csv]                                               volume                |\n"
    "        zrkccopy alias -l [-csv]                                                                 |\n"
    "        zrkccopy alias -m id                                               alias_name            |\n"
    "        zrkccopy alias -d id [user_id]                                                           |\n"
    "        zrkccopy copyinhibit -set | -release                               volume                |\n"
    "        zrkccopy copyinhibit -set | -release [-back] -gf                   group_file            |\n"
    "        zrkccopy lunstatus [-b] [-csv]                                     volume                |\n"
    "        zrkccopy lunstatus [-back] [-csv] -gf                              group_file            |\n"
    "        zrkccopy rvzbuff [-v] [-num buffer_id] [-csv]                      volume                |\n"
    "        zrkccopy rvzbuff -m -num buffer_id -send | -recv                   volume                |\n"
    "        zrkccopy iprouteset                                                ip_address user_id    |\n"
    "        zrkccopy iplogin                                                   alias_name            |\n"
    "        zrkccopy iplogout                                                  alias_name            |\n"
    "        zrkccopy copypriority -q [-csv]                                    volume                |\n"
    "        zrkccopy copypriority -local  speed_level                          volume                |\n"
    "        zrkccopy copypriority -direct speed_level        -box remote_boxid volume                |\n"
    "        zrkccopy copypriority -remote multiplicity_level -box remote_boxid volume                |\n";

constexpr const char *kWordInvalidOption = "Invalid option";
constexpr const char *kWordInvalidId = "Invalid ID";

// Exit code of query -s when the session's state has no code of its own.
constexpr int kExitInconsistent = 5;

// An alias entry's identifier as an unsigned decimal conversion reads it
// (leading blanks and a sign taken): at least one digit, nothing after the
// digits, and within 32 bits (a negated value wraps beyond them).
bool ParseId(const char *text, unsigned int *id) {
    const char *digits = text;
    while (std::isspace(static_cast<unsigned char>(*digits))) ++digits;
    if (*digits == '+' || *digits == '-') ++digits;
    if (*digits < '0' || *digits > '9') return false;
    errno = 0;
    char *end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || value > UINT32_MAX) return false;
    *id = static_cast<unsigned int>(value);
    return true;
}

// The password of a LAN account: the -pw value (wiped from the record once
// copied), else what the user types.
void Password(CommandParam &p, char password[256]) {
    if (Has2(p, kOpt2Pw)) {
        const size_t length = strnlen(p.caPassword, 255);
        std::memcpy(password, p.caPassword, length);
        password[length] = '\0';
        WipePassword(&p);
    } else {
        InputPassword(password);
    }
}

// The first 255 characters of an account's user.
std::string User(const char *operand) { return std::string(operand, strnlen(operand, 255)); }

// The exit code of query -s: the state of the result's first session.
int SessionStateExit(const PairArea &output) {
    static constexpr int kInconsistent = -1;
    // Columns: phase NoPair, Copying, Equivalent, Tracking, Tracking&Copying,
    // (5 has no column), Readying.
    static constexpr int kByStatus[6][7] = {
        {23, 23, 23, 23, 23, 23, 23},                                          // Idle
        {24, 24, 24, 24, 24, 24, 24},                                          // Reserve
        {kInconsistent, 10, 11, 12, 13, kInconsistent, 14},                    // Active
        {kInconsistent, 23, 20, 26, 27, kInconsistent, 29},                    // ErrorSuspend
        {kInconsistent, 24, 21, kInconsistent, kInconsistent, kInconsistent, kInconsistent}, // Suspend
        {kInconsistent, 25, 22, kInconsistent, kInconsistent, kInconsistent, kInconsistent}, // Halt
    };
    int code = kInconsistent;
    const auto *list = static_cast<const CopyQueryList *>(output.Data());
    if (output.Size() >= ZRKC_QUERY_HEADER_NORMAL + sizeof(CopyQueryEntry) && list->ItemCount > 0) {
        CopyQueryEntry entry;
        std::memcpy(&entry, static_cast<const char *>(output.Data()) + ZRKC_QUERY_HEADER_NORMAL, sizeof(entry));
        if (entry.Suspending == ZRKC_QSUSPENDING) {
            code = 28;
        } else if (entry.Status < std::size(kByStatus)) {
            const int *row = kByStatus[entry.Status];
            // Idle and Reserve give their code in every phase.
            code = entry.Phase < std::size(kByStatus[0]) ? row[entry.Phase] : row[5];
        }
    }
    if (code != kInconsistent) return code;
    Put(stderr, zrkc::TextOf(zrkc::Msg::InternalInconsistency));
    return kExitInconsistent;
}


// ---- query ------------------------------------------------------------------

// The pair form: -s or -v; -skzp with neither -p nor -odx.
constexpr OptionRow kQueryPairRows[] = {
    AtMostOne(Opt(kOptS | kOptV), "-s -v"),
    AtMostOne(Opt2(kOpt2Skzp | kOpt2AccessPath), "-skzp -p"),
    AtMostOne(Opt2(kOpt2Skzp | kOpt2Odx), "-skzp -odx"),
};
// The volume forms: -g alone among the options of the first table, one
// session kind at most, -skzp with neither -vz nor -odx.
constexpr OptionRow kQueryVolumeRows[] = {
    Excludes(Opt(kOptG), Opt(kOptV | kOptVz | kOptKzp), "-g"),
    AtMostOne(Opt(kOptVz | kOptKzp) | Opt2(kOpt2Odx), "-vz, -kzp, -odx"),
    AtMostOne(Opt(kOptVz) | Opt2(kOpt2Skzp), "-vz, -skzp"),
    AtMostOne(Opt2(kOpt2Odx | kOpt2Skzp), "-odx, -skzp"),
};
// The group-file form: -g alone among the options of the first table (-gf
// aside); -skzp and -g each with neither -p nor -odx.
constexpr OptionRow kQueryGroupRows[] = {
    Excludes(Opt(kOptG), Opt(kOptBack | kOptV), "-g"),
    AtMostOne(Opt2(kOpt2Skzp | kOpt2AccessPath), "-skzp -p"),
    AtMostOne(Opt(kOptG) | Opt2(kOpt2AccessPath), "-g -p"),
    AtMostOne(Opt2(kOpt2Skzp | kOpt2Odx), "-skzp -odx"),
    AtMostOne(Opt(kOptG) | Opt2(kOpt2Odx), "-g -odx"),
};

// -v asks for the detail list of level Detail_EX1.
int Query(ProgramRun &run) {
    uint32_t option = run.uiWord;
    if (Has(run.rParam, kOptV)) option = (option & ~ZRKC_OPT_QUERY_DETAIL) | ZRKC_OPT_QUERY_DETAIL_EX;
    return CallGrowing(run, [&](void *buffer, uint32_t size) {
        return zrkc_query_copy(run.Source(), run.Target(), static_cast<int>(option), &run.rRi, buffer,
                               static_cast<int>(size));
    });
}

// The layout of the result, or with -s its session's state as the exit code.
int ListQuery(ProgramRun &run, bool failed) {
    if (!failed && Has(run.rParam, kOptS)) return SessionStateExit(run.output);
    return ListResult(run, failed);
}

// ---- routes, aliases and the LAN --------------------------------------------

int SetRoute(ProgramRun &run) { return zrkc_set_routeinfo(run.Source(), run.Word(), &run.rRi); }

int QueryRoute(ProgramRun &run) {
    return CallIntoRecord<RouteInfo>(run, [&](void *buffer, uint32_t size) {
        return zrkc_query_routeinfo(run.Source(), run.Word(), &run.rRi, buffer, static_cast<int>(size));
    });
}

int ListAliases(ProgramRun &run) {
    return CallIntoRecord<AliasList>(run, [&](void *buffer, uint32_t size) {
        return zrkc_query_aliaslist(run.Word(), &run.rRi, buffer, static_cast<int>(size));
    });
}

// The entry's identifier (checked by CheckAliasId).
unsigned int AliasId(const ProgramRun &run) {
    unsigned int id = 0;
    ParseId(run.rParam.caOperand1, &id);
    return id;
}
const char *CheckAliasId(const CommandParam &p) {
    unsigned int id = 0;
    return ParseId(p.caOperand1, &id) ? nullptr : kWordInvalidId;
}

int ChangeAlias(ProgramRun &run) {
    return zrkc_change_alias(AliasId(run), run.rParam.caOperand2, run.Word(), &run.rRi);
}

// A LAN entry: its account's user and password.
int DeleteAliasOfAccount(ProgramRun &run) {
    char password[256] = {};
    Password(run.rParam, password);
    const int result = zrkc_delete_alias(AliasId(run), User(run.rParam.caOperand2).c_str(), password, run.Word(),
                                         &run.rRi);
    explicit_bzero(password, sizeof(password));
    return result;
}

int DeleteAlias(ProgramRun &run) { return zrkc_delete_alias(AliasId(run), nullptr, nullptr, run.Word(), &run.rRi); }

const char *CheckBoxId(const CommandParam &p) {
    return std::strlen(p.caOperand1) != ZRK_BOXID_LEN ? "BoxID" : nullptr;
}

int AddAlias(ProgramRun &run) { return zrkc_add_alias(run.Source(), run.Word(), &run.rRi); }

int SetLanRoute(ProgramRun &run) {
    char password[256] = {};
    Password(run.rParam, password);
    const int result = zrkc_set_iprouteinfo(run.Source(), User(run.rParam.caOperand2).c_str(), password,
                                            run.Word(), &run.rRi);
    explicit_bzero(password, sizeof(password));
    return result;
}

int LanLogin(ProgramRun &run) { return zrkc_iplogin(run.Source(), run.Word(), &run.rRi); }
int LanLogout(ProgramRun &run) { return zrkc_iplogout(run.Source(), run.Word(), &run.rRi); }

// ---- copy inhibit, LUN status and RVZ buffers --------------------------------

constexpr OptionRow kInhibitRows[] = {ExactlyOne(Opt(kOptSet | kOptRelease), "-set, -release")};

int SetCopyInhibit(ProgramRun &run) {
    const uint8_t state = Has(run.rParam, kOptSet) ? 1 : 0;
    return CallWithPairArea(run.rRi, run.area,
                            [&] { return zrkc_set_copyinhibit(run.Source(), state, run.Word(), &run.rRi); });
}

int QueryLunStatus(ProgramRun &run) {
    return CallGrowing(run, [&](void *buffer, uint32_t size) {
        return zrkc_query_lunstatus(run.Source(), run.Word(), &run.rRi, static_cast<LunStatusList *>(buffer),
                                    static_cast<int>(size));
    });
}

int QueryRvzBuff(ProgramRun &run) {
    return CallWithOutputArea(run.rRi, run.output, OutputRetry::ClearAll, [&](void *buffer, uint32_t size) {
        return zrkc_query_rvzbuff(run.Source(), run.Word(), &run.rRi, buffer, static_cast<int>(size));
    });
}

// rvzbuff -m: the buffer and one use of it.
constexpr OptionRow kRvzBuffChangeRows[] = {
    AtLeastOne(Opt(kOptNum), kWordOptionError),
    AtMostOne(Opt2(kOpt2Send | kOpt2Recv), "-send, -recv"),
    AtLeastOne(Opt2(kOpt2Send | kOpt2Recv), kWordOptionError),
};

// Never cut to 16 bits: 65541 would silently name buffer 5.
const char *CheckBufferId(const CommandParam &p) { return p.uiNumber > UINT16_MAX ? "-num" : nullptr; }

int ChangeRvzBuff(ProgramRun &run) {
    const uint16_t use = Has2(run.rParam, kOpt2Send) ? ZRKC_RVZBUFF_SEND : ZRKC_RVZBUFF_RECEIVE;
    return zrkc_change_rvzbuff(run.Source(), static_cast<uint16_t>(run.rParam.uiNumber), use,
                               Has2(run.rParam, kOpt2Box) ? run.rParam.caBoxID : nullptr, 0, &run.rRi);
}

// ---- copy priority ------------------------------------------------------------

constexpr const char *kWordPriorityKind = "-q, -local, -direct, -remote";
constexpr OptionRow kPriorityRows[] = {
    AtLeastOne(Opt2(kOpt2Q | kOpt2Local | kOpt2Direct | kOpt2Remote), kWordPriorityKind),
    Excludes(Opt2(kOpt2Q), Opt2(kOpt2Local | kOpt2Direct | kOpt2Remote), kWordPriorityKind),
    Excludes(Opt2(kOpt2Q), Opt2(kOpt2Box), "-q, -box"),
    Excludes(Opt2(kOpt2Local), Opt2(kOpt2Direct | kOpt2Remote), "-local, -direct, -remote"),
    Excludes(Opt2(kOpt2Local), Opt2(kOpt2Box | kOpt2Csv), "-local, -box , -csv"),
    AtMostOne(Opt2(kOpt2Direct | kOpt2Remote), "-direct, -remote"),
    Requires(Opt2(kOpt2Direct), Opt2(kOpt2Box), "-direct, -box"),
    Excludes(Opt2(kOpt2Direct), Opt2(kOpt2Csv), "-direct, -csv"),
    Requires(Opt2(kOpt2Remote), Opt2(kOpt2Box), "-remote, -box"),
    Excludes(Opt2(kOpt2Remote), Opt2(kOpt2Csv), "-remote, -csv"),
};

int QueryPriority(ProgramRun &run) {
    return CallIntoRecord<CopyPriorityInfo>(run, [&](void *buffer, uint32_t) {
        return zrkc_query_copypriority(run.Source(), 0, &run.rRi, static_cast<CopyPriorityInfo *>(buffer));
    });
}

int SetPriority(ProgramRun &run) {
    const CommandParam &param = run.rParam;
    CopyPriorityParam setting{};
    if (Has2(run.rParam, kOpt2Local)) {
        setting.ucLCopyRate = static_cast<uint8_t>(param.uiLevel);
    } else {
        setting.ucKind = ZRKC_PRIORITY_REMOTE;
        std::memcpy(setting.caBoxID, param.caBoxID, sizeof(setting.caBoxID));
        if (Has2(run.rParam, kOpt2Direct)) {
            setting.ucPriorityLevel = static_cast<uint8_t>(param.uiLevel);
        } else {
            setting.ucConnectionType = ZRKC_CONNECTION_REMOTE;
            setting.uhMultiplicity = static_cast<uint16_t>(param.uiLevel);
        }
    }
    return zrkc_change_copypriority(run.Source(), 0, &run.rRi, setting);
}

// ---- the program ----------------------------------------------------------------

constexpr OptionSet kCsv = Opt2(kOpt2Csv);
constexpr OptionSet kQueryKinds = Opt(kOptV | kOptVz | kOptKzp);
constexpr OptionSet kInhibit = Opt(kOptSet | kOptRelease);
constexpr OptionSet kLunStatus = Opt(kOptBitDsp) | kCsv;
constexpr OptionSet kPriority = Opt2(kOpt2Q | kOpt2Local | kOpt2Direct | kOpt2Remote | kOpt2Box | kOpt2Csv);

// The variants of alias are searched in this order: -l, -m, -d, -a.
constexpr FormRule kRules[] = {
    {.uiFunc = kFuncQuery, .iForm = kFormPair,
     .permitted = Opt(kOptBack | kOptS | kOptV) | Opt2(kOpt2Odx | kOpt2AccessPath | kOpt2Skzp) | kCsv,
     .after = kQueryPairRows, .pHandler = Query, .pList = ListQuery},
    {.uiFunc = kFuncQuery, .iForm = kFormVolume,
     .permitted = Opt(kOptG) | kQueryKinds | Opt2(kOpt2Odx | kOpt2Skzp) | kCsv, .after = kQueryVolumeRows,
     .pHandler = Query, .pList = ListQuery},
    {.uiFunc = kFuncQuery, .iForm = kFormVolumeB,
     .permitted = Opt(kOptB) | kQueryKinds | Opt2(kOpt2Tfop | kOpt2Vvol | kOpt2Odx | kOpt2Skzp) | kCsv,
     .after = kQueryVolumeRows, .pHandler = Query, .pList = ListQuery},
    {.uiFunc = kFuncQuery, .iForm = kFormGroupFile,
     .permitted = Opt(kOptBack | kOptGroupFile | kOptV | kOptG) | Opt2(kOpt2Odx | kOpt2AccessPath | kOpt2Skzp) | kCsv,
     .after = kQueryGroupRows, .pHandler = Query, .pList = ListQuery},
    {.uiFunc = kFuncRouteSet, .iForm = kFormVolume, .permitted = Opt(kOptN | kOptId), .pHandler = SetRoute},
    {.uiFunc = kFuncDest, .iForm = kFormVolume, .permitted = kCsv, .pHandler = QueryRoute, .pList = ListResult},
    {.uiFunc = kFuncAlias, .variant = Opt(kOptL), .iForm = kFormNone, .permitted = Opt(kOptL) | kCsv,
     .pHandler = ListAliases, .pList = ListResult},
    {.uiFunc = kFuncAlias, .variant = Opt(kOptM), .iForm = kFormPair, .permitted = Opt(kOptM),
     .pCheck = CheckAliasId, .pHandler = ChangeAlias},
    {.uiFunc = kFuncAlias, .variant = Opt(kOptD), .iForm = kFormPair, .permitted = Opt(kOptD) | Opt2(kOpt2Pw),
     .pCheck = CheckAliasId, .pHandler = DeleteAliasOfAccount},
    {.uiFunc = kFuncAlias, .variant = Opt(kOptD), .iForm = kFormVolume, .permitted = Opt(kOptD) | Opt2(kOpt2Pw),
     .pCheck = CheckAliasId, .pHandler = DeleteAlias},
    {.uiFunc = kFuncAlias, .variant = Opt2(kOpt2A), .iForm = kFormVolume, .permitted = Opt(kOptId) | Opt2(kOpt2A),
     .pCheck = CheckBoxId, .pHandler = AddAlias},
    {.uiFunc = kFuncCopyInhibit, .iForm = kFormVolume, .permitted = kInhibit, .after = kInhibitRows,
     .pHandler = SetCopyInhibit},
    {.uiFunc = kFuncCopyInhibit, .iForm = kFormGroupFile, .permitted = kInhibit | Opt(kOptBack | kOptGroupFile),
     .after = kInhibitRows, .pHandler = SetCopyInhibit},
    {.uiFunc = kFuncLunStatus, .iForm = kFormVolume, .permitted = kLunStatus, .pHandler = QueryLunStatus,
     .pList = ListResult},
    {.uiFunc = kFuncLunStatus, .iForm = kFormVolumeB, .permitted = kLunStatus | Opt(kOptB),
     .pHandler = QueryLunStatus, .pList = ListResult},
    {.uiFunc = kFuncLunStatus, .iForm = kFormGroupFile, .permitted = kLunStatus | Opt(kOptBack | kOptGroupFile),
     .pHandler = QueryLunStatus, .pList = ListResult},
    {.uiFunc = kFuncRvzBuff, .iForm = kFormVolume, .permitted = Opt(kOptNum | kOptV) | kCsv,
     .pHandler = QueryRvzBuff, .pList = ListResult},
    {.uiFunc = kFuncRvzBuff, .variant = Opt(kOptM), .iForm = kFormVolume,
     .permitted = Opt(kOptM | kOptNum) | Opt2(kOpt2Send | kOpt2Recv | kOpt2Box), .after = kRvzBuffChangeRows,
     .pCheck = CheckBufferId, .pHandler = ChangeRvzBuff},
    {.uiFunc = kFuncIpRouteSet, .iForm = kFormPair, .permitted = Opt(kOptId) | Opt2(kOpt2Pw),
     .pHandler = SetLanRoute},
    {.uiFunc = kFuncIpLogin, .iForm = kFormVolume, .pHandler = LanLogin},
    {.uiFunc = kFuncIpLogout, .iForm = kFormVolume, .pHandler = LanLogout},
    {.uiFunc = kFuncCopyPriority, .variant = Opt2(kOpt2Q), .iForm = kFormVolume, .permitted = kPriority,
     .after = kPriorityRows, .pHandler = QueryPriority, .pList = ListResult},
    {.uiFunc = kFuncCopyPriority, .iForm = kFormVolume, .permitted = kPriority, .after = kPriorityRows,
     .pHandler = SetPriority},
};

constexpr SubcommandWords kWords[] = {
    {kFuncAlias, kWordInvalidOption, nullptr},
    {kFuncIpRouteSet, nullptr, "ip_address and user_id is necessary"},
    {kFuncIpLogin, nullptr, "alias_name"},
    {kFuncIpLogout, nullptr, "alias_name"},
};

void Layouts() {
    RegisterCopyQueryLayouts();
    RegisterRouteLayouts();
    RegisterLunLayouts();
}

// A failed copy-inhibit line of a group file names its volume.
std::string Naming(const CommandParam &, const PairResult &entry) { return VolumeNaming(entry); }

}  // namespace

const ProgramTables kCopyProgram = {
    .pUsage = kUsageText, .rules = kRules, .words = kWords, .pLayouts = Layouts, .pNaming = Naming};

}  // namespace zrkcli
