#include "rvz_pages.h"

#include <algorithm>
#include <string>

namespace zrksim {

namespace {

constexpr std::size_t kPriorityReplyLen = 1040;
constexpr std::size_t kPriorityEntries = 16;
constexpr std::size_t kPriorityEntryLen = 64;
constexpr std::size_t kPriorityListLen = 128;
constexpr std::uint8_t kAllCapabilities = 0xF0;

constexpr std::uint8_t kAscInvalidListField = 0x26;
constexpr std::uint8_t kInvalid = 0x00;
constexpr std::uint8_t kNotOffered = 0x91;
constexpr std::uint8_t kNotSetUp = 0x9D;

ScsiAnswer refuseList(std::uint8_t ascq) {
    return checkCondition(scsi::kIllegalRequest, kAscInvalidListField, ascq);
}

// The arrays the settings name: the partners the array lists, at most 16.
std::vector<std::string> partners(const Array &array) {
    std::vector<std::string> out(array.remotes.begin(),
                                 array.remotes.begin() +
                                     static_cast<std::ptrdiff_t>(std::min(array.remotes.size(), kPriorityEntries)));
    return out;
}

}  // namespace

bool copyPriorityOffered(const Array &array) {
    for (std::size_t byte : {4, 12, 20, 28})
        if ((array.support[byte] & 0x40) != 0) return true;
    return false;
}

namespace pages {

Bytes copyPriority(const Model &model, const Array &array) {
    Bytes b(kPriorityReplyLen, 0);
    const std::vector<std::string> names = partners(array);
    b[8] = kAllCapabilities;
    b[10] = static_cast<std::uint8_t>(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        putText(b, 16 + kPriorityEntryLen * i, kBoxIdLen, boxIdOf(model, names[i]));
    return b;
}

}  // namespace pages

ScsiAnswer setCopyPriority(const Model &model, const Array &array, const Bytes &list) {
    if (!copyPriorityOffered(array)) return refuseList(kNotSetUp);
    if (list.size() != kPriorityListLen || list[7] != kPriorityListLen - 8) return refuseList(kInvalid);
    const std::uint8_t kind = list[8];
    if (kind == 0) return list[9] > 4 ? refuseList(kInvalid) : ScsiAnswer{};
    if (kind != 1) return refuseList(kInvalid);
    const std::string boxId(list.begin() + 16, list.begin() + 16 + kBoxIdLen);
    bool known = false;
    for (const std::string &name : partners(array)) {
        std::string padded = boxIdOf(model, name);
        padded.resize(kBoxIdLen, ' ');
        known = known || padded == boxId;
    }
    if (!known) return refuseList(kInvalid);
    if (list[56] > 1) return refuseList(kNotOffered);
    return ScsiAnswer{};
}

}  // namespace zrksim
