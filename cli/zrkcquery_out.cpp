// zrkcquery_out.cpp - the layouts of the copy query's result.
#include "zrkcquery_out.h"

#include "zrkcquery.h"

#include <algorithm>
#include <cstring>

namespace zrkcli {

namespace {

// The texts of one copy-query row, in the column order of layouts 1 and 2
// (layout 1 prints the kind, the volumes and the four state columns).
struct QueryRow {
    std::string sKind;
    std::string sTransfer = "-----", sSplit = "-----", sRecovery = "-----";
    std::string sSource, sTarget;
    uint16_t usSrcSession = 0;
    std::string sTrgSession = "------";
    std::string sProgress, sStatus, sPhase, sElapsed;
    std::string sCopied, sTotal;
    uint8_t ucErrCode = 0;
    std::string sProtection, sLicense, sTimeStamp, sControl, sSubInfo, sTfoInfo, sTfoGroup;
};

// How far the text columns of layout 2 reach, by the list's version text.
enum class Columns { None, ToErrorCode, ToProtection, All };

constexpr char kQueryHeader[] =
    "CopyKind  Source                        Target                        Progress  Status         "
    "Phase             ElapsedTime\n";
constexpr char kQueryCsvHeader[] =
    "\"CopyKind\",\"Source\",\"Target\",\"Progress\",\"Status\",\"Phase\",\"ElapsedTime\"\n";
constexpr size_t kQueryCsvFields = 7;

constexpr char kDetailHeader[] =
    "CopyKind  Remote             SourceVolume             TargetVolume             SourceSessionID  "
    "TargetSessionID  Progress  Status         Phase             ElapsedTime  CopiedSize(KB)         "
    "TotalSize(KB)          ErrorCode";
constexpr char kDetailHeaderProtection[] = "  TargetProtection";
constexpr char kDetailHeaderRest[] =
    "  LicenseInfo  TimeStampInformation  ControlType  SubInfo  TfoInfo  TfoGroupNo";
constexpr char kDetailCsvHeader[] =
    "\"CopyKind\",\"Remote(TransferMode)\",\"Remote(SplitMode)\",\"Remote(RecoveryMode)\","
    "\"SourceVolume\",\"TargetVolume\",\"SourceSessionID\",\"TargetSessionID\",\"Progress\","
    "\"Status\",\"Phase\",\"ElapsedTime\",\"CopiedSize(KB)\",\"TotalSize(KB)\",\"ErrorCode\","
    "\"TargetProtection\",\"LicenseInfo\",\"TimeStampInformation\",\"ControlType\",\"SubInfo\","
    "\"TfoInfo\",\"TfoGroupNo\"\n";
constexpr size_t kDetailCsvFields = 22;

constexpr char kGenerationsCsvHeader[] =
    "\"SourceVolume\",\"EffectiveGenerations\",\"Generations\",\"TargetVolume\"\n";
constexpr size_t kGenerationsCsvFields = 4;
constexpr char kGenerationsSeparator[] = "---------------------------------------------------\n";

// The number of items the list header announces, bounded by what the
// buffer holds after the header.
uint32_t ItemCount(int resultSize, const void *result, size_t header, size_t itemSize) {
    if (result == nullptr || resultSize < 0 || static_cast<size_t>(resultSize) < header) return 0;
    uint32_t count = 0;
    std::memcpy(&count, result, sizeof(count));
    const size_t room = (static_cast<size_t>(resultSize) - header) / itemSize;
    return static_cast<uint32_t>(std::min<size_t>(count, room));
}

// Item i, copied out of the buffer (which need not be aligned for it).
template <typename Item>
Item ItemAt(const void *result, size_t header, uint32_t i) {
    Item item;
    std::memcpy(&item, static_cast<const unsigned char *>(result) + header + size_t{i} * sizeof(Item),
                sizeof(Item));
    return item;
}

std::string Name(const char *name) { return FieldText(name, ZRK_VOLNAME_LEN); }
std::string Alias(const char *alias) { return FieldText(alias, ZRKC_QUERY_ALIAS_LEN); }

// A volume by its logical unit, extent and alias.
std::string ExtentForm(uint32_t olu, uint64_t start, const std::string &size, const std::string &alias) {
    return Format("0x%x:0x%llx:%s@%s", olu, static_cast<unsigned long long>(start), size.c_str(),
                  alias.c_str());
}

// A volume column: the stored name (alias forms brought up to date), or the
// extent form when no name is known.
std::string VolumeText(uint8_t nameSet, const char *name, uint8_t aliasSet, uint32_t olu,
                       uint64_t start, const std::string &size, const char *alias) {
    if (nameSet != ZRKC_QNAME_SET) return ExtentForm(olu, start, size, Alias(alias));
    const std::string text = Name(name);
    return aliasSet == ZRKC_QNAME_SET ? conv_volume(text, olu, start, size, Alias(alias)) : text;
}

// The source and target columns of layouts 1 and 2. A query by volume does
// not show names the store keeps for a KZP session (nor for a QuickKZP one
// still copying), nor a lone name of one side, except for an estimate.
template <typename Item>
void VolumeColumns(const Item &it, const CommandParam &param, QueryRow &row) {
    uint8_t srcSet = it.SrcVolumeSet;
    uint8_t trgSet = it.TrgVolumeSet;
    if (param.iForm != kFormPair && param.iForm != kFormGroupFile) {
        if (it.CopyKind == ZRKC_QKIND_KZP ||
            (it.CopyKind == ZRKC_QKIND_QUICKKZP && it.Phase == ZRKC_QPHASE_COPYING)) {
            srcSet = trgSet = 0;
        }
        if (it.CopyKind != ZRKC_QKIND_ESTIMATE && (srcSet != 0) != (trgSet != 0)) srcSet = trgSet = 0;
    }
    const std::string size = KbText(it.SrcSize);
    row.sSource = VolumeText(srcSet, it.SrcVolume, it.SrcAliasSet, it.SrcOlu, it.SrcAddr, size, it.SrcAlias);
    row.sTarget = (trgSet != ZRKC_QNAME_SET && it.CopyKind == ZRKC_QKIND_ESTIMATE)
        ? "-----"
        : VolumeText(trgSet, it.TrgVolume, it.TrgAliasSet, it.TrgOlu, it.TrgAddr, size, it.TrgAlias);
}

// Progress, Status, Phase and ElapsedTime of layouts 1 and 2.
template <typename Item>
void StateColumns(const Item &it, QueryRow &row) {
    if (it.CopyProgress != ZRKC_QUERY_PROGRESS_NONE) {
        row.sProgress = Format("%d%%", it.CopyProgress);
    } else if (it.SrcSize == 0) {
        row.sProgress = "---%";
    } else {
        // A copied count far above the size (a damaged record) would not fit
        // the 64-bit percentage: it stops at the largest one.
        const double percent = static_cast<double>(it.BlkCnt) * 100.0 / static_cast<double>(it.SrcSize);
        const unsigned long long value = percent >= 18446744073709551616.0
            ? ~0ull : static_cast<unsigned long long>(percent);
        row.sProgress = Format("%llu%%", value);
    }
    const bool suspending = it.Suspending == ZRKC_QSUSPENDING;
    row.sStatus = suspending ? "Suspending" : Word(kTableStatus, it.Status);
    row.sPhase = (suspending || it.Status == ZRKC_QSTATUS_ERROR_SUSPEND) ? "-----" : Word(kTablePhase, it.Phase);
    row.sElapsed = (it.CopyKind == ZRKC_QKIND_VZ || it.CopyKind == ZRKC_QKIND_RVZ)
        ? "-----" : Format("%-10d", it.LpsTime);
}

std::string Protection(const CopyQueryDetailEntry &it) {
    return (it.CopyKind == ZRKC_QKIND_VZ || it.CopyKind == ZRKC_QKIND_RVZ)
        ? Word(kTableRwProtect, it.TargetProtection) : "----";
}

std::string TimeStampText(const CopyQueryDetailEntry &it) {
    const uint8_t *t = it.TimeStamp;
    return Format("%02x%02x/%02x/%02x/%02x:%02x:%02x", t[0], t[1], t[2], t[3], t[4], t[5], t[6]);
}

// The RVZ columns of layout 2.
void RemoteColumns(const CopyQueryDetailEntry &it, QueryRow &row) {
    if (it.CopyKind != ZRKC_QKIND_RVZ) return;
    switch (it.TransferMode) {
    case ZRKC_QTRANSFER_SYNC: row.sTransfer = "Sync"; break;
    case ZRKC_QTRANSFER_STACK: row.sTransfer = "Stack"; break;
    case ZRKC_QTRANSFER_CONSISTENCY: row.sTransfer = "Consistency"; break;
    default: row.sTransfer = "Through"; break;
    }
    if (it.TransferMode == ZRKC_QTRANSFER_SYNC) row.sSplit = it.SplitMode == ZRKC_QSPLIT_MANUAL ? "Manual" : "Auto";
    row.sRecovery = it.RecoveryMode == ZRKC_QRECOVERY_AUTO ? "Auto" : "Manual";
    row.sTrgSession = Format("0x%x", it.TrgSessionId);
}

QueryRow DetailRow(const CopyQueryDetailEntry &it, const CommandParam &param) {
    QueryRow row;
    row.sKind = Word(kTableKind, it.CopyKind);
    RemoteColumns(it, row);
    VolumeColumns(it, param, row);
    row.usSrcSession = it.SrcSessionId;
    StateColumns(it, row);
    row.sCopied = KbText(it.BlkCnt);
    row.sTotal = KbText(it.SrcSize);
    row.ucErrCode = it.ErrCode;
    row.sProtection = Protection(it);
    row.sLicense = Word(kTableLicense, it.LicenseInfo);
    row.sTimeStamp = TimeStampText(it);
    row.sControl = Word(kTableCtlType, it.ControlType);
    const bool subInfo = (it.SupportInfo & ZRKC_QSUPPORT_SUBINFO) != 0 &&
        ((it.CopyKind == ZRKC_QKIND_RVZ && it.TransferMode == ZRKC_QTRANSFER_STACK) ||
         (it.SubInfo & ZRKC_QSUBINFO_SHOWN) != 0);
    row.sSubInfo = subInfo ? Format("0x%02x", it.SubInfo) : "----";
    row.sTfoInfo = Format("0x%02x", it.TfoInfo);
    row.sTfoGroup = (it.TfoInfo & ZRKC_QTFO_GROUP_SET) != 0 ? Format("0x%02x", it.TfoGroupNo) : "----";
    return row;
}

// A row of layouts 1 and 16; raw writes every CSV value unchanged.
void PutQueryRow(const QueryRow &r, bool csv, bool raw, const Out &out) {
    if (csv) {
        const CsvKind word = raw ? CsvKind::Raw : CsvKind::Plain;
        const CsvKind name = raw ? CsvKind::Raw : CsvKind::Name;
        Put(out.pOut, CsvLine({{r.sKind, word}, {r.sSource, name}, {r.sTarget, name}, {r.sProgress, word},
                               {r.sStatus, word}, {r.sPhase, word}, {r.sElapsed, word}}));
        return;
    }
    Put(out.pOut, Format("%-8s  %-28s  %-28s  %-4s      %-13s  %-16s  %-10s\n", r.sKind.c_str(),
                         r.sSource.c_str(), r.sTarget.c_str(), r.sProgress.c_str(), r.sStatus.c_str(),
                         r.sPhase.c_str(), r.sElapsed.c_str()));
}

void PutDetailHeader(bool csv, Columns columns, const Out &out) {
    if (csv) {
        Put(out.pOut, kDetailCsvHeader);
        return;
    }
    std::string header = kDetailHeader;
    if (columns == Columns::ToProtection || columns == Columns::All) header += kDetailHeaderProtection;
    if (columns == Columns::All) header += kDetailHeaderRest;
    Put(out.pOut, header + "\n");
}

// A row of layouts 2 and 17: text up to the columns the version gives, CSV
// always whole; raw writes every CSV value unchanged.
void PutDetailRow(const QueryRow &r, bool csv, Columns columns, bool raw, const Out &out) {
    if (csv) {
        const CsvKind word = raw ? CsvKind::Raw : CsvKind::Plain;
        const CsvKind name = raw ? CsvKind::Raw : CsvKind::Name;
        Put(out.pOut, CsvLine({{r.sKind, word}, {r.sTransfer, word}, {r.sSplit, word},
                               {r.sRecovery, word}, {r.sSource, name}, {r.sTarget, name},
                               {Format("0x%x", r.usSrcSession), word}, {r.sTrgSession, word},
                               {r.sProgress, word}, {r.sStatus, word}, {r.sPhase, word},
                               {r.sElapsed, word}, {r.sCopied, word}, {r.sTotal, word},
                               {Format("0x%02X", r.ucErrCode), word}, {r.sProtection, word},
                               {r.sLicense, word}, {r.sTimeStamp, word}, {r.sControl, word},
                               {r.sSubInfo, CsvKind::Raw}, {r.sTfoInfo, CsvKind::Raw},
                               {r.sTfoGroup, CsvKind::Raw}}));
        return;
    }
    if (columns == Columns::None) return;
    std::string line = Format(
        "%-8s  %-5s/%-5s/%-5s  %-23s  %-23s  0x%-4x           %-6s           %-4s      %-13s  %-16s  "
        "%-10s   %-21s  %-21s  0x%02X",
        r.sKind.c_str(), r.sTransfer.c_str(), r.sSplit.c_str(), r.sRecovery.c_str(), r.sSource.c_str(),
        r.sTarget.c_str(), r.usSrcSession, r.sTrgSession.c_str(), r.sProgress.c_str(), r.sStatus.c_str(),
        r.sPhase.c_str(), r.sElapsed.c_str(), r.sCopied.c_str(), r.sTotal.c_str(), r.ucErrCode);
    if (columns == Columns::ToProtection || columns == Columns::All) {
        line += Format("       %-16s", r.sProtection.c_str());
    }
    if (columns == Columns::All) {
        line += Format("  %-11s  %-20s  %-11s  %-7s  %-7s  %-10s", r.sLicense.c_str(),
                       r.sTimeStamp.c_str(), r.sControl.c_str(), r.sSubInfo.c_str(),
                       r.sTfoInfo.c_str(), r.sTfoGroup.c_str());
    }
    Put(out.pOut, line + "\n");
}

// The version text of a detail list, bounded to its field.
std::string VersionOf(int resultSize, const void *result) {
    if (result == nullptr || resultSize < static_cast<int>(sizeof(CopyQueryList))) return {};
    CopyQueryList header;
    std::memcpy(&header, result, sizeof(header));
    return FieldText(header.Version, sizeof(header.Version));
}

// The text header and the text rows of layout 2 follow the version.
void DetailColumns(const std::string &version, Columns &header, Columns &rows) {
    if (version == "2.0.0") {
        header = rows = Columns::All;
    } else if (version == "1.4.0") {
        header = rows = Columns::ToProtection;
    } else {
        header = Columns::ToErrorCode;
        rows = version == "1.3.0" ? Columns::ToErrorCode : Columns::None;
    }
}

// The target of a generation item.
std::string GenerationTarget(const GenerationInfo &g) {
    return g.TrgVolumeSet == ZRKC_QNAME_SET ? Name(g.TrgVolume)
                                            : ExtentForm(g.TrgOlu, g.TrgAddr, KbText(g.Size), Alias(g.TrgAlias));
}

std::string GenerationSource(const GenerationInfo &g) {
    return g.SrcVolumeSet == ZRKC_QNAME_SET ? Name(g.SrcVolume)
                                            : ExtentForm(g.SrcOlu, g.SrcAddr, KbText(g.Size), Alias(g.SrcAlias));
}

void PutGenerationBlockHead(const std::string &source, int count, const Out &out) {
    Put(out.pOut, Format("SourceVolume  %-6s  EffectiveGenerations  %-3d\n", source.c_str(), count));
    Put(out.pOut, "Generations  TargetVolume\n");
}

}  // namespace

int PrintCopyQuery(int resultSize, const void *result, const CommandParam &param, const ReturnInfo &ri,
                   const Out &out) {
    const bool csv = Csv(param);
    Put(out.pOut, csv ? kQueryCsvHeader : kQueryHeader);
    const uint32_t count = ItemCount(resultSize, result, ZRKC_QUERY_HEADER_NORMAL, sizeof(CopyQueryEntry));
    for (uint32_t i = 0; i < count; ++i) {
        switch (ClassifyEntry(param, ri, i, true)) {
        case EntryRow::Error:
            PrintEntryError(param, ri, i, true, kQueryCsvFields, out);
            continue;
        case EntryRow::Placeholder: {
            const PairResult &e = *PairEntry(ri, i);
            Put(out.pOut, csv ? CsvLine({{"--------"}, {EntrySource(e), CsvKind::Name},
                                         {EntryTarget(e), CsvKind::Name}, {"----"}, {"-------------"},
                                         {"----------------"}, {"----------"}})
                              : Format("--------  %-28s  %-28s  ----      -------------  ----------------  "
                                       "----------\n", EntrySource(e).c_str(), EntryTarget(e).c_str()));
            continue;
        }
        case EntryRow::Data:
            break;
        }
        const auto it = ItemAt<CopyQueryEntry>(result, ZRKC_QUERY_HEADER_NORMAL, i);
        QueryRow row;
        row.sKind = Word(kTableKind, it.CopyKind);
        VolumeColumns(it, param, row);
        StateColumns(it, row);
        PutQueryRow(row, csv, false, out);
    }
    return 0;
}

int PrintCopyQueryDetail(int resultSize, const void *result, const CommandParam &param,
                         const ReturnInfo &ri, const Out &out) {
    const bool csv = Csv(param);
    Columns header, rows;
    DetailColumns(VersionOf(resultSize, result), header, rows);
    PutDetailHeader(csv, header, out);
    const uint32_t count =
        ItemCount(resultSize, result, ZRKC_QUERY_HEADER_DETAIL, sizeof(CopyQueryDetailEntry));
    for (uint32_t i = 0; i < count; ++i) {
        switch (ClassifyEntry(param, ri, i, true)) {
        case EntryRow::Error:
            PrintEntryError(param, ri, i, true, kDetailCsvFields, out);
            continue;
        case EntryRow::Placeholder: {
            const PairResult &e = *PairEntry(ri, i);
            if (csv) {
                std::vector<CsvField> fields = {{"--------"}, {"-----"}, {"-----"}, {"-----"},
                                                {EntrySource(e), CsvKind::Name},
                                                {EntryTarget(e), CsvKind::Name}};
                fields.resize(14, {"------"});
                fields.resize(kDetailCsvFields, {"----"});
                Put(out.pOut, CsvLine(fields));
            } else {
                Put(out.pOut, Format("--------  -----/-----/-----  %-23s  %-23s  ------           ------           "
                                     "------    ------         ------            ------       ------                 "
                                     "------                 ----       ----  ----  ----  ----  ----  ----  ----\n",
                                     EntrySource(e).c_str(), EntryTarget(e).c_str()));
            }
            continue;
        }
        case EntryRow::Data:
            break;
        }
        const auto it = ItemAt<CopyQueryDetailEntry>(result, ZRKC_QUERY_HEADER_DETAIL, i);
        PutDetailRow(DetailRow(it, param), csv, rows, false, out);
    }
    return 0;
}

int PrintGenerations(int resultSize, const void *result, const CommandParam &param,
                     const ReturnInfo &ri, const Out &out) {
    const bool csv = Csv(param);
    if (csv) Put(out.pOut, kGenerationsCsvHeader);
    const size_t size = resultSize > 0 ? static_cast<size_t>(resultSize) : 0;
    if (result == nullptr || size < sizeof(GenerationList)) return 0;
    GenerationList list;
    std::memcpy(&list, result, sizeof(list));
    const auto *bytes = static_cast<const unsigned char *>(result);
    size_t offset = sizeof(GenerationList);
    for (uint32_t i = 0; i < list.ItemCount && size - offset >= sizeof(GenerationBlock); ++i) {
        GenerationBlock block;
        std::memcpy(&block, bytes + offset, sizeof(block));
        offset += sizeof(block);
        if (!csv && i != 0) Put(out.pOut, kGenerationsSeparator);
        switch (ClassifyEntry(param, ri, i, true)) {
        case EntryRow::Error:
            PrintEntryError(param, ri, i, false, kGenerationsCsvFields, out);
            continue;
        case EntryRow::Placeholder: {
            const std::string source = EntrySource(*PairEntry(ri, i));
            if (csv) {
                Put(out.pOut, CsvLine({{source, CsvKind::Name}, {"0"}, {""}, {""}}));
            } else {
                PutGenerationBlockHead(source, 0, out);
            }
            continue;
        }
        case EntryRow::Data:
            break;
        }
        // The items the block announces, as far as the buffer holds them.
        const uint32_t items = static_cast<uint32_t>(
            std::min<size_t>(block.GenerationsCnt, (size - offset) / sizeof(GenerationInfo)));
        std::vector<GenerationInfo> generations(items);
        if (items != 0) std::memcpy(generations.data(), bytes + offset, items * sizeof(GenerationInfo));
        offset += items * sizeof(GenerationInfo);
        // A block without items has no first item to name its source.
        const std::string source = items != 0 ? GenerationSource(generations[0]) : std::string();
        const int itemCount = static_cast<int>(items);
        if (!csv) PutGenerationBlockHead(source, itemCount, out);
        for (int g = 1; g <= itemCount; ++g) {
            const std::string target = GenerationTarget(generations[static_cast<size_t>(g - 1)]);
            Put(out.pOut, csv ? CsvLine({{source, CsvKind::Name}, {Format("%d", itemCount)},
                                         {Format("%d", g)}, {target, CsvKind::Name}})
                              : Format("%-3d          %-23s\n", g, target.c_str()));
        }
    }
    return 0;
}

int list_out_query_tfop(int resultSize, const void *result, const CommandParam &param, const ReturnInfo &,
                        const Out &out) {
    const bool csv = Csv(param);
    Put(out.pOut, csv ? kQueryCsvHeader : kQueryHeader);
    const uint32_t count = ItemCount(resultSize, result, ZRKC_QUERY_HEADER_NORMAL, sizeof(CopyQueryEntry));
    for (uint32_t i = 0; i < count; ++i) {
        const auto it = ItemAt<CopyQueryEntry>(result, ZRKC_QUERY_HEADER_NORMAL, i);
        QueryRow row;
        row.sKind = Word(kTableKind, it.CopyKind);
        row.sSource = Format("0x%x@%s", it.SrcOlu, Alias(it.SrcAlias).c_str());
        row.sTarget = Format("0x%x@%s", it.TrgOlu, Alias(it.TrgAlias).c_str());
        row.sProgress = row.sStatus = row.sPhase = row.sElapsed = "----";
        PutQueryRow(row, csv, true, out);
    }
    return 0;
}

int list_out_query_vvol(int resultSize, const void *result, const CommandParam &param, const ReturnInfo &,
                        const Out &out) {
    const bool csv = Csv(param);
    PutDetailHeader(csv, Columns::All, out);
    const uint32_t count =
        ItemCount(resultSize, result, ZRKC_QUERY_HEADER_DETAIL, sizeof(CopyQueryDetailEntry));
    for (uint32_t i = 0; i < count; ++i) {
        const auto it = ItemAt<CopyQueryDetailEntry>(result, ZRKC_QUERY_HEADER_DETAIL, i);
        const std::string total = KbText(it.SrcSize);
        QueryRow row;
        row.sKind = Word(kTableKind, it.CopyKind);
        row.sSource = ExtentForm(it.SrcOlu, it.SrcAddr, total, Alias(it.SrcAlias));
        row.sTarget = ExtentForm(it.TrgOlu, it.TrgAddr, total, Alias(it.TrgAlias));
        row.usSrcSession = it.SrcSessionId;
        row.sProgress = Format("%d%%", it.CopyProgress);
        row.sStatus = Word(kTableStatus, it.Status);
        row.sPhase = Word(kTablePhase, it.Phase);
        row.sElapsed = "----";
        row.sCopied = KbText(it.BlkCnt);
        row.sTotal = total;
        row.ucErrCode = it.ErrCode;
        row.sProtection = Protection(it);
        row.sLicense = row.sControl = row.sTfoGroup = "----";
        row.sTimeStamp = TimeStampText(it);
        row.sSubInfo = Format("0x%02x", it.SubInfo);
        row.sTfoInfo = "0x00";
        PutDetailRow(row, csv, Columns::All, true, out);
    }
    return 0;
}

void RegisterCopyQueryLayouts() {
    RegisterLayout(kLayoutQuery, PrintCopyQuery);
    RegisterLayout(kLayoutQueryDetail, PrintCopyQueryDetail);
    RegisterLayout(kLayoutGenerations, PrintGenerations);
    RegisterLayout(kLayoutQueryTfop, list_out_query_tfop);
    RegisterLayout(kLayoutQueryVvol, list_out_query_vvol);
}

}  // namespace zrkcli
