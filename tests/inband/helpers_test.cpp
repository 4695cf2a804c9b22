// Pure pieces of the transport and the device-path code: byte order, the
// sense store, the sense mapping's short table, path kinds, whole-disk name
// rules and the numeric environment flag. No simulator runs here, so every
// host call fails and a sysfs file never exists.
#include "zrkengine.h"

#include <gtest/gtest.h>
#include <scsi/sg.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

TEST(ByteOrder, ShiftBtoI) {
    const unsigned char b[] = {0x01, 0x02, 0x03, 0x04, 0x05};
    struct Case {
        int n;
        unsigned int value;
    };
    // clang-format off
    const Case cases[] = {
        {0, 0x01},
        {1, 0x01},
        {2, 0x0102},
        {3, 0x010203},
        {4, 0x01020304},
        {8, 0x01020304},
        {-1, 0x01020304},
    };
    // clang-format on
    for (const Case &c : cases) EXPECT_EQ(ShiftBtoI(b, c.n), c.value) << c.n;
    EXPECT_EQ(ShiftBtoI(nullptr, 4), 0u);
    const unsigned char high[] = {0xFF, 0xFE, 0xFD, 0xFC};
    EXPECT_EQ(ShiftBtoI(high, 4), 0xFFFEFDFCu);
    // Only the bytes combined are read: a one-byte buffer is enough for n 1.
    const unsigned char one = 0x7F;
    EXPECT_EQ(ShiftBtoI(&one, 1), 0x7Fu);
}

TEST(ByteOrder, SetItoB) {
    struct Case {
        int value, n;
        Bytes expected; // the buffer starts as 0xAA bytes
    };
    // clang-format off
    const Case cases[] = {
        {0x01020304, 4, {0x01, 0x02, 0x03, 0x04, 0xAA}},
        {-1, 4, {0xFF, 0xFF, 0xFF, 0xFF, 0xAA}},
        {0x01020304, 2, {0x03, 0x04, 0xAA, 0xAA, 0xAA}},
        {0x01020304, 3, {0x03, 0x04, 0xAA, 0xAA, 0xAA}},
        {0x0102, 0, {0x01, 0x02, 0xAA, 0xAA, 0xAA}},
    };
    // clang-format on
    for (const Case &c : cases) {
        Bytes buffer(5, 0xAA);
        SetItoB(buffer.data(), c.value, c.n);
        EXPECT_EQ(buffer, c.expected) << c.n;
    }
}

TEST(ByteOrder, ShiftAnytoB) {
    const uint16_t v16 = 0x0102;
    const uint32_t v32 = 0x01020304;
    const uint64_t v64 = 0x0102030405060708ULL;
    struct Case {
        const void *value;
        int source, target;
        Bytes expected; // the buffer starts as nine 0xAA bytes
    };
    // clang-format off
    const Case cases[] = {
        {&v16, 2, 4, {0x00, 0x00, 0x01, 0x02, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}},
        {&v16, 2, 2, {0x01, 0x02, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}},
        {&v32, 4, 3, {0x02, 0x03, 0x04, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}},
        {&v32, 4, 8, {0, 0, 0, 0, 0x01, 0x02, 0x03, 0x04, 0xAA}},
        {&v64, 8, 8, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xAA}},
        {&v64, 8, 2, {0x07, 0x08, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}},
        {&v32, 3, 4, {0, 0, 0, 0, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}}, // width 3 reads 0
        {&v32, 4, 5, Bytes(9, 0xAA)}, // width 5 writes nothing
        {&v32, 4, 0, Bytes(9, 0xAA)},
        {&v32, 4, 16, Bytes(9, 0xAA)},
    };
    // clang-format on
    for (const Case &c : cases) {
        Bytes buffer(9, 0xAA);
        ShiftAnytoB(c.value, c.source, c.target, buffer.data());
        EXPECT_EQ(buffer, c.expected) << c.source << "->" << c.target;
    }
}

TEST(ByteOrder, CutoutEachByte) {
    const unsigned char b[] = {0x00, 0x80, 0xFF};
    EXPECT_EQ(CutoutEachByte(b, 0), 0x00u);
    EXPECT_EQ(CutoutEachByte(b, 1), 0x80u);
    EXPECT_EQ(CutoutEachByte(b, 2), 0xFFu);
}

TEST(SenseStore, OperationsAndLengthClamp) {
    Bytes in(300, 0x5A);
    CtrlSenseData(in.data(), 300, ZRK_SENSE_STORE);  // only 256 are stored
    Bytes out(300, 0x00);
    CtrlSenseData(out.data(), 300, ZRK_SENSE_COPY_OUT);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 256), Bytes(256, 0x5A));
    EXPECT_EQ(Bytes(out.begin() + 256, out.end()), Bytes(44, 0x00)) << "no copy past the store";

    Bytes untouched(8, 0x11);
    CtrlSenseData(untouched.data(), -5, ZRK_SENSE_COPY_OUT);
    CtrlSenseData(untouched.data(), 8, 7);  // an unknown operation does nothing
    EXPECT_EQ(untouched, Bytes(8, 0x11));
    CtrlSenseData(nullptr, 72, ZRK_SENSE_COPY_OUT);
    CtrlSenseData(nullptr, 72, ZRK_SENSE_STORE);

    const unsigned char sense[4] = {0x70, 0, 0x05, 0};
    CtrlSenseData(const_cast<unsigned char *>(sense), 4, ZRK_SENSE_STORE);
    CtrlSenseData(out.data(), 8, ZRK_SENSE_COPY_OUT);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 8),
              (Bytes{0x70, 0, 0x05, 0, 0x5A, 0x5A, 0x5A, 0x5A}))
        << "a store overwrites only its length";

    CtrlSenseData(nullptr, 0, ZRK_SENSE_CLEAR);
    CtrlSenseData(out.data(), 256, ZRK_SENSE_COPY_OUT);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 256), Bytes(256, 0x00));
}

// The older transport knows fewer senses, and never asks the catalogue.
TEST(SenseMapping, ShortTable) {
    struct Case {
        int ascq;
        int full, shortTable;
    };
    // clang-format off
    const Case cases[] = {
        {0x90, 26, 26},
        {0x91, 39, 39},
        {0x00, 8, 8},
        {0xB0, 57, 57},
        {0xB1, 58, 58},
        {0x9E, 59, 59},
        {0x98, 0, 24},
        {0xA4, 70, 24},
        {0xBA, 60, 24},
        {0xC3, 97, 24},
    };
    // clang-format on
    for (const Case &c : cases) {
        unsigned char sense[18] = {0x70, 0, 0x05};
        sense[12] = 0x26;
        sense[13] = static_cast<unsigned char>(c.ascq);
        const auto full = zrk::MapScsiResult(ZRK_MSTATUS_CHECK_CONDITION, sense, sizeof sense);
        const auto old = zrk::MapScsiResult(ZRK_MSTATUS_CHECK_CONDITION, sense, sizeof sense,
                                            zrk::SenseTable::Short);
        EXPECT_EQ(full.iErrno, c.full) << c.ascq;
        EXPECT_EQ(old.iErrno, c.shortTable) << c.ascq;
        EXPECT_FALSE(old.bDone);
        EXPECT_FALSE(old.bAskCatalogue);
    }
}

// Sense shorter than the fixed format reads its missing bytes as 0.
TEST(SenseMapping, ShortSenseBytes) {
    const unsigned char sense[13] = {0x70, 0, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x26};
    const auto v = zrk::MapScsiResult(ZRK_MSTATUS_CHECK_CONDITION, sense, sizeof sense);
    EXPECT_EQ(v.iErrno, 8);  // 5/26/00
    EXPECT_EQ(v.uiSenseCode, 0x052600u);
    const auto none = zrk::MapScsiResult(ZRK_MSTATUS_CHECK_CONDITION, nullptr, 0);
    EXPECT_EQ(none.iErrno, 24);
    EXPECT_TRUE(none.bAskCatalogue);
    EXPECT_EQ(none.uiSenseCode, 0u);
}

TEST(DevicePaths, Kinds) {
    struct Case {
        const char *path;
        int brindlex, mapper;
    };
    // clang-format off
    const Case cases[] = {
        {"/dev/brdlx/c1/dsk/vol1:sdb", 1, 0},
        {"//dev//brdlx/c1/dsk/vol1:sdb", 1, 0},
        {"/dev/brdlx", 1, 0},
        {"/dev/mapper/mpatha", 0, 1},
        {"dev/mapper/x", 0, 1},
        {"/dev/sdb", 0, 0},
        {"/dev/brdlxx/c1", 0, 0},
        {"/devs/mapper/x", 0, 0},
        {"", 0, 0},
        {"/", 0, 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        EXPECT_EQ(IsBrindlex(c.path), c.brindlex) << c.path;
        EXPECT_EQ(IsDmDevice(c.path), c.mapper) << c.path;
    }
    EXPECT_EQ(IsBrindlex(nullptr), 0);
    EXPECT_EQ(IsDmDevice(nullptr), 0);
}

TEST(DevicePaths, WholeDiskNameRules) {
    struct Case {
        const char *path;
        int rc;
        const char *whole;
    };
    // clang-format off
    const Case cases[] = {
        {"/dev/sdb1", 0, "/dev/sdb"},
        {"/dev/sdb12", 0, "/dev/sdb"},
        {"/dev/sdb", -1, "/dev/sdb"},
        {"/dev/nvme0n1p2", 0, "/dev/nvme0n1"},
        {"/dev/mmcblk0p1", 0, "/dev/mmcblk0"},
        {"/dev/mapper/mpathap1", 0, "/dev/mapper/mpatha"},
        {"/dev/mapper/mpatha1", 0, "/dev/mapper/mpatha"},
        {"/dev/sdp1", 0, "/dev/sdp"}, // a "p" after a letter is the disk's own
        {"/dev/1", -1, "/dev/1"},
        {"", -1, ""},
    };
    // clang-format on
    for (const Case &c : cases) {
        char out[ZRK_DEVNAME_LEN + 1];
        EXPECT_EQ(GetVolumeName(c.path, out), c.rc) << c.path;
        EXPECT_STREQ(out, c.whole) << c.path;
    }

    // A name longer than the output can hold is refused, and the output stays
    // inside its room.
    std::string longName = "/dev/" + std::string(ZRK_DEVNAME_LEN + 100, 'a') + "1";
    std::vector<char> out(ZRK_DEVNAME_LEN + 1 + 16, '#');
    EXPECT_EQ(GetVolumeName(longName.c_str(), out.data()), -1);
    EXPECT_EQ(std::strlen(out.data()), static_cast<size_t>(ZRK_DEVNAME_LEN));
    EXPECT_EQ(out[ZRK_DEVNAME_LEN + 1], '#');
}

TEST(DevicePaths, NumericEnvironmentFlag) {
    struct Case {
        const char *value; // nullptr: unset
        int flag;
    };
    // clang-format off
    const Case cases[] = {
        {"1", 1},
        {"42", 1},
        {"-3", 1},
        {"0", 0},
        {"00", 0},
        {"yes", 0},
        {"1x", 0},
        {"", 0},
        {" ", 0},
        {nullptr, 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        if (c.value != nullptr)
            setenv("ZRK_TEST_FLAG", c.value, 1);
        else
            unsetenv("ZRK_TEST_FLAG");
        EXPECT_EQ(GetEnvNumFlag("ZRK_TEST_FLAG"), c.flag) << (c.value ? c.value : "(unset)");
    }
    unsetenv("ZRK_TEST_FLAG");
}

TEST(DevicePaths, SgIoHeaderConversionRoundTrip) {
    unsigned char cdb[6], sense[32], data[8];
    sg_io_hdr_t header{};
    header.interface_id = 'S';
    header.dxfer_direction = SG_DXFER_FROM_DEV;
    header.cmd_len = 6;
    header.mx_sb_len = 32;
    header.dxfer_len = 8;
    header.dxferp = data;
    header.cmdp = cdb;
    header.sbp = sense;
    header.timeout = 20000;
    header.pack_id = -7;
    header.masked_status = 1;
    header.host_status = 0x0102;
    header.resid = -3;
    header.info = SG_INFO_CHECK;
    ZrkSgIoHdrWide wide{};
    ASSERT_EQ(Sg_Io_HDR_Convert(1, &header, &wide), 0);
    EXPECT_EQ(wide.iInterfaceId, 'S');
    EXPECT_EQ(wide.ullCmdp, reinterpret_cast<uintptr_t>(cdb));
    EXPECT_EQ(wide.uiHostStatus, 0x0102u);
    sg_io_hdr_t back{};
    ASSERT_EQ(Sg_Io_HDR_Convert(2, &wide, &back), 0);
    EXPECT_EQ(back.interface_id, header.interface_id);
    EXPECT_EQ(back.dxfer_direction, header.dxfer_direction);
    EXPECT_EQ(back.cmd_len, header.cmd_len);
    EXPECT_EQ(back.mx_sb_len, header.mx_sb_len);
    EXPECT_EQ(back.dxfer_len, header.dxfer_len);
    EXPECT_EQ(back.dxferp, header.dxferp);
    EXPECT_EQ(back.cmdp, header.cmdp);
    EXPECT_EQ(back.sbp, header.sbp);
    EXPECT_EQ(back.timeout, header.timeout);
    EXPECT_EQ(back.pack_id, header.pack_id);
    EXPECT_EQ(back.masked_status, header.masked_status);
    EXPECT_EQ(back.host_status, header.host_status);
    EXPECT_EQ(back.resid, header.resid);
    EXPECT_EQ(back.info, header.info);
    EXPECT_EQ(Sg_Io_HDR_Convert(3, &header, &wide), -1);
    EXPECT_EQ(Sg_Io_HDR_Convert(1, nullptr, &wide), -1);
}

}  // namespace
