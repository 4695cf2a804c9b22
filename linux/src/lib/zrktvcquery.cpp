// Queries of the page-based engine: the match of a copy request against a
// detail list, the SnapKZP+ generations of a volume, the snap data pool, a
// volume's capacity and block length, and the concurrent suspend of many VZ
// sessions with one command.
//
// The generation page is the array's word on how much it holds: its counts
// are walked only as far as the reply was read and the buffers were sized,
// and sizes built from them are computed in 64 bits.
#include "zrktvc.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace zrk;

namespace {

// The most one TRAVO IN can ask for: its allocation length has 24 bits.
constexpr uint64_t kTravoInMax = 0xFFFFFF;

// Generation page and extent block offsets.
constexpr size_t kGenVolumeBlocks = 10; // extent blocks of the volume
constexpr size_t kGenReplyBlocks = 12;  // extent blocks in this reply
constexpr size_t kGenMax = 14;          // maximum generation count
constexpr size_t kBlockGenerations = 0; // generations in a block
constexpr size_t kBlockExtent = 4;      // source extent start and size, 16 bytes
constexpr size_t kBlockIds = 32;        // session identifiers

uint64_t BlockSize(uint64_t generations) { return 2 * generations + ZRK_GENERATION_HEAD_LEN; }

bool ZeroBox(const unsigned char *box) {
    return std::all_of(box, box + ZRK_BOXID_LEN, [](unsigned char c) { return c == 0; });
}

}  // namespace

// ---- a request against a detail list -----------------------------------------------------

extern "C" int QueryDetailfromListForLV(int count, const DETAIL_LIST_INFO *list,
                                        unsigned char engineKind, const COPY_REQ_LV *request,
                                        TVC_DETAIL_INFO *detail) {
    static constexpr const char kName[] = "QueryDetailfromListForLV";
    LogIn(1, kName, __LINE__);
    for (int i = 0; list != nullptr && request != nullptr && i < count; ++i) {
        const DETAIL_LIST_INFO &e = list[i];
        if (!SameCopy(e, engineKind, *request)) continue;
        // A local session may be listed without its arrays.
        if (request->RemoteFlag == 0 && ZeroBox(e.SrcBoxID)) {
            if (!ZeroBox(e.DstBoxID)) continue;
        } else if (!SameBoxId(e.SrcBoxID, request->SrcBoxID) ||
                   !SameBoxId(e.DstBoxID, request->DstBoxID)) {
            continue;
        }
        if (detail != nullptr)
            *detail = EncodeTvcDetail(TvcDetailFromList(DecodeDetailEntry(e)));
        WriteLog(1, &e, sizeof e, "DetailListInfo [%d]", __LINE__);
        return 0;
    }
    FailWith(ZRK_ERR_NO_SESSION);
    return LogErr(1, kName, __LINE__);
}

// ---- SnapKZP+ generations ---------------------------------------------------------------

extern "C" int GetGeneration(const char *volume, const unsigned char *olu, unsigned int length,
                             unsigned char *reply) {
    static constexpr const char kName[] = "GetGeneration";
    LogIn(1, kName, volume, __LINE__);
    if (olu == nullptr || reply == nullptr || length > kTravoInMax)
        return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);
    const CopySupport s;
    if (!s.AnyHas({ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_REMOTE_KZP_KINDS}, ZRK_SUPPORT_SNAP_P))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 1, kName, volume, __LINE__);
    if (ExecTravoIn(volume, 0x01, ZRK_PAGE_GENERATION, olu, reply, static_cast<int>(length)) != 0)
        return LogErr(1, kName, volume, __LINE__);
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetGenerationMultiSes(const char *volume, const COPY_REQ_LV *request,
                                     const unsigned char *blockCount,
                                     const unsigned char *maxGeneration, unsigned char *block) {
    static constexpr const char kName[] = "GetGenerationMultiSes";
    LogIn(1, kName, volume, __LINE__);
    if (request == nullptr || blockCount == nullptr || maxGeneration == nullptr || block == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);
    const uint64_t maxGen = Be16(maxGeneration);
    const uint64_t room = BlockSize(maxGen); // what the caller's block holds
    // Ask for every block of the volume, as far as one command can carry.
    uint64_t blocks = Be16(blockCount);
    blocks = std::min(blocks, (kTravoInMax - ZRK_GENERATION_HEAD_LEN) / room);
    const uint64_t allocation = blocks * room + ZRK_GENERATION_HEAD_LEN;
    Buffer reply = AllocateZeroed(static_cast<size_t>(allocation));
    if (!reply) return LogErr(1, kName, volume, __LINE__);
    if (GetGeneration(volume, request->SrcOlu + 2, static_cast<unsigned int>(allocation),
                      reply.get()) != 0)
        return LogErr(1, kName, volume, __LINE__);

    // The reply's blocks have the reply's own stride; walk only those that
    // were read in full.
    const unsigned char *r = reply.get();
    const uint64_t stride = BlockSize(Be16(r + kGenMax));
    const uint64_t held = (allocation - ZRK_GENERATION_HEAD_LEN) / stride;
    const uint64_t claimed = Be16(r + kGenReplyBlocks);
    if (claimed > held)
        WriteLog(1, nullptr, 0, "GetGenerationMultiSes %u blocks claimed, %u read [%s] [%d]",
                 static_cast<unsigned>(claimed), static_cast<unsigned>(held), LogText(volume),
                 __LINE__);
    const uint64_t walk = std::min(claimed, held);

    unsigned char wanted[16];
    std::memcpy(wanted, request->SrcExtent_high, 4);
    std::memcpy(wanted + 4, request->SrcExtent_low, 4);
    std::memcpy(wanted + 8, request->SrcSize_high, 4);
    std::memcpy(wanted + 12, request->SrcSize_low, 4);
    for (uint64_t b = 0; b < walk; ++b) {
        const unsigned char *blk = r + ZRK_GENERATION_HEAD_LEN + b * stride;
        if (std::memcmp(blk + kBlockExtent, wanted, sizeof wanted) != 0) {
            WriteLog(1, nullptr, 0, "Different Session:[%d] [%d]", static_cast<int>(b + 1), __LINE__);
            continue;
        }
        WriteLog(1, nullptr, 0, "Same Session:[%d] [%d]", static_cast<int>(b + 1), __LINE__);
        // Never more generations than the block holds or the caller sized for.
        uint64_t generations = Be16(blk + kBlockGenerations);
        const uint64_t fit = std::min(maxGen, (stride - ZRK_GENERATION_HEAD_LEN) / 2);
        if (generations > fit) {
            WriteLog(1, nullptr, 0, "Generation Cnt %u cut to %u [%d]",
                     static_cast<unsigned>(generations), static_cast<unsigned>(fit), __LINE__);
            generations = fit;
        }
        std::memcpy(block, blk, static_cast<size_t>(BlockSize(generations)));
        PutBe16(block + kBlockGenerations, static_cast<uint16_t>(generations));
        return LogOk(1, kName, volume, __LINE__);
    }
    return FailEnd(ZRK_ERR_NO_SESSION, 1, kName, volume, __LINE__);
}

namespace {

// The head of the generation page of the request's OLU, then the extent
// block of its source extent into block (sized for the head's maximum).
int ReadGenerationBlock(const char *volume, const COPY_REQ_LV &request, Buffer &block) {
    unsigned char head[ZRK_GENERATION_READ_LEN];
    if (GetGeneration(volume, request.SrcOlu + 2, sizeof head, head) != 0) return -1;
    block = AllocateZeroed(static_cast<size_t>(BlockSize(Be16(head + kGenMax))));
    if (!block) return -1;
    return GetGenerationMultiSes(volume, &request, head + kGenVolumeBlocks, head + kGenMax,
                                 block.get());
}

}  // namespace

namespace zrk {

int ReadGenerationList(const char *volume, const COPY_REQ_LV *request,
                       unsigned char *snapDetailList, size_t room) {
    static constexpr const char kName[] = "GetGenerationList";
    LogIn(2, kName, volume, __LINE__);
    if (request == nullptr || snapDetailList == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 2, kName, volume, __LINE__);
    if (CheckBoxIDForLV(volume, request, nullptr) != 0) return LogErr(2, kName, volume, __LINE__);
    Buffer block;
    if (ReadGenerationBlock(volume, *request, block) != 0) return LogErr(2, kName, volume, __LINE__);

    // The page's maximum sized the block; the caller's area was sized
    // before, by what the array said then: a list beyond it is refused
    // before a slot is written.
    const int generations = Be16(block.get() + kBlockGenerations);
    if (static_cast<size_t>(generations) > room) {
        WriteLog(16, nullptr, 0, "GetGenerationList %d generations do not fit the area of %zu [%s] [%d]",
                 generations, room, LogText(volume), __LINE__);
        return FailEnd(ZRK_ERR_SCSI, 2, kName, volume, __LINE__);
    }
    std::memcpy(snapDetailList, block.get() + kBlockGenerations, 2);
    WriteLog(2, nullptr, 0, "Generation Cnt:[%d] [%d]", generations, __LINE__);
    for (int i = 0; i < generations; ++i) {
        unsigned char slot[ZRK_SNAP_LIST_SLOT_LEN] = {};
        TVC_DETAIL_INFO detail;
        const int read = GetSessionDetailInfoForLV(volume, block.get() + kBlockIds + 2 * i, &detail);
        if (read == -2) return FailEnd(ZRK_ERR_NO_SESSION, 2, kName, volume, __LINE__);
        if (read != 0) return LogErr(2, kName, volume, __LINE__);
        std::memcpy(slot, &detail, sizeof detail);
        std::memcpy(snapDetailList + ZRK_SNAP_LIST_HEAD_LEN + ZRK_SNAP_LIST_SLOT_LEN * static_cast<size_t>(i),
                    slot, sizeof slot);
    }
    return LogOk(2, kName, volume, __LINE__);
}

}  // namespace zrk

extern "C" int GetGenerationList(const char *volume, unsigned int optionFlag,
                                 const COPY_REQ_LV *request, unsigned char *snapDetailList) {
    (void)optionFlag;
    // The caller's area holds the page's maximum generation count.
    return zrk::ReadGenerationList(volume, request, snapDetailList, SIZE_MAX);
}

extern "C" int GetGenerationInfo(const char *volume, unsigned int optionFlag,
                                 const COPY_REQ_LV *request, unsigned char *snapDetailInfo) {
    static constexpr const char kName[] = "GetGenerationInfo";
    LogIn(2, kName, volume, __LINE__);
    if (request == nullptr || snapDetailInfo == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 2, kName, volume, __LINE__);
    COPY_REQ_LV req = *request;
    unsigned char id[2];
    const bool byId = (optionFlag & ZRK_OPT_SESSION_ID) != 0;
    if (byId) {
        // Read the generations of the session's own OLU and extent.
        TVC_DETAIL_INFO detail;
        const int read = GetSessionDetailInfoForLV(volume, request->SrcOlu + 2, &detail);
        if (read == -2) return FailEnd(ZRK_ERR_NO_SESSION, 2, kName, volume, __LINE__);
        if (read != 0) return LogErr(2, kName, volume, __LINE__);
        std::memcpy(id, request->SrcOlu + 2, 2);
        std::memcpy(req.SrcOlu, detail.SrcOlu, 4);
        std::memcpy(req.SrcExtent_high, detail.SrcExtent_high, 4);
        std::memcpy(req.SrcExtent_low, detail.SrcExtent_low, 4);
        std::memcpy(req.SrcSize_high, detail.SrcSize_high, 4);
        std::memcpy(req.SrcSize_low, detail.SrcSize_low, 4);
    } else if (CheckBoxIDForLV(volume, request, nullptr) != 0) {
        return LogErr(2, kName, volume, __LINE__);
    }
    Buffer block;
    if (ReadGenerationBlock(volume, req, block) != 0) return LogErr(2, kName, volume, __LINE__);
    if (!byId) {
        TVC_DETAIL_INFO detail;
        if (SearchTvcSession(volume, ZRK_ENGINE_KZP, &req, 0, id, &detail) != 0)
            return LogErr(2, kName, volume, __LINE__);
    }

    const int generations = Be16(block.get() + kBlockGenerations);
    for (int i = 0; i < generations; ++i) {
        const unsigned char *gen = block.get() + kBlockIds + 2 * i;
        if (std::memcmp(gen, id, 2) != 0) {
            WriteLog(2, nullptr, 0, "Different SessionID:[%d] Generation:[%d]  [%d]",
                     static_cast<int>(Be16(gen)), i + 1, __LINE__);
            continue;
        }
        WriteLog(2, nullptr, 0, "Same SessionID:[%d] Generation:[%d]  [%d]",
                 static_cast<int>(Be16(gen)), i + 1, __LINE__);
        PutBe16(snapDetailInfo, static_cast<uint16_t>(generations));
        PutBe16(snapDetailInfo + 2, static_cast<uint16_t>(i + 1));
        std::memcpy(snapDetailInfo + 4, id, 2);
        return LogOk(2, kName, volume, __LINE__);
    }
    return FailEnd(ZRK_ERR_NO_SESSION, 2, kName, volume, __LINE__);
}

// ---- snap data pool --------------------------------------------------------------------

namespace {

int ReadPoolPage(const char *name, const char *volume, unsigned char bit, unsigned char page,
                 const unsigned char *sessionId, unsigned char *out) {
    LogIn(2, name, volume, __LINE__);
    if (out == nullptr) return FailEnd(ZRK_ERR_PARAMETER, 2, name, volume, __LINE__);
    const CopySupport s;
    if (!s.AnyHas({ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_REMOTE_KZP_KINDS}, bit))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, name, volume, __LINE__);
    unsigned char reply[ZRK_POOL_INFO_LEN];
    if (ExecTravoIn(volume, 0x01, page, sessionId, reply, sizeof reply) != 0)
        return LogErr(2, name, volume, __LINE__);
    std::memset(out, 0, ZRK_POOL_INFO_LEN);
    std::memcpy(out, reply + 8, ZRK_POOL_INFO_LEN - 8);
    return LogOk(2, name, volume, __LINE__);
}

}  // namespace

extern "C" int GetPoolInfo(const char *volume, unsigned int optionFlag, unsigned char *poolInfo) {
    (void)optionFlag;
    const unsigned char none[2] = {0, 0};
    return ReadPoolPage("GetPoolInfo", volume, ZRK_SUPPORT_SNAP_P, ZRK_PAGE_POOL_INFO, none,
                        poolInfo);
}

extern "C" int GetPoolSizeInfo(const char *volume, const unsigned char *sessionId,
                               unsigned char *poolSizeInfo) {
    static constexpr const char kName[] = "GetPoolSizeInfo";
    if (sessionId == nullptr) return FailEnd(ZRK_ERR_PARAMETER, 2, kName, volume, __LINE__);
    return ReadPoolPage(kName, volume, ZRK_SUPPORT_POOL_SIZE, ZRK_PAGE_POOL_SIZE, sessionId,
                        poolSizeInfo);
}

// ---- capacity ---------------------------------------------------------------------------

extern "C" int GetBlockSize(const char *volume, uint32_t *capacityHigh, uint32_t *capacityLow,
                            uint32_t *blockLength) {
    static constexpr const char kName[] = "GetBlockSize";
    LogIn(2, kName, volume, __LINE__);
    if (capacityHigh == nullptr || capacityLow == nullptr || blockLength == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 2, kName, volume, __LINE__);
    unsigned char cdb10[10] = {0x25};
    unsigned char reply10[8] = {};
    if (DoScsi(volume, 1, cdb10, sizeof cdb10, reply10, sizeof reply10) != 0)
        return LogErr(2, kName, volume, __LINE__);
    uint32_t high = 0, low = 0, length = 0;
    if (Be32(reply10) != 0xFFFFFFFFu) {
        low = Be32(reply10) + 1;
        length = Be32(reply10 + 4);
    } else {
        // The last block address does not fit 32 bits.
        unsigned char cdb16[16] = {0x9E, 0x10};
        cdb16[13] = 0x20;
        unsigned char reply16[32] = {};
        if (DoScsi(volume, 1, cdb16, sizeof cdb16, reply16, sizeof reply16) != 0)
            return LogErr(2, kName, volume, __LINE__);
        const uint64_t blocks = Be64(reply16) + 1;
        high = static_cast<uint32_t>(blocks >> 32);
        low = static_cast<uint32_t>(blocks);
        length = Be32(reply16 + 8);
    }
    *capacityHigh = high;
    *capacityLow = low;
    *blockLength = length;
    WriteLog(2, nullptr, 0, "GetBlockSize uiExtentSize=<%08x %08x %08x>", high, low, length);
    return LogOk(2, kName, volume, __LINE__);
}

// ---- concurrent suspend --------------------------------------------------------------------

namespace {

// The pair's extents and size as the list holds them.
bool SameExtents(const CONC_SUS_PAIR_LV &p, uint64_t srcExtent, uint64_t size, uint64_t dstExtent) {
    return srcExtent == (static_cast<uint64_t>(p.SrcExtent_high) << 32 | p.SrcExtent_low) &&
           size == (static_cast<uint64_t>(p.SrcSize_high) << 32 | p.SrcSize_low) &&
           dstExtent == (static_cast<uint64_t>(p.DstExtent_high) << 32 | p.DstExtent_low);
}

void Matched(const char *volume, int index, const unsigned char *id, uint32_t *results,
             unsigned char *page) {
    auto *slot = reinterpret_cast<unsigned char *>(&results[index]);
    slot[0] = id[0];
    slot[1] = id[1];
    std::memcpy(page + ZRK_CONC_SUS_HEAD_LEN + 4 * static_cast<size_t>(index), id, 2);
    WriteLog(1, nullptr, 0,
             "!!Session Find!! Loop=%d SessionID=0x%x SessionID[0]=0x%02x SessionID[1]=0x%02x [%s] [%d]",
             index, static_cast<unsigned>(Be16(id)), id[0], id[1], LogText(volume), __LINE__);
}

// The entry of both page fillers: the entry line, the arguments and the
// line of the input; 0, or -1 after the Err end line.
int EnterConcFill(const char *name, const char *volume, int remote, int role, int count,
                  const CONC_SUS_PAIR_LV *pairs, const uint32_t *results,
                  const unsigned char *page) {
    LogIn(1, name, volume, __LINE__);
    if (count <= 0 || pairs == nullptr || results == nullptr || page == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 1, name, volume, __LINE__);
    WriteLog(1, nullptr, 0, "inputData Remote=%d Role=%d SesCnt=%d [%s] [%d]", remote, role, count,
             LogText(volume), __LINE__);
    return 0;
}

// No session of the list for a pair: its Err end line carries the pair.
int NoSessionForPair(const char *name, const char *volume, const CONC_SUS_PAIR_LV &pair) {
    WriteLog(1, &pair, sizeof pair, "%s Err end [%s] [%d]", name, LogText(volume), __LINE__);
    return FailWith(ZRK_ERR_CONC_SUSPEND);
}

}  // namespace

extern "C" int MakeConcSusFromDetailList(const char *volume, int remote, int role, int count,
                                         const CONC_SUS_PAIR_LV *pairs, uint32_t *results,
                                         unsigned char *page) {
    static constexpr const char kName[] = "MakeConcSusFromDetailList";
    if (EnterConcFill(kName, volume, remote, role, count, pairs, results, page) != 0) return -1;
    // Every session of the volume, of every family: the list's area grows
    // with it.
    DetailList list;
    if (ReadDetailList(volume, ZRK_LIST_MODE_ALL, list) != 0)
        return LogErr(1, kName, volume, __LINE__);
    const int entries = list.Count();
    if (entries == 0) return FailEnd(ZRK_ERR_NO_SESSION, 1, kName, volume, __LINE__);
    std::vector<bool> used(static_cast<size_t>(entries), false);

    for (int i = 0; i < count; ++i) {
        const CONC_SUS_PAIR_LV &p = pairs[i];
        int match = -1;
        for (int k = 0; k < entries && match < 0; ++k) {
            if (used[static_cast<size_t>(k)]) continue;
            const DetailEntry e = DecodeDetailEntry(list[k]);
            if (e.ucCopyKind != 2 || e.RemoteBit() != remote) continue;
            if (e.uiSrcOlu != p.SrcOlu || e.uiDstOlu != p.DstOlu) continue;
            if (!SameExtents(p, e.ullSrcExtent, e.ullSrcSize, e.ullDstExtent)) continue;
            if (remote != 0 &&
                (((e.ucModeFlags & ZRK_MODEFLAG_DEST_SIDE) != 0 ? 1 : 0) != role ||
                 !SameBoxId(e.ucaSrcBoxID, p.SrcBoxID) || !SameBoxId(e.ucaDstBoxID, p.DstBoxID)))
                continue;
            match = k;
        }
        if (match < 0) return NoSessionForPair(kName, volume, p);
        const DETAIL_LIST_INFO &e = list[match];
        if (e.Status != 2 || e.Phase != 2)
            return FailEnd(ZRK_ERR_SEQUENCE, 1, kName, volume, __LINE__);
        Matched(volume, i, remote != 0 && role == 1 ? e.ucaPartnerID : e.ucaSessionID, results, page);
        used[static_cast<size_t>(match)] = true;
    }
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int MakeConcSusFromSessionList(const char *volume, int remote, int role, int count,
                                          const CONC_SUS_PAIR_LV *pairs, uint32_t *results,
                                          unsigned char *page) {
    static constexpr const char kName[] = "MakeConcSusFromSessionList";
    if (EnterConcFill(kName, volume, remote, role, count, pairs, results, page) != 0) return -1;
    unsigned char remoteSupport = 0;
    CtrlCommonData(&remoteSupport, ZRK_COMMON_GET_REMOTE);
    unsigned char *raw = nullptr;
    int entries = 0;
    if (GetSessionIdList(volume, ZRK_PAGE_REMOTE_VZ_LIST, remoteSupport, 1, &raw, &entries) != 0) {
        std::free(raw);
        return LogErr(1, kName, volume, __LINE__);
    }
    const Buffer ids(raw);
    if (entries == 0) return FailEnd(ZRK_ERR_NO_SESSION, 1, kName, volume, __LINE__);

    // Each entry's detail is read once, when a pair first needs it.
    enum class Seen : unsigned char { Unread, Read, Used };
    std::vector<Seen> seen(static_cast<size_t>(entries), Seen::Unread);
    Buffer details = AllocateZeroed(static_cast<size_t>(entries) * sizeof(TVC_DETAIL_INFO));
    if (!details) return LogErr(1, kName, volume, __LINE__);
    auto detailOf = [&](int k) {
        return reinterpret_cast<TVC_DETAIL_INFO *>(details.get() + sizeof(TVC_DETAIL_INFO) * static_cast<size_t>(k));
    };

    for (int i = 0; i < count; ++i) {
        const CONC_SUS_PAIR_LV &p = pairs[i];
        int match = -1;
        for (int k = 0; k < entries && match < 0; ++k) {
            Seen &state = seen[static_cast<size_t>(k)];
            if (state == Seen::Used) continue;
            const unsigned char *e =
                ids.get() + ZRK_SESSION_LIST_HEAD_LEN + sizeof(SESSION_ID_ENTRY) * static_cast<size_t>(k);
            if (((e[2] & ZRK_SESFLAG_REMOTE) != 0 ? 1 : 0) != remote) continue;
            if (remote != 0 && ((e[2] & ZRK_MODEFLAG_DEST_SIDE) != 0 ? 1 : 0) != role) continue;
            if (Be32(e + 8) != p.SrcOlu || Be32(e + 12) != p.DstOlu) continue;
            TVC_DETAIL_INFO *d = detailOf(k);
            if (state == Seen::Unread) {
                TVC_DETAIL_INFO read;
                const int got = GetSessionDetailInfoForLV(volume, e, &read);
                if (got == -2) {
                    state = Seen::Used;
                    continue;
                }
                if (got != 0) return LogErr(1, kName, volume, __LINE__);
                std::memcpy(d, &read, sizeof read);
                state = Seen::Read;
            }
            if (d->ucCopyKind != 2) continue;
            if (!SameExtents(p, Be64(d->SrcExtent_high), Be64(d->SrcSize_high),
                             Be64(d->DstExtent_high)))
                continue;
            if (remote != 0 && (!SameBoxId(d->SrcBoxID, p.SrcBoxID) || !SameBoxId(d->DstBoxID, p.DstBoxID)))
                continue;
            match = k;
        }
        if (match < 0) return NoSessionForPair(kName, volume, p);
        const TVC_DETAIL_INFO *d = detailOf(match);
        if (d->Status != 2 || d->Phase != 2)
            return FailEnd(ZRK_ERR_SEQUENCE, 1, kName, volume, __LINE__);
        Matched(volume, i,
                ids.get() + ZRK_SESSION_LIST_HEAD_LEN + sizeof(SESSION_ID_ENTRY) * static_cast<size_t>(match),
                results, page);
        seen[static_cast<size_t>(match)] = Seen::Used;
    }
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int MultiSuspendVzForLV(const char *volume, unsigned int optionFlag, int count,
                                   const CONC_SUS_PAIR_LV *pairs, uint32_t *results) {
    static constexpr const char kName[] = "MultiSuspendVzForLV";
    LogIn(2, kName, volume, __LINE__);
    if (count <= 0 || pairs == nullptr || results == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 2, kName, volume, __LINE__);
    for (int i = 0; i < count; ++i) results[i] = 0xFFFFFFFFu;
    const int maxSes = CommonMaxSes();
    WriteLog(2, nullptr, 0, "MaxSesCnt=%d [%s] [%d]", maxSes, LogText(volume), __LINE__);
    unsigned char own[ZRK_BOXID_LEN] = {};
    CtrlCommonData(own, ZRK_COMMON_GET_BOXID);
    WriteLog(2, nullptr, 0, "BoxID [%s] [%d]", BoxText(own).caText, __LINE__);
    if (maxSes < count) return FailEnd(ZRK_ERR_CONC_SUSPEND, 2, kName, volume, __LINE__);

    // One command suspends sessions between one pair of arrays; settled
    // before anything is sent.
    const CONC_SUS_PAIR_LV &first = pairs[0];
    for (int i = 1; i < count; ++i)
        if (!SameBoxId(pairs[i].SrcBoxID, first.SrcBoxID) || !SameBoxId(pairs[i].DstBoxID, first.DstBoxID))
            return FailEnd(ZRK_ERR_CONC_SUSPEND, 2, kName, volume, __LINE__);

    unsigned char limit[16];
    const unsigned char none[2] = {0, 0};
    if (ExecTravoIn(volume, 0x01, ZRK_PAGE_PER_COMMAND, none, limit, sizeof limit) != 0)
        return LogErr(2, kName, volume, __LINE__);
    if (Be16(limit + 10) < count)
        return FailEnd(ZRK_ERR_PER_COMMAND, 2, kName, volume, __LINE__);

    const CopySupport s;
    const bool untransferred = (optionFlag & ZRK_OPT_UNTRANSFERRED) != 0;
    const int remote = SameBoxId(first.SrcBoxID, first.DstBoxID) ? 0 : 1;
    int role = 0;
    if (remote != 0) {
        if (!s.Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND) ||
            !s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_CONC_SUSPEND))
            return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);
        if (untransferred) {
            if (!s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_RVZ_BUFFERS))
                return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);
            unsigned char buffers[ZRK_RVZ_BUFF_FIRST_LEN];
            if (ExecTravoIn(volume, 0x01, ZRK_PAGE_RVZ_BUFF_LIST, none, buffers, sizeof buffers) != 0)
                return LogErr(2, kName, volume, __LINE__);
            if ((buffers[15] & 0x02) == 0)
                return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);
        }
        if (SameBoxId(own, first.SrcBoxID))
            role = 0;
        else if (SameBoxId(own, first.DstBoxID))
            role = 1;
        else
            return FailEnd(ZRK_ERR_CONC_SUSPEND, 2, kName, volume, __LINE__);
    } else {
        if (!s.Has(ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND) ||
            !s.Has(ZRK_SUPPORT_VZ_FUNCS, ZRK_SUPPORT_CONC_SUSPEND))
            return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);
        if (untransferred) return FailEnd(ZRK_ERR_OPTION, 2, kName, volume, __LINE__);
        if (!SameBoxId(own, first.SrcBoxID))
            return FailEnd(ZRK_ERR_CONC_SUSPEND, 2, kName, volume, __LINE__);
    }

    // The slot area holds a multiple of four slots.
    const size_t slots = (static_cast<size_t>(count) + 3) / 4 * 4;
    const size_t size = ZRK_CONC_SUS_HEAD_LEN + 4 * slots;
    WriteLog(2, nullptr, 0, "AllocSize=%d [%s] [%d]", static_cast<int>(size), LogText(volume), __LINE__);
    Buffer page = AllocateZeroed(size);
    if (!page) return LogErr(2, kName, volume, __LINE__);
    const int filled = s.DetailList()
                           ? MakeConcSusFromDetailList(volume, remote, role, count, pairs, results, page.get())
                           : MakeConcSusFromSessionList(volume, remote, role, count, pairs, results, page.get());
    if (filled != 0) return LogErr(2, kName, volume, __LINE__);

    unsigned char *h = page.get();
    h[0] = ZRK_PAGE_CONC_SUSPEND;
    PutBe32(h + 4, static_cast<uint32_t>(size - 8));
    PutBe16(h + 8, static_cast<uint16_t>(count));
    h[10] = static_cast<unsigned char>((remote != 0 ? 0x80 : 0) | (remote != 0 && role == 1 ? 0x40 : 0) |
                                       (untransferred ? 0x20 : 0));
    if (ExecTravoOut(volume, h, static_cast<int>(size)) != 0) {
        if (remote != 0 && StoredSenseIs(5, 0x26, 0x00)) ZRKerrno = ZRK_ERR_PARTNER;
        return LogErr(2, kName, volume, __LINE__);
    }
    return LogOk(2, kName, volume, __LINE__);
}
