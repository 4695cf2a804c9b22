// The reader of the kernel's TCP socket tables (/proc/net/tcp and tcp6) that
// tells who holds the service's end of a connection (FindTcpOwner), on
// arbitrary text.
//
// Input: bytes 0-3 the local (service) address as it lies in memory, 4-5 its
// port (big-endian), 6-9 the remote (client) address, 10-11 its port; the
// rest is the table text.
#include "../ip/iplink.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

zrkip::TcpEnd EndAt(const uint8_t *bytes) {
    zrkip::TcpEnd end {};
    std::memcpy(&end.uiAddress, bytes, sizeof end.uiAddress);
    end.usPort = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
    return end;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 12 || size > 65536) return 0;
    const zrkip::TcpEnd local = EndAt(data);
    const zrkip::TcpEnd remote = EndAt(data + 6);
    const std::string_view table(reinterpret_cast<const char *>(data + 12), size - 12);
    uint32_t uid = 0xA5A5A5A5u;
    const bool found = zrkip::FindTcpOwner(table, local, remote, &uid);
    if (!found) {
        Check(uid == 0xA5A5A5A5u);  // nothing is written without an entry
        return 0;
    }
    // The entry names the local end's port as the kernel writes it.
    char column[8];
    std::snprintf(column, sizeof column, ":%04X", local.usPort);
    Check(table.find(column) != std::string_view::npos);
    // The same text gives the same owner; a table with the rows repeated
    // after it too (the first entry counts).
    uint32_t again = 0;
    Check(zrkip::FindTcpOwner(table, local, remote, &again) && again == uid);
    const std::string twice = std::string(table) + "\n" + std::string(table);
    Check(zrkip::FindTcpOwner(twice, local, remote, &again) && again == uid);
    return 0;
}
