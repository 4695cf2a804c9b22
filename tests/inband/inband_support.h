// Shared pieces of the in-band tests: a simulated host with one array, and
// readers of the sense store.
#pragma once

#include "install_root.h"
#include "sim_client.h"
#include "zrkengine.h"
#include "zrklvmain.h"
#include "zrkhost.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace inbandtest {

using Bytes = std::vector<unsigned char>;
// (offset, hex) pieces laid over a zero-filled record.
using Patches = std::vector<std::pair<size_t, std::string>>;

// The bytes of a hex text; blanks between the digits are ignored.
inline Bytes Hex(const std::string &text) {
    std::string digits;
    for (char c : text)
        if (c != ' ') digits += c;
    return zrksim::fromHex(digits);
}

// A BoxID as the arrays hold it: the text padded with blanks to 40 bytes.
inline std::string Box(const std::string &text) {
    std::string id = text;
    id.resize(ZRK_BOXID_LEN, ' ');
    return id;
}
inline std::string BoxHex(const std::string &text) {
    const std::string id = Box(text);
    return zrksim::toHex(Bytes(id.begin(), id.end()));
}

// Zeros with the given hex laid at their offsets.
inline Bytes Golden(size_t size, const Patches &patches) {
    Bytes b(size, 0);
    for (const auto &[offset, hex] : patches) {
        const Bytes h = Hex(hex);
        EXPECT_LE(offset + h.size(), size) << offset;
        std::copy(h.begin(), h.end(), b.begin() + static_cast<long>(offset));
    }
    return b;
}

// Golden() as hex, as the simulator logs records.
inline std::string GoldenHex(size_t size, const Patches &patches) {
    return zrksim::toHex(Golden(size, patches));
}

// A copy pair of the page-based engine's tests; remote when the arrays
// differ, whole volume without extents.
struct TvcPair {
    std::string src = "BOX-A1", dst = "BOX-A1";
    uint32_t srcOlu = 5, dstOlu = 6;
    uint64_t srcExt = 0, size = 0, dstExt = 0;
};
// The large-volume copy request of a pair, volume role 1.
inline COPY_REQ_LV TvcRequest(const TvcPair &p, uint32_t copyInterval) {
    zrk::CopyReqLv r{};
    std::memcpy(r.ucaSrcBoxID, Box(p.src).data(), ZRK_BOXID_LEN);
    std::memcpy(r.ucaDstBoxID, Box(p.dst).data(), ZRK_BOXID_LEN);
    r.uiSrcOlu = p.srcOlu;
    r.uiDstOlu = p.dstOlu;
    r.uiWholeVolumeFlag = p.srcExt == 0 && p.size == 0 && p.dstExt == 0 ? 1 : 0;
    r.uiSrcExtentHigh = static_cast<uint32_t>(p.srcExt >> 32);
    r.uiSrcExtentLow = static_cast<uint32_t>(p.srcExt);
    r.uiSrcSizeHigh = static_cast<uint32_t>(p.size >> 32);
    r.uiSrcSizeLow = static_cast<uint32_t>(p.size);
    r.uiDstExtentHigh = static_cast<uint32_t>(p.dstExt >> 32);
    r.uiDstExtentLow = static_cast<uint32_t>(p.dstExt);
    r.uiCopyInterval = copyInterval;
    r.ucRemoteFlag = p.src != p.dst ? 1 : 0;
    r.ucVolumeRole = 1;
    return zrk::EncodeCopyReqLv(r);
}
// The session-identifier form: the identifier in bytes 82-83.
inline COPY_REQ_LV TvcRequestById(uint16_t id) {
    zrk::CopyReqLv r{};
    r.uiSrcOlu = id;
    r.ucVolumeRole = 1;
    return zrk::EncodeCopyReqLv(r);
}

// Codes of the TRAVO OUT pages (main family) in the simulator's CDB log, in
// order ("44 45").
inline std::string SentPageCodes(const zrksim::Simulator &sim) {
    std::string codes;
    for (const zrksim::CdbRecord &r : sim.cdbLog()) {
        if (r.cdb[0] != 0xE9 || r.dataOut.empty()) continue;
        char code[4];
        std::snprintf(code, sizeof code, "%02x", r.dataOut[0]);
        codes += (codes.empty() ? "" : " ") + std::string(code);
    }
    return codes;
}
// The parameter lists of those pages.
inline std::vector<Bytes> SentPages(const zrksim::Simulator &sim) {
    std::vector<Bytes> pages;
    for (const zrksim::CdbRecord &r : sim.cdbLog())
        if (r.cdb[0] == 0xE9) pages.push_back(r.dataOut);
    return pages;
}
// KEY=VALUE of session ID on ARRAY as the simulator lists it ("kind", and
// "pair": "A1:5>A1:6"); "" when the array has no such session.
inline std::string SessionField(const zrksim::Simulator &sim, const std::string &array, unsigned id,
                                const std::string &key) {
    for (const std::string &line : sim.sessions(array)) {
        std::istringstream in(line);
        std::string word, sid, kind, sa, so, da, dO;
        in >> word >> sid >> kind >> sa >> so >> da >> dO;
        if (sid != std::to_string(id)) continue;
        if (key == "kind") return kind;
        if (key == "pair") return sa + ":" + so + ">" + da + ":" + dO;
        while (in >> word)
            if (word.rfind(key + "=", 0) == 0) return word.substr(key.size() + 1);
    }
    return "";
}

// One array with disks, partitions, device-mapper and volume-manager volumes.
inline const char kScenario[] = R"(
array A1 boxid="BOX-A1"
volume A1 5 2097152 name=vol5
volume A1 6 4194304 name=vol6
volume A1 7 8589934600 name=big
disk /dev/sdb 8:16 A1 5
partition /dev/sdb1 8:17 /dev/sdb 2048 1000000
disk /dev/sdc 8:32 A1 6
disk /dev/sdd 8:48 A1 7
partition /dev/sdd1 8:49 /dev/sdd 4294967296 4096
brdlx /dev/brdlx/c1/dsk/vol1:sdc 250:1 out="volume vol1 a b c d 4096 e 1048576"
)";

// The sense store as the transport left it.
struct Stored {
    int key, asc, ascq; // fixed-format sense
    int errorClass;     // pseudo sense: byte 0
    int osErrno;        // pseudo sense: bytes 4-7
};
inline Stored ReadStore() {
    unsigned char s[ZRK_SENSE_STORE_LEN];
    CtrlSenseData(s, sizeof s, ZRK_SENSE_COPY_OUT);
    return {s[2] & 0x0F, s[12], s[13], s[0], static_cast<int>(ShiftBtoI(s + 4, 4))};
}

// A fresh API call: no sense, no error, no open device.
inline void NewCall() {
    CloseSharedDevice();
    CtrlSenseData(nullptr, 0, ZRK_SENSE_CLEAR);
    ZRKerrno = 0;
}

// Connects the simulated host layer (its socket is a descriptor of its own),
// so that counting descriptors afterwards sees only the library's.
inline void ConnectHost() {
    struct stat st {};
    zrk_host_stat("/", &st);
}

inline int OpenDescriptors() {
    int count = 0;
    if (DIR *dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) ++count;
        closedir(dir);
    }
    return count;
}

// INQUIRY, standard data: the array answers it GOOD.
inline int Inquiry(const char *path, unsigned char (&data)[96]) {
    unsigned char cdb[6] = {0x12, 0, 0, 0, 96, 0};
    std::memset(data, 0, sizeof data);
    return DoScsi(path, 0, cdb, sizeof cdb, data, sizeof data);
}
inline int Inquiry(const char *path) {
    unsigned char data[96];
    return Inquiry(path, data);
}

inline bool Contains(const std::vector<std::string> &lines, const std::string &text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string &l) { return l.find(text) != std::string::npos; });
}
inline size_t Count(const std::vector<std::string> &lines, const std::string &text) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string &l) {
        return l.find(text) != std::string::npos;
    }));
}

}  // namespace inbandtest
