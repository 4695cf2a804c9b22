// zrkclun_out.cpp - layouts 10 (lunstatus), 12 and 13 (rvzbuff) and 15
// (copypriority -q). Counts read from a record are kept within what the
// record holds, so a printer never reads past it.
#include "zrkclun_out.h"

#include "zrkcmessages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace zrkcli {
namespace {

const char *const kDash5 = "-----";
const char *const kDash10 = "----------";
const char *const kDash12 = "------------";
const char *const kDash20 = "--------------------";

// ---- layout 10 --------------------------------------------------------------

struct LunWords {
    const char *pKind, *pInitialize, *pInhibit, *pType, *pStatus;
    std::string sGroup;
};

LunWords WordsOf(const LunStatusEntry &e) {
    const uint32_t f = e.StatusFlag;
    const bool sdv = (f & ZRKC_LUN_SDV) != 0;
    const bool tfov = (f & ZRKC_LUN_TFOV) != 0;
    LunWords w;
    w.pKind = sdv ? "SDV" : "NotSDV";
    w.pInitialize = !sdv ? "NotSDV" : (f & ZRKC_LUN_INITIALIZING) ? "Initializing" : "Normal";
    w.pInhibit = (f & ZRKC_LUN_COPY_INHIBIT) ? "Inhibit" : "Normal";
    w.pType = !tfov ? "---" : (f & ZRKC_LUN_SECONDARY) ? "Secondary" : "Primary";
    w.pStatus = !tfov ? "---" : (f & ZRKC_LUN_STANDBY) ? "Standby" : "Active";
    w.sGroup = tfov ? FormatNumber("0x%02llx", e.TfoGroupNo) : "---";
    return w;
}

void PrintLunRow(const LunStatusEntry &e, bool bits, bool csv, FILE *stream) {
    const std::string sizes[6] = {KbText(e.LogicalSize), KbText(e.PhysicalSize),
                                  KbText(e.UsedSdvHost), KbText(e.UsedSdvCopy),
                                  KbText(e.UsedSdpHost), KbText(e.UsedSdpCopy)};
    const LunWords w = WordsOf(e);
    const std::string flag = FormatNumber("0x%08llx", e.StatusFlag);
    if (csv) {
        std::vector<CsvField> fields = {{FormatNumber("0x%llx", e.Olu)}};
        for (const std::string &s : sizes) fields.push_back({s});
        if (bits) {
            fields.push_back({flag});
        } else {
            for (const char *word : {w.pKind, w.pInitialize, w.pInhibit, w.pType, w.pStatus})
                fields.push_back({word});
        }
        fields.push_back({w.sGroup});
        std::fputs(CsvLine(fields).c_str(), stream);
        return;
    }
    std::fprintf(stream, "0x%-4x  %-21s  %-21s  %-21s / %-21s  %-21s / %-21s  ", e.Olu,
                 sizes[0].c_str(), sizes[1].c_str(), sizes[2].c_str(), sizes[3].c_str(),
                 sizes[4].c_str(), sizes[5].c_str());
    if (bits) {
        std::fprintf(stream, "%s  %s\n", flag.c_str(), w.sGroup.c_str());
        return;
    }
    const std::string info = std::string(w.pKind) + "/" + w.pInitialize + "/" + w.pInhibit;
    const std::string tfov = std::string(w.pType) + "/" + w.pStatus;
    std::fprintf(stream, "%-39s  %-21s  %s\n", info.c_str(), tfov.c_str(), w.sGroup.c_str());
}

// ---- layouts 12 and 13 --------------------------------------------------------

// The texts of one buffer's columns.
struct BuffTexts {
    std::string sStatus, sUse, sTotal, sTotalUse, sDiskStatus, sElapsed, sDiskSize, sStored;
    bool bSizesShown;  // TotalBuffSize(KB) holds a value, not dashes
};

// Stored data of a disk buffer: size less free, 0 when the array reports
// more free space than size.
unsigned long long Stored(uint64_t size, uint64_t free) { return size >= free ? size - free : 0; }

const char *DiskWord(uint8_t state) {
    switch (state) {
    case 3: return "Normal";
    case 4: return "Maintenance";
    case 5: return "Error";
    case 6: return "Formatting";
    case 7: return "NotSupported";
    case 8: return "Exposed";
    default: return nullptr;
    }
}

// Disk-buffer states whose stored data is shown.
bool StoredShown(uint8_t state) { return state == 3 || state == 4 || state == 8; }

BuffTexts TextsOf(const BuffGroupInfo &g) {
    BuffTexts t;
    const bool active = g.BuffStat == 3;
    t.sStatus = active ? "Active" : "Inactive";
    t.sUse = g.Use == ZRKC_RVZBUFF_SEND ? "Send" : "Recv";
    t.bSizesShown = g.Use == ZRKC_RVZBUFF_SEND && active;
    t.sTotal = t.bSizesShown ? FormatNumber("%-10llu", g.TotalSize) : kDash10;
    t.sTotalUse = t.bSizesShown ? FormatNumber("%-10llu", g.TotalUseSize) : kDash10;
    if (const char *word = DiskWord(g.DskBuffStat)) {
        t.sDiskStatus = word;
        t.sElapsed = FormatNumber("%-10llu", g.ElapsTime);
        t.sDiskSize = FormatNumber("%-20llu", g.DskBuffSize);
        t.sStored = StoredShown(g.DskBuffStat) ? FormatNumber("%-20llu", Stored(g.DskBuffSize, g.DskBuffFreeSize))
                                               : kDash20;
    } else if (g.Use == ZRKC_RVZBUFF_RECEIVE) {
        t.sDiskStatus = kDash12;
        t.sElapsed = kDash10;
        t.sDiskSize = t.sStored = kDash20;
    } else {
        t.sDiskStatus = "Invalid";
        t.sElapsed = FormatNumber("%-10llu", g.ElapsTime);
        t.sDiskSize = t.sStored = kDash20;
    }
    return t;
}

struct CmTexts {
    std::string sSize, sUse, sDisk, sStored;
};

CmTexts TextsOf(const CMInfo &c, const BuffGroupInfo &g, const BuffTexts &bt) {
    CmTexts t;
    t.sSize = bt.bSizesShown ? FormatNumber("%-10llu", c.BuffSize) : kDash10;
    t.sUse = bt.bSizesShown ? FormatNumber("%-10llu", c.BuffUseSize) : kDash10;
    if (StoredShown(g.DskBuffStat)) {
        t.sDisk = FormatNumber("%-20llu", c.DskBuffSize);
        t.sStored = FormatNumber("%-20llu", Stored(c.DskBuffSize, c.DskBuffFreeSize));
    } else if (DiskWord(g.DskBuffStat) != nullptr) {
        t.sDisk = FormatNumber("%-20llu", c.DskBuffSize);
        t.sStored = kDash20;
    } else {
        t.sDisk = t.sStored = kDash20;
    }
    return t;
}

// The seventeen CSV fields of a buffer (counts empty with -num).
std::vector<CsvField> BuffFields(const RvzBuffQueryInfo &head, const BuffGroupInfo &g,
                                 const BuffTexts &t, bool one) {
    return {{one ? "" : std::to_string(head.MaxBuffCnt)},
            {one ? "" : std::to_string(head.CurBuffCnt)},
            {std::to_string(g.GroupNum)},
            {t.sStatus},
            {t.sUse},
            {std::to_string(g.Interval)},
            {std::to_string(g.WatchTime)},
            {FieldText(g.RemoteBoxID, sizeof g.RemoteBoxID), CsvKind::Name},
            {FieldText(g.Alias, sizeof g.Alias), CsvKind::Name},
            {std::to_string(g.BuffSize)},
            {t.sTotal},
            {t.sTotalUse},
            {t.sDiskStatus},
            {t.sElapsed},
            {t.sDiskSize},
            {t.sStored},
            {std::to_string(g.CmCnt)}};
}

void PrintBuffText(const BuffGroupInfo &g, const BuffTexts &t, bool detail, FILE *stream) {
    std::fprintf(stream, "BuffGroup: %-1d\n", g.GroupNum);
    std::fprintf(stream, " Status: %-8s  Use: %-4s  Interval(s): %-5u  WatchTime(m): %-10u\n",
                 t.sStatus.c_str(), t.sUse.c_str(), g.Interval, g.WatchTime);
    std::fprintf(stream, " RemoteBoxID: %-40s  Alias: %-40s\n",
                 FieldText(g.RemoteBoxID, sizeof g.RemoteBoxID).c_str(),
                 FieldText(g.Alias, sizeof g.Alias).c_str());
    std::fprintf(stream, " BuffSize(MB): %-10u  TotalBuffSize(KB): %-10s  TotalUseBuffSize(KB): %-10s\n",
                 g.BuffSize, t.sTotal.c_str(), t.sTotalUse.c_str());
    std::fprintf(stream, " DiskBuffStatus: %-12s  ElapsedTime(s): %-10s\n", t.sDiskStatus.c_str(),
                 t.sElapsed.c_str());
    std::fprintf(stream, " TotalDiskBuffSize(KB): %-20s  TotalStoredDataSize(KB): %-20s\n",
                 t.sDiskSize.c_str(), t.sStored.c_str());
    std::fprintf(stream, detail ? " CMCount: %-2u\n" : " CMCount: %-2d\n", g.CmCnt);
}

// Prints one buffer (and, in detail form, its modules).
void PrintBuff(const RvzBuffQueryInfo &head, const unsigned char *item, bool detail, bool one,
               bool csv, FILE *stream) {
    BuffGroupInfo g;
    std::memcpy(&g, item, sizeof g);
    const BuffTexts t = TextsOf(g);
    const uint32_t modules = detail ? std::min<uint32_t>(g.CmCnt, ZRKC_RVZBUFF_CMS) : 0;
    if (!csv) PrintBuffText(g, t, detail, stream);
    else if (!detail) std::fputs(CsvLine(BuffFields(head, g, t, one)).c_str(), stream);
    for (uint32_t k = 0; k < modules; ++k) {
        CMInfo c;
        std::memcpy(&c, item + sizeof(BuffGroupInfo) + k * sizeof(CMInfo), sizeof c);
        const CmTexts ct = TextsOf(c, g, t);
        const unsigned cm = c.CMID & 0xFFFFu;
        if (csv) {
            std::vector<CsvField> fields = BuffFields(head, g, t, one);
            for (const std::string &s : {std::to_string(cm), ct.sSize, ct.sUse, ct.sDisk, ct.sStored})
                fields.push_back({s});
            std::fputs(CsvLine(fields).c_str(), stream);
            continue;
        }
        std::fprintf(stream, " CM: %-2u\n", cm);
        std::fprintf(stream, "  CM-BuffSize(KB): %-10s  CM-UseBuffSize(KB): %-10s\n", ct.sSize.c_str(),
                     ct.sUse.c_str());
        std::fprintf(stream, "  CM-DiskBuffSize(KB): %-20s  CM-StoredDataSize(KB): %-20s\n",
                     ct.sDisk.c_str(), ct.sStored.c_str());
    }
}

constexpr const char *kRvzHeader =
    "\"MaxBuffCount\",\"CurrentBuffCount\",\"BuffGroup\",\"Status\",\"Use\",\"Interval(s)\","
    "\"WatchTime(m)\",\"RemoteBoxID\",\"Alias\",\"BuffSize(MB)\",\"TotalBuffSize(KB)\","
    "\"TotalUseBuffSize(KB)\",\"DiskBuffStatus\",\"ElapsedTime(s)\",\"TotalDiskBuffSize(KB)\","
    "\"TotalStoredDataSize(KB)\",\"CMCount\"";
constexpr const char *kRvzCmHeader =
    ",\"CM\",\"CM-BuffSize(KB)\",\"CM-UseBuffSize(KB)\",\"CM-DiskBuffSize(KB)\","
    "\"CM-StoredDataSize(KB)\"";

}  // namespace

int PrintLunStatus(int resultSize, const void *result, const CommandParam &param,
                   const ReturnInfo &ri, const Out &out) {
    const bool csv = Csv(param);
    const bool bits = (param.uiOptFlag & kOptBitDsp) != 0;
    if (csv) {
        std::fputs("\"LUN_V\",\"LogicalSize(KB)\",\"PhysicalSize(KB)\",\"UsedSDV(Host)(KB)\","
                   "\"UsedSDV(Copy)(KB)\",\"UsedSDP(Host)(KB)\",\"UsedSDP(Copy)(KB)\",",
                   out.pOut);
        std::fputs(bits ? "\"StatusFlag\",\"TfoGroupNo\"\n"
                        : "\"StatusInfo(Kind)\",\"StatusInfo(Initialize)\",\"StatusInfo(CopyInhibit)\","
                          "\"TfovInfo(Type)\",\"TfovInfo(Status)\",\"TfoGroupNo\"\n",
                   out.pOut);
    } else {
        std::fputs("LUN_V   LogicalSize(KB)        PhysicalSize(KB)       UsedSDV(Host / Copy)(KB)"
                   "                       UsedSDP(Host / Copy)(KB)                       ",
                   out.pOut);
        std::fputs(bits ? "StatusFlag  TfoGroupNo\n"
                        : "StatusInfo(Kind/Initialize/CopyInhibit)  TfovInfo(Type/Status)  TfoGroupNo\n",
                   out.pOut);
    }
    // A record shorter than its head holds no entries; the count is read
    // only from a whole head, and never beyond the entries given.
    const auto *list = static_cast<const LunStatusList *>(result);
    uint32_t items = 0;
    if (list != nullptr && resultSize >= static_cast<int>(sizeof(LunStatusList))) {
        const size_t room = (static_cast<size_t>(resultSize) - sizeof(LunStatusList)) /
                            sizeof(LunStatusEntry);
        items = static_cast<uint32_t>(std::min<size_t>(list->ItemCount, room));
    }
    for (uint32_t i = 0; i < items; ++i) {
        if (ClassifyEntry(param, ri, i, false) != EntryRow::Data) {
            PrintEntryError(param, ri, i, false, bits ? 9 : 13, out);
            continue;
        }
        PrintLunRow(list->taEntry[i], bits, csv, out.pOut);
    }
    return 0;
}

int PrintRvzBuff(int resultSize, const void *result, const CommandParam &param,
                 const ReturnInfo &, const Out &out) {
    const bool csv = Csv(param);
    const bool detail = (param.uiOptFlag & kOptV) != 0;
    const bool one = (param.uiOptFlag & kOptNum) != 0;
    // Nothing is read from a record shorter than its head.
    RvzBuffQueryInfo head;
    if (result == nullptr || resultSize < static_cast<int>(sizeof head)) return 0;
    std::memcpy(&head, result, sizeof head);
    const size_t stride = detail ? sizeof(BuffGroupDetail) : sizeof(BuffGroupInfo);
    const size_t count = std::min({static_cast<size_t>(head.CurBuffCnt), size_t{ZRKC_RVZBUFF_ITEMS},
                                   (static_cast<size_t>(resultSize) - sizeof head) / stride});
    if (csv) {
        std::fputs(kRvzHeader, out.pOut);
        std::fputs(detail ? kRvzCmHeader : "", out.pOut);
        std::fputs("\n", out.pOut);
    }
    const auto *items = static_cast<const unsigned char *>(result) + sizeof head;
    if (one) {
        for (size_t i = 0; i < count; ++i) {
            if (items[i * stride] != param.uiNumber) continue;  // GroupNum, the item's first byte
            PrintBuff(head, items + i * stride, detail, true, csv, out.pOut);
            return 0;
        }
        std::fputs(zrkc::TextOf(zrkc::Msg::RvzBufferMissing), out.pErr);
        return 2;
    }
    if (!csv) {
        std::fprintf(out.pOut, "MaxBuffCount: %-1d  CurrentBuffCount: %-1d\n", head.MaxBuffCnt,
                     head.CurBuffCnt);
    } else if (head.CurBuffCnt == 0) {
        std::vector<CsvField> fields(detail ? 22 : 17);
        fields[0].sText = std::to_string(head.MaxBuffCnt);
        fields[1].sText = "0";
        std::fputs(CsvLine(fields).c_str(), out.pOut);
    }
    for (size_t i = 0; i < count; ++i) PrintBuff(head, items + i * stride, detail, false, csv, out.pOut);
    return 0;
}

int PrintCopyPriority(int, const void *result, const CommandParam &param, const ReturnInfo &,
                      const Out &out) {
    const bool csv = Csv(param);
    const auto *info = static_cast<const CopyPriorityInfo *>(result);
    auto row = [&](const std::string &kind, const std::string &rate, const std::string &box,
                   const std::string &connection, const std::string &level,
                   const std::string &multiplicity) {
        if (csv) {
            std::fputs(CsvLine({{kind, CsvKind::Raw}, {rate, CsvKind::Raw}, {box, CsvKind::Raw},
                                {connection, CsvKind::Raw}, {level, CsvKind::Raw},
                                {multiplicity, CsvKind::Raw}})
                           .c_str(),
                       out.pOut);
        } else {
            std::fprintf(out.pOut, "%-6s %-10s %-40s %-14s %-13s %-12s\n", kind.c_str(), rate.c_str(),
                         box.c_str(), connection.c_str(), level.c_str(), multiplicity.c_str());
        }
    };
    std::fputs(csv ? "\"KIND\",\"L-CopyRate\",\"BoxID\",\"ConnectionType\",\"PriorityLevel\","
                     "\"Multiplicity\"\n"
                   : "KIND   L-CopyRate BoxID                                    ConnectionType "
                     "PriorityLevel Multiplicity\n",
               out.pOut);
    row("VZ/KZP", Word(kTableCopyRate, info->ucLCopyRate), kDash5, kDash5, kDash5, kDash5);
    const uint32_t entries = std::min<uint32_t>(info->ucEntryCount, std::size(info->taEntry));
    for (uint32_t i = 0; i < entries; ++i) {
        const CopyPriorityEntry &e = info->taEntry[i];
        const std::string box = FieldText(e.caBoxID, sizeof e.caBoxID);
        if (e.ucConnectionType != ZRKC_CONNECTION_DIRECT) {
            row("RVZ", kDash5, box, "Remote", kDash5,
                e.uhMultiplicity == 0 ? "Auto" : std::to_string(e.uhMultiplicity));
        } else {
            row("RVZ", kDash5, box, "Direct",
                e.ucPriorityLevel == 0 ? "Auto" : std::to_string(e.ucPriorityLevel), kDash5);
        }
    }
    return 0;
}

void RegisterLunLayouts() {
    RegisterLayout(kLayoutLunStatus, PrintLunStatus);
    RegisterLayout(kLayoutRvzBuff, PrintRvzBuff);
    RegisterLayout(kLayoutRvzBuffDetail, PrintRvzBuff);
    RegisterLayout(kLayoutCopyPriority, PrintCopyPriority);
}

}  // namespace zrkcli
