// Fuzz the library catalogue reader: arbitrary file contents, every lookup
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
    static const zrkfuzz::ScratchFile file(".zrk_errinf_wxapi");
    return file;
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
    for (int mode : {ZRK_ERRINF_BY_ERRNO, ZRK_ERRINF_BY_SENSE, ZRK_ERRINF_BY_ARRAY, 0, 7}) {
        for (int32_t wanted : {code, 0}) {
            ErrInfoWxapi entry;
            std::memset(&entry, 0x5A, sizeof entry);
            int rc = get_err_info_wxapi_file(scratch().Path().c_str(), mode, wanted, &entry);
            if (rc != 0 && rc != 1 && rc != -1) __builtin_trap();
            if (rc == 0) {
                // A matching line fills a terminated text and the reserved field 0.
                if (std::memchr(entry.caMessage, '\0', sizeof entry.caMessage) == nullptr) __builtin_trap();
                if (entry.uiReserved != 0) __builtin_trap();
                const uint32_t keys[] = {static_cast<uint32_t>(entry.iErrorCode), entry.uiSenseCode,
                                         entry.uiArrayCode};
                if (keys[mode - 1] != static_cast<uint32_t>(wanted)) __builtin_trap();
            } else if (entry.uiReserved != 0x5A5A5A5Au) {
                __builtin_trap();  // no match leaves the entry alone
            }
        }
    }
    return 0;
}
