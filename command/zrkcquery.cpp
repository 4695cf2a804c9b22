// zrkc_query_copy: the copy sessions of a pair or of every pair of a group
// file (one detail-list read per subgroup), of one volume or its whole array
// (one detail-list read), or the SnapKZP+ generations of source volumes (one
// generation-list read per source), written into the caller's area at the
// Normal, Detail or Detail_EX1 level.
//
// Sizes are computed in 64 bits; an area the caller sized too small gets
// message 1001 and the size needed, and is left untouched. A count that the
// array reports is never trusted beyond the entries that were allocated and
// that the caller's area was sized for. The volume-name store is read once
// per call and each array's alias looked up once per call.
#include "zrkcquery.h"
#include "zrkcdetail.h"
#include "zrkcframe.h"
#include "zrkcvz.h"
#include "zrkcmessage.h"
#include "zrkcalias.h"

#include "platform.h"
#include "volname.h"
#include "zrklist.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

static_assert(ZRKC_QUERY_ALIAS_LEN == ZRKC_ALIAS_LEN, "alias fields of the query items");

namespace {

using zrk::Be16;
using zrk::Be32;
using zrk::Be64;
using namespace zrkc;

constexpr const char *kName = "zrkc_query_copy";

// The CopyKind values the copy kinds 16 and 17 of the array map to.
constexpr uint8_t kKind8 = 8;
constexpr uint8_t kKind9 = 9;

// A session that no query reports: idle, or only reserved.
bool Unreported(uint8_t status) {
    return status == ZRKC_SESSION_IDLE || status == ZRKC_SESSION_RESERVE;
}

// Bits of the DLI bytes read here.
constexpr uint8_t kProtectionBits = ZRK_SESFLAG_SECONDARY; // DLI 5: target protection
constexpr uint8_t kProgressValid = 0x01;                   // DLI 143: DLI 142 holds a percentage
constexpr uint8_t kVolumeInfoFlagBit = 0x01;               // VOL_INFO byte 86

// The slots of a generation list: a 16-byte head, then 256 bytes each.
constexpr size_t kGenerationHead = 16;
constexpr size_t kGenerationSlot = 256;

// The widest area the array can fill: 16-bit session counts.
constexpr uint32_t kVirtualSessionCount = 0xFFFF;

const char kOwnerStorage[] = "[Owner-Storage]";
const char kOtherStorage[] = "[Other-Storage]";

enum class Level { Normal, Detail, DetailEx };

Level LevelOf(uint32_t option) {
    if ((option & ZRKC_OPT_QUERY_DETAIL) != 0) return Level::Detail;
    if ((option & ZRKC_OPT_QUERY_DETAIL_EX) != 0) return Level::DetailEx;
    return Level::Normal;
}
uint64_t HeaderSize(Level level) {
    return level == Level::Normal ? ZRKC_QUERY_HEADER_NORMAL : ZRKC_QUERY_HEADER_DETAIL;
}
uint64_t ItemSize(Level level) {
    switch (level) {
    case Level::Normal: return ZRKC_QUERY_ITEM_NORMAL;
    case Level::Detail: return ZRKC_QUERY_ITEM_DETAIL;
    case Level::DetailEx: return ZRKC_QUERY_ITEM_DETAIL_EX;
    }
    return ZRKC_QUERY_ITEM_NORMAL;
}
const char *LevelWord(Level level) {
    switch (level) {
    case Level::Normal: return "Normal";
    case Level::Detail: return "Detail";
    case Level::DetailEx: return "Detail_EX1";
    }
    return "Normal";
}

uint64_t Join(uint32_t high, uint32_t low) { return (uint64_t{high} << 32) | low; }
uint32_t High(uint64_t v) { return static_cast<uint32_t>(v >> 32); }
uint32_t Low(uint64_t v) { return static_cast<uint32_t>(v); }

// The size check of the three workers: 0 the area is cleared and may be
// filled; 1 it is too small (1001 and the size needed), the area untouched;
// -1 (1106) when no area length could hold the size needed.
int CheckArea(ReturnInfo *ri, void *output, int outputLength, uint64_t needed,
              Where where = Where::current()) {
    const uint64_t given = outputLength > 0 ? static_cast<uint64_t>(outputLength) : 0;
    TraceLine(kTraceSupport, {where}, "%s ReturnSize=%llu, InputReturnSize=%d", kName,
              static_cast<unsigned long long>(needed), outputLength);
    if (needed > INT32_MAX) {
        zrkc::SetNoMemory(ri);
        return -1;
    }
    if (output == nullptr || given < needed) {
        zrkc::SetResult(ri, zrkc::Msg::OutputAreaShort);
        ri->uiNeedOutputSize = static_cast<uint32_t>(needed);
        return AreaWarningEnd(kName, where);
    }
    std::memset(output, 0, static_cast<size_t>(given));
    return 0;
}

int NoSession(ReturnInfo *ri) {
    zrkc::SetResult(ri, zrkc::Msg::SessionMissing);
    return -1;
}

int Unsupported(ReturnInfo *ri) {
    zrkc::SetResult(ri, zrkc::Msg::Unsupported);
    return -1;
}

int NoMemory(ReturnInfo *ri) {
    zrkc::SetNoMemory(ri);
    return -1;
}

int WrongForm(ReturnInfo *ri) {
    zrkc::SetResult(ri, zrkc::Msg::GroupFormRefused);
    return -1;
}

// CopyKind of a detail entry.
uint8_t CopyKindOf(const DETAIL_LIST_INFO &d, uint32_t option, bool volumeQuery) {
    const uint8_t flags = d.ucSessionFlags;
    switch (d.ucCopyKind) {
    case kCopyKindKzp:
        if ((flags & (ZRK_SESFLAG_SNAPKZP | ZRK_SESFLAG_SNAPKZP_P)) != 0) {
            if ((option & ZRKC_OPT_QUERY_SNAPKZP_7) != 0 && (flags & ZRK_SESFLAG_SNAPKZP_P) == 0)
                return ZRKC_QKIND_SNAPKZP_ONLY;
            return ZRKC_QKIND_SNAPKZP;
        }
        return (flags & ZRK_SESFLAG_QUICKKZP) != 0 ? ZRKC_QKIND_QUICKKZP : ZRKC_QKIND_KZP;
    case kCopyKindVz: return (flags & ZRK_SESFLAG_REMOTE) != 0 ? ZRKC_QKIND_RVZ : ZRKC_QKIND_VZ;
    case kCopyKind16: return kKind8;
    case kCopyKind17: return kKind9;
    default:
        if (volumeQuery && d.ucCopyKind >= kCopyKind18 && d.ucCopyKind <= kCopyKind23)
            return d.ucCopyKind;
        return ZRKC_QKIND_ESTIMATE;
    }
}

// The DLI bytes that have no field name of their own.
const unsigned char *Bytes(const DETAIL_LIST_INFO &d) {
    return reinterpret_cast<const unsigned char *>(&d);
}
uint8_t ProgressOf(const DETAIL_LIST_INFO &d) {
    return (Bytes(d)[143] & kProgressValid) != 0 ? Bytes(d)[142] : ZRKC_QUERY_PROGRESS_NONE;
}

// The names and aliases of one item, as the rules of each query fill them.
struct ItemNames {
    char caSrcVolume[ZRK_VOLNAME_LEN] = {};
    char caTrgVolume[ZRK_VOLNAME_LEN] = {};
    char caSrcAlias[ZRKC_ALIAS_LEN] = {};
    char caTrgAlias[ZRKC_ALIAS_LEN] = {};
    uint8_t ucSrcVolumeSet = 0, ucTrgVolumeSet = 0, ucSrcAliasSet = 0, ucTrgAliasSet = 0;
};

template <typename Item> void PutNames(Item &item, const ItemNames &n) {
    std::memcpy(item.SrcVolume, n.caSrcVolume, ZRK_VOLNAME_LEN);
    std::memcpy(item.TrgVolume, n.caTrgVolume, ZRK_VOLNAME_LEN);
    std::memcpy(item.SrcAlias, n.caSrcAlias, ZRKC_ALIAS_LEN);
    std::memcpy(item.TrgAlias, n.caTrgAlias, ZRKC_ALIAS_LEN);
    item.SrcVolumeSet = n.ucSrcVolumeSet;
    item.TrgVolumeSet = n.ucTrgVolumeSet;
    item.SrcAliasSet = n.ucSrcAliasSet;
    item.TrgAliasSet = n.ucTrgAliasSet;
}

// The state one query call keeps: the volume-name store read once, and the
// alias of each array looked up once.
class QueryContext {
public:
    explicit QueryContext(ReturnInfo *ri) : pResult(ri) {}

    // 0 found (alias copied), 1 not found, -1 error (ri filled).
    int Alias(const char *box, char *alias) {
        for (const Known &k : vKnown) {
            if (std::memcmp(k.caBox, box, ZRK_BOXID_LEN) == 0) {
                std::memcpy(alias, k.caAlias, ZRKC_ALIAS_LEN);
                return k.iResult;
            }
        }
        Known k{};
        std::memcpy(k.caBox, box, ZRK_BOXID_LEN);
        AliasRecord record{};
        k.iResult = com_get_alias_info(ZRKC_ALIAS_BY_BOXID, k.caBox, &record, pResult);
        if (k.iResult < 0) return -1;
        if (k.iResult == 0) std::memcpy(k.caAlias, record.Main.Alias, ZRKC_ALIAS_LEN);
        vKnown.push_back(k);
        std::memcpy(alias, k.caAlias, ZRKC_ALIAS_LEN);
        return k.iResult;
    }

    // get_volname's answer for the keys, from the store as the call found it.
    int VolumeName(const char *box, uint32_t olu, uint64_t start, uint64_t size, char *out) {
        if (!bStoreOpen) {
            tStore.Open();
            bStoreOpen = true;
        }
        return tStore.Get(box, static_cast<int32_t>(olu), static_cast<int32_t>(High(start)),
                          static_cast<int32_t>(Low(start)), static_cast<int32_t>(High(size)),
                          static_cast<int32_t>(Low(size)), out);
    }

private:
    struct Known {
        char caBox[ZRK_BOXID_LEN + 1];
        char caAlias[ZRKC_ALIAS_LEN];
        int iResult;
    };
    ReturnInfo *pResult;
    std::vector<Known> vKnown;
    zrkplatform::VolnameSnapshot tStore;
    bool bStoreOpen = false;
};

// How an alias lookup that found nothing fills the field.
enum class NotFound { Empty, Storage };

// One side's alias: 0, or -1 (ri filled).
int SideAlias(QueryContext &ctx, const char *box, const char *ownBox, NotFound rule, char *alias,
              uint8_t *set) {
    const int r = ctx.Alias(box, alias);
    if (r < 0) return -1;
    if (r == 0) {
        *set = 1;
        return 0;
    }
    std::memset(alias, 0, ZRKC_ALIAS_LEN);
    if (rule == NotFound::Empty) return 0;
    const char *text = std::memcmp(box, ownBox, ZRK_BOXID_LEN) == 0 ? kOwnerStorage : kOtherStorage;
    std::memcpy(alias, text, sizeof kOwnerStorage - 1);
    *set = 1;
    return 0;
}

// The two boxes of an entry for the alias and name lookups.
void BoxesOf(const DETAIL_LIST_INFO &d, const CopyPair &pair, const char **src, const char **trg) {
    if ((d.ucSessionFlags & ZRK_SESFLAG_REMOTE) != 0) {
        *src = reinterpret_cast<const char *>(d.SrcBoxID);
        *trg = reinterpret_cast<const char *>(d.DstBoxID);
    } else {
        *src = *trg = pair.caSrcBoxID;
    }
}

// Both aliases of a detail entry's item, by the boxes of BoxesOf; the
// boxes are handed back for the name lookups. 0, or -1 (ri filled).
int EntryAliases(QueryContext &ctx, const DETAIL_LIST_INFO &d, const CopyPair &pair, NotFound rule,
                 ItemNames &names, const char **srcBox, const char **trgBox) {
    BoxesOf(d, pair, srcBox, trgBox);
    if (SideAlias(ctx, *srcBox, pair.caSrcBoxID, rule, names.caSrcAlias, &names.ucSrcAliasSet) != 0)
        return -1;
    return SideAlias(ctx, *trgBox, pair.caSrcBoxID, rule, names.caTrgAlias, &names.ucTrgAliasSet);
}

// One side's stored volume name: found, the name and its set byte; else
// the field stays empty.
void SideName(QueryContext &ctx, const char *box, uint32_t olu, uint64_t start, uint64_t size,
              char *name, uint8_t *set) {
    if (ctx.VolumeName(box, olu, start, size, name) == 2)
        *set = 1;
    else
        std::memset(name, 0, ZRK_VOLNAME_LEN);
}

// Fills one item from a detail entry at the level.
void FillItem(unsigned char *at, Level level, const DETAIL_LIST_INFO &d, uint8_t kind,
              const ItemNames &names, uint8_t volumeInfoFlag) {
    if (level == Level::Normal) {
        auto &e = *reinterpret_cast<CopyQueryEntry *>(at);
        e.SrcOlu = Be32(d.SrcOlu);
        e.TrgOlu = Be32(d.DstOlu);
        e.Phase = d.Phase;
        e.Status = d.Status;
        e.CopyKind = kind;
        e.Suspending = d.ucState11;
        e.LpsTime = static_cast<int32_t>(Be32(d.ucaLapseTime));
        e.BlkCnt = Join(Be32(d.CopiedBlock_high), Be32(d.CopiedBlock_low));
        e.SrcAddr = Join(Be32(d.SrcExtent_high), Be32(d.SrcExtent_low));
        e.SrcSize = Join(Be32(d.SrcSize_high), Be32(d.SrcSize_low));
        e.TrgAddr = Join(Be32(d.DstExtent_high), Be32(d.DstExtent_low));
        PutNames(e, names);
        e.CopyProgress = ProgressOf(d);
        return;
    }
    auto &e = *reinterpret_cast<CopyQueryDetailEntry *>(at);
    e.SrcSessionId = Be16(d.ucaSessionID);
    e.TrgSessionId = Be16(d.ucaPartnerID);
    e.CopyKind = kind;
    if (kind == ZRKC_QKIND_RVZ) {
        if ((d.ucModeFlags & ZRK_MODEFLAG_SYNC) != 0)
            e.TransferMode = ZRKC_QTRANSFER_SYNC;
        else if (d.ucTransferMode == kTransferStack)
            e.TransferMode = ZRKC_QTRANSFER_STACK;
        else if (d.ucTransferMode == kTransferConsistency)
            e.TransferMode = ZRKC_QTRANSFER_CONSISTENCY;
        else
            e.TransferMode = ZRKC_QTRANSFER_THROUGH;
        if (e.TransferMode == ZRKC_QTRANSFER_SYNC)
            e.SplitMode = (d.ucModeFlags & ZRK_MODEFLAG_AUTO_SPLIT) != 0 ? ZRKC_QSPLIT_AUTO
                                                                          : ZRKC_QSPLIT_MANUAL;
        e.RecoveryMode = (d.ucModeFlags & ZRK_MODEFLAG_MANUAL_RCV) != 0 ? ZRKC_QRECOVERY_MANUAL
                                                                         : ZRKC_QRECOVERY_AUTO;
    }
    e.Phase = d.Phase;
    e.Status = d.Status;
    e.Suspending = d.ucState11;
    e.TargetProtection = (d.ucSessionFlags & kProtectionBits) != 0 ? 1 : 0;
    e.LpsTime = static_cast<int32_t>(Be32(d.ucaLapseTime));
    std::memcpy(e.SrcBoxID, d.SrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(e.TrgBoxID, d.DstBoxID, ZRK_BOXID_LEN);
    e.SrcOlu = Be32(d.SrcOlu);
    e.TrgOlu = Be32(d.DstOlu);
    e.ExtCnt = Be16(d.ucaExtentCnt);
    e.ErrCode = d.ucState106;
    e.BlkCnt = Join(Be32(d.CopiedBlock_high), Be32(d.CopiedBlock_low));
    e.SrcAddr = Join(Be32(d.SrcExtent_high), Be32(d.SrcExtent_low));
    e.SrcSize = Join(Be32(d.SrcSize_high), Be32(d.SrcSize_low));
    e.TrgAddr = Join(Be32(d.DstExtent_high), Be32(d.DstExtent_low));
    PutNames(e, names);
    if (level != Level::DetailEx) return;
    const unsigned char *b = Bytes(d);
    e.TfoInfo = b[145];
    e.TfoGroupNo = b[146];
    e.VolumeInfoFlag = volumeInfoFlag;
    e.LicenseInfo = b[141];
    e.ControlType = b[140];
    e.CopyProgress = ProgressOf(d);
    e.SupportInfo = b[143];
    e.SubInfo = b[144];
    std::memcpy(e.TimeStamp, d.ucaStartTime, sizeof e.TimeStamp);
}

uint8_t VolumeInfoFlagOf(const CopyPair &pair) {
    return (reinterpret_cast<const unsigned char *>(&pair.tVolInfo)[86] & kVolumeInfoFlagBit) != 0
               ? 1
               : 0;
}

// Whether a volume query keeps a reported entry.
bool Keeps(const DETAIL_LIST_INFO &d, uint32_t option, const CopyPair &pair) {
    if (Unreported(d.Status)) return false;
    if ((option & ZRKC_OPT_QUERY_WHOLE_ARRAY) == 0) {
        const uint32_t src = Be32(d.SrcOlu), trg = Be32(d.DstOlu);
        if ((d.ucSessionFlags & ZRK_SESFLAG_REMOTE) != 0) {
            const bool asSource = pair.SrcOlu == src &&
                                  std::memcmp(pair.caSrcBoxID, d.SrcBoxID, ZRK_BOXID_LEN) == 0;
            const bool asTarget = pair.SrcOlu == trg &&
                                  std::memcmp(pair.caSrcBoxID, d.DstBoxID, ZRK_BOXID_LEN) == 0;
            if (!asSource && !asTarget) return false;
        } else if (pair.SrcOlu != src && pair.SrcOlu != trg) {
            return false;
        }
    }
    if ((option & ZRKC_OPT_QUERY_VZ_ONLY) != 0 && d.ucCopyKind != kCopyKindVz) return false;
    if ((option & ZRKC_OPT_QUERY_KZP_ONLY) != 0 && d.ucCopyKind != kCopyKindKzp &&
        d.ucCopyKind != kCopyKindEstimate && d.ucCopyKind != kCopyKind16 &&
        d.ucCopyKind != kCopyKind17)
        return false;
    return true;
}

// The option rules of the command, in their order; false refuses.
bool OptionsValid(uint32_t option) {
    if ((option & ~ZRKC_OPT_QUERY_MASK) != 0 || (uiExOptionFlag & ~ZRKC_EXOPT_QUERY_MASK) != 0)
        return false;
    if ((option & ZRKC_OPT_QUERY_VZ_ONLY) && (option & ZRKC_OPT_QUERY_KZP_ONLY)) return false;
    if ((option & ZRKC_OPT_QUERY_GENERATIONS) &&
        (option & ~(ZRKC_OPT_QUERY_GENERATIONS | ZRKC_OPT_GROUP_FILE)) != 0)
        return false;
    if ((option & ZRKC_OPT_QUERY_DETAIL) && (option & ZRKC_OPT_QUERY_DETAIL_EX)) return false;
    if ((option & ZRKC_OPT_QUERY_VZ_ONLY) && (option & ZRKC_OPT_QUERY_SNAPKZP_7)) return false;
    constexpr uint32_t kNotWithPath = ZRKC_OPT_QUERY_GENERATIONS | ZRKC_OPT_QUERY_VZ_ONLY |
                                      ZRKC_OPT_QUERY_KZP_ONLY | ZRKC_OPT_QUERY_WHOLE_ARRAY |
                                      ZRKC_OPT_QUERY_SNAPKZP_7;
    if (option & ZRKC_OPT_ACCESS_PATH) {
        if (option & kNotWithPath) return false;
        ZrkcAccessPath_Flag = 1;
    }
    if ((uiExOptionFlag & ZRKC_EXOPT_VVOL) &&
        (option != (ZRKC_OPT_QUERY_WHOLE_ARRAY | ZRKC_OPT_QUERY_DETAIL_EX) ||
         uiExOptionFlag != ZRKC_EXOPT_VVOL))
        return false;
    if ((uiExOptionFlag & ZRKC_EXOPT_TFOP) &&
        (option != ZRKC_OPT_QUERY_WHOLE_ARRAY || uiExOptionFlag != ZRKC_EXOPT_TFOP))
        return false;
    return true;
}

// The text is one or more decimal digits.
bool DigitsOnly(const char *rest) {
    if (*rest == '\0') return false;
    for (; *rest != '\0'; ++rest)
        if (*rest < '0' || *rest > '9') return false;
    return true;
}

} // namespace

extern "C" int check_Comp_Version(CopyQueryList *header, ReturnInfo *ri) {
    ReturnInfo reader{};
    const char *value = get_properties("CompatibleVersion", &reader);
    if (value == nullptr) {
        release_properties();
        ri->iReturnClass = reader.iReturnClass;
        ri->uiMessageNo = reader.uiMessageNo;
        std::memcpy(ri->caMessage, reader.caMessage, ZRK_MESSAGE_LEN);
        return ErrorEnd("check_Compatible_version");
    }
    const char *version = "2.0.0";
    if (std::strncmp(value, "1.2.", 4) == 0 || std::strncmp(value, "1.3.", 4) == 0) {
        if (DigitsOnly(value + 4)) version = "1.3.0";
    } else if (std::strncmp(value, "1.4.", 4) == 0) {
        if (DigitsOnly(value + 4)) version = "1.4.0";
    }
    std::memcpy(header->Version, version, ZRKC_QUERY_VERSION_LEN);
    release_properties();
    return 0;
}

extern "C" int query_pair(CopyPairList *list, int option, ReturnInfo *ri, void *output,
                          int outputLength) {
    const uint32_t opt = static_cast<uint32_t>(option);
    const Level level = LevelOf(opt);
    const uint32_t count = list->pNames->uiCount;
    TraceLine(kTraceSupport, {}, "%s ReturnInfoLevel=%s", kName, LevelWord(level));
    const uint64_t needed = uint64_t{count} * ItemSize(level) + HeaderSize(level);
    if (int r = CheckArea(ri, output, outputLength, needed); r != 0) return r;

    SessionRecords records = NewSessionRecords(count);
    if (!records) return NoMemory(ri);
    int found = 0;
    if (com_get_session_list(list, 0, option, &found, records.get(), ri) < 0) return -1;
    if (found == 0) return NoSession(ri);

    QueryContext ctx(ri);
    auto *out = static_cast<unsigned char *>(output);
    auto *header = reinterpret_cast<CopyQueryList *>(out);
    const bool group = list->iFromGroupFile == 1;
    const bool otherWay = (opt & ZRKC_OPT_OTHER_WAY) != 0;
    const uint8_t volumeInfoFlag = VolumeInfoFlagOf(list->pPairs->taPair[0]);
    bool lineFailed = false; // a line of the group run without a session
    for (uint32_t r = 0; r < count; ++r) {
        const SessionRecord &rec = records[r];
        if (rec.ucFound != 1 || Unreported(rec.tDetail.Status)) {
            if (!group) return NoSession(ri);
            PairResult *entry = CommandCall::EntryOf(ri, r);
            if (entry != nullptr)
                zrkc::SetResult(zrkc::SlotOf(entry), zrkc::Msg::SessionMissing);
            CommandCall::GroupLineFailed(ri, lineFailed);
            continue;
        }
        const DETAIL_LIST_INFO &d = rec.tDetail;
        const CopyPair &pair = list->pPairs->taPair[r];
        const char *srcBox, *trgBox;
        ItemNames names;
        if (EntryAliases(ctx, d, pair, NotFound::Empty, names, &srcBox, &trgBox) != 0) return -1;
        const CopyPairName &given = list->pNames->taEntry[r];
        const char *src = otherWay ? given.caTarget : given.caSource;
        const char *trg = otherWay ? given.caSource : given.caTarget;
        std::memcpy(names.caSrcVolume, src, strnlen(src, ZRK_VOLNAME_LEN - 1));
        std::memcpy(names.caTrgVolume, trg, strnlen(trg, ZRK_VOLNAME_LEN - 1));
        names.ucSrcVolumeSet = names.ucTrgVolumeSet = 1;
        FillItem(out + HeaderSize(level) + uint64_t{r} * ItemSize(level), level, d,
                 CopyKindOf(d, opt, false), names, volumeInfoFlag);
        // Every entry keeps its place once one is filled; a run without a
        // usable entry leaves both counts 0.
        header->ItemCount = count;
        ++header->FilledCount;
    }
    return 0;
}

extern "C" int query_list(char *volume, int option, ReturnInfo *ri, void *output, int outputLength,
                          CopyPair pair) {
    const uint32_t opt = static_cast<uint32_t>(option);
    const Level level = LevelOf(opt);
    TraceLine(kTraceSupport, {}, "%s ReturnInfoLevel=%s", kName,
              level == Level::DetailEx ? "Detail EX1" : LevelWord(level));
    uint32_t apiOption = opt & ZRKC_OPT_API_MASK;
    if ((opt & ZRKC_OPT_QUERY_EXT_LIST) != 0)
        apiOption |= ZRK_OPT_LIST_SEL_01;
    else if ((uiExOptionFlag & ZRKC_EXOPT_VVOL) != 0)
        apiOption |= ZRK_OPT_LIST_SEL_10;
    else if ((uiExOptionFlag & ZRKC_EXOPT_TFOP) != 0)
        apiOption |= ZRK_OPT_LIST_FAILOVER;

    const auto *info = reinterpret_cast<const unsigned char *>(&pair.tVolInfo);
    uint32_t maxSessions = (info[87] & 0x01) != 0 ? Be16(info + 26) : Be16(info + 18);
    if ((uiExOptionFlag & (ZRKC_EXOPT_TFOP | ZRKC_EXOPT_VVOL)) != 0) maxSessions = kVirtualSessionCount;
    TraceLine(kTraceSupport, {}, "%s MaxSesCnt=%u", kName, maxSessions);
    if (maxSessions == 0) return Unsupported(ri);
    const uint64_t needed = uint64_t{maxSessions} * ItemSize(level) + HeaderSize(level);
    if (int r = CheckArea(ri, output, outputLength, needed); r != 0) return r;

    // The list has room for the volume's maximum session count, which the
    // read never goes beyond; only the entries it reports are read.
    DetailArea area;
    if (!area.Reserve(maxSessions)) return NoMemory(ri);
    uint32_t listCount = 0;
    if (ReadDetailList(volume, pair.ucTransport, apiOption, area, listCount, ri) != 0) return -1;
    TraceLine(kTraceSupport, {}, "%s ListCnt=%u", kName, listCount);
    const DETAIL_LIST_INFO *entries = area.Entries();

    QueryContext ctx(ri);
    auto *out = static_cast<unsigned char *>(output);
    auto *header = reinterpret_cast<CopyQueryList *>(out);
    const uint8_t volumeInfoFlag = VolumeInfoFlagOf(pair);
    for (uint32_t i = 0; i < listCount; ++i) {
        const DETAIL_LIST_INFO &d = entries[i];
        if (!Keeps(d, opt, pair)) continue;
        const char *srcBox, *trgBox;
        ItemNames names;
        if (EntryAliases(ctx, d, pair, NotFound::Storage, names, &srcBox, &trgBox) != 0) return -1;
        const uint64_t size = Join(Be32(d.SrcSize_high), Be32(d.SrcSize_low));
        SideName(ctx, srcBox, Be32(d.SrcOlu), Join(Be32(d.SrcExtent_high), Be32(d.SrcExtent_low)),
                 size, names.caSrcVolume, &names.ucSrcVolumeSet);
        SideName(ctx, trgBox, Be32(d.DstOlu), Join(Be32(d.DstExtent_high), Be32(d.DstExtent_low)),
                 size, names.caTrgVolume, &names.ucTrgVolumeSet);
        FillItem(out + HeaderSize(level) + uint64_t{header->ItemCount} * ItemSize(level), level, d,
                 CopyKindOf(d, opt, true), names, volumeInfoFlag);
        ++header->ItemCount;
    }
    return 0;
}

extern "C" int query_generation(CopyPairList *list, int option, ReturnInfo *ri, void *output,
                                int outputLength) {
    const uint32_t opt = static_cast<uint32_t>(option);
    const bool group = (opt & ZRKC_OPT_GROUP_FILE) != 0;
    const CopyPairArea &pairs = *list->pPairs;
    uint32_t maxCount = 0;
    uint64_t needed;
    if (group) {
        needed = sizeof(GenerationList);
        for (uint32_t j = 0; j < pairs.uiCount; ++j) {
            maxCount = std::max<uint32_t>(maxCount, pairs.taPair[j].uhGenerations);
            needed += uint64_t{pairs.taPair[j].uhGenerations} * sizeof(GenerationInfo) +
                      sizeof(GenerationBlock);
        }
    } else {
        maxCount = pairs.taPair[0].uhGenerations;
        TraceLine(kTraceSupport, {}, "%s MaxGenerationsCnt=%u", kName, maxCount);
        needed = uint64_t{maxCount} * sizeof(GenerationInfo) + sizeof(GenerationList) +
                 sizeof(GenerationBlock);
    }
    if (maxCount == 0) return Unsupported(ri);
    if (int r = CheckArea(ri, output, outputLength, needed); r != 0) return r;

    const size_t bufferLength = size_t{maxCount} * kGenerationSlot + kGenerationHead;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[bufferLength]);
    if (!buffer) return NoMemory(ri);

    QueryContext ctx(ri);
    auto *out = static_cast<unsigned char *>(output);
    auto *header = reinterpret_cast<GenerationList *>(out);
    uint64_t offset = sizeof(GenerationList);
    int result = 0;
    bool groupFailed = false;
    uint32_t missing = 0;
    const uint32_t apiOption = opt & ZRKC_OPT_API_MASK;
    for (uint32_t j = 0; j < pairs.uiCount; ++j) {
        const CopyPair &pair = pairs.taPair[j];
        std::memset(buffer.get(), 0, bufferLength);
        unsigned char sense[ZRK_SENSE_LEN] = {};
        const int r = ReadGenerationsInto(pair, apiOption, buffer.get(), maxCount, sense);
        const uint8_t api = IdOf(Op::GenerationList, pair.ucTransport);
        bool failed = false;
        if (!group) {
            if (com_set_return_inf(api, pair.caAccessVolume, r, sense, &ri->iReturnClass,
                                   &ri->uiMessageNo, ri->caMessage) != 0)
                return -1;
        } else {
            PairResult *entry = CommandCall::EntryOf(ri, j);
            PairResult scratch{};
            PairResult &slot = entry != nullptr ? *entry : scratch;
            if (com_set_return_inf(api, pair.caAccessVolume, r, sense, &slot.iReturnClass,
                                   &slot.uiMessageNo, slot.caMessage) != 0) {
                failed = true;
                CommandCall::GroupLineFailed(ri, groupFailed);
                result = -1;
                if (slot.uiMessageNo == Msg::SessionMissing) ++missing;
                std::memset(buffer.get(), 0, bufferLength);
            }
        }
        // Never more items than were read, nor than this block was sized for.
        const uint32_t reported = Be16(buffer.get());
        const uint32_t items = std::min<uint32_t>({reported, maxCount, pair.uhGenerations});
        auto *block = reinterpret_cast<GenerationBlock *>(out + offset);
        block->GenerationsCnt = items;
        block->MaxGenerationsCnt = pair.uhGenerations;
        for (uint32_t s = 0; s < items; ++s) {
            const auto &t = *reinterpret_cast<const TVC_DETAIL_INFO *>(buffer.get() + kGenerationHead +
                                                                        size_t{s} * kGenerationSlot);
            auto &g = *reinterpret_cast<GenerationInfo *>(out + offset + sizeof(GenerationBlock) +
                                                          uint64_t{s} * sizeof(GenerationInfo));
            g.SrcSesId = Be16(t.ucaSessionID);
            g.SrcOlu = Be32(t.SrcOlu);
            g.TrgOlu = Be32(t.DstOlu);
            g.Phase = t.Phase;
            g.Status = t.Status;
            g.BlkCnt = Join(Be32(t.CopiedBlock_high), Be32(t.CopiedBlock_low));
            g.SrcAddr = Join(Be32(t.SrcExtent_high), Be32(t.SrcExtent_low));
            g.Size = Join(Be32(t.SrcSize_high), Be32(t.SrcSize_low));
            g.TrgAddr = Join(Be32(t.DstExtent_high), Be32(t.DstExtent_low));
            TraceLine(kTraceSupport, {},
                      "%s GenerationInfo : GenerationCnt=%u, SrcSesId=%d, SrcOlu=%u, TrgOlu=%u, "
                      "Phase=%d, Status=%d",
                      kName, items, g.SrcSesId, g.SrcOlu, g.TrgOlu, g.Phase, g.Status);
            ItemNames names;
            if (SideAlias(ctx, pair.caSrcBoxID, pair.caSrcBoxID, NotFound::Storage,
                          names.caSrcAlias, &names.ucSrcAliasSet) != 0)
                return -1;
            std::memcpy(names.caTrgAlias, names.caSrcAlias, ZRKC_ALIAS_LEN);
            names.ucTrgAliasSet = names.ucSrcAliasSet;
            SideName(ctx, pair.caSrcBoxID, g.SrcOlu, g.SrcAddr, g.Size, names.caSrcVolume,
                     &names.ucSrcVolumeSet);
            SideName(ctx, pair.caSrcBoxID, g.TrgOlu, g.TrgAddr, g.Size, names.caTrgVolume,
                     &names.ucTrgVolumeSet);
            PutNames(g, names);
        }
        offset += uint64_t{items} * sizeof(GenerationInfo) + sizeof(GenerationBlock);
        if (!failed) ++header->FilledCount;
    }
    if (group && missing == pairs.uiCount) return NoSession(ri);
    header->ItemCount = pairs.uiCount;
    return result;
}

extern "C" int zrkc_query_copy(char *source, char *target, int option, ReturnInfo *ri, void *output,
                               int outputLength) {
    CommandCall call(kName, ri);
    const uint32_t opt = static_cast<uint32_t>(option);
    const bool noArea = output == nullptr && outputLength != 0;
    if (call.OpenPair(noArea ? nullptr : source, target, opt) != 0) return -1;
    if (!OptionsValid(opt)) return call.RefuseOptions();
    if (int r = call.BuildList(source, target, opt); r != 0) return r;

    CopyPairList &list = call.List();
    const bool pairsForm = list.pNames->uiForm == ZRKC_FORM_PAIRS;
    const bool group = (opt & ZRKC_OPT_GROUP_FILE) != 0;
    if (!pairsForm && (opt & ZRKC_OPT_OTHER_WAY) != 0) {
        WrongForm(ri);
        return call.Fail();
    }
    if (com_conv_volinf(&list, (opt & ZRKC_OPT_OTHER_WAY) != 0 ? 1 : 0, ri) != 0)
        return call.Fail();

    int result;
    if ((opt & ZRKC_OPT_QUERY_GENERATIONS) != 0) {
        result = (group || target == nullptr) ? query_generation(&list, option, ri, output, outputLength)
                                              : WrongForm(ri);
    } else if (target != nullptr || group) {
        result = pairsForm ? query_pair(&list, option, ri, output, outputLength) : WrongForm(ri);
    } else {
        const CopyPair pair = list.pPairs->taPair[0];
        result = query_list(list.pPairs->taPair[0].caAccessVolume, option, ri, output, outputLength,
                            pair);
    }
    if (result == 1) {
        com_file_release(&list);
        return call.Warn();
    }
    if (result < 0) return call.Fail();
    if ((opt & ZRKC_OPT_QUERY_DETAIL_EX) != 0 &&
        check_Comp_Version(static_cast<CopyQueryList *>(output), ri) != 0)
        return call.Fail();
    return call.Finish();
}
