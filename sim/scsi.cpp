#include "scsi.h"

#include "bytes.h"
#include "travo.h"

#include <algorithm>
#include <set>

namespace zrksim {

namespace {

std::uint32_t get(const Bytes &cdb, std::size_t at, int width) {
    return static_cast<std::uint32_t>(getBe(cdb, at, width));
}

constexpr std::uint8_t kPageList = 0x00;
constexpr std::uint8_t kPageSupport = 0xF0;  // copy-function support page
constexpr std::uint8_t kPageBoxInfo = 0xF2;  // box information page
constexpr std::size_t kStandardInquiryLen = 96;
constexpr std::size_t kLunPage = 0x30;       // LU information mode page
constexpr std::size_t kLunPageLen = 144;

void applyPatches(const Array &array, int page, Bytes &b) {
    for (const Patch &p : array.patches) {
        if (p.iPage != page) continue;
        if (b.size() < p.offset + p.bytes.size()) b.resize(p.offset + p.bytes.size(), 0);
        std::copy(p.bytes.begin(), p.bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(p.offset));
    }
}

std::set<int> offeredPages(const Array &array) {
    std::set<int> pages{kPageList};
    if (array.bVendorPages) pages.insert({kPageSupport, kPageBoxInfo});
    for (const Patch &p : array.patches)
        if (p.iPage >= 0) pages.insert(p.iPage);
    return pages;
}

Bytes standardInquiry(const Array &array) {
    Bytes b(kStandardInquiryLen, 0);
    b[0] = 0x00;  // connected direct-access device
    b[2] = 0x05;  // SPC-3
    b[3] = 0x02;  // response data format
    b[7] = 0x02;  // command queuing
    putText(b, 8, 8, array.vendor);
    putText(b, 16, 16, array.product);
    putText(b, 32, 4, array.revision);
    applyPatches(array, -1, b);
    b[4] = static_cast<std::uint8_t>(b.size() - 5);
    return b;
}

// A VPD page, or empty when the array does not offer it.
Bytes vpdPage(const Array &array, const Volume &volume, std::uint8_t page) {
    std::set<int> offered = offeredPages(array);
    if (offered.count(page) == 0) return {};
    Bytes b(4, 0);
    if (page == kPageList) {
        for (int p : offered) b.push_back(static_cast<std::uint8_t>(p));
    } else if (page == kPageSupport && array.bVendorPages) {
        b.resize(64, 0);
        b[26] = static_cast<std::uint8_t>((array.bCopyFunctions ? 0x08 : 0) | (array.bBoxInfo ? 0x20 : 0));
    } else if (page == kPageBoxInfo && array.bVendorPages) {
        b.resize(96, 0);
        std::copy(array.boxId.begin(), array.boxId.end(), b.begin() + 48);
        b[88] = static_cast<std::uint8_t>(volume.iRole >= 0 ? volume.iRole : array.ucRole);
        b[89] = static_cast<std::uint8_t>(volume.iGroup >= 0 ? volume.iGroup : array.ucGroup);
    }
    if (page != kPageList) applyPatches(array, page, b);
    b[1] = page;
    put16(b, 2, b.size() - 4);
    return b;
}

ScsiAnswer dataIn(Bytes data, std::size_t allocation) {
    ScsiAnswer answer;
    if (data.size() > allocation) data.resize(allocation);
    answer.data = std::move(data);
    return answer;
}

ScsiAnswer invalidField() { return checkCondition(scsi::kIllegalRequest, scsi::kAscInvalidFieldInCdb, 0); }

ScsiAnswer inquiry(const Array &array, const Volume &volume, const Bytes &cdb) {
    bool evpd = (get(cdb, 1, 1) & 0x01) != 0;
    bool cmddt = (get(cdb, 1, 1) & 0x02) != 0;
    auto page = static_cast<std::uint8_t>(get(cdb, 2, 1));
    std::size_t allocation = get(cdb, 3, 2);
    if (cmddt || (!evpd && page != 0)) return invalidField();
    if (!evpd) return dataIn(standardInquiry(array), allocation);
    Bytes b = vpdPage(array, volume, page);
    if (b.empty()) return invalidField();
    return dataIn(std::move(b), allocation);
}

ScsiAnswer readCapacity10(const Volume &volume) {
    Bytes b(8, 0);
    std::uint64_t last = volume.ullBlocks - 1;
    put32(b, 0, last > 0xFFFFFFFFu ? 0xFFFFFFFFu : last);
    put32(b, 4, 512);
    return dataIn(std::move(b), 8);
}

ScsiAnswer readCapacity16(const Volume &volume, const Bytes &cdb) {
    if ((get(cdb, 1, 1) & 0x1F) != 0x10) return invalidField();
    Bytes b(32, 0);
    put64(b, 0, volume.ullBlocks - 1);
    put32(b, 8, 512);
    return dataIn(std::move(b), get(cdb, 10, 4));
}

ScsiAnswer readBuffer(const Array &array, const Bytes &cdb) {
    if ((get(cdb, 1, 1) & 0x1F) != 0x02 || get(cdb, 2, 1) != 0x10) return invalidField();
    return dataIn(Bytes(array.boxId.begin(), array.boxId.end()), get(cdb, 6, 3));
}

ScsiAnswer modeSense6(const Volume &volume, const Bytes &cdb) {
    if ((get(cdb, 2, 1) & 0x3F) != kLunPage) return invalidField();
    Bytes b(4 + kLunPageLen, 0);
    b[0] = static_cast<std::uint8_t>(b.size() - 1);
    b[4] = kLunPage;
    b[5] = kLunPageLen - 2;
    put16(b, 4 + 8, volume.uiOlu);
    b[4 + 11] = volume.ucAttr;
    return dataIn(std::move(b), get(cdb, 4, 1));
}

// RECEIVE DIAGNOSTIC RESULTS page 0xB0, the LU mapping of the array: a
// 4-byte header (page code, 2-3 the length 1024) and 256 entries of 4 bytes,
// one per volume in rising OLU order: 0-1 the OLU, 2 bit 7 the entry is in
// use; the entries after the last volume are 0.
constexpr std::uint8_t kPageLuMapping = 0xB0;
constexpr std::size_t kLuMappingEntries = 256;

ScsiAnswer receiveDiagnostic(const Array &array, const Bytes &cdb) {
    if ((get(cdb, 1, 1) & 0x01) == 0 || get(cdb, 2, 1) != kPageLuMapping) return invalidField();
    Bytes b(4 + 4 * kLuMappingEntries, 0);
    b[0] = kPageLuMapping;
    put16(b, 2, 4 * kLuMappingEntries);
    std::size_t at = 4;
    for (const auto &[olu, volume] : array.volumes) {
        if (at >= b.size()) break;
        put16(b, at, olu);
        b[at + 2] = 0x80;
        at += 4;
    }
    return dataIn(std::move(b), get(cdb, 3, 2));
}

}  // namespace

ScsiAnswer checkCondition(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
    ScsiAnswer answer;
    answer.ucStatus = scsi::kCheckCondition;
    answer.sense.assign(18, 0);
    answer.sense[0] = 0x70;  // current error, fixed format
    answer.sense[2] = key & 0x0F;
    answer.sense[7] = 10;    // additional sense length
    answer.sense[12] = asc;
    answer.sense[13] = ascq;
    return answer;
}

ScsiAnswer answerCommand(SimState &state, const Array &array, const Volume &volume, const Bytes &cdb,
                         const Bytes &dataOut) {
    std::uint8_t opcode = cdb.empty() ? 0xFF : cdb[0];
    if (array.bCopyFunctions && isTravoIn(opcode)) return travoIn(state, array, volume, cdb);
    if (array.bCopyFunctions && isTravoOut(opcode)) return travoOut(state, array, cdb, dataOut);
    switch (opcode) {
    case 0x00: return ScsiAnswer{};  // TEST UNIT READY
    case 0x12: return inquiry(array, volume, cdb);
    case 0x1A: return modeSense6(volume, cdb);
    case 0x1C: return receiveDiagnostic(array, cdb);
    case 0x25: return readCapacity10(volume);
    case 0x3C: return readBuffer(array, cdb);
    case 0x9E: return readCapacity16(volume, cdb);
    default: return checkCondition(scsi::kIllegalRequest, scsi::kAscInvalidOpcode, 0);
    }
}

}  // namespace zrksim
