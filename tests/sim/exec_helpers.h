// Helpers of the session-command tests: TRAVO OUT pages built by hand field
// by field, sent with the large TRAVO OUT form, and the session lines of the
// control interface read back field by field.
#pragma once

#include "travo_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace simtest {

// A list built by hand field by field: a byte, a big-endian number, a
// BoxID; each setter gives the list back for the next.
template <class Self>
struct ListBuilder {
    Bytes b;

    explicit ListBuilder(std::size_t size) : b(size, 0) {}
    Self &set(std::size_t at, unsigned char value) {
        b[at] = value;
        return static_cast<Self &>(*this);
    }
    Self &put(std::size_t at, int width, std::uint64_t value) {
        zrktest::PutBe(&b[at], width, value);
        return static_cast<Self &>(*this);
    }
    Self &box(std::size_t at, const std::string &text) {
        const std::string id = zrktest::BoxId(text);
        std::copy(id.begin(), id.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        return static_cast<Self &>(*this);
    }
};

// A 192-byte session page: code, parameter length 184, identifier.
struct Page : ListBuilder<Page> {
    Page(unsigned char code, unsigned id) : ListBuilder(192) {
        b[0] = code;
        b[7] = 0xB8;
        put(8, 2, id);
    }
    // A start of a whole-volume session between two OLUs.
    static Page start(unsigned id, unsigned char copyKind, unsigned char flags, std::uint32_t src, std::uint32_t dst) {
        Page p(0x44, id);
        p.set(12, copyKind).set(20, static_cast<unsigned char>(0x80 | flags)).put(128, 4, src).put(132, 4, dst);
        return p;
    }
    // An extent instead of the whole volume.
    Page &extent(std::uint64_t srcExt, std::uint64_t size, std::uint64_t dstExt) {
        b[20] &= 0x7F;
        put(136, 2, 1);
        return put(160, 8, srcExt).put(168, 8, size).put(176, 8, dstExt);
    }
    // A remote session between two arrays.
    Page &remote(const std::string &srcBox, const std::string &dstBox) {
        b[20] |= 0x20;
        return box(32, srcBox).box(80, dstBox);
    }
    // The destination side: the identifier moves to bytes 10-11.
    Page &fromDestination() {
        b[10] = b[8];
        b[11] = b[9];
        b[8] = b[9] = 0;
        b[22] |= 0x10;
        return *this;
    }
};

// Sends a list with the large TRAVO OUT form of the page-based arrays.
inline SgResult out(const std::string &path, const Bytes &list) {
    return sendOut(path, travoOut(static_cast<unsigned>(list.size()), true), list);
}

// GOOD, or the ASCQ of a refusal with ILLEGAL REQUEST and ASC 0x26.
constexpr int kGood = -1;
inline int outcome(const SgResult &r) {
    if (r.rc != 0) return -2;
    if (r.hdr.status == 0) return kGood;
    if (r.hdr.status != 2 || (r.sense[2] & 0x0F) != 5 || r.sense[12] != 0x26) return -3;
    return r.sense[13];
}

// Reserves an identifier: mode 2 VZ family, 4 KZP family.
inline unsigned reserveId(const std::string &path, unsigned char mode) {
    SgResult r = sg(path, travoInLarge(0x00, 1, 16, mode), 16);
    EXPECT_EQ(r.hdr.status, 0);
    return static_cast<unsigned>(Be(r.data, 8, 2));
}

// The session line of the session with identifier `id` on its source array
// (empty when there is none), and one KEY=VALUE field of a line.
inline std::string sessionWithId(const zrksim::Simulator &sim, const std::string &array, unsigned id) {
    std::string head = "session " + std::to_string(id) + " ";
    for (const std::string &line : sim.sessions(array))
        if (line.rfind(head, 0) == 0) return line;
    return "";
}
inline std::string field(const std::string &line, const std::string &key) {
    std::size_t at = line.find(" " + key + "=");
    if (at == std::string::npos) return "?";
    at += key.size() + 2;
    return line.substr(at, line.find(' ', at) - at);
}
// Several fields of a session as "k=v k=v".
inline std::string fields(const zrksim::Simulator &sim, const std::string &array, unsigned id,
                          const std::vector<std::string> &keys) {
    std::string line = sessionWithId(sim, array, id);
    if (line.empty()) return "gone";
    std::string out;
    for (const std::string &k : keys) out += (out.empty() ? "" : " ") + k + "=" + field(line, k);
    return out;
}

}  // namespace simtest
