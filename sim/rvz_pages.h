// The array's copy priority settings: TRAVO IN page 0x35 (read in the
// buffer-identifier CDB form) and the TRAVO OUT list of function 0x35.
// The array keeps no priority state of its own: every read reports all
// capabilities and every partner's switch off (hostile or different replies
// are laid over it with `corrupt 0x35 ...`); a setting is checked and
// accepted or refused.
#pragma once

#include "bytes.h"
#include "model.h"
#include "scsi.h"

#include <cstdint>

namespace zrksim {

// Copy priority is offered: bit 0x40 of support byte 4, 12, 20 or 28.
bool copyPriorityOffered(const Array &array);

namespace pages {
Bytes copyPriority(const Model &model, const Array &array);  // 0x35
}  // namespace pages

// The 128-byte list of function 0x35; refusals ILLEGAL REQUEST, ASC 0x26
// with 0x00 (a level above 4, an unknown kind or partner, a malformed list)
// or 0x91 (a sub-kind above 1), 0x9D (copy priority not offered).
ScsiAnswer setCopyPriority(const Model &model, const Array &array, const Bytes &list);

}  // namespace zrksim
