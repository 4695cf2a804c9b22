// The descriptor that closes itself (fileread.h) on real descriptors: -1 as
// none, a move hands the descriptor over, an assignment closes the one held
// before, and each descriptor is closed once.
#include "fileread.h"
#include "sysio.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <utility>

namespace {

using zrkplatform::FileDescriptor;

int OpenNull() { return zrkplatform::sys::Open("/dev/null", O_RDONLY | O_CLOEXEC); }

bool IsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

TEST(FileDescriptor, EmptyHoldsNone) {
    const FileDescriptor empty;
    EXPECT_EQ(empty.Get(), -1);
}

TEST(FileDescriptor, ClosesWhatItHoldsWhenItGoes) {
    const int fd = OpenNull();
    ASSERT_GE(fd, 0);
    {
        const FileDescriptor owner(fd);
        EXPECT_EQ(owner.Get(), fd);
        EXPECT_TRUE(IsOpen(fd));
    }
    EXPECT_FALSE(IsOpen(fd));
}

TEST(FileDescriptor, AMoveHandsTheDescriptorOver) {
    const int fd = OpenNull();
    ASSERT_GE(fd, 0);
    FileDescriptor taker;
    {
        FileDescriptor giver(fd);
        FileDescriptor moved(std::move(giver));
        EXPECT_EQ(giver.Get(), -1);
        EXPECT_EQ(moved.Get(), fd);
        taker = std::move(moved);
        EXPECT_EQ(moved.Get(), -1);
    }
    EXPECT_EQ(taker.Get(), fd);
    EXPECT_TRUE(IsOpen(fd)) << "those left with none close nothing";
}

TEST(FileDescriptor, AssigningClosesTheOneHeldBefore) {
    const int first = OpenNull();
    const int second = OpenNull();
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    {
        FileDescriptor owner(first);
        owner = FileDescriptor(second);
        EXPECT_FALSE(IsOpen(first));
        EXPECT_EQ(owner.Get(), second);
        EXPECT_TRUE(IsOpen(second));
        FileDescriptor &same = owner;
        owner = std::move(same);
        EXPECT_EQ(owner.Get(), second) << "a move onto itself keeps the descriptor";
        EXPECT_TRUE(IsOpen(second));
    }
    EXPECT_FALSE(IsOpen(second));
}

}  // namespace
