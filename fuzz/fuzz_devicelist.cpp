// The storage management server's device list through the registration
// check: arbitrary file contents, the BoxID looked for taken from the input.
// Input: 40 bytes of BoxID, then the file.
#include "fuzz_file.h"
#include "platform.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

const zrkfuzz::ScratchFile &Scratch() {
    static const zrkfuzz::ScratchFile file("KelmorList.xml");
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < ZRK_BOXID_LEN) return 0;
    char boxId[ZRK_BOXID_LEN];
    std::memcpy(boxId, data, sizeof boxId);
    const uint8_t *file = data + ZRK_BOXID_LEN;
    const size_t length = size - ZRK_BOXID_LEN;
    if (!Scratch().Write(file, length)) return 0;
    ReturnInfo ri{};
    const int rc = check_dovr_devicelist_file(Scratch().Path().c_str(), boxId, &ri);
    if (rc != 1 && rc != 2 && rc != -1) std::abort();
    if ((rc == -1) != (ri.iReturnClass != 0)) std::abort();
    if (std::memchr(ri.caMessage, '\0', sizeof ri.caMessage) == nullptr) std::abort();
    // Registered means the attribute and the BoxID stand on one line.
    if (rc == 1) {
        const std::string_view text(reinterpret_cast<const char *>(file), length);
        const std::string_view id(boxId, sizeof boxId);
        bool found = false;
        for (size_t at = text.find("device boxid="); at != std::string_view::npos && !found;
             at = text.find("device boxid=", at + 1)) {
            const size_t start = at + std::strlen("device boxid=") + 1;
            found = start + id.size() <= text.size() && text.compare(start, id.size(), id) == 0 &&
                    text.substr(at, start + id.size() - at).find('\n') == std::string_view::npos;
        }
        if (!found) std::abort();
    }
    return 0;
}
