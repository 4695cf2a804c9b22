#include "olu_status.h"

#include "bytes.h"
#include "session_ops.h"
#include "snap_volumes.h"
#include "support.h"

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

std::uint8_t failoverGroup(const Array &array, const Volume &volume) {
    int role = volume.iRole >= 0 ? volume.iRole : array.ucRole;
    int group = volume.iGroup >= 0 ? volume.iGroup : array.ucGroup;
    return role == 0 ? 0xFF : static_cast<std::uint8_t>(group);
}

Bytes oluStatusRecord(const Model &model, const Array &array, const Volume &volume) {
    Bytes b(kRecordLen, 0);
    put16(b, 0, volume.uiOlu);
    std::uint8_t status = volume.ucOluStatus;
    if (volume.bCopyProtection) status |= 0x08;
    if (volume.snapData()) {
        status |= 0x01;
        if (volume.uiSdvStatus == sdvstate::kInitializing) status |= 0x02;
        SdvUsage u = sdvUsage(model, array.name, volume);
        put64(b, 8, u.ullLogical);
        put64(b, 16, u.ullPhysical);
        put64(b, 24, u.ullUsedHost);
        put64(b, 32, u.ullUsedCopy);
        put64(b, 40, u.ullPoolHost);
        put64(b, 48, u.ullPoolCopy);
    } else {
        put64(b, 8, volume.ullBlocks);
        put64(b, 16, volume.ullBlocks);
    }
    b[4] = status;
    std::uint8_t group = failoverGroup(array, volume);
    if (group != 0xFF && Support(array.support).failover()) {
        b[3] = group;
        int role = volume.iRole >= 0 ? volume.iRole : array.ucRole;
        b[5] = role == 2 ? 0xE0 : 0x80;
    }
    return b;
}

std::optional<Bytes> oluStatusList(const Model &model, const Array &array, std::uint32_t from) {
    if (!oluStatusOffered(array)) return std::nullopt;
    Bytes b(kRecordsAt, 0);
    std::size_t records = 0;
    for (auto it = array.volumes.lower_bound(from); it != array.volumes.end(); ++it) {
        if (records == kRecordsPerPage) {
            put16(b, kHeader + 4, it->first);
            break;
        }
        Bytes record = oluStatusRecord(model, array, it->second);
        b.insert(b.end(), record.begin(), record.end());
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
