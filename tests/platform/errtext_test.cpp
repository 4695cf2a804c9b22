// Error texts: ZRKstrerror and ZRKperror over the built-in table, the library
// catalogue and the "Error %d" / perror fallbacks.
#include "child.h"
#include "install_root.h"
#include "zrkapi.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct TextCase {
    int code;
    const char *text;
};

TEST(ZRKstrerror, BuiltInTexts) {
    const TextCase cases[] = {
        {1, "unexpected error."},
        {34, "no permission."},
        {37, "invalid option flag"},
        {93, "The copy session is used by cascade copy session."},
        {96, "This operation cannot be executed for the NAS resource."},
        {97, "This operation cannot be executed for the NAS resource is in use."},
    };
    for (const TextCase &c : cases) EXPECT_STREQ(ZRKstrerror(c.code), c.text) << c.code;
}

TEST(ZRKstrerror, CodesWithoutTextFallBackToErrorNumberWithoutCatalogue) {
    const std::string empty = zrktest::makeTempDir();  // no bin folder, no catalogue
    setenv("QRVNZRKC_PATH", empty.c_str(), 1);
    const TextCase cases[] = {
        {0, "Error 0"},   {94, "Error 94"}, {95, "Error 95"},  {98, "Error 98"},
        {99, "Error 99"}, {-5, "Error -5"}, {904, "Error 904"}, {INT_MIN, "Error -2147483648"},
    };
    for (const TextCase &c : cases) {
        errno = ENOSPC;
        const char *text = ZRKstrerror(c.code);
        ASSERT_NE(text, nullptr) << c.code;
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(errno, ENOSPC) << "the lookup must leave errno alone";
    }
    zrktest::removeTree(empty);
}

TEST(ZRKstrerror, CodesWithoutTextComeFromTheCatalogue) {
    zrktest::InstallRoot root;
    root.write("bin/.zrk_errinf_wxapi",
               "94\tninety-four.\t-\t-\n"
               "98\tninety-eight.\t-\t-\n"
               "-5\tminus five.\t-\t-\n"
               "0x20500\tarray text.\t-\t0x1234\n");
    const TextCase cases[] = {
        {94, "ninety-four.\n"},
        {98, "ninety-eight.\n"},
        {-5, "minus five.\n"},
        {0x20500, "array text.\n"},
        {0x1234, "Error 4660"},  // the array code column is not the error code
        {34, "no permission."},  // the table comes first
    };
    for (const TextCase &c : cases) EXPECT_STREQ(ZRKstrerror(c.code), c.text) << c.code;
}

TEST(ZRKstrerror, ShippedCatalogueGivesTheLinkCodesTheirTexts) {
    zrktest::InstallRoot root;
    EXPECT_STREQ(ZRKstrerror(904), "The reply of the VASTREL Disk storage system is invalid.\n");
    EXPECT_STREQ(ZRKstrerror(0x15310), "Parameter error.\n");
}

struct PerrorCase {
    const char *name;
    bool catalogue;       // the shipped catalogue is installed
    int code;             // ZRKerrno
    const char *message;  // argument of ZRKperror
    std::string expected; // standard error
};

TEST(ZRKperror, PrintsTableCatalogueOrSystemText) {
    const std::string enospc = std::strerror(ENOSPC);
    const std::string link = "The reply of the VASTREL Disk storage system is invalid.\n";
    const PerrorCase cases[] = {
        {"table alone", true, 34, nullptr, "no permission.\n"},
        {"table with message", true, 34, "zrk", "zrk : no permission.\n"},
        {"catalogue alone", true, 904, nullptr, link + "\n"},
        {"catalogue with message", true, 904, "zrk", "zrk : " + link + "\n"},
        {"no text, no line", true, 94, "zrk", "zrk: " + enospc + "\n"},
        {"no line, no message", true, 12345, nullptr, enospc + "\n"},
        {"no catalogue", false, 904, "zrk", "zrk: " + enospc + "\n"},
    };
    for (const PerrorCase &c : cases) {
        SCOPED_TRACE(c.name);
        zrktest::ChildResult r = zrktest::runChild([&] {
            zrktest::InstallRoot root;
            if (!c.catalogue) std::remove(root.path("bin/.zrk_errinf_wxapi").c_str());
            ZRKerrno = c.code;
            errno = ENOSPC;  // what perror reports, whatever the lookup did to errno
            ZRKperror(c.message);
            return 0;
        });
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.err, c.expected);
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
