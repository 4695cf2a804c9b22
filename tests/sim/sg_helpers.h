// Helpers of the simulator tests: SCSI commands sent the way the library
// sends them, through the simulated host layer.
#pragma once

#include "sim_client.h"
#include "test_bytes.h"
#include "zrkhost.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

namespace simtest {

using zrktest::Be;
using zrktest::Bytes;

struct SgResult {
    int rc = -1;          // ioctl result
    int err = 0;          // errno when rc is -1
    sg_io_hdr_t hdr{};    // the header after the call
    Bytes data;           // data-in buffer (dxfer_len bytes)
    Bytes sense;          // the 32-byte sense buffer
};

// Issues SG_IO (or, with a device number, the pass-through on the
// volume-manager node) on an open descriptor.
inline SgResult sgOnFd(int fd, const Bytes &cdb, unsigned dxferLen, int direction = SG_DXFER_FROM_DEV,
                       unsigned char mxSb = 32, const Bytes &dataOut = {}, unsigned long long device = 0) {
    SgResult r;
    Bytes cmd = cdb;
    r.data.assign(dxferLen, 0xEE);
    if (!dataOut.empty()) r.data = dataOut;
    r.sense.assign(32, 0);
    r.hdr.interface_id = 'S';
    r.hdr.dxfer_direction = direction;
    r.hdr.cmd_len = static_cast<unsigned char>(cmd.size());
    r.hdr.mx_sb_len = mxSb;
    r.hdr.dxfer_len = dxferLen;
    r.hdr.dxferp = r.data.data();
    r.hdr.cmdp = cmd.data();
    r.hdr.sbp = r.sense.data();
    r.hdr.timeout = 20000;
    if (device != 0) {
        ZrkBrdlxPassThrough pass{};
        pass.ullDevice = device;
        pass.uiRequest = SG_IO;
        pass.pArg = &r.hdr;
        r.rc = zrk_host_ioctl(fd, ZRK_BRDLX_DIAG_IOCTL, &pass);
    } else {
        r.rc = zrk_host_ioctl(fd, SG_IO, &r.hdr);
    }
    r.err = r.rc == 0 ? 0 : errno;
    r.hdr.dxferp = nullptr;
    r.hdr.cmdp = nullptr;
    r.hdr.sbp = nullptr;
    return r;
}

// Opens `path`, sends one command, closes it again.
inline SgResult sg(const std::string &path, const Bytes &cdb, unsigned dxferLen,
                   int direction = SG_DXFER_FROM_DEV, unsigned char mxSb = 32, const Bytes &dataOut = {}) {
    int fd = zrk_host_open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        SgResult r;
        r.err = errno;
        return r;
    }
    SgResult r = sgOnFd(fd, cdb, dxferLen, direction, mxSb, dataOut);
    zrk_host_close(fd);
    return r;
}

inline const Bytes kTestUnitReady{0x00, 0, 0, 0, 0, 0};
inline Bytes inquiry(int page, unsigned alloc, bool evpd = true) {
    return {0x12, static_cast<unsigned char>(evpd ? 1 : 0), static_cast<unsigned char>(page),
            static_cast<unsigned char>(alloc >> 8), static_cast<unsigned char>(alloc), 0};
}
inline const Bytes kStandardInquiry{0x12, 0, 0, 0, 96, 0};
inline const Bytes kReadCapacity10{0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
inline const Bytes kReadCapacity16{0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0};

inline std::string text(const Bytes &b, std::size_t at, std::size_t len) {
    return std::string(b.begin() + static_cast<std::ptrdiff_t>(at),
                       b.begin() + static_cast<std::ptrdiff_t>(at + len));
}

// A host with two arrays, used by most tests.
inline const char *const kHost = R"(
# array A1 offers the vendor pages; B1 is an older array without them
array A1 boxid="BOX-A1" vendor=KORVALE product=WX900 revision=0107 role=1 group=3
volume A1 5 4194304 name=vol5 attr=2
volume A1 6 0x100000000 name=big6 role=2
array B1 boxid="BOX-B1" product=WX800 vpd=no
volume B1 7 2048
disk /dev/sdb 8:16 A1 5
partition /dev/sdb1 8:17 /dev/sdb 2048 1000000
disk /dev/sdc 8:32 A1 6 heads=64 sectors=32
disk /dev/sdd 8:48 B1 7
link /dev/disk/by-id/wwn-part1 ../../sdb1
dm /dev/mapper/mpatha 253:0 A1 5 table="0 4194304 multipath 0 0 1 1 round-robin 0 1 1 8:16 1"
brdlx /dev/brdlx/c1/dsk/vol1:sdc 250:1 out="volume vol1 a b c d 0x800 f 4096 h"
command status=3 out="hello" out="world" -- /usr/bin/tool -x
)";

// Checks that checkScenario refuses the scenario text with `expected`, the
// report after the file name ("LINE: what").
inline void expectScenarioError(const std::string &text, const std::string &expected) {
    SCOPED_TRACE(text);
    const std::string error = zrksim::checkScenario(text);
    const std::size_t colon = error.find(".scn:");
    ASSERT_NE(colon, std::string::npos) << error;
    EXPECT_EQ(error.substr(colon + 5), expected);
}

}  // namespace simtest
