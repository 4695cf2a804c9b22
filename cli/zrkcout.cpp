// zrkcout.cpp - the output half of the programs' shared module.
#include "zrkcout.h"

#include "zrkcmessages.h"
#include "zrkcquery.h"

#include <array>
#include <cstdarg>
#include <cstddef>
#include <cstring>

namespace zrkcli {

namespace {

struct CodeWord {
    int32_t iCode;
    char caWord[32];
};

// The nine code-to-word tables, in the order make_str numbers them.
constexpr CodeWord kKindTable[] = {
    {ZRKC_QKIND_KZP, "KZP"}, {ZRKC_QKIND_QUICKKZP, "QUICK"}, {ZRKC_QKIND_SNAPKZP, "SNAP"},
    {ZRKC_QKIND_VZ, "VZ"}, {ZRKC_QKIND_RVZ, "RVZ"}, {ZRKC_QKIND_ESTIMATE, "ESTIMATE"},
    {ZRKC_QKIND_SNAPKZP_ONLY, "SKZP"}, {8, "XCOPY"}, {9, "ODX"}, {18, "TFOP"}, {19, "VClone"}, {22, "VSnap"},
    {23, "VFast"}, {21, "VDiffs"}, {20, "VRevert"},
};
constexpr CodeWord kStatusTable[] = {
    {ZRKC_SESSION_IDLE, "Idle"},      {ZRKC_SESSION_RESERVE, "Reserve"},
    {ZRKC_SESSION_ACTIVE, "Active"},  {ZRKC_SESSION_ERROR_SUSPEND, "ErrorSuspend"},
    {ZRKC_SESSION_SUSPEND, "Suspend"}, {ZRKC_SESSION_HALT, "Halt"},
};
constexpr CodeWord kPhaseTable[] = {
    {0, "NoPair"}, {ZRKC_QPHASE_COPYING, "Copying"}, {2, "Equivalent"}, {3, "Tracking"},
    {4, "Tracking&Copying"}, {6, "Readying"},
};
constexpr CodeWord kSdvStatusTable[] = {{0, "Normal"}, {ZRKC_SDV_FLAG_INITIALIZING, "Initializing"}};
constexpr CodeWord kCmdStatusTable[] = {
    {ZRKC_COMMAND_DEFAULT, "Default"}, {ZRKC_COMMAND_EXECUTING, "Executing"},
    {ZRKC_COMMAND_ERROR, "Error"},     {ZRKC_COMMAND_UNKNOWN, "Unknown"},
};
constexpr CodeWord kRwProtectTable[] = {{0, "OFF"}, {1, "ON"}};
constexpr CodeWord kLicenseTable[] = {{0, "Regular"}, {1, "Trial"}, {255, "Invalid"}};
constexpr CodeWord kCtlTypeTable[] = {{0, "SCSI"}, {1, "CLI"}, {2, "GUI"}, {3, "SMIS"}, {4, "LAN"}};
constexpr CodeWord kCopyRateTable[] = {
    {0, "Auto"}, {1, "Low"}, {2, "High"}, {3, "Very-Low"}, {4, "Middle"},
};

struct Table {
    const CodeWord *pRows;
    size_t uiCount;
};
constexpr std::array<Table, 9> kTables = {{
    {kKindTable, std::size(kKindTable)},           {kStatusTable, std::size(kStatusTable)},
    {kPhaseTable, std::size(kPhaseTable)},         {kSdvStatusTable, std::size(kSdvStatusTable)},
    {kCmdStatusTable, std::size(kCmdStatusTable)}, {kRwProtectTable, std::size(kRwProtectTable)},
    {kLicenseTable, std::size(kLicenseTable)},     {kCtlTypeTable, std::size(kCtlTypeTable)},
    {kCopyRateTable, std::size(kCopyRateTable)},
}};

}  // namespace

std::string Format(const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<size_t>(length));
    }
    va_end(args);
    return text;
}

std::string FormatNumber(const char *format, unsigned long long value) { return Format(format, value); }

void Put(FILE *stream, const std::string &text) { std::fwrite(text.data(), 1, text.size(), stream); }

bool Csv(const CommandParam &param) { return (param.uiOptFlag2 & kOpt2Csv) != 0; }

namespace {

std::array<LayoutPrinter, 18> gPrinters{};   // by layout number

constexpr const char *kDashes10 = "----------";

}  // namespace

int ChooseLayout(const CommandParam &param) {
    switch (param.uiFuncCode) {
    case kFuncQuery: {
        int layout = (param.uiOptFlag & kOptV) ? kLayoutQueryDetail
                   : (param.uiOptFlag & kOptG) ? kLayoutGenerations : kLayoutQuery;
        if (param.uiOptFlag2 & kOpt2Tfop) {
            layout = kLayoutQueryTfop;
        } else if (param.uiOptFlag2 & kOpt2Vvol) {
            layout = kLayoutQueryVvol;
        }
        return layout;
    }
    case kFuncSdvInfo: return kLayoutSdvInfo;
    case kFuncEstimate: return kLayoutEstimate;
    case kFuncSdpInfo: return kLayoutSdpInfo;
    case kFuncDest: return kLayoutDest;
    case kFuncAlias: return kLayoutAlias;
    case kFuncLunStatus: return kLayoutLunStatus;
    case kFuncSuspendStatus: return kLayoutSuspendStatus;
    case kFuncRvzBuff: return (param.uiOptFlag & kOptV) ? kLayoutRvzBuffDetail : kLayoutRvzBuff;
    case kFuncDevice: return kLayoutDevice;
    case kFuncCopyPriority: return kLayoutCopyPriority;
    default: return kLayoutVol;
    }
}

void RegisterLayout(int layout, LayoutPrinter printer) {
    if (layout >= 1 && layout < static_cast<int>(gPrinters.size())) gPrinters[static_cast<size_t>(layout)] = printer;
}

int ListOut(int resultSize, const void *result, const CommandParam &param, const ReturnInfo &ri,
            const Out &out) {
    const int layout = ChooseLayout(param);
    const LayoutPrinter printer = gPrinters[static_cast<size_t>(layout)];
    if (printer == nullptr) {
        // A layout this program was built without: say so rather than print nothing.
        Put(out.pErr, zrkc::TextOf(zrkc::Msg::InternalInconsistency));
        return 2;
    }
    return printer(resultSize, result, param, ri, out);
}

int list_out(int resultSize, const void *result, CommandParam param, ReturnInfo ri) {
    const int rc = ListOut(resultSize, result, param, ri, Out{stdout, stderr});
    std::fflush(stdout);
    return rc;
}

void make_str(unsigned table, int code, char *word) {
    if (table < 1 || table > kTables.size()) return;
    const Table &t = kTables[table - 1];
    for (size_t i = 0; i < t.uiCount; ++i) {
        if (t.pRows[i].iCode == code) {
            std::memcpy(word, t.pRows[i].caWord, std::strlen(t.pRows[i].caWord) + 1);
            return;
        }
    }
}

std::string Word(unsigned table, int code) {
    char word[32] = {};
    make_str(table, code, word);
    return word;
}

std::string check_str(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '"') out += '"';
    }
    return out;
}

std::string clear_space(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string conv_volume(std::string_view name, uint32_t olu, uint64_t start,
                        std::string_view size, std::string_view alias) {
    if (name.size() < 2 || name[1] != 'x') return std::string(name);
    std::string out;
    if (name.find(':') != std::string_view::npos) {
        out = Format("0x%x:0x%llx:", olu, static_cast<unsigned long long>(start));
        out += size;
    } else {
        out = Format("0x%x", olu);
    }
    out += '@';
    out += alias;
    // The name lives in a 1025-byte field wherever it is stored.
    if (out.size() > ZRK_VOLNAME_LEN) out.resize(ZRK_VOLNAME_LEN);
    return out;
}

std::string KbText(uint64_t blocks) {
    return Format("%llu.%c", static_cast<unsigned long long>(blocks / 2), (blocks & 1) ? '5' : '0');
}

uint64_t MbCount(uint64_t blocks) { return blocks / 2048 + (blocks % 2048 != 0 ? 1 : 0); }

std::string CsvLine(const std::vector<CsvField> &fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i != 0) line += ',';
        line += '"';
        switch (fields[i].eKind) {
        case CsvKind::Plain: line += clear_space(fields[i].sText); break;
        case CsvKind::Name: line += check_str(clear_space(fields[i].sText)); break;
        case CsvKind::Raw: line += fields[i].sText; break;
        }
        line += '"';
    }
    line += '\n';
    return line;
}

EntryRow ClassifyEntry(const CommandParam &param, const ReturnInfo &ri, uint32_t i,
                       bool hasPlaceholder) {
    if ((param.uiOptFlag & kOptGroupFile) == 0) return EntryRow::Data;
    const PairResult *entry = PairEntry(ri, i);
    if (entry == nullptr || entry->iReturnClass == ZRKC_CLASS_OK) return EntryRow::Data;
    if (hasPlaceholder && entry->iReturnClass == ZRKC_CLASS_STATE &&
        entry->uiMessageNo == zrkc::Msg::SessionMissing) {
        return EntryRow::Placeholder;
    }
    return EntryRow::Error;
}

std::string FieldText(const char *field, size_t size) {
    std::string text(field, strnlen(field, size));
    // The array's bytes never drive the terminal: a control byte (a line
    // feed among them, which would forge a row) is shown as "?".
    for (char &c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = '?';
    }
    return text;
}

std::string EntrySource(const PairResult &e) { return FieldText(e.caSource, sizeof(e.caSource)); }
std::string EntryTarget(const PairResult &e) { return FieldText(e.caTarget, sizeof(e.caTarget)); }

void PrintEntryError(const CommandParam &param, const ReturnInfo &ri, uint32_t i, bool byPair,
                     size_t fieldCount, const Out &out) {
    const PairResult *entry = PairEntry(ri, i);
    if (entry == nullptr) return;
    const std::string naming = byPair
        ? PairNaming(*entry)
        : "Volume=(" + EntrySource(*entry) + ").";
    std::string line = PairErrorLine(RunKind::GroupFile, naming, *entry);
    if (!Csv(param)) {
        Put(out.pErr, line);
        return;
    }
    line.pop_back();
    std::vector<CsvField> fields(fieldCount == 0 ? 1 : fieldCount);
    fields[0] = {line, CsvKind::Name};
    Put(out.pOut, CsvLine(fields));
}

void PrintSdvInfo(const std::vector<SdvInfoRow> &rows, const CommandParam &param,
                  const ReturnInfo &ri, const Out &out) {
    const bool csv = Csv(param);
    Put(out.pOut, csv ? "\"Volume\",\"Status\",\"LogicalSize(KB)\",\"PhysicalSize(KB)\","
                        "\"UsedSDV(Host)(KB)\",\"UsedSDV(Copy)(KB)\",\"UsedSDP(Host)(KB)\","
                        "\"UsedSDP(Copy)(KB)\"\n"
                      : "Volume                   Status        LogicalSize(KB)        "
                        "PhysicalSize(KB)       UsedSDV(Host / Copy)(KB)                       "
                        "UsedSDP(Host / Copy)(KB)\n");
    for (uint32_t i = 0; i < rows.size(); ++i) {
        if (ClassifyEntry(param, ri, i, false) != EntryRow::Data) {
            PrintEntryError(param, ri, i, false, 8, out);
            continue;
        }
        const SdvInfoRow &r = rows[i];
        const std::string status = Word(kTableSdvStatus, static_cast<int>(r.uiFlag & ZRKC_SDV_FLAG_INITIALIZING));
        if (csv) {
            Put(out.pOut, CsvLine({{r.sVolume, CsvKind::Name}, {status}, {KbText(r.ulLogical)},
                                   {KbText(r.ulPhysical)}, {KbText(r.ulSnapHost)},
                                   {KbText(r.ulSnapCopy)}, {KbText(r.ulPoolHost)},
                                   {KbText(r.ulPoolCopy)}}));
        } else {
            Put(out.pOut, Format("%-23s  %-12s  %-21s  %-21s  %-21s / %-21s  %-21s / %-21s\n",
                                 r.sVolume.c_str(), status.c_str(), KbText(r.ulLogical).c_str(),
                                 KbText(r.ulPhysical).c_str(), KbText(r.ulSnapHost).c_str(),
                                 KbText(r.ulSnapCopy).c_str(), KbText(r.ulPoolHost).c_str(),
                                 KbText(r.ulPoolCopy).c_str()));
        }
    }
}

void PrintEstimate(const std::vector<EstimateRow> &rows, const CommandParam &param,
                   const ReturnInfo &ri, const Out &out) {
    const bool csv = Csv(param);
    Put(out.pOut, csv ? "\"Volume\",\"EstimateSize(MB)\"\n" : "Volume                   EstimateSize(MB)\n");
    for (uint32_t i = 0; i < rows.size(); ++i) {
        switch (ClassifyEntry(param, ri, i, true)) {
        case EntryRow::Error:
            PrintEntryError(param, ri, i, false, 2, out);
            continue;
        case EntryRow::Placeholder: {
            const std::string source = EntrySource(*PairEntry(ri, i));
            Put(out.pOut, csv ? CsvLine({{source, CsvKind::Raw}, {"----------------"}})
                              : Format("%-23s  ----------------\n", source.c_str()));
            continue;
        }
        case EntryRow::Data:
            break;
        }
        const EstimateRow &r = rows[i];
        const unsigned long long mb = MbCount(r.ulBlocks);
        Put(out.pOut, csv ? CsvLine({{r.sVolume, CsvKind::Name}, {Format("%llu", mb)}})
                          : Format("%-23s  %-16llu\n", r.sVolume.c_str(), mb));
    }
}

void PrintSdpInfo(const SdpInfoRow &r, const CommandParam &param, const Out &out) {
    if (Csv(param)) {
        Put(out.pOut, "\"SDP total size(KB)\",\"Used SDP(Host)(KB)\",\"Used SDP(Copy)(KB)\","
                      "\"SDP(Encryption) total size(KB)\",\"Used SDP(Encryption)(Host)(KB)\","
                      "\"Used SDP(Encryption)(Copy)(KB)\"\n");
        Put(out.pOut, CsvLine({{KbText(r.ulBlk)}, {KbText(r.ulHostUse)}, {KbText(r.ulCopyUse)},
                               {KbText(r.ulEnc)}, {KbText(r.ulEncHostUse)}, {KbText(r.ulEncCopyUse)}}));
        return;
    }
    Put(out.pOut, "SDP total size(KB)     Used SDP(Host)(KB)     Used SDP(Copy)(KB)     "
                  "SDP(Encryption) total size(KB)  Used SDP(Encryption)(Host)(KB)  "
                  "Used SDP(Encryption)(Copy)(KB)\n");
    Put(out.pOut, Format("%-21s  %-21s  %-21s  %-21s           %-21s           %-21s\n",
                         KbText(r.ulBlk).c_str(), KbText(r.ulHostUse).c_str(),
                         KbText(r.ulCopyUse).c_str(), KbText(r.ulEnc).c_str(),
                         KbText(r.ulEncHostUse).c_str(), KbText(r.ulEncCopyUse).c_str()));
}

void PrintSuspendStatus(const std::vector<SuspendStatusRow> &rows, const CommandParam &param,
                        const ReturnInfo &ri, const Out &out) {
    constexpr uint32_t kUnknown = 0xFFFFFFFFu;
    const auto inError = [](const SuspendStatusRow &r) {
        return r.ucStatus == ZRKC_SESSION_HALT || r.ucStatus == ZRKC_SESSION_ERROR_SUSPEND ||
               r.ucCmdStatus == ZRKC_COMMAND_ERROR;
    };
    // The group state: the first failed item makes it Error; an unknown time
    // makes it Warning; otherwise the largest remaining time counts.
    const char *state = "Normal";
    uint32_t largest = 0;
    for (uint32_t i = 0; i < rows.size(); ++i) {
        const bool failedLine = ClassifyEntry(param, ri, i, false) != EntryRow::Data;
        if (failedLine || inError(rows[i])) {
            state = "Error";
            break;
        }
        if (rows[i].uiRemaining == kUnknown) {
            state = "Warning";
        } else if (rows[i].uiRemaining > largest) {
            largest = rows[i].uiRemaining;
        }
    }
    const bool normal = std::strcmp(state, "Normal") == 0;
    const std::string maxText = normal ? Format("%u", largest) : kDashes10;
    const bool csv = Csv(param);
    if (csv) {
        Put(out.pOut, "\"GroupStatus\",\"MaxRemainingTime(s)\",\"CopyKind\",\"Source\",\"Target\","
                      "\"Status\",\"CmdStatus\",\"RemainingTime(s)\"\n");
    } else {
        Put(out.pOut, Format("GroupStatus:%-7s  MaxRemainingTime(s):%-10s\n", state, maxText.c_str()));
        Put(out.pOut, "CopyKind  Source                        Target                        "
                      "Status        CmdStatus  RemainingTime(s)\n");
    }
    for (uint32_t i = 0; i < rows.size(); ++i) {
        switch (ClassifyEntry(param, ri, i, true)) {
        case EntryRow::Error:
            PrintEntryError(param, ri, i, true, 8, out);
            continue;
        case EntryRow::Placeholder: {
            const PairResult &e = *PairEntry(ri, i);
            Put(out.pOut, csv ? CsvLine({{state, CsvKind::Raw}, {maxText, CsvKind::Raw},
                                         {"--------"}, {EntrySource(e), CsvKind::Raw},
                                         {EntryTarget(e), CsvKind::Raw}, {"------------"},
                                         {"---------"}, {kDashes10}})
                              : Format("--------  %-28s  %-28s  ------------  ---------  ----------\n",
                                       EntrySource(e).c_str(), EntryTarget(e).c_str()));
            continue;
        }
        case EntryRow::Data:
            break;
        }
        const SuspendStatusRow &r = rows[i];
        const std::string remaining = (inError(r) || r.uiRemaining == kUnknown)
            ? std::string(kDashes10) : Format("%u", r.uiRemaining);
        const std::string kind = Word(kTableKind, r.ucKind);
        const std::string status = Word(kTableStatus, r.ucStatus);
        const std::string cmd = Word(kTableCmdStatus, r.ucCmdStatus);
        if (csv) {
            Put(out.pOut, CsvLine({{state}, {maxText}, {kind}, {r.sSource, CsvKind::Name},
                                   {r.sTarget, CsvKind::Name}, {status}, {cmd}, {remaining}}));
        } else {
            Put(out.pOut, Format("%-8s  %-28s  %-28s  %-12s  %-9s  %-10s\n", kind.c_str(),
                                 r.sSource.c_str(), r.sTarget.c_str(), status.c_str(), cmd.c_str(),
                                 remaining.c_str()));
        }
    }
}

// ---- Failed entries and the suspend-status record (zrkcvz) -----------------

std::string PairNaming(const PairResult &entry) {
    return "Source=(" + EntrySource(entry) + "). Target=(" + EntryTarget(entry) + ").";
}

std::string SessionNaming(const PairResult &entry) { return "Session ID=(" + EntrySource(entry) + ")"; }

int PrintSuspendStatusList(int resultSize, const void *result, const CommandParam &param,
                           const ReturnInfo &ri, const Out &out) {
    std::vector<SuspendStatusRow> rows;
    const size_t size = resultSize > 0 ? static_cast<size_t>(resultSize) : 0;
    if (result != nullptr && size >= offsetof(SuspendStatusList, taEntry)) {
        const auto *list = static_cast<const SuspendStatusList *>(result);
        // Only the entries the buffer really holds, whatever the count says.
        const size_t room = (size - offsetof(SuspendStatusList, taEntry)) / sizeof(SuspendStatusEntry);
        const size_t count = list->uiCount < room ? list->uiCount : room;
        for (size_t i = 0; i < count; ++i) {
            const SuspendStatusEntry &e = list->taEntry[i];
            rows.push_back({e.ucKind, e.ucStatus, e.ucCommandStatus, e.uiRemainingTime,
                            FieldText(e.caSource, sizeof(e.caSource)),
                            FieldText(e.caTarget, sizeof(e.caTarget))});
        }
    }
    PrintSuspendStatus(rows, param, ri, out);
    return 0;
}

// ---- Snap data volume records (zrkcskzp) -----------------------------------

namespace {

// The entries of a list record of resultSize bytes: its count, bounded by
// the entries the bytes really hold.
template <typename List, typename Entry>
size_t HeldEntries(int resultSize, const void *result) {
    const size_t size = resultSize > 0 ? static_cast<size_t>(resultSize) : 0;
    constexpr size_t head = offsetof(List, taEntry);
    if (result == nullptr || size < head) return 0;
    const size_t room = (size - head) / sizeof(Entry);
    const size_t count = static_cast<const List *>(result)->uiCount;
    return count < room ? count : room;
}

}  // namespace

int PrintSdvStatusList(int resultSize, const void *result, const CommandParam &param,
                       const ReturnInfo &ri, const Out &out) {
    std::vector<SdvInfoRow> rows;
    const size_t count = HeldEntries<SdvStatusList, SdvStatusEntry>(resultSize, result);
    for (size_t i = 0; i < count; ++i) {
        const SdvStatusEntry &e = static_cast<const SdvStatusList *>(result)->taEntry[i];
        rows.push_back({FieldText(e.caVolume, sizeof(e.caVolume)), e.Flag, e.LogiTmp, e.PhysiTmp,
                        e.SnapUsedHost, e.SnapUsedCopy, e.PoolCapaHost, e.PoolCapaCopy});
    }
    PrintSdvInfo(rows, param, ri, out);
    return 0;
}

int PrintEstimateList(int resultSize, const void *result, const CommandParam &param,
                      const ReturnInfo &ri, const Out &out) {
    std::vector<EstimateRow> rows;
    const size_t count = HeldEntries<EstimateList, EstimateEntry>(resultSize, result);
    for (size_t i = 0; i < count; ++i) {
        const EstimateEntry &e = static_cast<const EstimateList *>(result)->taEntry[i];
        rows.push_back({FieldText(e.caVolume, sizeof(e.caVolume)), e.BlkCnt});
    }
    PrintEstimate(rows, param, ri, out);
    return 0;
}

int PrintSdpInfoRecord(int resultSize, const void *result, const CommandParam &param,
                       const ReturnInfo &, const Out &out) {
    SdpInfo info{};
    if (result != nullptr && resultSize >= static_cast<int>(sizeof(info))) {
        std::memcpy(&info, result, sizeof(info));
    }
    PrintSdpInfo({info.uiBlk, info.uiBlkHostUse, info.uiBlkCopyUse, info.uiBlkEnc,
                  info.uiBlkEncHostUse, info.uiBlkEncCopyUse},
                 param, out);
    return 0;
}

void RegisterSnapLayouts() {
    RegisterLayout(kLayoutSdvInfo, PrintSdvStatusList);
    RegisterLayout(kLayoutEstimate, PrintEstimateList);
    RegisterLayout(kLayoutSdpInfo, PrintSdpInfoRecord);
}

}  // namespace zrkcli
