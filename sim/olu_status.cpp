#include "olu_status.h"

#include "bytes.h"
#include "session_ops.h"

namespace zrksim {

namespace {

constexpr std::size_t kRecordLen = 56;
constexpr std::size_t kRecordsPerPage = 512;
constexpr std::size_t kHeader = 8;    // the page header, filled in by the caller
constexpr std::size_t kRecordsAt = kHeader + 8;
constexpr std::size_t kSetListLen = 16;

}  // namespace

bool oluStatusOffered(const Array &array) {
    const SupportBytes &s = array.support;
    return ((s[4] | s[12] | s[20] | s[28]) & 0x20) != 0;
}

std::optional<Bytes> oluStatusList(const Array &array, std::uint32_t from) {
    if (!oluStatusOffered(array)) return std::nullopt;
    Bytes b(kRecordsAt, 0);
    std::size_t records = 0;
    for (auto it = array.volumes.lower_bound(from); it != array.volumes.end(); ++it) {
        if (records == kRecordsPerPage) {
            put16(b, kHeader + 4, it->first);
            break;
        }
        std::size_t at = b.size();
        b.resize(at + kRecordLen, 0);
        put16(b, at, it->first);
        b[at + 4] = it->second.ucOluStatus;
        b[at + 5] = it->second.bCopyProtection ? 0x01 : 0x00;
        ++records;
    }
    put16(b, kHeader, records);
    // The page always has room for 512 records.
    b.resize(kRecordsAt + kRecordLen * kRecordsPerPage, 0);
    return b;
}

std::optional<std::uint8_t> setOluStatus(Array &array, const Bytes &list) {
    if (list.size() != kSetListLen || getBe(list, 1, 6) != 0 || list[7] != 8 || list[10] > 1 ||
        getBe(list, 11, 5) != 0)
        return refusal::kInvalid;
    if (!oluStatusOffered(array)) return refusal::kNotSetUp;
    auto volume = array.volumes.find(static_cast<std::uint32_t>(getBe(list, 8, 2)));
    if (volume == array.volumes.end() || volume->second.snapData()) return refusal::kInvalid;
    volume->second.bCopyProtection = list[10] == 1;
    return std::nullopt;
}

}  // namespace zrksim
