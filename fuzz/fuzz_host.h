// The host platform layer of the fuzz build (host/host_fuzz.cpp): every host
// call takes its answer from the fuzz input, so that one input stands for
// everything a device and the host's files can say to the library.
//
// The input of a host call is one record:
//   byte 0      0: the call succeeds; any other value: it fails with that errno
//   bytes 1-2   payload length, big-endian (cut to what the input still holds)
//   payload     what the call reads, by call:
//     open, access             nothing (only the errno counts)
//     ioctl SG_IO and the volume manager's pass-through
//                              SCSI status, host status, driver status, sense
//                              length n, n sense bytes, then the data-in bytes
//                              (at most the requested length; the residual is
//                              what they leave of it; ignored for data out)
//     ioctl HDIO_GETGEO        heads, sectors, cylinders (2), start (8)
//     ioctl BLKGETSIZE         blocks (8)
//     stat                     kind (kStatKind...), major (4), minor (4), size (8)
//     readlink, read_file      the link target, the file's contents
//     run                      exit code, then standard output
// Numbers are big-endian; missing payload bytes read as 0. close takes no
// record. When the input runs out, every call fails with EIO.
//
// The layer also checks the library's side of each call: a descriptor that
// is used or closed without being open, an SG_IO header whose buffers are
// not what it says (the whole data and sense areas are touched), abort.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zrkfuzz::host {

// Kinds of the stat payload.
inline constexpr unsigned char kStatRegular = 0;
inline constexpr unsigned char kStatBlock = 1;
inline constexpr unsigned char kStatChar = 2;
inline constexpr unsigned char kStatDir = 3;

// Bytes before the sense of an SG_IO payload.
inline constexpr size_t kSgHeadLen = 4;

// Hands the layer the records of one run (the bytes must stay valid until
// the next Feed) and forgets every descriptor of the previous run.
void Feed(const uint8_t *data, size_t size);
// Descriptors opened and not yet closed.
int OpenDescriptors();
// The payload of the next record as raw bytes, for the readers that the
// targets call on a buffer; false (and an empty view) when the input is
// exhausted or the record fails.
bool TakePayload(std::string_view *payload);

// Appends one record (the seed recorder writes the same format).
inline void AppendRecord(std::string &out, int err, std::string_view payload) {
    if (payload.size() > 0xFFFF) payload = payload.substr(0, 0xFFFF);
    out.push_back(static_cast<char>(err > 0 && err < 256 ? err : (err == 0 ? 0 : EIO)));
    out.push_back(static_cast<char>(payload.size() >> 8));
    out.push_back(static_cast<char>(payload.size() & 0xFF));
    out.append(payload);
}

// Big-endian numbers of a payload.
inline void AppendBe(std::string &out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>(value >> (8 * i)));
}

}  // namespace zrkfuzz::host
