// The classic session lists an array takes beside the 192-byte session
// pages: the local lists (48 bytes: 0x04 and 0x05 for the KZP family, 0x08 to
// 0x0B for the VZ family) and the remote lists (160 bytes: 0x14, 0x15 remote
// KZP, 0x18 to 0x1B RVZ). Each is read field by field and told again as the
// 192-byte page of the same action, which the session commands then carry
// out; what only the classic form says (its volume role, its OLUs and
// BoxIDs when it names an existing session) comes back beside the page.
#pragma once

#include "bytes.h"

#include <cstdint>
#include <optional>

namespace zrksim {

struct ClassicList {
    Bytes page;                    // the 192-byte page of the same action (code 0x44, 0x45, 0x48 or 0x49)
    bool bKzpFamily = false;       // 0x04, 0x05, 0x14, 0x15
    bool bRemote = false;          // the 160-byte form
    std::uint8_t ucVolRole = 0;    // volume role byte
    std::uint32_t uiSrcOlu = 0;    // OLUs as the list carries them (16 bits in the local form)
    std::uint32_t uiDstOlu = 0;
    bool bNamesVolumes = false;    // the list carries OLUs (a compensating stop carries none)
};

// Whether `code` is one of the classic list codes.
bool isClassicList(std::uint8_t code);

// Reads a classic list; nothing, or the ASCQ (with ASC 0x26) it is refused with.
std::optional<std::uint8_t> readClassicList(const Bytes &list, ClassicList &out);

}  // namespace zrksim
