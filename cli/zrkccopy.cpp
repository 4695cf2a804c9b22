// zrkccopy - the command program of copy queries and of the host and array
// settings that are not copy sessions: routes and aliases, LAN routes and
// LAN login, copy inhibit, LUN status, RVZ buffers and copy priority.
//
// It checks the operand form and the options each subcommand permits, calls
// the one command function and reports: the result's layout on standard
// output, messages on standard error, and the exit code (0 done, 2 command
// line refused, 3 out of memory, 4 the command failed; query -s returns the
// session's state as 10 to 29, or 5 when the state has no code).
#include "zrkcargs.h"
#include "zrkcalias.h"
#include "zrkclun_out.h"
#include "zrkcmessages.h"
#include "zrkcout.h"
#include "zrkcquery_out.h"
#include "zrkcsafe.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

using namespace zrkcli;

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

constexpr const char *kWordOptionError = "option error";
constexpr const char *kWordInvalidOption = "Invalid option";
constexpr const char *kWordInvalidId = "Invalid ID";

// Exit code of query -s when the session's state has no code of its own.
constexpr int kExitInconsistent = 5;

// The variants of the subcommands that have more than one.
enum class Variant { Plain, AliasList, AliasChange, AliasDelete, AliasAdd, RvzBuffChange };

// The operand forms of each subcommand and variant and the options they
// permit.
struct FormRow {
    uint32_t uiFunc;
    Variant eVariant;
    int32_t iForm;
    uint32_t uiPermitted;
    uint32_t uiPermitted2;
};
constexpr uint32_t kQueryVolumeOpts = kOptV | kOptVz | kOptKzp;
constexpr uint32_t kInhibitOpts = kOptSet | kOptRelease;
constexpr uint32_t kPriorityOpts2 = kOpt2Q | kOpt2Local | kOpt2Direct | kOpt2Remote | kOpt2Box | kOpt2Csv;
constexpr FormRow kForms[] = {
    {kFuncQuery, Variant::Plain, kFormPair, kOptBack | kOptS | kOptV,
     kOpt2Odx | kOpt2AccessPath | kOpt2Skzp | kOpt2Csv},
    {kFuncQuery, Variant::Plain, kFormVolume, kOptG | kQueryVolumeOpts, kOpt2Odx | kOpt2Skzp | kOpt2Csv},
    {kFuncQuery, Variant::Plain, kFormVolumeB, kOptB | kQueryVolumeOpts,
     kOpt2Tfop | kOpt2Vvol | kOpt2Odx | kOpt2Skzp | kOpt2Csv},
    {kFuncQuery, Variant::Plain, kFormGroupFile, kOptBack | kOptGroupFile | kOptV | kOptG,
     kOpt2Odx | kOpt2AccessPath | kOpt2Skzp | kOpt2Csv},
    {kFuncRouteSet, Variant::Plain, kFormVolume, kOptN | kOptId, 0},
    {kFuncDest, Variant::Plain, kFormVolume, 0, kOpt2Csv},
    {kFuncAlias, Variant::AliasList, kFormNone, kOptL, kOpt2Csv},
    {kFuncAlias, Variant::AliasChange, kFormPair, kOptM, 0},
    {kFuncAlias, Variant::AliasDelete, kFormPair, kOptD, kOpt2Pw},
    {kFuncAlias, Variant::AliasDelete, kFormVolume, kOptD, kOpt2Pw},
    {kFuncAlias, Variant::AliasAdd, kFormVolume, kOptId, kOpt2A},
    {kFuncCopyInhibit, Variant::Plain, kFormVolume, kInhibitOpts, 0},
    {kFuncCopyInhibit, Variant::Plain, kFormGroupFile, kInhibitOpts | kOptBack | kOptGroupFile, 0},
    {kFuncLunStatus, Variant::Plain, kFormVolume, kOptBitDsp, kOpt2Csv},
    {kFuncLunStatus, Variant::Plain, kFormVolumeB, kOptBitDsp | kOptB, kOpt2Csv},
    {kFuncLunStatus, Variant::Plain, kFormGroupFile, kOptBitDsp | kOptBack | kOptGroupFile, kOpt2Csv},
    {kFuncRvzBuff, Variant::Plain, kFormVolume, kOptNum | kOptV, kOpt2Csv},
    {kFuncRvzBuff, Variant::RvzBuffChange, kFormVolume, kOptM | kOptNum, kOpt2Send | kOpt2Recv | kOpt2Box},
    {kFuncIpRouteSet, Variant::Plain, kFormPair, kOptId, kOpt2Pw},
    {kFuncIpLogin, Variant::Plain, kFormVolume, 0, 0},
    {kFuncIpLogout, Variant::Plain, kFormVolume, 0, 0},
    {kFuncCopyPriority, Variant::Plain, kFormVolume, 0, kPriorityOpts2},
};

bool Has(const CommandParam &p, uint32_t flag) { return (p.uiOptFlag & flag) != 0; }
bool Has2(const CommandParam &p, uint32_t flag) { return (p.uiOptFlag2 & flag) != 0; }
bool Served(uint32_t func) {
    for (const FormRow &row : kForms) {
        if (row.uiFunc == func) return true;
    }
    return false;
}

// The variant the options choose, or the refusal word in *refused.
bool ChooseVariant(const CommandParam &p, Variant *variant, const char **refused) {
    *variant = Variant::Plain;
    if (p.uiFuncCode == kFuncAlias) {
        if (Has(p, kOptL)) *variant = Variant::AliasList;
        else if (Has(p, kOptM)) *variant = Variant::AliasChange;
        else if (Has(p, kOptD)) *variant = Variant::AliasDelete;
        else if (Has2(p, kOpt2A)) *variant = Variant::AliasAdd;
        else {
            *refused = kWordInvalidOption;
            return false;
        }
    } else if (p.uiFuncCode == kFuncRvzBuff && Has(p, kOptM)) {
        *variant = Variant::RvzBuffChange;
    }
    return true;
}

// The refusal word of an operand form the subcommand does not take.
const char *FormWord(uint32_t func) {
    switch (func) {
    case kFuncIpRouteSet: return "ip_address and user_id is necessary";
    case kFuncIpLogin:
    case kFuncIpLogout: return "alias_name";
    default: return kWordVolumeSpec;
    }
}

const FormRow *FindForm(const CommandParam &p, Variant variant) {
    for (const FormRow &row : kForms) {
        if (row.uiFunc == p.uiFuncCode && row.eVariant == variant && row.iForm == p.iForm) return &row;
    }
    return nullptr;
}

// The combination checks of query: the refused word, or null.
const char *QueryConflict(const CommandParam &p) {
    const bool skzp = Has2(p, kOpt2Skzp), odx = Has2(p, kOpt2Odx), path = Has2(p, kOpt2AccessPath);
    const bool g = Has(p, kOptG);
    const int kinds = int(Has(p, kOptVz)) + int(Has(p, kOptKzp)) + int(odx);
    switch (p.iForm) {
    case kFormPair:
        if (Has(p, kOptS) && Has(p, kOptV)) return "-s -v";
        if (skzp && path) return "-skzp -p";
        if (skzp && odx) return "-skzp -odx";
        return nullptr;
    case kFormVolume:
    case kFormVolumeB:
        if (p.iForm == kFormVolume && g && (p.uiOptFlag & ~kOptG) != 0) return "-g";
        if (kinds >= 2) return "-vz, -kzp, -odx";
        if (Has(p, kOptVz) && skzp) return "-vz, -skzp";
        if (odx && skzp) return "-odx, -skzp";
        return nullptr;
    default:  // group file
        if (g && (p.uiOptFlag & ~(kOptG | kOptGroupFile)) != 0) return "-g";
        if (skzp && path) return "-skzp -p";
        if (g && path) return "-g -p";
        if (skzp && odx) return "-skzp -odx";
        if (g && odx) return "-g -odx";
        return nullptr;
    }
}

// The combination checks of copypriority: the refused word, or null.
const char *PriorityConflict(const CommandParam &p) {
    const bool q = Has2(p, kOpt2Q), local = Has2(p, kOpt2Local), direct = Has2(p, kOpt2Direct),
               remote = Has2(p, kOpt2Remote), box = Has2(p, kOpt2Box), csv = Has2(p, kOpt2Csv);
    if (!q && !local && !direct && !remote) return "-q, -local, -direct, -remote";
    if (q && (local || direct || remote)) return "-q, -local, -direct, -remote";
    if (q && box) return "-q, -box";
    if (local && (direct || remote)) return "-local, -direct, -remote";
    if (local && (box || csv)) return "-local, -box , -csv";
    if (direct && remote) return "-direct, -remote";
    if (direct && !box) return "-direct, -box";
    if (direct && csv) return "-direct, -csv";
    if (remote && !box) return "-remote, -box";
    if (remote && csv) return "-remote, -csv";
    return nullptr;
}

// The checks of each subcommand after its form and masks: the refused word,
// or null.
const char *Conflict(const CommandParam &p, Variant variant) {
    switch (p.uiFuncCode) {
    case kFuncQuery: return QueryConflict(p);
    case kFuncCopyInhibit: return Has(p, kOptSet) == Has(p, kOptRelease) ? "-set, -release" : nullptr;
    case kFuncCopyPriority: return PriorityConflict(p);
    case kFuncRvzBuff:
        if (variant != Variant::RvzBuffChange) return nullptr;
        if (!Has(p, kOptNum)) return kWordOptionError;
        if (Has2(p, kOpt2Send) && Has2(p, kOpt2Recv)) return "-send, -recv";
        if (!Has2(p, kOpt2Send) && !Has2(p, kOpt2Recv)) return kWordOptionError;
        // Never cut to 16 bits: 65541 would silently name buffer 5.
        if (p.uiNumber > UINT16_MAX) return "-num";
        return nullptr;
    case kFuncAlias:
        if (variant == Variant::AliasAdd && std::strlen(p.caOperand1) != ZRK_BOXID_LEN) return "BoxID";
        return nullptr;
    default: return nullptr;
    }
}

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

// The naming of a failed copy-inhibit line of a group file; like every
// naming it ends in a blank.
std::string VolumeNaming(const PairResult &entry) { return "Volume=(" + EntrySource(entry) + "). "; }

// Prints the result through its layout; a partly failed group-file run
// keeps its exit code 4.
int PrintResult(const PairArea &output, const CommandParam &param, const ReturnInfo &ri, bool failed) {
    const int code = list_out(static_cast<int>(output.Size()), output.Data(), param, ri);
    return failed ? kExitError : code;
}

// A query that grows both its per-pair area and its output area on demand,
// starting from neither.
int CallGrowing(ReturnInfo &ri, PairArea &area, PairArea &output,
                const std::function<int(void *, uint32_t)> &call) {
    return CallWithOutputArea(ri, output, OutputRetry::KeepPairArea, [&](void *buffer, uint32_t size) {
        return CallWithPairArea(ri, area, [&] { return call(buffer, size); });
    });
}

int Run(int argc, char **argv) {
    static CommandParam param;
    const PasswordWipe wipePassword(param);
    ReturnInfo ri{};
    std::memset(ZrkcAccessPath, 0, sizeof(ZrkcAccessPath));
    SetUsageText(kUsageText);
    if (parse_param(argc, argv, &param) != 0) {
        Usage();
        return kExitUsage;
    }
    if (!Served(param.uiFuncCode)) return Refuse(argv[1]);
    Variant variant = Variant::Plain;
    const char *refused = nullptr;
    if (!ChooseVariant(param, &variant, &refused)) return Refuse(refused);
    const FormRow *form = FindForm(param, variant);
    if (form == nullptr) return Refuse(FormWord(param.uiFuncCode));
    if (!OptionsPermitted(param, form->uiPermitted, form->uiPermitted2)) return Refuse(kWordNotPermitted);
    refused = Conflict(param, variant);
    if (refused != nullptr) return Refuse(refused);
    unsigned int id = 0;
    if ((variant == Variant::AliasChange || variant == Variant::AliasDelete) && !ParseId(param.caOperand1, &id)) {
        return Refuse(kWordInvalidId);
    }

    RegisterCopyQueryLayouts();
    RegisterRouteLayouts();
    RegisterLunLayouts();
    char *volume = param.caOperand1;
    const int word = static_cast<int>(param.uiApiFlag);
    PairArea area;
    PairArea output;
    int result = 0;
    switch (param.uiFuncCode) {
    case kFuncQuery: {
        uint32_t option = param.uiApiFlag;
        if (Has(param, kOptV)) option = (option & ~ZRKC_OPT_QUERY_DETAIL) | ZRKC_OPT_QUERY_DETAIL_EX;
        if (Has2(param, kOpt2AccessPath)) {
            std::memcpy(ZrkcAccessPath, param.caAccessPath, sizeof(ZrkcAccessPath));
        }
        char *target = param.iForm == kFormPair ? param.caOperand2 : nullptr;
        result = CallGrowing(ri, area, output, [&](void *buffer, uint32_t size) {
            return zrkc_query_copy(volume, target, static_cast<int>(option), &ri, buffer, static_cast<int>(size));
        });
        if (result == -2) return kExitMemory;
        if (result == -1 && IsRunFailure(ri, RunKind::GroupFile)) return PrintResult(output, param, ri, true);
        if (result == -1) break;
        if (Has(param, kOptS)) return SessionStateExit(output);
        return PrintResult(output, param, ri, false);
    }
    case kFuncLunStatus:
        result = CallGrowing(ri, area, output, [&](void *buffer, uint32_t size) {
            return zrkc_query_lunstatus(volume, word, &ri, static_cast<LunStatusList *>(buffer),
                                        static_cast<int>(size));
        });
        if (result == -2) return kExitMemory;
        if (result == -1 && IsRunFailure(ri, RunKind::GroupFile)) return PrintResult(output, param, ri, true);
        if (result == -1) break;
        return PrintResult(output, param, ri, false);
    case kFuncRvzBuff:
        if (variant == Variant::RvzBuffChange) {
            const uint16_t use = Has2(param, kOpt2Send) ? 1 : 2;
            result = zrkc_change_rvzbuff(volume, static_cast<uint16_t>(param.uiNumber), use,
                                         Has2(param, kOpt2Box) ? param.caBoxID : nullptr, 0, &ri);
            break;
        }
        result = CallWithOutputArea(ri, output, OutputRetry::ClearAll, [&](void *buffer, uint32_t size) {
            return zrkc_query_rvzbuff(volume, word, &ri, buffer, static_cast<int>(size));
        });
        if (result == -2) return kExitMemory;
        if (result == -1) break;
        return PrintResult(output, param, ri, false);
    case kFuncDest:
    case kFuncAlias:
    case kFuncCopyPriority: {
        size_t size = 0;
        if (param.uiFuncCode == kFuncDest) size = sizeof(RouteInfo);
        else if (variant == Variant::AliasList) size = sizeof(AliasList);
        else if (Has2(param, kOpt2Q)) size = sizeof(CopyPriorityInfo);
        if (size != 0 && !output.Allocate(size)) return OutOfMemory();
        if (param.uiFuncCode == kFuncDest) {
            result = zrkc_query_routeinfo(volume, word, &ri, output.Data(), static_cast<int>(size));
        } else if (param.uiFuncCode == kFuncCopyPriority && size != 0) {
            result = zrkc_query_copypriority(volume, 0, &ri, static_cast<CopyPriorityInfo *>(output.Data()));
        } else if (param.uiFuncCode == kFuncCopyPriority) {
            CopyPriorityParam setting{};
            if (Has2(param, kOpt2Local)) {
                setting.ucLCopyRate = static_cast<uint8_t>(param.uiLevel);
            } else {
                setting.ucKind = 1;
                std::memcpy(setting.caBoxID, param.caBoxID, sizeof(setting.caBoxID));
                if (Has2(param, kOpt2Direct)) {
                    setting.ucPriorityLevel = static_cast<uint8_t>(param.uiLevel);
                } else {
                    setting.ucConnectionType = 1;
                    setting.uhMultiplicity = static_cast<uint16_t>(param.uiLevel);
                }
            }
            result = zrkc_change_copypriority(volume, 0, &ri, setting);
        } else if (variant == Variant::AliasList) {
            result = zrkc_query_aliaslist(word, &ri, output.Data(), static_cast<int>(size));
        } else if (variant == Variant::AliasChange) {
            result = zrkc_change_alias(id, param.caOperand2, word, &ri);
        } else if (variant == Variant::AliasDelete && param.iForm == kFormPair) {
            char password[256] = {};
            Password(param, password);
            result = zrkc_delete_alias(id, User(param.caOperand2).c_str(), password, word, &ri);
            explicit_bzero(password, sizeof(password));
        } else if (variant == Variant::AliasDelete) {
            result = zrkc_delete_alias(id, nullptr, nullptr, word, &ri);
        } else {
            result = zrkc_add_alias(volume, word, &ri);
        }
        if (result != -1 && size != 0) return PrintResult(output, param, ri, false);
        break;
    }
    case kFuncRouteSet: result = zrkc_set_routeinfo(volume, word, &ri); break;
    case kFuncIpRouteSet: {
        char password[256] = {};
        Password(param, password);
        result = zrkc_set_iprouteinfo(volume, User(param.caOperand2).c_str(), password, word, &ri);
        explicit_bzero(password, sizeof(password));
        break;
    }
    case kFuncIpLogin: result = zrkc_iplogin(volume, word, &ri); break;
    case kFuncIpLogout: result = zrkc_iplogout(volume, word, &ri); break;
    default: {  // copyinhibit
        const uint8_t state = Has(param, kOptSet) ? 1 : 0;
        result = CallWithPairArea(ri, area, [&] { return zrkc_set_copyinhibit(volume, state, word, &ri); });
        if (result == -2) return kExitMemory;
        if (result == -1 && IsRunFailure(ri, RunKind::GroupFile)) {
            PrintPairErrors(ri, RunKind::GroupFile, VolumeNaming);
            return kExitError;
        }
        break;
    }
    }
    if (result != -1) return kExitOk;
    PrintMessage(ri);
    return kExitError;
}

}  // namespace

int main(int argc, char **argv) {
    zrkcli::OpenStandardDescriptors();
    return Run(argc, argv);
}
