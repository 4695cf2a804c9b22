// zrkcprogram.h - the main of the KZP-family and inquiry programs (zrkckzp,
// zrkcqkzp, zrkcskzp, zrkcinq). Each program is data: its usage text, one
// rule per subcommand and operand form, and the text that names a failed
// group-file entry. The frame first opens /dev/null on any closed standard
// descriptor (OpenStandardDescriptors), then parses, refuses, calls the
// command and reports.
//
// Order of the refusals (each prints the ZRKC0100 line and the usage text and
// exits kExitUsage): the parser; a subcommand the program does not serve (the
// word as typed); an operand form without a rule ("Volume specification");
// the rule's required option; the rule's excluded combination; the options
// the rule permits ("Non-permissible option").
//
// Exit codes: 0 the command succeeded (result 0 or 1; a warning prints
// nothing); 2 refused; 3 out of memory; 4 the command failed (-1): one
// ZRKC1804/ZRKC1834 line per failed entry of a group or session-list run, or
// the library's message. Subcommands with output print it through list_out
// after any result but -1, and after a group run with failed entries, whose
// rows then carry the failures (exit 4).
#pragma once

#include "zrkcargs.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace zrkcli {

// A pair command of the command layer (start, stop, restore).
using PairCommand = int (*)(char *source, char *target, int option, ReturnInfo *ri);

// What the frame calls for a rule.
enum class CallKind : uint8_t {
    Pair,          // the rule's pair command; group files retried on a small area
    SessionStop,   // zrkc_execcli_sessionlist with the stop of copy sessions
    InitSdv,       // zrkc_init_sdv, retried on a small area
    QuerySdv,      // zrkc_query_sdv, the output grown as the library asks
    QueryEstimate, // zrkc_query_estimate, likewise
    QuerySdp,      // zrkc_query_sdp into an SdpInfo
    GetVolume,     // zrkc_get_volume into a VolumeQueryInfo
    GetDevice,     // zrkc_get_device into a DeviceQueryInfo
};

// One subcommand in one operand form.
struct FormRule {
    uint32_t uiFunc;
    int32_t iForm;
    uint32_t uiRequired;        // opt_table flag that must be given, or 0
    const char *pRequiredWord;  // its refusal word
    uint32_t uiExcluded;        // opt_table flags that may not be given together, or 0
    const char *pExcludedWord;  // its refusal word
    uint32_t uiPermitted;       // opt_table flags permitted
    uint32_t uiPermitted2;      // opt_table2 flags permitted
    CallKind eCall;
    PairCommand pCommand;       // CallKind::Pair only
};

// One program.
struct ProgramTables {
    const char *pUsage;
    const FormRule *pRules;
    size_t uiRuleCount;
    // The naming text of a failed group-file entry (ZRKC1804); null: its
    // pair, "Source=(s). Target=(t).".
    std::string (*pNaming)(const CommandParam &param, const PairResult &entry);
};

// The whole main of a program; returns its exit code.
int RunCommandProgram(int argc, char **argv, const ProgramTables &program);

// The rule of the parsed subcommand and form, or null.
const FormRule *FindRule(const ProgramTables &program, const CommandParam &param);

}  // namespace zrkcli
