// The volume-name lookups of one command call: the store as it was when the
// snapshot was taken, whatever a writer does afterwards, answers as
// get_volname answers, and holds no descriptor that could drop a writer's
// lock in the same process.
#include "install_root.h"
#include "platform.h"
#include "volname.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <string>

namespace {

const std::string kBox = [] {
    std::string id = "VASTREL-S";
    id.resize(40, '0');
    return id;
}();

int OpenDescriptors() {
    int count = 0;
    DIR *dir = opendir("/proc/self/fd");
    while (dir != nullptr && readdir(dir) != nullptr) ++count;
    if (dir != nullptr) closedir(dir);
    return count;
}

std::string Lookup(const zrkplatform::VolnameSnapshot &store, int32_t olu) {
    char out[ZRK_VOLNAME_LEN] = {};
    return store.Get(kBox.c_str(), olu, 0, 0, 0, 2048, out) == 2 ? out : "";
}

TEST(VolnameSnapshot, AnswersFromTheStoreAsItWasWhenOpened) {
    zrktest::InstallRoot root;
    zrkplatform::VolnameSnapshot empty;
    empty.Open();  // no store yet: nothing is found
    EXPECT_EQ("", Lookup(empty, 1));

    ASSERT_EQ(0, set_volname("/dev/sda", kBox.c_str(), 1, 0, 0, 0, 2048));
    ASSERT_EQ(0, set_volname("/dev/sdb", kBox.c_str(), 2, 0, 0, 0, 2048));
    const int before = OpenDescriptors();
    zrkplatform::VolnameSnapshot store;
    store.Open();
    EXPECT_EQ(before, OpenDescriptors());  // the mapping alone is kept
    EXPECT_EQ("/dev/sda", Lookup(store, 1));
    EXPECT_EQ("/dev/sdb", Lookup(store, 2));
    EXPECT_EQ("", Lookup(store, 3));
    char out[ZRK_VOLNAME_LEN];
    EXPECT_EQ(1, store.Get(nullptr, 1, 0, 0, 0, 2048, out));

    // A writer replaces the store meanwhile: the snapshot keeps what it saw,
    // a new one sees the change.
    ASSERT_EQ(0, erase_volname(kBox.c_str(), 1, 0, 0, 0, 2048));
    ASSERT_EQ(0, set_volname("/dev/sdc", kBox.c_str(), 3, 0, 0, 0, 2048));
    EXPECT_EQ("/dev/sda", Lookup(store, 1));
    EXPECT_EQ("", Lookup(store, 3));
    zrkplatform::VolnameSnapshot next;
    next.Open();
    EXPECT_EQ("", Lookup(next, 1));
    EXPECT_EQ("/dev/sdc", Lookup(next, 3));
}

TEST(VolnameSnapshot, BrokenStoreIsOneWithoutRecords) {
    zrktest::InstallRoot root;
    root.write("etc/" ZRK_VOLINF_FILE, std::string(20, 'x'));
    zrkplatform::VolnameSnapshot store;
    store.Open();
    EXPECT_EQ("", Lookup(store, 1));
}

} // namespace
