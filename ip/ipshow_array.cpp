// Who an array is and what it can do: "show boxid", "show copy-functions"
// and "show model-info". The BoxID and the copy functions are remembered per
// array address for the life of the process; the model is asked anew.
#include "ipshow_array.h"

#include "ipshow.h"
#include "platform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

using zrkplatform::FailWith;
using zrkplatform::TraceEnd;
using zrkplatform::TraceText;

namespace zrkip {

void TraceColumn(const char *name, size_t index, std::string_view text) {
    if (text.empty()) {
        TraceText(3, "INFO", name, "%zu - NULL", index);
        return;
    }
    // One column's line is at most 511 characters.
    const int shown = static_cast<int>(std::min<size_t>(text.size(), 511));
    TraceText(3, "INFO", name, "%zu - %.*s", index, shown, text.data());
}

void TraceWord(const char *name, size_t index, const char *word) {
    TraceText(3, "INFO", name, "%zu - %s", index, word);
}

int Hex32(std::string_view text, uint32_t *value) {
    uint64_t wide = 0;
    if (zrkip::ReadHex(text, &wide) != 0) return -1;
    *value = static_cast<uint32_t>(wide);
    return 0;
}

void PutBe32(uint32_t value, uint8_t *out) {
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

}  // namespace zrkip

namespace {

using zrkip::AddressCache;
using zrkip::Reply;
using zrkip::Safe;
using zrkip::TraceColumn;
using zrkip::TraceWord;

struct BoxId {
    char id[ZRK_BOXID_LEN];   // not terminated
};

AddressCache<BoxId> boxIdCache;
AddressCache<CliCopyFunctions> functionsCache;

void Start(const char *name, const char *ip) {
    TraceText(1, "INFO", name, "START");
    TraceText(3, "INFO", name, "cpIPaddress=[%s]", Safe(ip));
}

// Reads a line of hex columns into bytes (the low 8 bits of each): columns
// 0 to maxColumns - 1 into out, further ones traced as "default"; fewer than
// minColumns is 902.
int ScanBytes(const char *name, const char *line, uint8_t *out, size_t maxColumns,
              size_t minColumns) {
    if (line == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    zrkip::ColumnScanner scan(line);
    std::string_view column;
    while (scan.Next(&column)) {
        const size_t index = scan.Count() - 1;
        if (index >= maxColumns) {
            TraceWord(name, index, "default");
            continue;
        }
        uint32_t value = 0;
        if (zrkip::Hex32(column, &value) != 0) return -1;
        out[index] = static_cast<uint8_t>(value);
        TraceColumn(name, index, column);
    }
    if (scan.Count() < minColumns) {
        TraceWord(name, scan.Count(), "Err");
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    return 0;
}

// Line 2 of "show copy-functions": the three masks, low 32 bits each,
// big-endian into the last four bytes of their arrays.
int ScanMasks(const char *name, const char *line, CliCopyFunctions *record) {
    if (line == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    uint32_t low[4] = {};
    zrkip::ColumnScanner scan(line);
    std::string_view column;
    while (scan.Next(&column)) {
        const size_t index = scan.Count() - 1;
        if (index == 1) continue;   // read but not kept
        if (index > 3) {
            TraceWord(name, index, "default");
            continue;
        }
        uint32_t high = 0;
        if (zrkip::ReadHex64(column, &high, &low[index]) != 0) return -1;
        TraceColumn(name, index, column);
    }
    if (scan.Count() < 4) {
        TraceWord(name, scan.Count(), "Err");
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    zrkip::PutBe32(low[0], record->ucaKzpFunc + 4);
    zrkip::PutBe32(low[2], record->ucaVzFunc + 12);
    zrkip::PutBe32(low[3], record->ucaRvzFunc + 4);
    return 0;
}

// Line 3 of "show copy-functions": six numbers, the last one optional.
int ScanNumbers(const char *name, const char *line, CliCopyFunctions *record) {
    if (line == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    uint32_t *const fields[] = {&record->uiMaxSession,   &record->uiMaxSession2,
                                &record->uiMaxSnapGen,   &record->uiRvzBuffFlags,
                                &record->uiMaxConcSuspend, &record->uiDetailFlags};
    zrkip::ColumnScanner scan(line);
    std::string_view column;
    while (scan.Next(&column)) {
        const size_t index = scan.Count() - 1;
        if (index >= std::size(fields)) {
            TraceWord(name, index, "default");
            continue;
        }
        if (zrkip::Hex32(column, fields[index]) != 0) return -1;
        TraceColumn(name, index, column);
    }
    if (scan.Count() < 5) {
        TraceWord(name, scan.Count(), "Err");
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    return 0;
}

// "show boxid": line 2 whole, TABs and all, is the BoxID.
int ParseBoxid(const Reply &reply, BoxId *answer) {
    if (reply.CheckHead() != 0) return -1;
    *answer = BoxId{};
    zrkip::CopyText(reply.Line(2), reinterpret_cast<uint8_t *>(answer->id), sizeof answer->id);
    return 0;
}

// "show copy-functions" over *record; bytes the reply does not fill keep
// what record held.
int ParseCopyFunctions(const char *name, const Reply &reply, CliCopyFunctions *record) {
    if (reply.CheckHead() != 0) return -1;
    if (reply.Count() < 3) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    if (ScanMasks(name, reply.Line(2), record) != 0 ||
        ScanNumbers(name, reply.Line(3), record) != 0) {
        return -1;
    }
    return 0;
}

// "show model-info" into a cleared record.
int ParseModelInfo(const char *name, const Reply &reply, CliModelInfo *record) {
    if (reply.CheckHead() != 0) return -1;
    if (reply.Count() < 4) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    *record = CliModelInfo{};
    if (ScanBytes(name, reply.Line(2), record->ucaLine2, 2, 2) != 0 ||
        ScanBytes(name, reply.Line(3), record->ucaLine3, 2, 2) != 0 ||
        ScanBytes(name, reply.Line(4), record->ucaLine4, 6, 4) != 0) {
        return -1;
    }
    return 0;
}

constexpr char kBoxidName[] = "ShowBoxID";
constexpr char kFunctionsName[] = "ShowCopyFunctions";
constexpr char kModelName[] = "ShowModelInfo";

}  // namespace

namespace zrkip {

int ParseBoxidText(const char *text, char *boxId, size_t room) {
    if (boxId == nullptr || room < 1) return FailWith(ZRK_ERR_PARAMETER);
    BoxId answer{};
    if (SplitAndParse(text, [&](const Reply &r) { return ParseBoxid(r, &answer); }) != 0) return -1;
    std::memcpy(boxId, answer.id, sizeof answer.id);
    return 0;
}

int ParseCopyFunctionsText(const char *text, CliCopyFunctions *functions, size_t room) {
    if (functions == nullptr || room < 1) return FailWith(ZRK_ERR_PARAMETER);
    CliCopyFunctions record = *functions;
    if (SplitAndParse(text, [&](const Reply &r) {
            return ParseCopyFunctions(kFunctionsName, r, &record);
        }) != 0) {
        return -1;
    }
    *functions = record;
    return 0;
}

int ParseModelInfoText(const char *text, CliModelInfo *model, size_t room) {
    if (model == nullptr || room < 1) return FailWith(ZRK_ERR_PARAMETER);
    CliModelInfo record{};
    if (SplitAndParse(text, [&](const Reply &r) { return ParseModelInfo(kModelName, r, &record); }) !=
        0) {
        return -1;
    }
    *model = record;
    return 0;
}

}  // namespace zrkip

extern "C" int ShowBoxid(const char *ip, const char *user, char *boxId, size_t room) {
    const char *const name = kBoxidName;
    Start(name, ip);
    if (boxId == nullptr || room < 1) return TraceEnd(1, name, FailWith(ZRK_ERR_PARAMETER));
    BoxId answer{};
    if (zrkip::CachedQuery(boxIdCache, ip, user, "show boxid", &answer, ParseBoxid) != 0) {
        return TraceEnd(1, name, -1);
    }
    std::memcpy(boxId, answer.id, sizeof answer.id);
    return TraceEnd(1, name, 0);
}

extern "C" int ShowCopyFunctions(const char *ip, const char *user, CliCopyFunctions *functions,
                                 size_t room) {
    const char *const name = kFunctionsName;
    Start(name, ip);
    if (functions == nullptr || room < 1) return TraceEnd(1, name, FailWith(ZRK_ERR_PARAMETER));
    // Parsed over a copy, so that a failure leaves the caller's record as
    // it was; bytes the reply does not fill keep the caller's values.
    CliCopyFunctions record = *functions;
    if (zrkip::CachedQuery(functionsCache, ip, user, "show copy-functions", &record,
                           [&](const Reply &r, CliCopyFunctions *into) {
                               return ParseCopyFunctions(name, r, into);
                           }) != 0) {
        return TraceEnd(1, name, -1);
    }
    *functions = record;
    return TraceEnd(1, name, 0);
}

extern "C" int ShowModelInfo(const char *ip, const char *user, CliModelInfo *model, size_t room) {
    const char *const name = kModelName;
    Start(name, ip);
    if (model == nullptr || room < 1) return TraceEnd(1, name, FailWith(ZRK_ERR_PARAMETER));
    CliModelInfo record{};
    if (zrkip::RunAndParse(ip, user, "show model-info", [&](const Reply &r) {
            return ParseModelInfo(name, r, &record);
        }) != 0) {
        return TraceEnd(1, name, -1);
    }
    *model = record;
    return TraceEnd(1, name, 0);
}
