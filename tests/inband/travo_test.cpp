// The vendor copy commands: the CDB of every form as the array receives it,
// chosen by the family, the large-form bits, the support data, the failover
// role and the option word; the support check; the stores; the entry check of
// the extended functions.
#include "inband_support.h"
#include "zrkcmd.h"

#include <gtest/gtest.h>

#include <vector>

using namespace inbandtest;

namespace {

constexpr char kDisk[] = "/dev/sdb";

class Travo : public InbandTest {
protected:
    Travo() : InbandTest(kScenario) {}

    // The CDB of the one command sent since the last clear.
    std::string SentCdb() {
        const auto log = sim.cdbLog();
        if (log.size() != 1) return "commands sent: " + std::to_string(log.size());
        return zrksim::toHex(log[0].cdb);
    }
};

// The process-wide facts that decide a CDB.
struct State {
    int family;               // ZRKstorageflg
    unsigned char in4096;     // ZRKsession4096
    unsigned char out4096;    // ZRKsession4096out
    unsigned char support4;   // SUPPORT_DATA byte 4
    int failoverByte;         // SUPPORT_DATA byte carrying 0x20, -1 none
    unsigned char role;       // ZRKstorage_cluster
    uint32_t option;          // ZRKOptionFlag
};

void Apply(const State &s) {
    ZRKstorageflg = s.family;
    ZRKsession4096 = s.in4096;
    ZRKsession4096out = s.out4096;
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    support[4] = s.support4;
    if (s.failoverByte >= 0) support[s.failoverByte] = 0x20;
    CtrlSupportData(support, ZRK_STORE_WRITE);
    ZRKstorage_cluster = s.role;
    ZRKOptionFlag = s.option;
}

constexpr State kPlain{0, 0, 0, 0x04, -1, 0, 0};

struct InCase {
    const char *what;
    State state;
    unsigned char mode, page;
    unsigned char session[2];
    int length;
    const char *cdb; // as the array receives it
};

// clang-format off
const InCase kInCases[] = {
    {"short form", kPlain, 0x01, 0x05, {0x00, 0x07}, 16, "eb010500000700001000"},
    {"short form keeps the low 16 bits of the length", kPlain, 0x01, 0x09, {0, 0}, 0x12345, "eb010900000000234500"},
    {"large form by group bit", {0, 0x04, 0, 0x04, -1, 0, 0}, 0x01, 0x05, {0x00, 0x07}, 0x12345, "eb090500000701234500"},
    {"QM family ignores the large-form bits", {1, 0x0F, 0x0F, 0x04, -1, 0, 0}, 0x01, 0x05, {0x00, 0x07}, 16, "ee010500000700001000"},
    {"QM family, page 0x44", {1, 0, 0, 0x04, -1, 0, 0}, 0x01, 0x44, {0x12, 0x34}, 192, "ee01440012340000c000"},
    {"page 0x00 mode 4, KZP large", {0, 0x04, 0, 0x04, -1, 0, 0}, 0x04, 0x00, {0, 0}, 16, "eb0c0000000000001000"},
    {"page 0x00 mode 4, remote KZP large", {0, 0x01, 0, 0x04, -1, 0, 0}, 0x04, 0x00, {0, 0}, 16, "eb0c0000000000001000"},
    {"page 0x00 mode 4, only VZ large", {0, 0x0A, 0, 0x04, -1, 0, 0}, 0x04, 0x00, {0, 0}, 16, "eb040000000000001000"},
    {"page 0x00 mode 2, RVZ large", {0, 0x02, 0, 0x04, -1, 0, 0}, 0x02, 0x00, {0, 0}, 16, "eb0a0000000000001000"},
    {"page 0x00 mode 1 never large", {0, 0x0F, 0, 0x04, -1, 0, 0}, 0x01, 0x00, {0, 0}, 40, "eb010000000000002800"},
    {"page 0x15 remote KZP", {0, 0x01, 0, 0x04, -1, 0, 0}, 0x01, 0x15, {0, 0}, 16, "eb091500000000001000"},
    {"page 0x19 RVZ", {0, 0x02, 0, 0x04, -1, 0, 0}, 0x01, 0x19, {0, 0}, 16, "eb091900000000001000"},
    {"page 0x09 needs the VZ bit", {0, 0x07, 0, 0x04, -1, 0, 0}, 0x01, 0x09, {0, 0}, 16, "eb010900000000001000"},
    {"page 0x40 by RVZ", {0, 0x02, 0, 0x04, -1, 0, 0}, 0x01, 0x40, {0, 0}, 16, "eb094000000000001000"},
    {"page 0x44 always large", kPlain, 0x01, 0x44, {0x00, 0x09}, 192, "eb09440000090000c000"},
    {"page 0x24 always large", kPlain, 0x01, 0x24, {0, 0}, 4880, "eb092400000000131000"},
    {"page 0x43 mode bit 7", kPlain, 0x81, 0x43, {0x00, 0x02}, 40976, "eb014380000200a01000"},
    {"mode bit 7 on another page", kPlain, 0x81, 0x16, {0x00, 0x02}, 160, "eb01160000020000a000"},
    {"page 0x43 selection 0x01", {0, 0, 0, 0x04, -1, 0, 0x80000 | 0x800000}, 0x01, 0x43, {0, 0}, 16, "eb014301000000001000"},
    {"page 0x43 selection 0x40", {0, 0, 0, 0x04, -1, 0, 0x800000 | 0x1000000}, 0x81, 0x43, {0, 0}, 16, "eb0143c0000000001000"},
    {"page 0x43 selection 0x10", {0, 0, 0, 0x04, -1, 0, 0x1000000}, 0x01, 0x43, {0, 0}, 16, "eb014310000000001000"},
    {"page 0x43 on a cluster volume", {0, 0, 0, 0x04, -1, 1, 0}, 0x01, 0x43, {0, 0}, 16, "eb014320000000001000"},
    {"page 0x43 cluster selection suppressed", {0, 0, 0, 0x04, -1, 1, 0x400000}, 0x01, 0x43, {0, 0}, 16, "eb014300000000001000"},
    {"failover array, no role", {0, 0, 0, 0x04, 6, 0, 0}, 0x01, 0x05, {0, 0}, 16, "eb210500000000001000"},
    {"failover array, secondary, short", {0, 0, 0, 0x04, 22, 2, 0}, 0x01, 0x43, {0, 0}, 16, "eb614320000000001000"},
    {"failover array, secondary, large", {0, 0, 0, 0x04, 30, 2, 0}, 0x01, 0x44, {0, 1}, 192, "eb69440000010000c000"},
    {"failover array, primary", {0, 0, 0, 0x04, 30, 1, 0}, 0x01, 0x05, {0, 0}, 16, "eb210500000000001000"},
    {"byte 14 is no failover bit", {0, 0, 0, 0x04, 14, 2, 0}, 0x01, 0x05, {0, 0}, 16, "eb010500000000001000"},
};
// clang-format on

TEST_F(Travo, InCdbOfEveryForm) {
    for (const auto &c : kInCases) {
        SCOPED_TRACE(c.what);
        NewCall();
        sim.clearLog();
        Apply(c.state);
        std::vector<unsigned char> reply(static_cast<size_t>(c.length), 0xAA);
        ExecTravoIn(kDisk, c.mode, c.page, c.session, reply.data(), c.length);
        EXPECT_EQ(SentCdb(), c.cdb);
        EXPECT_EQ(ZRKOptionFlag, c.state.option) << "the option word is only read";
    }
}

TEST_F(Travo, InClearsTheReplyEvenWhenTheArrayRefuses) {
    Apply(kPlain);
    sim.injectSense(1, 5, 0x24, 0);
    unsigned char reply[64];
    std::memset(reply, 0xAA, sizeof reply);
    EXPECT_EQ(ExecTravoIn(kDisk, 0x01, 0x05, nullptr, reply, sizeof reply), -1);
    EXPECT_EQ(ZRKerrno, 24);
    EXPECT_TRUE(std::all_of(std::begin(reply), std::end(reply), [](unsigned char b) { return b == 0; }));
}

TEST_F(Travo, UnsupportedPagesAreRefusedWithoutACommand) {
    for (unsigned char page : {0x44, 0x31}) {
        NewCall();
        sim.clearLog();
        Apply({0, 0, 0, 0x0B, -1, 0, 0});
        unsigned char reply[192];
        EXPECT_EQ(ExecTravoIn(kDisk, 0x01, page, nullptr, reply, sizeof reply), -1);
        EXPECT_EQ(ZRKerrno, 17);
        EXPECT_TRUE(sim.cdbLog().empty());
    }
}

TEST_F(Travo, InRejectsAMissingReplyWithoutACommand) {
    Apply(kPlain);
    EXPECT_EQ(ExecTravoIn(kDisk, 0x01, 0x05, nullptr, nullptr, 16), -1);
    EXPECT_EQ(ZRKerrno, 13);
    EXPECT_TRUE(sim.cdbLog().empty());
}

struct OutCase {
    const char *what;
    State state;
    int length;
    const char *cdb;
};

// clang-format off
const OutCase kOutCases[] = {
    {"short form", kPlain, 192, "e901000000000000c000"},
    {"QM family", {1, 0, 0x0F, 0x04, -1, 0, 0}, 192, "ec01000000000000c000"},
    {"large form by any group bit", {0, 0, 0x02, 0x04, -1, 0, 0}, 0x12345, "e9090000000001234500"},
    {"short form carries no failover bits", {0, 0, 0, 0x04, 6, 2, 0}, 192, "e901000000000000c000"},
    {"large form, failover, secondary", {0, 0, 0x08, 0x04, 22, 2, 0}, 192, "e969000000000000c000"},
    {"large form, failover, no role", {0, 0, 0x01, 0x04, 30, 0, 0}, 192, "e929000000000000c000"},
};
// clang-format on

TEST_F(Travo, OutCdbOfEveryFormAndItsList) {
    for (const auto &c : kOutCases) {
        SCOPED_TRACE(c.what);
        NewCall();
        sim.clearLog();
        Apply(c.state);
        std::vector<unsigned char> list(static_cast<size_t>(c.length));
        for (size_t i = 0; i < list.size(); ++i) list[i] = static_cast<unsigned char>(i * 7);
        ExecTravoOut(kDisk, list.data(), c.length);
        const auto log = sim.cdbLog();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(zrksim::toHex(log[0].cdb), c.cdb);
        EXPECT_EQ(log[0].dataOut, list) << "the list goes out as built";
    }
}

struct BuffCase {
    const char *what;
    State state;
    unsigned char mode, page, flag;
    unsigned char id[2];
    unsigned int length;
    const char *cdb;
};

// clang-format off
const BuffCase kBuffCases[] = {
    {"main family", kPlain, 0x01, 0x23, 0x00, {0x00, 0x03}, 1064, "eb012300000300042800"},
    {"QM family keeps 0xEB", {1, 0, 0, 0x04, -1, 0, 0}, 0x01, 0x23, 0x05, {0x01, 0x02}, 1064, "eb012305010200042800"},
    {"24-bit length, failover secondary", {0, 0, 0, 0x04, 6, 2, 0}, 0x01, 0x23, 0x00, {0x00, 0x01}, 0x12345, "eb612300000101234500"},
    {"no support check", {0, 0, 0, 0x00, -1, 0, 0}, 0x01, 0x44, 0x00, {0, 0}, 192, "eb01440000000000c000"},
};
// clang-format on

TEST_F(Travo, BufferIdCdb) {
    for (const auto &c : kBuffCases) {
        SCOPED_TRACE(c.what);
        NewCall();
        sim.clearLog();
        Apply(c.state);
        std::vector<unsigned char> reply(c.length, 0xAA);
        ExecTravoIn_BuffID(kDisk, c.mode, c.page, c.flag, c.id, reply.data(), c.length);
        EXPECT_EQ(SentCdb(), c.cdb);
        EXPECT_EQ(reply[0], 0) << "the reply is cleared first";
    }
}

TEST_F(Travo, StoresClearReadAndWrite) {
    unsigned char in[ZRK_QM_SUPPORT_DATA_LEN];
    for (size_t i = 0; i < sizeof in; ++i) in[i] = static_cast<unsigned char>(i + 1);
    unsigned char out[ZRK_QM_SUPPORT_DATA_LEN + 1];

    CtrlSupportData(in, ZRK_STORE_WRITE);
    std::memset(out, 0xEE, sizeof out);
    CtrlSupportData(out, ZRK_STORE_READ);
    EXPECT_EQ(0, std::memcmp(out, in, ZRK_SUPPORT_DATA_LEN));
    EXPECT_EQ(out[ZRK_SUPPORT_DATA_LEN], 0xEE) << "no byte beyond the store";
    CtrlSupportData(nullptr, ZRK_STORE_READ); // nothing to copy to
    CtrlSupportData(in + 1, 7);               // unknown operation: no change
    CtrlSupportData(out, ZRK_STORE_READ);
    EXPECT_EQ(out[0], 1);
    CtrlSupportData(nullptr, ZRK_STORE_CLEAR);
    CtrlSupportData(out, ZRK_STORE_READ);
    EXPECT_EQ(out[0], 0);

    CtrlQmSupportData(in, ZRK_STORE_WRITE);
    std::memset(out, 0xEE, sizeof out);
    CtrlQmSupportData(out, ZRK_STORE_READ);
    EXPECT_EQ(0, std::memcmp(out, in, ZRK_QM_SUPPORT_DATA_LEN));
    EXPECT_EQ(out[ZRK_QM_SUPPORT_DATA_LEN], 0xEE);

    CtrlInqSupportData(in, ZRK_STORE_WRITE);
    std::memset(out, 0xEE, sizeof out);
    CtrlInqSupportData(out, ZRK_STORE_READ);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], 2);
    EXPECT_EQ(out[2], 0xEE);
}

TEST_F(Travo, CommCheckSetRefusesOptionBitsOutsideTheMaskFirst) {
    EXPECT_EQ(CommCheckSet(kDisk, 0x20, 0x02), -1);
    EXPECT_EQ(ZRKerrno, 37);
    EXPECT_TRUE(sim.cdbLog().empty());
}

}  // namespace
