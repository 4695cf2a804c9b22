// zrkcprogram.cpp - the one frame of the command programs.
#include "zrkcprogram.h"

#include "zrkcout.h"
#include "zrkcsafe.h"

#include <cstring>

namespace zrkcli {

bool Breaks(const OptionRow &row, const CommandParam &param) {
    const int given = CountGiven(param, row.set);
    switch (row.eKind) {
    case RowKind::AtMostOne: return given > 1;
    case RowKind::ExactlyOne: return given != 1;
    case RowKind::Requires: return (row.when.Empty() || CountGiven(param, row.when) > 0) && given == 0;
    case RowKind::Excludes: return CountGiven(param, row.when) > 0 && given > 0;
    }
    return false;
}

namespace {

bool Served(const ProgramTables &program, uint32_t func) {
    for (const FormRule &rule : program.rules) {
        if (rule.uiFunc == func) return true;
    }
    return false;
}

const SubcommandWords *WordsOf(const ProgramTables &program, uint32_t func) {
    for (const SubcommandWords &words : program.words) {
        if (words.uiFunc == func) return &words;
    }
    return nullptr;
}

// The variant the command line names, through *variant (empty: the rules
// without one); false when the subcommand's rules all have a variant and it
// names none.
bool ChooseVariant(const ProgramTables &program, const CommandParam &param, OptionSet *variant) {
    bool plain = false;
    for (const FormRule &rule : program.rules) {
        if (rule.uiFunc != param.uiFuncCode) continue;
        if (rule.variant.Empty()) {
            plain = true;
        } else if (CountGiven(param, rule.variant) > 0) {
            *variant = rule.variant;
            return true;
        }
    }
    *variant = {};
    return plain;
}

const FormRule *FindRule(const ProgramTables &program, const CommandParam &param, OptionSet variant) {
    for (const FormRule &rule : program.rules) {
        if (rule.uiFunc == param.uiFuncCode && rule.variant == variant && rule.iForm == param.iForm) {
            return &rule;
        }
    }
    return nullptr;
}

const char *BrokenRow(std::span<const OptionRow> rows, const CommandParam &param) {
    for (const OptionRow &row : rows) {
        if (Breaks(row, param)) return row.pWord;
    }
    return nullptr;
}

// The program's own exit for a result; see zrkcprogram.h.
int Report(const ProgramTables &program, const FormRule &rule, ProgramRun &run, int result) {
    if (result == -2) return kExitMemory;
    if (result == 1 && program.bWarnings) {
        PrintMessage(run.rRi);
        return kExitWarning;
    }
    const bool groupFailure = result == -1 && IsRunFailure(run.rRi, RunKind::GroupFile);
    if (rule.pList != nullptr && (result != -1 || groupFailure)) {
        if (program.pLayouts != nullptr) program.pLayouts();
        return rule.pList(run, groupFailure);
    }
    if (result != -1) return kExitOk;
    if (groupFailure) {
        const CommandParam &param = run.rParam;
        PrintPairErrors(run.rRi, RunKind::GroupFile, [&](const PairResult &entry) {
            return program.pNaming != nullptr ? program.pNaming(param, entry) : PairNaming(entry);
        });
    } else if (IsRunFailure(run.rRi, RunKind::SessionList)) {
        PrintPairErrors(run.rRi, RunKind::SessionList, SessionNaming);
    } else {
        PrintMessage(run.rRi);
    }
    return kExitError;
}

}  // namespace

const char *Refusal(const ProgramTables &program, const CommandParam &param, const char *typed,
                    const FormRule **rule) {
    if (!Served(program, param.uiFuncCode)) return typed;
    const SubcommandWords *words = WordsOf(program, param.uiFuncCode);
    OptionSet variant;
    if (!ChooseVariant(program, param, &variant) && words != nullptr && words->pNoVariant != nullptr) {
        return words->pNoVariant;
    }
    const FormRule *found = FindRule(program, param, variant);
    if (found == nullptr) return words != nullptr && words->pNoForm != nullptr ? words->pNoForm : kWordVolumeSpec;
    if (const char *word = BrokenRow(found->before, param)) return word;
    if (!OptionsPermitted(param, found->permitted)) return kWordNotPermitted;
    if (const char *word = BrokenRow(found->after, param)) return word;
    if (found->pCheck != nullptr) {
        if (const char *word = found->pCheck(param)) return word;
    }
    *rule = found;
    return nullptr;
}

int RunCommandProgram(int argc, char **argv, const ProgramTables &program) {
    OpenStandardDescriptors();
    static CommandParam param;
    const PasswordWipe wipePassword(param);
    ReturnInfo ri{};
    std::memset(ZrkcAccessPath, 0, sizeof(ZrkcAccessPath));
    SetUsageText(program.pUsage);
    if (parse_param(argc, argv, &param) != 0) {
        Usage();
        return kExitUsage;
    }
    const FormRule *rule = nullptr;
    if (const char *refused = Refusal(program, param, argv[1], &rule)) return Refuse(refused);

    // The alias of -p goes where the command layer reads it.
    if (Has2(param, kOpt2AccessPath)) {
        std::memcpy(ZrkcAccessPath, param.caAccessPath, sizeof(ZrkcAccessPath));
    }
    ProgramRun run{param, ri, program.pWord != nullptr ? program.pWord(param) : param.uiApiFlag, {}, {}};
    return Report(program, *rule, run, rule->pHandler(run));
}

int CallPairCommand(ProgramRun &run, PairCommand command) {
    return CallWithPairArea(run.rRi, run.area,
                            [&] { return command(run.Source(), run.Target(), run.Word(), &run.rRi); });
}

int CallSessionList(ProgramRun &run, int cliType) {
    if (!run.area.Allocate(kSessionListAreaSize)) {
        OutOfMemory();
        return -2;
    }
    run.rRi.pPairArea = run.area.Data();
    run.rRi.uiPairAreaLength = static_cast<uint32_t>(run.area.Size());
    return zrkc_execcli_sessionlist(run.Source(), cliType, run.Word(), &run.rRi);
}

int CallGrowing(ProgramRun &run, const std::function<int(void *, uint32_t)> &call) {
    return CallWithOutputArea(run.rRi, run.output, OutputRetry::KeepPairArea, [&](void *buffer, uint32_t size) {
        return CallWithPairArea(run.rRi, run.area, [&] { return call(buffer, size); });
    });
}

int ListResult(ProgramRun &run, bool failed) {
    const int code = list_out(static_cast<int>(run.output.Size()), run.output.Data(), run.rParam, run.rRi);
    return failed ? kExitError : code;
}

std::string VolumeNaming(const PairResult &entry) { return "Volume=(" + EntrySource(entry) + "). "; }

}  // namespace zrkcli
