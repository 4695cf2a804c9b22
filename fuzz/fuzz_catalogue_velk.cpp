// Fuzz the command catalogue reader: arbitrary file contents, every lookup
// mode. The first four bytes of the input choose the code looked up; the
// rest is the catalogue file.
#include "fuzz_file.h"
#include "platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const zrkfuzz::ScratchFile &scratch() {
    static const zrkfuzz::ScratchFile file(".zrk_errinf_velk");
    return file;
}

bool isDefault(const ErrInfoVelk &e) {
    return e.iReturnClass == 5 && e.iMessageNo == 1200 && e.iZrkErrno == 0 &&
           std::strcmp(e.caMessage, "ZRKC1200 ERROR Unexpected error.\n") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    int32_t code = 0;
    if (size >= sizeof code) {
        std::memcpy(&code, data, sizeof code);
        data += sizeof code;
        size -= sizeof code;
    }
    if (!scratch().Write(data, size)) return 0;
    for (int mode : {ZRK_ERRINF_BY_MSGNO, ZRK_ERRINF_BY_ZRKERR, ZRK_ERRINF_BY_ERRNO, 0}) {
        for (int32_t wanted : {code, 0}) {
            ErrInfoVelk entry;
            std::memset(&entry, 0x5A, sizeof entry);
            int rc = get_err_info_velk_file(scratch().Path().c_str(), mode, wanted, &entry);
            if (rc != 0 && rc != 1 && rc != -1) __builtin_trap();
            if (std::memchr(entry.caMessage, '\0', sizeof entry.caMessage) == nullptr) __builtin_trap();
            if (rc == 0) {
                const int32_t key = mode == ZRK_ERRINF_BY_MSGNO ? entry.iMessageNo : entry.iZrkErrno;
                if (key != wanted) __builtin_trap();
            } else if (!isDefault(entry)) {
                __builtin_trap();  // a miss leaves the ZRKC1200 default
            }
        }
    }
    return 0;
}
