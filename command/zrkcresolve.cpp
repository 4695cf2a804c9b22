// Volume resolution: every name of a copy-pair list becomes a CopyPair (the
// arrays, logical units and extents of its two sides), checked for size and
// overlap, with the access volume and the transport through which the
// command reaches the array.
//
// The three name forms: a host device ("/dev/sdb"), reached over SCSI; an
// alias form "0x1A@alias", a whole logical unit of an array in the alias
// store; an extent form "0x1A:100:10.5@alias", a block range of one (start
// in hexadecimal blocks, size in decimal units of two blocks, ".5" for one
// block more). The two alias forms are reached the way the alias entry's
// route says: the device in its access path (SCSI) or the array's address
// (LAN). The target side is resolved first, the source side second, so a
// pair goes through its source's route when it has one and through its
// target's otherwise.
#include "zrkcalias.h"
#include "zrkcframe.h"
#include "zrkcmessage.h"

#include "platform.h"
#include "zrklist.h"
#include "zrkengine.h"

#include <cstdlib>
#include <cstring>

namespace {

using zrkc::CommandCall;
using zrkc::IdOf;
using zrkc::Op;

constexpr uint8_t kNoTargetKind = 0xFF;
constexpr uint32_t kNone32 = 0xFFFFFFFFu;
constexpr size_t kOluDigitsMax = 6;  // "0x" included
constexpr size_t kAliasMax = ZRKC_ALIAS_LEN;

// Results of the alias resolvers.
constexpr int kStatusFailed = -3;
constexpr int kNoRoute = 5;

bool IsNoName(const char *name) { return static_cast<unsigned char>(name[0]) == 0xFF; }

uint32_t High(uint64_t v) { return static_cast<uint32_t>(v >> 32); }
uint32_t Low(uint64_t v) { return static_cast<uint32_t>(v); }
uint64_t Join(uint32_t high, uint32_t low) { return uint64_t{high} << 32 | low; }
using zrk::Be16;
using zrk::Be32;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A hexadecimal number filling [text, end) completely, "0x" optional: no
// sign, no blanks, at least one digit, no more than 64 bits.
bool ParseHex(const char *text, const char *end, uint64_t *value) {
    if (end - text >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text += 2;
    if (text == end) return false;
    uint64_t v = 0;
    for (; text < end; ++text) {
        const int d = HexDigit(*text);
        if (d < 0 || (v >> 60) != 0) return false;
        v = v << 4 | static_cast<uint64_t>(d);
    }
    *value = v;
    return true;
}

// A decimal number filling [text, end) completely: digits only, at most
// 2^63 - 1 (a size is never negative as a signed value).
bool ParseDecimal(const char *text, const char *end, uint64_t *value) {
    if (text == end) return false;
    uint64_t v = 0;
    constexpr uint64_t kMax = 0x7FFFFFFFFFFFFFFFull;
    for (; text < end; ++text) {
        if (*text < '0' || *text > '9') return false;
        const uint64_t d = static_cast<uint64_t>(*text - '0');
        if (v > (kMax - d) / 10) return false;
        v = v * 10 + d;
    }
    *value = v;
    return true;
}

// The OLU part of an alias or extent form: shorter than 7 characters.
bool ParseOlu(const char *text, const char *end, uint32_t *olu) {
    uint64_t v = 0;
    if (static_cast<size_t>(end - text) > kOluDigitsMax || !ParseHex(text, end, &v)) return false;
    *olu = static_cast<uint32_t>(v);
    return true;
}

int RefuseName(const char *name, ReturnInfo *ri) {
    zrkc::SetInvalidVolume(ri, name);
    return -1;
}

void CopyBounded(char *out, const char *text) {
    const size_t n = strnlen(text, ZRK_VOLNAME_LEN - 1);
    std::memcpy(out, text, n);
    out[n] = '\0';
}

// The alias entry named by the alias part [alias, end) of name: 0 found,
// -1 with ri filled (an unknown alias is an invalid name).
int LookUpAlias(const char *name, const char *alias, AliasRecord *record, ReturnInfo *ri) {
    const size_t length = std::strlen(alias);
    if (length > kAliasMax) return RefuseName(name, ri);
    const int found = com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, alias, record, ri);
    if (found == 1) return RefuseName(name, ri);
    return found == 0 ? 0 : -1;
}

// The access-path option names no alias, or one that neither side uses.
void NotThroughAccessPath(ReturnInfo *ri) {
    zrkc::SetResult(ri, zrkc::Msg::AccessPathNotInPair);
}

// The access-path option: 0 this entry may be used, 1 it is another alias
// (not used for access), -1 / kNoRoute refused with ri filled.
int AccessPathRule(const AliasRecord &record, ReturnInfo *ri) {
    if (ZrkcAccessPath_Flag == 0) return 0;
    if (ZrkcAccessPath[0] == '\0') {
        NotThroughAccessPath(ri);
        return -1;
    }
    if (std::strncmp(record.Main.Alias, ZrkcAccessPath, ZRKC_ALIAS_LEN) != 0) return 1;
    if (record.Main.Direct != 1) {
        zrkc::SetResult(ri, zrkc::Msg::AccessPathNoRoute);
        return kNoRoute;
    }
    return 0;
}

// Reads the volume information of the array through the entry's route and
// sets the access volume; 0, or -1 with ri filled.
int ReachArray(const char *name, const AliasRecord &record, char *accessVolume, VOL_INFO *volInfo,
               unsigned char *sense, ReturnInfo *ri) {
    char box[ZRK_BOXID_LEN];
    uint32_t olu = 0, eh = 0, el = 0, sh = 0, sl = 0;
    const char *path = record.Main.AccessPath;
    if (record.Main.Interface == ZRKC_ALIAS_IF_LAN) {
        CopyBounded(accessVolume, path);
        const int r = ZRKIPGetVolumeInfo(accessVolume, nullptr, 0, 3, box, &olu, &eh, &el, &sh, &sl,
                                         volInfo, sense);
        if (r == 1) return 0;
        com_set_return_inf(IdOf(Op::VolumeInfo, ZRKC_TRANSPORT_LAN), accessVolume, -1, sense,
                           &ri->iReturnClass, &ri->uiMessageNo, ri->caMessage);
        zrkc::TraceVolumeParm("ZRKIPGetVolumeInfo", accessVolume, 3u, zrkc::kTraceStep);
        return -1;
    }
    char device[ZRK_VOLNAME_LEN];
    CopyBounded(device, path);
    const int kind = com_volume_kind(device, ri);
    if (kind == -1) return -1;
    if (kind != ZRKC_VOLKIND_DEVICE) return RefuseName(name, ri);
    CopyBounded(accessVolume, device);
    VOL_INFO_EX ex{};
    const int r = ZRKLVGetVolumeInfoEx(accessVolume, 0, 0, box, &olu, &eh, &el, &sh, &sl, volInfo,
                                       &ex, sense);
    if (r != 1) {
        com_set_return_inf(IdOf(Op::VolumeInfo, ZRKC_TRANSPORT_SCSI), accessVolume, -1, sense,
                           &ri->iReturnClass, &ri->uiMessageNo, ri->caMessage);
        zrkc::TraceVolumeParm("ZRKLVGetVolumeInfoEx", accessVolume, 0u, zrkc::kTraceStep);
        return -1;
    }
    if (ZRKstorage_cluster != 0) {
        zrkc::SetCatalogueResult(ri, zrkc::CatalogueMsg::ClusterAccessPath);
        return -1;
    }
    return 0;
}

} // namespace

extern "C" int com_volume_alias(const char *name, char *accessVolume, char *boxId, uint32_t *olu,
                                uint32_t *extentHigh, uint32_t *extentLow, uint32_t *sizeHigh,
                                uint32_t *sizeLow, VOL_INFO *volInfo, uint8_t *transport,
                                ReturnInfo *ri) {
    constexpr const char *kName = "com_volume_alias";
    zrkc::TraceStart(kName);
    auto fail = [&](int result, zrkc::Where where = zrkc::Where::current()) {
        zrkc::ErrorEnd(kName, where);
        return result;
    };
    const char *at = std::strchr(name, '@');
    if (at == nullptr || !ParseOlu(name, at, olu)) {
        zrkc::ErrorEnd(kName, "conv olu");
        return RefuseName(name, ri);
    }
    AliasRecord record{};
    if (LookUpAlias(name, at + 1, &record, ri) != 0) return fail(-1);
    std::memcpy(boxId, record.Main.BoxID, ZRK_BOXID_LEN);

    const int rule = AccessPathRule(record, ri);
    if (rule == 1 || (rule == 0 && record.Main.Direct != 1)) {
        *extentHigh = *extentLow = *sizeHigh = *sizeLow = 0;
        return zrkc::NormalEnd(kName);
    }
    if (rule != 0) return fail(rule);

    unsigned char sense[ZRK_SENSE_LEN] = {};
    if (ReachArray(name, record, accessVolume, volInfo, sense, ri) != 0) return fail(-1);
    unsigned char status[ZRK_OLU_STATUS_LEN] = {};
    // The entry's route kind is the road its volumes take.
    const uint8_t road = record.Main.Interface;
    const int r = zrkc::CallByTransport(road, accessVolume, sense, ZRKGetOLUStatus, ZRKIPGetOLUStatus,
                                        *olu, status);
    if (com_set_return_inf(IdOf(Op::OluStatus, road), accessVolume, r, sense, &ri->iReturnClass,
                           &ri->uiMessageNo, ri->caMessage) != 0) {
        zrkc::TraceLine(zrkc::kTraceStep, {}, "%s WX-API Parm LogicalVol=%s, Olu=%08x", kName,
                        accessVolume, *olu);
        return fail(kStatusFailed);
    }
    *sizeHigh = Be32(status + 8);
    *sizeLow = Be32(status + 12);
    *extentHigh = *extentLow = 0;
    *transport = record.Main.Interface;
    return zrkc::NormalEnd(kName);
}

extern "C" int com_volume_alias_extent(const char *name, char *accessVolume, char *boxId,
                                       uint32_t *olu, uint32_t *extentHigh, uint32_t *extentLow,
                                       uint32_t *sizeHigh, uint32_t *sizeLow, VOL_INFO *volInfo,
                                       uint8_t *transport, ReturnInfo *ri) {
    constexpr const char *kName = "com_volume_alias_extent";
    zrkc::TraceStart(kName);
    auto refuse = [&](const char *what, zrkc::Where where = zrkc::Where::current()) {
        zrkc::ErrorEnd(kName, what, where);
        return RefuseName(name, ri);
    };
    // OLU ':' start ':' size ['.' half] '@' alias
    const char *colon1 = std::strchr(name, ':');
    if (colon1 == nullptr || !ParseOlu(name, colon1, olu)) return refuse("conv olu");
    const char *colon2 = std::strchr(colon1 + 1, ':');
    uint64_t start = 0;
    if (colon2 == nullptr || !ParseHex(colon1 + 1, colon2, &start)) return refuse("conv extent");
    const char *point = std::strchr(colon2 + 1, '.');
    const char *at = std::strchr(point != nullptr ? point + 1 : colon2 + 1, '@');
    if (at == nullptr) return refuse("no alias");
    uint64_t size = 0;
    if (!ParseDecimal(colon2 + 1, point != nullptr ? point : at, &size)) return refuse("conv size");
    uint64_t half = 0;
    if (point != nullptr && (!ParseDecimal(point + 1, at, &half) || (half != 0 && half != 5)))
        return refuse("conv half");
    // size < 2^63, so the block count cannot wrap.
    const uint64_t blocks = size * 2 + (half == 5 ? 1 : 0);

    AliasRecord record{};
    if (LookUpAlias(name, at + 1, &record, ri) != 0) return zrkc::ErrorEnd(kName);
    std::memcpy(boxId, record.Main.BoxID, ZRK_BOXID_LEN);
    *sizeHigh = High(blocks);
    *sizeLow = Low(blocks);
    *extentHigh = High(start);
    *extentLow = Low(start);

    const int rule = AccessPathRule(record, ri);
    if (rule == 1 || (rule == 0 && record.Main.Direct != 1)) return zrkc::NormalEnd(kName);
    if (rule != 0) {
        zrkc::ErrorEnd(kName);
        return rule;
    }
    unsigned char sense[ZRK_SENSE_LEN] = {};
    if (ReachArray(name, record, accessVolume, volInfo, sense, ri) != 0) return zrkc::ErrorEnd(kName);
    *transport = record.Main.Interface;
    return zrkc::NormalEnd(kName);
}

namespace {

constexpr const char *kConv = "com_conv_volinf";

// The fields of one side of a pair.
struct SideFields {
    char *pBoxID;
    uint32_t *pOlu;
    uint32_t *pAddrHigh, *pAddrLow;
    uint32_t *pSizeHigh, *pSizeLow;
};

// The larger of the maximum session counts (bytes 26-27 when bit 0 of byte
// 87 is set, else 18-19) and the generation count (112-113).
struct SessionCounts {
    uint16_t uhMax = 0;
    uint16_t uhGenerations = 0;
};

SessionCounts CountsOf(const VOL_INFO &info) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(&info);
    SessionCounts counts;
    counts.uhMax = (bytes[87] & 0x01) != 0 ? Be16(bytes + 26) : Be16(bytes + 18);
    counts.uhGenerations = Be16(bytes + 112);
    return counts;
}

// The state of one pair's resolution between its two sides.
struct PairState {
    int iTargetNote = 0;          // 0 reachable, 1 none or no route, 2 its route failed
    int iTargetKind = 0;          // kind of the target name; 0 without target
    int32_t iSavedClass = 0;      // the target's failure
    uint32_t uiSavedNumber = 0;
    char caSavedMessage[ZRK_MESSAGE_LEN] = {};
    char caSavedAccess[ZRK_VOLNAME_LEN] = {}; // the target's access volume
    SessionCounts tTarget, tSource;
};

void RestoreSaved(const PairState &state, ReturnInfo *ri) {
    ri->iReturnClass = state.iSavedClass;
    ri->uiMessageNo = state.uiSavedNumber;
    std::memcpy(ri->caMessage, state.caSavedMessage, ZRK_MESSAGE_LEN);
}

// Resolves a device name into a side; 0 or -1.
int ResolveDevice(const char *name, CopyPair &pair, const SideFields &side, unsigned char *sense,
                  ReturnInfo *ri) {
    CopyBounded(pair.caAccessVolume, name);
    VOL_INFO_EX ex{};
    const int r = ZRKLVGetVolumeInfoEx(name, 0, 0, side.pBoxID, side.pOlu, side.pAddrHigh,
                                       side.pAddrLow, side.pSizeHigh, side.pSizeLow,
                                       &pair.tVolInfo, &ex, sense);
    if (r != 1) {
        com_set_return_inf(IdOf(Op::VolumeInfo, ZRKC_TRANSPORT_SCSI), name, -1, sense,
                           &ri->iReturnClass, &ri->uiMessageNo, ri->caMessage);
        zrkc::TraceLine(zrkc::kTraceStep, {}, "%s WX-API Call.[%s]", kConv,
                        zrkc::TraceNames(Op::VolumeInfo));
        zrkc::TraceVolumeParm(kConv, name, 0u, zrkc::kTraceStep);
        return -1;
    }
    if (ZRKstorage_cluster != 0) {
        zrkc::SetCatalogueResult(ri, zrkc::CatalogueMsg::ClusterVolume);
        return -1;
    }
    return 0;
}

// Resolves one side of a pair (target: isTarget). 0 the run goes on, -1 the
// call ends with ri filled.
int ResolveSide(const char *name, bool isTarget, CopyPair &pair, PairState &state,
                unsigned char *sense, ReturnInfo *ri) {
    const SideFields side =
        isTarget ? SideFields{pair.caTrgBoxID, &pair.TrgOlu, &pair.TrgAddr_h, &pair.TrgAddr_l,
                              &pair.TrgSize_h, &pair.TrgSize_l}
                 : SideFields{pair.caSrcBoxID, &pair.SrcOlu, &pair.SrcAddr_h, &pair.SrcAddr_l,
                              &pair.SrcSize_h, &pair.SrcSize_l};
    SessionCounts &counts = isTarget ? state.tTarget : state.tSource;
    const int kind = com_volume_kind(name, ri);
    if (kind == -1) return -1;
    if (kind != ZRKC_VOLKIND_DEVICE && kind != ZRKC_VOLKIND_ALIAS && kind != ZRKC_VOLKIND_EXTENT) return RefuseName(name, ri);
    if (isTarget) {
        state.iTargetKind = kind;
    } else if (state.iTargetKind != 0 && kind != state.iTargetKind) {
        return RefuseName(name, ri);
    }

    bool skip = false;
    if (kind == ZRKC_VOLKIND_DEVICE) {
        if (ResolveDevice(name, pair, side, sense, ri) != 0) return -1;
    } else {
        auto resolve = kind == ZRKC_VOLKIND_ALIAS ? com_volume_alias : com_volume_alias_extent;
        const int r = resolve(name, pair.caAccessVolume, side.pBoxID, side.pOlu, side.pAddrHigh,
                              side.pAddrLow, side.pSizeHigh, side.pSizeLow, &pair.tVolInfo,
                              &pair.ucTransport, ri);
        if (r == kStatusFailed || r == kNoRoute || (r != 0 && side.pBoxID[0] == '\0')) return -1;
        if (r != 0) {
            // The alias is known but its route failed.
            if (kind == ZRKC_VOLKIND_ALIAS) *side.pAddrHigh = *side.pAddrLow = *side.pSizeHigh = *side.pSizeLow = 0;
            if (isTarget) {
                state.iTargetNote = 2;
                state.iSavedClass = ri->iReturnClass;
                state.uiSavedNumber = ri->uiMessageNo;
                std::memcpy(state.caSavedMessage, ri->caMessage, ZRK_MESSAGE_LEN);
                pair.caAccessVolume[0] = '\0';
            } else if (state.iTargetNote != 0) {
                if (std::memcmp(pair.caSrcBoxID, pair.caTrgBoxID, ZRK_BOXID_LEN) == 0 &&
                    state.uiSavedNumber == zrkc::Msg::LanConnections &&
                    ri->uiMessageNo == zrkc::Msg::LanConnect)
                    RestoreSaved(state, ri);
                return -1;
            } else {
                std::memcpy(pair.caAccessVolume, state.caSavedAccess, ZRK_VOLNAME_LEN);
            }
            zrkc::TraceLine(zrkc::kTraceStep, {}, "%s warning continue.", kConv);
        } else if (pair.caAccessVolume[0] == '\0') {
            if (isTarget) {
                state.iTargetNote = 1;
            } else if (state.iTargetNote == 2) {
                RestoreSaved(state, ri);
                return -1;
            }
        }
        skip = kind == ZRKC_VOLKIND_ALIAS ? (*side.pSizeHigh == 0 && *side.pSizeLow == 0)
                                  : pair.caAccessVolume[0] == '\0';
        // A side that could not be reached has no volume information.
        if (r != 0) skip = true;
    }

    if (isTarget) {
        pair.ucVolumeKind = static_cast<uint8_t>(kind);
        if (pair.caAccessVolume[0] != '\0')
            std::memcpy(state.caSavedAccess, pair.caAccessVolume, ZRK_VOLNAME_LEN);
    }
    counts = skip ? SessionCounts{} : CountsOf(pair.tVolInfo);
    return 0;
}

// Whether [a, a + n) and [b, b + n) overlap, without wrap-around. A size of
// 0 is the rest of the logical unit, which two areas of it always share.
bool Overlap(uint64_t a, uint64_t b, uint64_t n) {
    if (n == 0) return true;
    return a <= b ? b - a < n : a - b < n;
}

// Resolves list entry index; 0 or -1 with ri filled.
int ResolvePair(CopyPairList *list, uint32_t index, int direction, unsigned char *sense,
                ReturnInfo *ri) {
    CopyPairName &names = list->pNames->taEntry[index];
    CopyPair &pair = list->pPairs->taPair[index];
    const char *sourceName = direction == 0 ? names.caSource : names.caTarget;
    const char *targetName = direction == 0 ? names.caTarget : names.caSource;
    PairResult *entry = list->iFromGroupFile != 0 ? CommandCall::EntryOf(ri, index) : nullptr;
    PairState state;

    if (IsNoName(targetName)) {
        std::memset(pair.caTrgBoxID, 0xFF, ZRK_BOXID_LEN);
        pair.TrgOlu = pair.TrgAddr_h = pair.TrgAddr_l = kNone32;
        pair.ucVolumeKind = kNoTargetKind;
        state.iTargetNote = 1;
    } else {
        if (entry != nullptr) CopyBounded(entry->caTarget, targetName);
        if (ResolveSide(targetName, true, pair, state, sense, ri) != 0) return -1;
    }
    if (IsNoName(sourceName)) return RefuseName("", ri);
    if (entry != nullptr) CopyBounded(entry->caSource, sourceName);
    if (ResolveSide(sourceName, false, pair, state, sense, ri) != 0) return -1;
    zrkc::ClearResult(zrkc::SlotOf(ri));

    if (pair.caAccessVolume[0] == '\0') {
        if (ZrkcAccessPath_Flag != 0) {
            NotThroughAccessPath(ri);
        } else {
            zrkc::SetResult(ri, zrkc::Msg::ArrayUnregistered);
        }
        return zrkc::ErrorEnd(kConv, "Size = 0(Src and Trg)");
    }

    pair.CopySize_h = pair.SrcSize_h;
    pair.CopySize_l = pair.SrcSize_l;
    if (pair.TrgOlu != kNone32) {
        if (pair.SrcSize_h == 0 && pair.SrcSize_l == 0) {
            pair.SrcSize_h = pair.TrgSize_h;
            pair.SrcSize_l = pair.TrgSize_l;
        }
        const uint64_t size = Join(pair.SrcSize_h, pair.SrcSize_l);
        const bool sameBox = std::memcmp(pair.caSrcBoxID, pair.caTrgBoxID, ZRK_BOXID_LEN) == 0;
        if (sameBox && pair.SrcOlu == pair.TrgOlu &&
            Overlap(Join(pair.SrcAddr_h, pair.SrcAddr_l), Join(pair.TrgAddr_h, pair.TrgAddr_l), size)) {
            zrkc::SetResult(ri, zrkc::Msg::TargetOverlapsSource);
            return zrkc::ErrorEnd(kConv, "overlap");
        }
        if (!sameBox && std::strncmp(pair.caAccessVolume, state.caSavedAccess, ZRK_VOLNAME_LEN) == 0)
            pair.ucByTarget = 1;
        const uint64_t targetSize = Join(pair.TrgSize_h, pair.TrgSize_l);
        if (targetSize != 0 && targetSize != size) {
            zrkc::SetResult(ri, zrkc::Msg::TargetSizeMismatch);
            return -1;
        }
    } else if (pair.SrcSize_h == 0 && pair.SrcSize_l == 0) {
        pair.TrgAddr_h = pair.TrgAddr_l = 0;
    }

    if (state.tSource.uhMax == 0 && state.tTarget.uhMax == 0) {
        zrkc::SetResult(ri, zrkc::Msg::Unsupported);
        return -1;
    }
    pair.uhMaxSessions = state.tSource.uhMax > state.tTarget.uhMax ? state.tSource.uhMax
                                                                   : state.tTarget.uhMax;
    pair.uhGenerations = state.tSource.uhGenerations > state.tTarget.uhGenerations
                             ? state.tSource.uhGenerations
                             : state.tTarget.uhGenerations;
    zrkc::TraceLine(zrkc::kTraceSupport, {},
                    "%s PhysicalInformation : SrcOlu=%x, SrcBoxID=%.40s, SrcAddr_h=%x, SrcAddr_l=%x, "
                    "SrcSize_h=%x, SrcSize_l=%x TrgOlu=%x, TrgBoxID=%.40s, TrgAddr_h=%x, TrgAddr_l=%x,",
                    kConv, pair.SrcOlu, pair.caSrcBoxID, pair.SrcAddr_h, pair.SrcAddr_l, pair.SrcSize_h,
                    pair.SrcSize_l, pair.TrgOlu, pair.caTrgBoxID, pair.TrgAddr_h, pair.TrgAddr_l);
    return 0;
}

} // namespace

extern "C" int com_conv_volinf(CopyPairList *list, int direction, ReturnInfo *ri) {
    zrkc::TraceStart(kConv);
    const uint32_t count = list->pNames != nullptr ? list->pNames->uiCount : 0;
    std::free(list->pPairs);
    list->pPairs = nullptr;
    // The pairs are the list's once every name is resolved; a failure before
    // takes them away again.
    zrkc::Owned<CopyPairArea> pairs(static_cast<CopyPairArea *>(
        std::calloc(1, sizeof(CopyPairArea) + size_t{count} * sizeof(CopyPair))));
    if (!pairs) {
        zrkc::SetNoMemory(ri);
        return zrkc::ErrorEnd(kConv);
    }
    list->pPairs = pairs.get();
    auto fail = [&](zrkc::Where where = zrkc::Where::current()) {
        list->pPairs = nullptr;
        return zrkc::ErrorEnd(kConv, where);
    };
    const char *apis = zrkc::TraceNames(Op::VolumeInfo);
    zrkc::TraceCallStart(kConv, apis, zrkc::kTraceSupport);
    unsigned char sense[ZRK_SENSE_LEN];
    for (uint32_t i = 0; i < count; ++i) {
        std::memset(sense, 0, sizeof sense);
        if (ResolvePair(list, i, direction, sense, ri) != 0) return fail();
    }
    zrkc::TraceCallEnd(kConv, apis, zrkc::kTraceSupport);
    list->iDirection = direction;
    list->pPairs->uiCount = count;
    if (list->iFromGroupFile != 0) CommandCall::SetEntryCount(ri, count);
    if (com_org_subgroup(list, ri) != 0) return fail();
    static_cast<void>(pairs.release()); // the list's from here on
    return zrkc::NormalEnd(kConv);
}
