// The array takes only the CDB form its support data announces: a wrong
// opcode family, form, failover bit or field ends in ILLEGAL REQUEST.
#include "travo_helpers.h"

#include <gtest/gtest.h>

using namespace simtest;
using zrksim::Simulator;

namespace {

// F1: page-based engine in a storage cluster (failover bit 0x20 expected).
// C1: classic with identifier lists, short forms, no failover. Q1: QM family.
// N1: no copy functions.
const char *const kArrays = R"(
array F1 boxid="BOX-F1" partner=F2
volume F1 1 1000
array F2 boxid="BOX-F2"
volume F2 1 1000
array C1 boxid="BOX-C1" profile=idlist
volume C1 1 1000
array D1 boxid="BOX-D1" profile=detail
volume D1 1 1000
array Q1 boxid="BOX-Q1" family=qm
volume Q1 1 1000
array N1 boxid="BOX-N1" zrk=no
volume N1 1 1000
disk /dev/sdf 8:16 F1 1
disk /dev/sdc 8:32 C1 1
disk /dev/sdd 8:48 D1 1
disk /dev/sdq 8:64 Q1 1
disk /dev/sdn 8:80 N1 1
)";

struct Case {
    const char *what;
    const char *path;
    Bytes cdb;
    unsigned char asc;  // 0: accepted
};

Bytes withByte(Bytes cdb, std::size_t at, unsigned char value) {
    cdb[at] = value;
    return cdb;
}

}  // namespace

TEST(SimTravoForms, InFormsFollowTheSupportData) {
    Simulator sim(kArrays);
    // clang-format off
    const Case cases[] = {
        // The form each array expects is taken.
        {"paged: support data short", "/dev/sdf", travoInShort(0x00, 0, 40, 1 | kFo), 0},
        {"paged: id list large", "/dev/sdf", travoInLarge(0x19, 0, 64, 1 | kFo), 0},
        {"paged: detail list short", "/dev/sdf", travoInShort(0x43, 0, 40976, 1 | kFo, 0x40), 0},
        {"paged: secondary bit beside failover", "/dev/sdf", travoInShort(0x00, 0, 40, 1 | kFo | kFoSecondary), 0},
        {"classic: id list short", "/dev/sdc", travoInShort(0x19, 0, 64), 0},
        {"classic: detail page short", "/dev/sdc", travoInShort(0x1A, 1, 160), 0},
        {"detail: id list large", "/dev/sdd", travoInLarge(0x05, 0, 64), 0},
        {"detail: reserve large", "/dev/sdd", travoInLarge(0x00, 1, 16, 2), 0},
        {"qm: support short 0xEE", "/dev/sdq", travoInShort(0x00, 0, 40, 1, 0, 0xEE), 0},
        // The other form is refused.
        {"paged: id list short", "/dev/sdf", travoInShort(0x19, 0, 64, 1 | kFo), 0x24},
        {"paged: detail page short", "/dev/sdf", travoInShort(0x44, 1, 192, 1 | kFo), 0x24},
        {"paged: OLU status short", "/dev/sdf", travoInShort(0x31, 1, 64, 1 | kFo), 0x24},
        {"paged: detail list large", "/dev/sdf", travoInLarge(0x43, 0, 40976, 1 | kFo), 0x24},
        {"paged: support data large", "/dev/sdf", travoInLarge(0x00, 0, 40, 1 | kFo), 0x24},
        {"paged: reserve short", "/dev/sdf", travoInShort(0x00, 1, 16, 2 | kFo), 0x24},
        {"classic: id list large", "/dev/sdc", travoInLarge(0x19, 0, 64), 0x24},
        {"classic: reserve large", "/dev/sdc", travoInLarge(0x00, 1, 16, 4), 0x24},
        {"detail: detail page large", "/dev/sdd", travoInLarge(0x1A, 1, 160), 0x24},
        // Failover bits: exactly when announced, 0x40 only beside 0x20.
        {"paged: failover bit missing", "/dev/sdf", travoInLarge(0x19, 0, 64), 0x24},
        {"classic: failover bit present", "/dev/sdc", travoInShort(0x19, 0, 64, 1 | kFo), 0x24},
        {"classic: secondary bit alone", "/dev/sdc", travoInShort(0x19, 0, 64, 1 | kFoSecondary), 0x24},
        {"support read: secondary bit alone", "/dev/sdc", travoInShort(0x00, 0, 40, 1 | kFoSecondary), 0x24},
        // The support data is read before the host knows about failover.
        {"paged: support read without failover bit", "/dev/sdf", travoInShort(0x00, 0, 40, 1), 0},
        {"classic: support read with failover bit", "/dev/sdc", travoInShort(0x00, 0, 40, 1 | kFo), 0},
        {"paged: reserve without failover bit", "/dev/sdf", travoInLarge(0x00, 1, 16, 2), 0x24},
        // Opcode families.
        {"main: QM opcode", "/dev/sdf", travoInShort(0x00, 0, 40, 1 | kFo, 0, 0xEE), 0x24},
        {"qm: main opcode", "/dev/sdq", travoInShort(0x00, 0, 40, 1, 0, 0xEB), 0x24},
        {"qm: large form", "/dev/sdq", travoInLarge(0x00, 1, 16, 2, 0xEE), 0x24},
        {"no copy functions", "/dev/sdn", travoInShort(0x00, 0, 40), 0x20},
        // Fields.
        {"short form with a 24-bit length", "/dev/sdc", withByte(travoInShort(0x19, 0, 64), 6, 0x01), 0x24},
        {"selection byte outside page 0x43", "/dev/sdc", travoInShort(0x19, 0, 64, 1, 0x40), 0x24},
        {"selection byte in the large form", "/dev/sdf", withByte(travoInLarge(0x19, 0, 64, 1 | kFo), 3, 0x01), 0x24},
        {"two selections", "/dev/sdf", travoInShort(0x43, 0, 40976, 1 | kFo, 0x50), 0x24},
        {"failover selection without failover", "/dev/sdd", travoInShort(0x43, 0, 40976, 1, 0x40), 0x24},
        {"mode 2 on a list page", "/dev/sdf", travoInLarge(0x19, 0, 64, 2 | kFo), 0x24},
        {"mode bit 7 left in byte 1", "/dev/sdf", travoInShort(0x43, 0, 40976, 0x81 | kFo), 0x24},
        {"unknown page", "/dev/sdf", travoInShort(0x7F, 0, 64, 1 | kFo), 0x24},
        // Pages the support data does not offer.
        {"classic: page-based detail", "/dev/sdc", travoInLarge(0x44, 1, 192), 0x24},
        {"classic: detail list", "/dev/sdc", travoInShort(0x43, 0, 40976), 0x24},
        {"main: QM support page", "/dev/sdf", travoInShort(0x02, 0, 16, 1 | kFo), 0x24},
        {"qm: remote KZP list", "/dev/sdq", travoInShort(0x15, 0, 64, 1, 0, 0xEE), 0x24},
        {"qm: reserve of a KZP identifier", "/dev/sdq", travoInShort(0x00, 1, 16, 4, 0, 0xEE), 0x24},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SgResult r = sg(c.path, c.cdb, 40976);
        if (c.asc == 0) {
            expectGood(r);
        } else {
            expectRefused(r, c.asc);
            EXPECT_EQ(r.hdr.resid, 40976);
        }
    }
}

TEST(SimTravoForms, BufferIdentifierFormOnEveryFamily) {
    Simulator sim(R"(
array Q1 boxid="BOX-Q1" family=qm support="0000000000000000 0000000000000000 0000000000010001 0000000000810001"
volume Q1 1 1000
rvzbuffer Q1 4
disk /dev/sdq 8:16 Q1 1
)");
    Bytes cdb{0xEB, 0x01, 0x23, 0x00, 0x00, 0x04, 0x00, 0x04, 0x28, 0};
    expectGood(sg("/dev/sdq", cdb, 1064));
    expectRefused(sg("/dev/sdq", withByte(cdb, 0, 0xEE), 1064), 0x24);
    expectRefused(sg("/dev/sdq", withByte(cdb, 1, 0x09), 1064), 0x24);
}

TEST(SimTravoForms, OutFormsFollowTheSupportData) {
    Simulator sim(kArrays);
    // A stop list of an identifier the array does not hold: a form the array
    // takes reaches the list (0x26), a wrong one stops at the CDB (0x24).
    Bytes stop(192, 0);
    stop[0] = 0x45;
    stop[7] = 0xB8;
    stop[9] = 0x63;
    // clang-format off
    const Case cases[] = {
        {"paged: large with failover", "/dev/sdf", travoOut(192, true, kFo), 0x26},
        {"paged: large with both failover bits", "/dev/sdf", travoOut(192, true, kFo | kFoSecondary), 0x26},
        {"classic: short", "/dev/sdc", travoOut(192, false), 0x26},
        {"detail: short", "/dev/sdd", travoOut(192, false), 0x26},
        {"qm: short 0xEC", "/dev/sdq", travoOut(192, false, 0, 0xEC), 0x26},
        {"paged: short", "/dev/sdf", travoOut(192, false), 0x24},
        {"paged: large without failover", "/dev/sdf", travoOut(192, true), 0x24},
        {"classic: large", "/dev/sdc", travoOut(192, true), 0x24},
        {"classic: short with a failover bit", "/dev/sdc", travoOut(192, false, kFo), 0x24},
        {"main: QM opcode", "/dev/sdc", travoOut(192, false, 0, 0xEC), 0x24},
        {"qm: main opcode", "/dev/sdq", travoOut(192, false, 0, 0xE9), 0x24},
        {"length other than the list", "/dev/sdc", travoOut(184, false), 0x24},
        {"no copy functions", "/dev/sdn", travoOut(192, false), 0x20},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        expectRefused(sendOut(c.path, c.cdb, stop), c.asc);
    }
}
