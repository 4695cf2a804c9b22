// The volume-name store zrkcvolinf on arbitrary contents: the lookup, the
// addition of a name and the removal of one, each on the file as the input
// gives it. Input: byte 0 picks the key (bits 0-1: key word 1, bit 2: the
// BoxID, bit 3: key word 5 negative), then the store's bytes.
#include "fuzz_root.h"
#include "volname.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Checks the writers' promise: a store they changed is whole again (header
// agreeing with the length, the records in use first).
void CheckStore(const std::string &path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return;
    if (st.st_size == 0) return;
    VolInfHeader head{};
    FILE *fp = std::fopen(path.c_str(), "rb");
    if (fp == nullptr) std::abort();
    const size_t got = std::fread(&head, 1, sizeof head, fp);
    std::fclose(fp);
    if (got != sizeof head) std::abort();
    if (head.iCount < 0 || head.iCount > head.iCapacity ||
        static_cast<int64_t>(st.st_size) !=
            static_cast<int64_t>(sizeof head) + static_cast<int64_t>(sizeof(VolInfRecord)) * head.iCapacity)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    const zrkfuzz::InstallRoot &root = zrkfuzz::InstallRoot::Get();
    const std::string store = root.Etc(ZRK_VOLINF_FILE);
    const uint8_t pick = data[0];
    char boxId[ZRK_BOXID_LEN];
    std::memset(boxId, ' ', sizeof boxId);
    std::memcpy(boxId, (pick & 4) != 0 ? "BOX-A2" : "BOX-A1", 6);
    const int32_t key1 = pick & 3;
    const int32_t key5 = (pick & 8) != 0 ? -1 : 0;

    // Each writer on the input's store as it was.
    for (int step = 0; step < 3; ++step) {
        if (!zrkfuzz::WriteFile(store, data + 1, size - 1)) return 0;
        if (step == 0) {
            char name[ZRK_VOLNAME_LEN];
            std::memset(name, 0x5A, sizeof name);
            const int rc = get_volname(boxId, key1, 2, 3, 4, key5, name);
            if (rc != 1 && rc != 2) std::abort();
            if (rc == 2 && std::memchr(name, '\0', sizeof name) == nullptr) std::abort();
        } else if (step == 1) {
            const int rc = set_volname("/dev/sdb", boxId, key1, 2, 3, 4, key5);
            if (rc != 0 && rc != -1 && rc != 1) std::abort();
            if (rc == 0) {
                CheckStore(store);
                char name[ZRK_VOLNAME_LEN];
                if (get_volname(boxId, key1, 2, 3, 4, key5, name) != 2 ||
                    std::strcmp(name, "/dev/sdb") != 0)
                    std::abort();
            }
        } else {
            const int rc = erase_volname(boxId, key1, 2, 3, 4, key5);
            if (rc != 0 && rc != -1 && rc != 1) std::abort();
            if (rc == 0) CheckStore(store);
        }
    }
    unlink(store.c_str());
    return 0;
}
