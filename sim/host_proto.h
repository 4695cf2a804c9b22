// Framing of the host front: what the simulated host platform layer and the
// simulator say to each other over the Unix socket of ZRK_SIM_SOCKET.
//
// A message is a 4-byte length (host order, both ends run on one machine)
// followed by that many bytes of body. The body is a sequence of fields, each
// a 4-byte length and its bytes. Numbers travel as decimal text.
//
// Requests (first field the call):
//   open PATH FLAGS              -> ERRNO
//   stat PATH                    -> ERRNO KIND MODE MAJOR MINOR SIZE
//   access PATH MODE             -> ERRNO
//   readlink PATH                -> ERRNO TARGET
//   read_file PATH               -> ERRNO CONTENT
//   run ARGV0 ARG...             -> ERRNO WAITSTATUS STDOUT
//   ioctl PATH REQUEST           -> ERRNO                 (requests without data)
//   getgeo PATH                  -> ERRNO HEADS SECTORS CYLINDERS START
//   getsize PATH                 -> ERRNO BLOCKS
//   sg_io PATH DEVICE DIRECTION DXFER_LEN MX_SB_LEN CDB DATA_OUT
//                                -> ERRNO STATUS HOST_STATUS DRIVER_STATUS SENSE DATA_IN
// DEVICE is "-" for SG_IO on PATH, else "MAJOR:MINOR" of the pass-through
// record (PATH is then the pass-through node). DIRECTION is the sg_io_hdr
// value (-1 none, -2 to the device, -3 from it, -4 both). KIND of stat: "blk", "chr",
// "reg", "dir".
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zrksim::proto {

using Fields = std::vector<std::string>;

// Longest body either side accepts.
constexpr std::uint32_t kMaxBody = 16u * 1024u * 1024u;

inline void putU32(std::string &out, std::uint32_t value) {
    char raw[4];
    std::memcpy(raw, &value, sizeof raw);
    out.append(raw, sizeof raw);
}

inline std::uint32_t getU32(const char *raw) {
    std::uint32_t value = 0;
    std::memcpy(&value, raw, sizeof value);
    return value;
}

// The whole message, length prefix included.
inline std::string encode(const Fields &fields) {
    std::string body;
    for (const std::string &field : fields) {
        putU32(body, static_cast<std::uint32_t>(field.size()));
        body += field;
    }
    std::string message;
    putU32(message, static_cast<std::uint32_t>(body.size()));
    message += body;
    return message;
}

// Splits a body (without its length prefix); false when it is malformed.
inline bool decode(const std::string &body, Fields &fields) {
    fields.clear();
    std::size_t pos = 0;
    while (pos < body.size()) {
        if (body.size() - pos < 4) return false;
        std::uint32_t len = getU32(body.data() + pos);
        pos += 4;
        if (len > body.size() - pos) return false;
        fields.emplace_back(body, pos, len);
        pos += len;
    }
    return true;
}

}  // namespace zrksim::proto
