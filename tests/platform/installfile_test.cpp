// The installation file's reader (installfile.h) on real files: which line
// of a key counts, the key lines in the file's order, long lines, and a
// failed read.
#include "fileread.h"
#include "install_root.h"
#include "installfile.h"
#include "sysio.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

namespace {

using zrkplatform::InstallKey;
using zrkplatform::InstallValues;

struct Read {
    int iError = -1;
    InstallValues tValues;
    std::vector<std::string> vSeen; // "key=value" of each key line told
};

Read ReadText(const zrktest::InstallRoot &root, const std::string &text) {
    root.write("bin/.zrkc_install.sys", text);
    Read read;
    zrkplatform::FileDescriptor fd(zrkplatform::sys::Open(
        zrkplatform::InstallFileUnder(root.root()).c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_GE(fd.Get(), 0);
    read.iError = zrkplatform::ReadInstallFile(fd.Get(), read.tValues,
                                               [&](InstallKey key, const std::string &value) {
                                                   read.vSeen.push_back(InstallKeyText(key) + value);
                                               });
    return read;
}

TEST(InstallFile, TheLastLineOfEachKeyCounts) {
    const std::string longValue = "/" + std::string(9000, 'l');
    const struct {
        const char *title;
        std::string text;
        std::optional<std::string> etc, opt, jre;
        std::vector<std::string> seen;
    } cases[] = {
        {"as zrkcsetpath writes it", "zrkc_optdir=/o\nzrkc_etcdir=/e\nzrkc_jredir=/j\n", "/e", "/o", "/j",
         {"zrkc_optdir=/o", "zrkc_etcdir=/e", "zrkc_jredir=/j"}},
        {"no last line feed, keys repeated", "zrkc_etcdir=/a\nzrkc_jredir=\nzrkc_etcdir=/b", "/b", std::nullopt,
         "", {"zrkc_etcdir=/a", "zrkc_jredir=", "zrkc_etcdir=/b"}},
        {"other lines and near keys", "# zrkc_etcdir=/x\n zrkc_etcdir=/y\nzrkc_etcdir /z\nzrkc_optdir=rel\n",
         std::nullopt, "rel", std::nullopt, {"zrkc_optdir=rel"}},
        {"a value ends at a NUL", std::string("zrkc_etcdir=/a\0b\n", 17), "/a", std::nullopt, std::nullopt,
         {"zrkc_etcdir=/a"}},
        {"empty", "", std::nullopt, std::nullopt, std::nullopt, {}},
        // A line longer than 8192 bytes counts with those, and a key later in
        // it is no line of its own.
        {"a long line", "zrkc_etcdir=" + longValue + "zrkc_optdir=/in\nzrkc_jredir=/j\n",
         longValue.substr(0, 8192 - 12), std::nullopt, "/j",
         {"zrkc_etcdir=" + longValue.substr(0, 8192 - 12), "zrkc_jredir=/j"}},
    };
    zrktest::InstallRoot root;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        const Read read = ReadText(root, c.text);
        EXPECT_EQ(read.iError, 0);
        EXPECT_EQ(read.tValues.Get(InstallKey::kEtcDir), c.etc);
        EXPECT_EQ(read.tValues.Get(InstallKey::kOptDir), c.opt);
        EXPECT_EQ(read.tValues.Get(InstallKey::kJreDir), c.jre);
        EXPECT_EQ(read.vSeen, c.seen);
    }
}

TEST(InstallFile, AFailedReadIsItsErrorNumber) {
    zrktest::InstallRoot root;
    zrkplatform::FileDescriptor folder(zrkplatform::sys::Open(root.bin().c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_GE(folder.Get(), 0);
    InstallValues values;
    EXPECT_EQ(zrkplatform::ReadInstallFile(folder.Get(), values), EISDIR);
    EXPECT_FALSE(values.Get(InstallKey::kEtcDir));
}

} // namespace
