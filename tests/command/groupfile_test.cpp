// Copy-pair lists from operands and group files: the grammar of the group
// file with its messages and line numbers, its limits, and the check of the
// caller's per-pair result area.
#include "child.h"
#include "install_root.h"
#include "platform.h"
#include "zrkc.h"
#include "zrkcgroupfile.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using zrktest::InstallRoot;

const std::string kNoTarget(ZRK_VOLNAME_LEN, '\xFF');

std::string Syntax(int line) {
    return "ZRKC1802 ERROR Syntax error was detected in Group File.line=(" + std::to_string(line) + ").\n";
}
const char *const kEmpty = "ZRKC1803 ERROR There is no volume name in Copy Group File.\n";
const char *const kTooMany =
    "ZRKC1805 ERROR The number of the copy pairs or logical volumes described in the group file "
    "exceeds the maximum number.\n";
const char *const kMissing = "ZRKC1801 ERROR Group_file does not exist.\n";

using Names = std::vector<std::pair<std::string, std::string>>;  // target "" : no target

class GroupFile : public ::testing::Test {
protected:
    void TearDown() override {
        com_file_release(&list_);
        release_properties();
    }

    std::string write(const std::string &text) {
        const std::string path = root_.path("group.txt");
        root_.write("group.txt", text);
        return path;
    }

    // Reads text as a group file; the names read, or the message.
    int prepare(const std::string &text) {
        com_file_release(&list_);
        list_ = {};
        ri_ = {};
        return com_file_prepare(write(text).c_str(), &list_, &ri_);
    }

    Names names() const {
        Names out;
        if (list_.pNames == nullptr) return out;
        for (uint32_t i = 0; i < list_.pNames->uiCount; ++i) {
            const CopyPairName &e = list_.pNames->taEntry[i];
            EXPECT_LT(strnlen(e.caSource, ZRK_VOLNAME_LEN), size_t{ZRK_VOLNAME_LEN});
            const std::string target(e.caTarget, ZRK_VOLNAME_LEN);
            if (target == kNoTarget) {
                out.emplace_back(e.caSource, "");
            } else {
                EXPECT_LT(strnlen(e.caTarget, ZRK_VOLNAME_LEN), size_t{ZRK_VOLNAME_LEN});
                out.emplace_back(e.caSource, e.caTarget);
            }
        }
        return out;
    }

    InstallRoot root_;
    CopyPairList list_{};
    ReturnInfo ri_{};
};

struct GoodCase {
    const char *title;
    std::string text;
    uint32_t form;
    Names names;
};

TEST_F(GroupFile, AcceptedFiles) {
    const std::string a1023(1023, 'a');
    const std::string b1022(1022, 'b');
    const GoodCase cases[] = {
        {"pairs", "/dev/sda /dev/sdb\n/dev/sdc /dev/sdd\n", 1,
         {{"/dev/sda", "/dev/sdb"}, {"/dev/sdc", "/dev/sdd"}}},
        {"volumes", "/dev/sda\n/dev/sdb\n", 2, {{"/dev/sda", ""}, {"/dev/sdb", ""}}},
        {"comments, blank and blank-only lines", "# pairs\n\n   \n\r\n/dev/sda   /dev/sdb  \n#x y\n", 1,
         {{"/dev/sda", "/dev/sdb"}}},
        {"CR LF line ends", "/dev/sda /dev/sdb\r\n/dev/sdc /dev/sdd\r\n", 1,
         {{"/dev/sda", "/dev/sdb"}, {"/dev/sdc", "/dev/sdd"}}},
        {"no final newline", "/dev/sda\n/dev/sdb", 2, {{"/dev/sda", ""}, {"/dev/sdb", ""}}},
        {"no final newline after CR", "/dev/sda\r", 2, {{"/dev/sda", ""}}},
        {"leading blanks", "    /dev/sda /dev/sdb\n", 1, {{"/dev/sda", "/dev/sdb"}}},
        {"a # after blanks is a name", "  #a\n", 2, {{"#a", ""}}},
        {"quoted fields keep their blanks", "\"my vol 1\" \"my vol 2\"\n", 1,
         {{"my vol 1", "my vol 2"}}},
        {"quoted field at the end of the line", "a \"b c\"\r\n", 1, {{"a", "b c"}}},
        {"a quote inside a field is a character", "a\"b c\"d\n", 1, {{"a\"b", "c\"d"}}},
        {"a tab is a character", "a\tb\n", 2, {{"a\tb", ""}}},
        {"the line ends at its first CR", "a b\rc d\n", 1, {{"a", "b"}}},
        {"a 1023-character name", a1023 + "\n", 2, {{a1023, ""}}},
        {"a 1024-character line of two names", "x " + b1022 + "\n", 1, {{"x", b1022}}},
        {"a 1024-character line with CR LF", "x " + b1022 + "\r\n", 1, {{"x", b1022}}},
        {"a 1024-character line without newline", "x " + b1022, 1, {{"x", b1022}}},
    };
    for (const GoodCase &c : cases) {
        SCOPED_TRACE(c.title);
        ASSERT_EQ(prepare(c.text), 0) << ri_.caMessage;
        EXPECT_EQ(ri_.iReturnClass, 0);
        EXPECT_EQ(list_.iFromGroupFile, 1);
        EXPECT_EQ(list_.pNames->uiForm, c.form);
        EXPECT_EQ(names(), c.names);
    }
}

struct BadCase {
    const char *title;
    std::string text;
    uint32_t messageNo;
    std::string message;
};

TEST_F(GroupFile, RefusedFiles) {
    const std::string a1024(1024, 'a');
    const std::string b1023(1023, 'b');
    const BadCase cases[] = {
        {"only comments and blank lines", "# a\n\n   \n#b c\n", 1803, kEmpty},
        {"an empty file", "", 1803, kEmpty},
        {"form changes on the third data line", "# c\n\na b\nc d\n\ne\n", 1802, Syntax(6)},
        {"form changes to pairs", "a\nb c\n", 1802, Syntax(2)},
        {"line numbers count CR LF lines", "#\r\n\r\na b\r\nc\r\n", 1802, Syntax(4)},
        {"a third field", "a b c\n", 1802, Syntax(1)},
        {"a closing quote followed by a letter", "\"a b\"c d\n", 1802, Syntax(1)},
        {"a quote without its closing quote", "x\n\"a b\n", 1802, Syntax(2)},
        {"a 1025-character line", "x " + b1023 + "\n", 1802, Syntax(1)},
        {"a 1025-character last line without newline", "a b\nx " + b1023, 1802, Syntax(2)},
        {"a 1025-character line with CR LF", "x " + b1023 + "\r\n", 1802, Syntax(1)},
        {"a 1024-character name has no room for its end", a1024 + "\n", 1802, Syntax(1)},
        {"a 1024-character target", "y\n\nx " + std::string(1024, 'c') + "\n", 1802, Syntax(3)},
        {"a very long comment line", "#" + std::string(5000, 'c') + "\na\n", 1802, Syntax(1)},
    };
    for (const BadCase &c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(prepare(c.text), -1);
        EXPECT_EQ(ri_.iReturnClass, 14);
        EXPECT_EQ(ri_.uiMessageNo, c.messageNo);
        EXPECT_EQ(ri_.caMessage, c.message);
        EXPECT_EQ(list_.pNames, nullptr);
    }
}

TEST_F(GroupFile, MaxGroupingSesBoundsTheNames) {
    root_.writeProperties("max_grouping_ses=2\n");
    ASSERT_EQ(prepare("# two\na b\n\nc d\n"), 0) << ri_.caMessage;
    EXPECT_EQ(names().size(), 2u);

    EXPECT_EQ(prepare("a b\nc d\n# third\ne f\n"), -1);
    EXPECT_EQ(ri_.iReturnClass, 14);
    EXPECT_EQ(ri_.uiMessageNo, 1805u);
    EXPECT_STREQ(ri_.caMessage, kTooMany);
    EXPECT_EQ(list_.pNames, nullptr);

    // A syntax error on the line past the limit is reported as such.
    EXPECT_EQ(prepare("a b\nc d\ne\n"), -1);
    EXPECT_EQ(ri_.caMessage, Syntax(3));
}

TEST_F(GroupFile, ManyNamesBeyondTheFirstAllocation) {
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "/dev/s" + std::to_string(i) + " /dev/t" + std::to_string(i) + "\n";
    ASSERT_EQ(prepare(text), 0) << ri_.caMessage;
    const Names n = names();
    ASSERT_EQ(n.size(), 1000u);
    EXPECT_EQ(n[999], std::make_pair(std::string("/dev/s999"), std::string("/dev/t999")));
}

TEST_F(GroupFile, PropertiesErrorIsPassedOn) {
    root_.writeProperties("max_grouping_ses=0\n");
    EXPECT_EQ(prepare("a b\n"), -1);
    EXPECT_EQ(ri_.iReturnClass, 8);
    EXPECT_EQ(ri_.uiMessageNo, 1404u);
    EXPECT_EQ(list_.pNames, nullptr);
}

// A line that never ends is read no further than its limit and one byte:
// a syntax error on line 1, not a read to the end of the input.
TEST_F(GroupFile, EndlessLineIsCutAtItsLimit) {
    const int fd = ::open("/dev/zero", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    CopyPairNames *names = nullptr;
    zrkc::GroupFileError error;
    EXPECT_EQ(zrkc::ReadGroupFile(fd, 10, &names, error), -1);
    ::close(fd);
    EXPECT_EQ(error.kind, zrkc::GroupFileError::Kind::Syntax);
    EXPECT_EQ(error.uiLine, 1u);
    EXPECT_EQ(names, nullptr);
}

// What is not there, a directory, a device and a FIFO (which nobody writes
// to) are no group file: nothing waits in open, nothing is read.
TEST_F(GroupFile, MissingFileOrDirectory) {
    const std::string fifo = root_.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string &path : {root_.path("nothing"), root_.etc(), root_.path("etc/zrkc.ini/x"),
                                    std::string("/dev/zero"), std::string("/dev/null"), fifo}) {
        SCOPED_TRACE(path);
        ri_ = {};
        EXPECT_EQ(com_file_prepare(path.c_str(), &list_, &ri_), -1);
        EXPECT_EQ(ri_.iReturnClass, 14);
        EXPECT_EQ(ri_.uiMessageNo, 1801u);
        EXPECT_STREQ(ri_.caMessage, kMissing);
    }
}

TEST_F(GroupFile, FileThatCannotBeOpened) {
    const std::string path = write("a b\n");
    ASSERT_EQ(chmod(root_.root().c_str(), 0755), 0);
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    const auto child = zrktest::runChild([&] {
        if (!zrktest::dropPrivileges()) return 99;
        ReturnInfo ri{};
        CopyPairList list{};
        if (com_file_prepare(path.c_str(), &list, &ri) != -1) return 1;
        const std::string expected = "ZRKC1400 ERROR File open error. File name=(" + path + "). Cause=(13).\n";
        if (ri.iReturnClass != 14 || ri.uiMessageNo != 1400 || expected != ri.caMessage) return 2;
        return 0;
    });
    if (child.exitCode == 99) GTEST_SKIP() << "no unprivileged user";
    EXPECT_EQ(child.exitCode, 0);
}

TEST_F(GroupFile, ReadErrorIsAFileErrorNotTheEndOfTheFile) {
    // Reading a process's memory file at offset 0 fails with EIO.
    const char *path = "/proc/self/mem";
    ri_ = {};
    EXPECT_EQ(com_file_prepare(path, &list_, &ri_), -1);
    EXPECT_EQ(ri_.iReturnClass, 14);
    EXPECT_EQ(ri_.uiMessageNo, 1400u);
    EXPECT_STREQ(ri_.caMessage, "ZRKC1400 ERROR File open error. File name=(/proc/self/mem). Cause=(5).\n");
    EXPECT_EQ(list_.pNames, nullptr);
}

// ---- com_set_copypair --------------------------------------------------

class SetCopyPair : public GroupFile {};

TEST_F(SetCopyPair, OperandsMakeOneEntry) {
    ASSERT_EQ(com_set_copypair("/dev/sda", "/dev/sdb", 0, &list_, &ri_), 0);
    EXPECT_EQ(list_.pNames->uiForm, 1u);
    EXPECT_EQ(list_.iFromGroupFile, 0);
    EXPECT_EQ(names(), (Names{{"/dev/sda", "/dev/sdb"}}));

    com_file_release(&list_);
    ASSERT_EQ(com_set_copypair("/dev/sda", nullptr, 0x20, &list_, &ri_), 0);
    EXPECT_EQ(list_.pNames->uiForm, 2u);
    EXPECT_EQ(names(), (Names{{"/dev/sda", ""}}));
}

TEST_F(SetCopyPair, OperandOf1024CharactersIsRefused) {
    const std::string fits(1023, 'v');
    const std::string tooLong(1024, 'w');
    ASSERT_EQ(com_set_copypair(fits.c_str(), fits.c_str(), 0, &list_, &ri_), 0);
    EXPECT_EQ(names(), (Names{{fits, fits}}));
    com_file_release(&list_);

    for (auto [src, dst] : {std::pair{tooLong.c_str(), fits.c_str()}, std::pair{fits.c_str(), tooLong.c_str()},
                            std::pair{tooLong.c_str(), static_cast<const char *>(nullptr)}}) {
        ri_ = {};
        EXPECT_EQ(com_set_copypair(src, dst, 0, &list_, &ri_), -1);
        EXPECT_EQ(ri_.iReturnClass, 3);
        EXPECT_EQ(ri_.uiMessageNo, 1002u);
        const std::string message = ri_.caMessage;
        EXPECT_EQ(message.rfind("ZRKC1002 ERROR Invalid logical volume name. Volume name=(www", 0), 0u);
        EXPECT_EQ(message.size(), 511u);
        EXPECT_EQ(message.back(), '\n');
        EXPECT_EQ(list_.pNames, nullptr);
    }
}

TEST_F(SetCopyPair, AreaCheckOfAGroupFile) {
    const std::string path = write("a b\nc d\ne f\n");
    std::vector<unsigned char> area(8000, 0xAB);

    // 7704 bytes: two bytes short of three entries and the count.
    ri_.pPairArea = area.data();
    ri_.uiPairAreaLength = 7704;
    EXPECT_EQ(com_set_copypair(path.c_str(), "ignored", ZRKC_OPT_GROUP_FILE, &list_, &ri_), 1);
    EXPECT_EQ(ri_.iReturnClass, 3);
    EXPECT_EQ(ri_.uiMessageNo, 1015u);
    EXPECT_STREQ(ri_.caMessage, "ZRKC1015 WARNING Expand_error_information_area is insufficient.\n");
    EXPECT_EQ(ri_.uiNeedPairAreaSize, 7708u);
    EXPECT_EQ(area[0], 0xAB);  // untouched
    ASSERT_NE(list_.pNames, nullptr);  // the command releases it
    com_file_release(&list_);

    ReturnInfo ri{};
    ri.pPairArea = area.data();
    ri.uiPairAreaLength = 7708;
    ASSERT_EQ(com_set_copypair(path.c_str(), nullptr, ZRKC_OPT_GROUP_FILE, &list_, &ri), 0);
    EXPECT_EQ(ri.iReturnClass, 0);
    for (size_t i = 0; i < 7708; ++i) ASSERT_EQ(area[i], 0) << i;
    EXPECT_EQ(area[7708], 0xAB);
    EXPECT_EQ(names(), (Names{{"a", "b"}, {"c", "d"}, {"e", "f"}}));

    // No area at all: the needed size is reported.
    com_file_release(&list_);
    ri = {};
    ri.uiPairAreaLength = 100000;
    EXPECT_EQ(com_set_copypair(path.c_str(), nullptr, ZRKC_OPT_GROUP_FILE, &list_, &ri), 1);
    EXPECT_EQ(ri.uiNeedPairAreaSize, 7708u);
}

TEST_F(SetCopyPair, GroupFileErrorsReachTheResult) {
    ri_.uiPairAreaLength = 0;
    EXPECT_EQ(com_set_copypair(root_.path("none").c_str(), nullptr, ZRKC_OPT_GROUP_FILE, &list_, &ri_), -1);
    EXPECT_EQ(ri_.uiMessageNo, 1801u);
    const std::string path = write("a b c\n");
    EXPECT_EQ(com_set_copypair(path.c_str(), nullptr, ZRKC_OPT_GROUP_FILE, &list_, &ri_), -1);
    EXPECT_EQ(ri_.caMessage, Syntax(1));
    EXPECT_EQ(list_.pNames, nullptr);
}

}  // namespace
