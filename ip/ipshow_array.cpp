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

using namespace zrkip;

namespace {

struct BoxId {
    char caId[ZRK_BOXID_LEN];  // not terminated
};

AddressCache<BoxId> boxIdCache;
AddressCache<CliCopyFunctions> functionsCache;

void Start(const char *name, const char *ip) {
    TraceText(1, "INFO", name, "START");
    TraceText(3, "INFO", name, "cpIPaddress=[%s]", Safe(ip));
}

constexpr char kBoxidName[] = "ShowBoxID";
constexpr char kFunctionsName[] = "ShowCopyFunctions";
constexpr char kModelName[] = "ShowModelInfo";

template <size_t N>
constexpr Table LineTable(const char *name, const Column (&columns)[N], size_t recordSize,
                          size_t minColumns) {
    return Table{name, columns, N, recordSize, minColumns, nullptr, nullptr, true};
}

// Line 2 of "show copy-functions": three masks (column 1 is read but not
// kept), of which the low 32 bits are kept big-endian in the last four
// bytes of their arrays.
struct Masks {
    uint32_t uiKzpHigh, uiKzpLow;  // column 0
    uint32_t uiVzHigh, uiVzLow;    // column 2
    uint32_t uiRvzHigh, uiRvzLow;  // column 3
};
const Column kMasks[] = {
    ZRK_SHOW_HEX64(Masks, uiKzpHigh, uiKzpLow),
    ZRK_SHOW_SILENT(),
    ZRK_SHOW_HEX64(Masks, uiVzHigh, uiVzLow),
    ZRK_SHOW_HEX64(Masks, uiRvzHigh, uiRvzLow),
};
const Table kMasksTable = LineTable(kFunctionsName, kMasks, sizeof(Masks), 4);

// Line 3 of "show copy-functions": six numbers, the last one optional,
// over the record (the bytes the reply does not fill keep their values).
using F = CliCopyFunctions;
const Column kNumbers[] = {
    ZRK_SHOW_HEX32(F, uiMaxSession),   ZRK_SHOW_HEX32(F, uiMaxSession2),
    ZRK_SHOW_HEX32(F, uiMaxSnapGen),   ZRK_SHOW_HEX32(F, uiRvzBuffFlags),
    ZRK_SHOW_HEX32(F, uiMaxConcSuspend), ZRK_SHOW_HEX32(F, uiDetailFlags),
};
const Table kNumbersTable = LineTable(kFunctionsName, kNumbers, 0, 5);

// Lines 2 to 4 of "show model-info": the low 8 bits of each column.
constexpr Column Byte(size_t offset) { return Column{Kind::Hex8, offset, 0, 1}; }
constexpr size_t kLine2 = offsetof(CliModelInfo, ucaLine2);
constexpr size_t kLine3 = offsetof(CliModelInfo, ucaLine3);
constexpr size_t kLine4 = offsetof(CliModelInfo, ucaLine4);
const Column kModelLine2[] = {Byte(kLine2), Byte(kLine2 + 1)};
const Column kModelLine3[] = {Byte(kLine3), Byte(kLine3 + 1)};
const Column kModelLine4[] = {Byte(kLine4),     Byte(kLine4 + 1), Byte(kLine4 + 2),
                              Byte(kLine4 + 3), Byte(kLine4 + 4), Byte(kLine4 + 5)};
const Table kModelLine2Table = LineTable(kModelName, kModelLine2, 0, 2);
const Table kModelLine3Table = LineTable(kModelName, kModelLine3, 0, 2);
const Table kModelLine4Table = LineTable(kModelName, kModelLine4, 0, 4);

// The value written big-endian into 4 bytes.
void PutBe32(uint32_t value, uint8_t *out) {
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

// "show boxid": line 2 whole, TABs and all, is the BoxID.
int ParseBoxid(const Reply &reply, BoxId *answer) {
    if (reply.CheckHead() != 0) return -1;
    *answer = BoxId{};
    zrkip::CopyText(reply.Line(2), reinterpret_cast<uint8_t *>(answer->caId), sizeof answer->caId);
    return 0;
}

// "show copy-functions" over *record; bytes the reply does not fill keep
// what record held.
int ParseCopyFunctions(const Reply &reply, CliCopyFunctions *record) {
    if (reply.CheckHead() != 0) return -1;
    if (reply.Count() < 3) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    Masks masks;
    if (ScanRecord(kMasksTable, reply.Line(2), &masks) != 0) return -1;
    PutBe32(masks.uiKzpLow, record->ucaKzpFunc + 4);
    PutBe32(masks.uiVzLow, record->ucaVzFunc + 12);
    PutBe32(masks.uiRvzLow, record->ucaRvzFunc + 4);
    return ScanRecord(kNumbersTable, reply.Line(3), record);
}

// "show model-info" into a cleared record.
int ParseModelInfo(const Reply &reply, CliModelInfo *record) {
    if (reply.CheckHead() != 0) return -1;
    if (reply.Count() < 4) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    *record = CliModelInfo{};
    if (ScanRecord(kModelLine2Table, reply.Line(2), record) != 0 ||
        ScanRecord(kModelLine3Table, reply.Line(3), record) != 0 ||
        ScanRecord(kModelLine4Table, reply.Line(4), record) != 0) {
        return -1;
    }
    return 0;
}

}  // namespace

namespace zrkip {

int ParseBoxidText(const char *text, char *boxId, size_t room) {
    if (boxId == nullptr || room < 1) return FailWith(ZRK_ERR_PARAMETER);
    BoxId answer{};
    if (SplitAndParse(text, [&](const Reply &r) { return ParseBoxid(r, &answer); }) != 0) return -1;
    std::memcpy(boxId, answer.caId, sizeof answer.caId);
    return 0;
}

int ParseCopyFunctionsText(const char *text, CliCopyFunctions *functions, size_t room) {
    if (functions == nullptr || room < 1) return FailWith(ZRK_ERR_PARAMETER);
    return ParseTextInto(text, functions, *functions, ParseCopyFunctions);
}

int ParseModelInfoText(const char *text, CliModelInfo *model, size_t room) {
    if (model == nullptr || room < 1) return FailWith(ZRK_ERR_PARAMETER);
    return ParseTextInto(text, model, CliModelInfo{}, ParseModelInfo);
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
    std::memcpy(boxId, answer.caId, sizeof answer.caId);
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
                           ParseCopyFunctions) != 0) {
        return TraceEnd(1, name, -1);
    }
    *functions = record;
    return TraceEnd(1, name, 0);
}

extern "C" int ShowModelInfo(const char *ip, const char *user, CliModelInfo *model, size_t room) {
    const char *const name = kModelName;
    Start(name, ip);
    if (model == nullptr || room < 1) return TraceEnd(1, name, FailWith(ZRK_ERR_PARAMETER));
    return TraceEnd(1, name,
                    zrkip::QueryInto(ip, user, "show model-info", model, CliModelInfo{},
                                     ParseModelInfo));
}
