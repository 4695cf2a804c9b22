// alias_demo - enters an array's route in the alias store and names it, the
// one-time set-up an administrator makes before the programs can name
// volumes as 0xOLU@ALIAS:
//
//   alias_demo scsi DEVICE BOXID ALIAS                  in-band, through a disk of the array
//   alias_demo lan ADDRESS BOXID USER PASSWORD ALIAS    over the array's LAN interface
//
// BOXID is the array's BoxID (padded with blanks to its 40 characters). The
// route is entered with the array's own BoxID as its remote-box list.
#include "zrkc.h"
#include "zrkcalias.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Fail(const char *what, const ReturnInfo &ri) {
    std::fprintf(stderr, "alias_demo: %s failed: %s", what, ri.caMessage[0] != '\0' ? ri.caMessage : "\n");
    return 1;
}

// The service's "encrypt" form of a text; empty when it cannot be made.
std::string Encrypted(const char *text) {
    char *out = nullptr;
    if (ZRKIPProc(1, text, &out, nullptr) != 0 || out == nullptr) return {};
    std::string result = out;
    std::free(out);
    return result;
}

}  // namespace

int main(int argc, char **argv) {
    const bool lan = argc == 7 && std::strcmp(argv[1], "lan") == 0;
    const bool scsi = argc == 5 && std::strcmp(argv[1], "scsi") == 0;
    if (!lan && !scsi) {
        std::fprintf(stderr, "usage: alias_demo scsi DEVICE BOXID ALIAS\n"
                             "       alias_demo lan ADDRESS BOXID USER PASSWORD ALIAS\n");
        return 2;
    }
    std::string box = argv[3];
    box.resize(ZRK_BOXID_LEN, ' ');
    std::vector<unsigned char> remotes(ZRKC_REMOTE_LIST_LEN, 0);
    std::memcpy(remotes.data(), box.data(), ZRK_BOXID_LEN);
    const unsigned char zeros[16] = {};
    ReturnInfo ri{};
    std::string user, password;
    if (lan) {
        user = Encrypted(argv[4]);
        password = Encrypted(argv[5]);
        if (user.empty() || password.empty()) return Fail("encrypt", ri);
    }
    if (com_set_alias(argv[2], zeros, zeros, remotes.data(), 0,
                      lan ? ZRKC_ALIAS_IF_LAN : ZRKC_ALIAS_IF_SCSI, lan ? user.c_str() : nullptr,
                      lan ? password.c_str() : nullptr, &ri) != 0)
        return Fail("route", ri);
    AliasRecord record{};
    if (com_get_alias_info(0, box.c_str(), &record, &ri) != 0) return Fail("look-up", ri);
    const char *alias = argv[argc - 1];
    if (com_change_alias(record.Main.ID, alias, &ri) != 0) return Fail("naming", ri);
    std::printf("%s: %s route to %s\n", alias, lan ? "LAN" : "in-band", argv[2]);
    return 0;
}
