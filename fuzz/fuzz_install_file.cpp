// The installation file bin/.zrkc_install.sys through buildpathname: arbitrary
// contents, every store name the library asks for, and a name long enough to
// reach the path limit. Input: the file.
#include "fuzz_root.h"
#include "platform.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const zrkfuzz::InstallRoot &root = zrkfuzz::InstallRoot::Get();
    if (!zrkfuzz::WriteFile(root.Bin(".zrkc_install.sys"), data, size)) return 0;
    static const std::string kLong(900, 'n');
    for (const char *name : {"zrkc.ini", "zrkcvolinf", "velkapi_trcdef.ini", kLong.c_str()}) {
        char out[ZRK_PATH_LEN];
        std::memset(out, 0x5A, sizeof out);
        const int rc = buildpathname(name, out);
        if (rc < 0 || rc > 3) std::abort();
        if (rc == 0) {
            const size_t length = strnlen(out, sizeof out);
            if (length == sizeof out) std::abort();
            // The etc directory, "/" and the name.
            const size_t nameLength = std::strlen(name);
            if (length < nameLength + 1 || std::strcmp(out + length - nameLength, name) != 0 ||
                out[length - nameLength - 1] != '/')
                std::abort();
        } else if (out[0] != 0x5A) {
            std::abort();  // a failure writes nothing
        }
    }
    char bin[ZRK_PATH_LEN];
    if (build_directory_path(0, bin) != 0 || strnlen(bin, sizeof bin) == sizeof bin) std::abort();
    return 0;
}
