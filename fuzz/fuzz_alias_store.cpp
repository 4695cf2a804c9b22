// The alias store zrkc.alias / zrkc_ext.alias on arbitrary contents: the
// list, the lookups and each writer on the files as the input makes them.
//
// Input: byte 0 holds flags (bit 0: the main file has another length than
// the store's, taken from bytes 1-3; bit 1: the same for the extension file;
// bit 2: there is no extension file; bit 3: the main file stands under its
// ready name as a writer that died leaves it; bits 4-7: the slot the writers
// address). Bytes 4 on are patches of the files, each: a tag byte (bit 7: the
// extension file, bits 0-6: the length), a 3-byte little-endian offset, the
// bytes. The main file starts all zero, the extension file as a new one.
#include "fuzz_root.h"
#include "zrkcalias.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr size_t kMainLength = sizeof(AliasMainFile);
constexpr size_t kExtLength = sizeof(AliasExtFile);

std::string Box(const char *name) {
    std::string id = name;
    id.resize(ZRK_BOXID_LEN, ' ');
    return id;
}

off_t Length(const std::string &path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// A writer that succeeded leaves the store whole: both files at their length,
// the count agreeing with the slots in use, nothing beside them.
void CheckWritten(const std::string &main, const std::string &ext, bool extWritten) {
    if (Length(main) != static_cast<off_t>(kMainLength)) std::abort();
    if (extWritten && Length(ext) != static_cast<off_t>(kExtLength)) std::abort();
    if (Length(main + ZRKC_ALIAS_TEMP_SUFFIX) != -1 || Length(main + ZRKC_ALIAS_READY_SUFFIX) != -1 ||
        Length(ext + ZRKC_ALIAS_TEMP_SUFFIX) != -1) {
        std::abort();
    }
    std::unique_ptr<AliasList> list(new AliasList());
    ReturnInfo ri {};
    if (com_get_aliaslist(list.get(), &ri) != 0) return;  // the untouched extension file may be broken
    int inUse = 0;
    std::vector<char> bytes(kMainLength);
    FILE *fp = std::fopen(main.c_str(), "rb");
    if (fp == nullptr || std::fread(bytes.data(), 1, kMainLength, fp) != kMainLength) std::abort();
    std::fclose(fp);
    AliasMainFile *file = reinterpret_cast<AliasMainFile *>(bytes.data());
    for (const AliasEntry &entry : file->Slot) inUse += entry.InUse != 0 ? 1 : 0;
    if (file->Count != inUse) std::abort();
}

// The list of a reader: a count within the store, terminated texts.
void CheckList(const AliasList &list) {
    if (list.Count > ZRKC_ALIAS_SLOTS) std::abort();
    for (int i = 0; i < list.Count; ++i) {
        const AliasRecord &r = list.Entry[i];
        if (r.Main.InUse == 0) std::abort();
        if (std::memchr(r.Main.AccessPath, '\0', sizeof r.Main.AccessPath) == nullptr ||
            std::memchr(r.User, '\0', sizeof r.User) == nullptr ||
            std::memchr(r.Password, '\0', sizeof r.Password) == nullptr) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 4) return 0;
    const zrkfuzz::InstallRoot &root = zrkfuzz::InstallRoot::Get();
    const std::string mainPath = root.Etc(ZRKC_ALIAS_FILE);
    const std::string extPath = root.Etc(ZRKC_ALIAS_EXT_FILE);
    const uint8_t flags = data[0];
    const size_t oddLength = (data[1] | data[2] << 8 | data[3] << 16) % (kMainLength + 2);
    const uint32_t slot = flags >> 4;

    std::string mainImage(flags & 1 ? oddLength : kMainLength, '\0');
    std::string extImage(flags & 2 ? oddLength % (kExtLength + 2) : kExtLength, '\0');
    if (extImage.size() >= 16) {
        std::memcpy(&extImage[0], ZRKC_ALIAS_EXT_MAGIC, ZRKC_ALIAS_EXT_MAGIC_LEN);
        extImage[12] = ZRKC_ALIAS_EXT_VERSION;
    }
    for (size_t at = 4; at + 4 <= size;) {
        const bool ext = (data[at] & 0x80) != 0;
        size_t length = data[at] & 0x7F;
        const size_t offset = data[at + 1] | data[at + 2] << 8 | static_cast<size_t>(data[at + 3]) << 16;
        at += 4;
        length = std::min(length, size - at);
        std::string &image = ext ? extImage : mainImage;
        if (offset < image.size()) image.replace(offset, std::min(length, image.size() - offset),
                                                 reinterpret_cast<const char *>(data + at),
                                                 std::min(length, image.size() - offset));
        at += length;
    }

    const std::vector<unsigned char> remotes = [] {
        std::vector<unsigned char> list(ZRKC_REMOTE_LIST_LEN, 0);
        std::memcpy(list.data(), Box("FUZZ-OWN").data(), ZRK_BOXID_LEN);
        list[ZRKC_REMOTE_COUNT_AT] = 2;
        std::memcpy(list.data() + ZRKC_REMOTE_ENTRY_AT, Box("FUZZ-R1").data(), ZRK_BOXID_LEN);
        std::memcpy(list.data() + ZRKC_REMOTE_ENTRY_AT + ZRKC_REMOTE_ENTRY_LEN, Box("QX000").data(),
                    ZRK_BOXID_LEN);
        return list;
    }();
    const unsigned char inquiry[16] = {'F', 'U', 'Z', 'Z'};

    for (int step = 0; step < 6; ++step) {
        for (const std::string &path : {mainPath, extPath, mainPath + ZRKC_ALIAS_READY_SUFFIX,
                                        mainPath + ZRKC_ALIAS_TEMP_SUFFIX, extPath + ZRKC_ALIAS_TEMP_SUFFIX}) {
            unlink(path.c_str());
        }
        if (flags & 8) {
            // A writer died after its change was made: an old main file, the
            // ready one and the next extension file.
            if (!zrkfuzz::WriteFile(mainPath, "") ||
                !zrkfuzz::WriteFile(mainPath + ZRKC_ALIAS_READY_SUFFIX, mainImage.data(), mainImage.size())) {
                return 0;
            }
            if (!(flags & 4) && !zrkfuzz::WriteFile(extPath + ZRKC_ALIAS_TEMP_SUFFIX, extImage.data(), extImage.size())) {
                return 0;
            }
        } else {
            if (!zrkfuzz::WriteFile(mainPath, mainImage.data(), mainImage.size())) return 0;
            if (!(flags & 4) && !zrkfuzz::WriteFile(extPath, extImage.data(), extImage.size())) return 0;
        }
        ReturnInfo ri {};
        int rc = 0;
        switch (step) {
        case 0: {
            std::unique_ptr<AliasList> list(new AliasList());
            rc = com_get_aliaslist(list.get(), &ri);
            if (rc == 0) CheckList(*list);
            AliasRecord record {};
            const int byAlias = com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, "QX000", &record, &ri);
            const int byBox = com_get_alias_info(0, Box("FUZZ-R1").c_str(), &record, &ri);
            if (byAlias < -1 || byAlias > 1 || byBox < -1 || byBox > 1) std::abort();
            continue;
        }
        case 1:
            rc = com_set_alias("/dev/sdfz", inquiry, inquiry, remotes.data(), 0, ZRKC_ALIAS_IF_SCSI, nullptr,
                               nullptr, &ri);
            break;
        case 2:
            rc = com_set_alias("10.9.9.9", inquiry, inquiry, remotes.data(), ZRKC_OPT_BOXID_ALIAS,
                               ZRKC_ALIAS_IF_LAN, "Zuser", "Zpassword", &ri);
            break;
        case 3:
            rc = com_add_alias(Box("FUZZ-ADD").c_str(), 0, &ri);
            break;
        case 4:
            rc = com_change_alias(slot, "fuzzed", &ri);
            break;
        default:
            // Without texts: a LAN entry is refused before the service is asked.
            rc = com_delete_alias(slot, nullptr, nullptr, &ri);
            break;
        }
        if (rc != 0 && rc != -1) std::abort();
        if (rc == -1 && (ri.iReturnClass == 0 || ri.caMessage[0] == '\0')) std::abort();
        if (rc == 0) CheckWritten(mainPath, extPath, step != 3 && step != 4);
    }
    return 0;
}
