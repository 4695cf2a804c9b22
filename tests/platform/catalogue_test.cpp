// Error catalogues: the lookups on files written here, the fault cases of
// the line reader, and the two catalogue files the product ships.
#include "install_root.h"
#include "platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override { dir_ = zrktest::makeTempDir(); }
    void TearDown() override { zrktest::removeTree(dir_); }

    std::string write(const std::string &text) {
        const std::string path = dir_ + "/catalogue";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        return path;
    }

    std::string dir_;
};

TEST_F(Catalogue, OneLineAnswersEachModeByItsColumn) {
    const std::string path = write("0x15100\ttext\t-\t0x1234\n");
    ErrInfoWxapi e{};
    ASSERT_EQ(get_err_info_wxapi_file(path.c_str(), ZRK_ERRINF_BY_ARRAY, 4660, &e), 0);
    EXPECT_EQ(e.iErrorCode, 0x15100);
    EXPECT_EQ(e.uiSenseCode, 0u);
    EXPECT_EQ(e.uiArrayCode, 0x1234u);
    EXPECT_EQ(e.uiReserved, 0u);
    EXPECT_STREQ(e.caMessage, "text\n");

    e = {};
    EXPECT_EQ(get_err_info_wxapi_file(path.c_str(), ZRK_ERRINF_BY_ERRNO, 86272, &e), 0);
    EXPECT_STREQ(e.caMessage, "text\n");
    EXPECT_EQ(get_err_info_wxapi_file(path.c_str(), ZRK_ERRINF_BY_ERRNO, 4660, &e), 1);
    // "-" in column 3 reads as 0.
    EXPECT_EQ(get_err_info_wxapi_file(path.c_str(), ZRK_ERRINF_BY_SENSE, 0, &e), 0);
}

// Short lines come first: they must not answer lookups by a column they lack.
const char *const kLibraryFile =
    "# comment line\n"
    "\n"
    "7\tshort\n"
    "8\n"
    "5\tfirst five\t0x050000\t-\n"
    "5\tsecond five\t-\t0x7\n"
    "12abc\ttrailing\t0x2x\t9z\n";

struct LibraryCase {
    int mode;
    int code;
    int result;
    const char *message;  // expected text when found
};

TEST_F(Catalogue, LibraryLookupsTakeTheFirstLineThatHasAndMatchesTheKey) {
    const std::string path = write(kLibraryFile);
    const LibraryCase cases[] = {
        {ZRK_ERRINF_BY_ERRNO, 5, 0, "first five\n"},     // first of two equal keys
        {ZRK_ERRINF_BY_ERRNO, 7, 0, "short\n"},          // key column 1 is present
        {ZRK_ERRINF_BY_ERRNO, 8, 0, ""},                 // no text column
        {ZRK_ERRINF_BY_ERRNO, 12, 0, "trailing\n"},      // digits read as far as they go
        {ZRK_ERRINF_BY_ERRNO, 0, 1, nullptr},            // comment and empty line skipped
        {ZRK_ERRINF_BY_ERRNO, 99, 1, nullptr},
        {ZRK_ERRINF_BY_SENSE, 0x050000, 0, "first five\n"},
        {ZRK_ERRINF_BY_SENSE, 0, 0, "second five\n"},    // not the short lines
        {ZRK_ERRINF_BY_SENSE, 2, 0, "trailing\n"},
        {ZRK_ERRINF_BY_ARRAY, 0, 0, "first five\n"},     // not the short lines
        {ZRK_ERRINF_BY_ARRAY, 7, 0, "second five\n"},
        {ZRK_ERRINF_BY_ARRAY, 9, 0, "trailing\n"},
        {4, 5, 1, nullptr},                              // no such mode
        {ZRK_ERRINF_BY_MSGNO, 5, 1, nullptr},            // a mode of the other catalogue
    };
    for (const LibraryCase &c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " code " + std::to_string(c.code));
        ErrInfoWxapi e;
        std::memset(&e, 0xAB, sizeof e);
        ASSERT_EQ(get_err_info_wxapi_file(path.c_str(), c.mode, c.code, &e), c.result);
        if (c.message != nullptr) {
            EXPECT_STREQ(e.caMessage, c.message);
            EXPECT_EQ(e.uiReserved, 0u);
        } else {
            EXPECT_EQ(static_cast<unsigned char>(e.caMessage[0]), 0xABu);  // untouched
        }
    }
}

TEST_F(Catalogue, RestOfAnOverlongLineIsNeverReadAsALine) {
    // The first 1023 characters of line 1 are its text; what follows looks
    // like an entry of its own.
    std::string first = "1\t" + std::string(1021, 'a');
    ASSERT_EQ(first.size(), 1023u);
    const std::string path = write(first + "77\tinjected\t-\t-\n" + "2\tafter\t-\t-\n");
    ErrInfoWxapi e{};
    EXPECT_EQ(get_err_info_wxapi_file(path.c_str(), ZRK_ERRINF_BY_ERRNO, 77, &e), 1);
    ASSERT_EQ(get_err_info_wxapi_file(path.c_str(), ZRK_ERRINF_BY_ERRNO, 1, &e), 0);
    EXPECT_EQ(std::string(e.caMessage), std::string(511, 'a'));  // cut, newline too
    ASSERT_EQ(get_err_info_wxapi_file(path.c_str(), ZRK_ERRINF_BY_ERRNO, 2, &e), 0);
    EXPECT_STREQ(e.caMessage, "after\n");
}

TEST_F(Catalogue, LongTextIsCutTo511CharactersAndNothingOverflows) {
    const std::string text(700, 'm');
    const std::string path = write("1234\t" + text + "\t3\t0x4321\n");
    ErrInfoVelk v{};
    ASSERT_EQ(get_err_info_velk_file(path.c_str(), ZRK_ERRINF_BY_MSGNO, 1234, &v), 0);
    EXPECT_EQ(std::strlen(v.caMessage), 511u);
    EXPECT_EQ(std::string(v.caMessage), text.substr(0, 511));
    EXPECT_EQ(v.iZrkErrno, 0x4321);  // the field behind the text is intact
    EXPECT_EQ(v.iReturnClass, 3);

    ErrInfoWxapi w{};
    const std::string fits(510, 'f');  // 510 characters and the newline fit
    const std::string path2 = write("1\t" + fits + "\t-\t-\n");
    ASSERT_EQ(get_err_info_wxapi_file(path2.c_str(), ZRK_ERRINF_BY_ERRNO, 1, &w), 0);
    EXPECT_EQ(std::string(w.caMessage), fits + "\n");
}

TEST_F(Catalogue, CommandLookupsPrefillTheDefaultAndReplaceTheWholeEntry) {
    const std::string path = write(
        "# class, number and line\n"
        "1215\tZRKC1215 ERROR one.\t3\t-\n"
        "1300\tZRKC1300 ERROR timed out.\t9\t40\n"
        "1301\tZRKC1301 WARNING short line\n");
    struct Case {
        int mode, code, result, cls, number, zrkErrno;
        const char *line;
    } const cases[] = {
        {ZRK_ERRINF_BY_MSGNO, 1215, 0, 3, 1215, 0, "ZRKC1215 ERROR one.\n"},
        {ZRK_ERRINF_BY_ZRKERR, 40, 0, 9, 1300, 40, "ZRKC1300 ERROR timed out.\n"},
        {ZRK_ERRINF_BY_ZRKERR, 0, 0, 3, 1215, 0, "ZRKC1215 ERROR one.\n"},  // "-" is 0
        {ZRK_ERRINF_BY_ZRKERR, 1300, 1, 5, 1200, 0, "ZRKC1200 ERROR Unexpected error.\n"},
        {ZRK_ERRINF_BY_MSGNO, 1301, 0, 0, 1301, 0, "ZRKC1301 WARNING short line\n"},
        {ZRK_ERRINF_BY_MSGNO, 9999, 1, 5, 1200, 0, "ZRKC1200 ERROR Unexpected error.\n"},
        {ZRK_ERRINF_BY_ERRNO, 1215, 1, 5, 1200, 0, "ZRKC1200 ERROR Unexpected error.\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " code " + std::to_string(c.code));
        ErrInfoVelk v;
        std::memset(&v, 0xAB, sizeof v);
        ASSERT_EQ(get_err_info_velk_file(path.c_str(), c.mode, c.code, &v), c.result);
        EXPECT_EQ(v.iReturnClass, c.cls);
        EXPECT_EQ(v.iMessageNo, c.number);
        EXPECT_STREQ(v.caMessage, c.line);
        EXPECT_EQ(v.iZrkErrno, c.zrkErrno);
    }
}

TEST_F(Catalogue, UnreadableFilesReportMinusOne) {
    const std::string missing = dir_ + "/none";
    ErrInfoWxapi w;
    std::memset(&w, 0xAB, sizeof w);
    EXPECT_EQ(get_err_info_wxapi_file(missing.c_str(), ZRK_ERRINF_BY_ERRNO, 1, &w), -1);
    EXPECT_EQ(static_cast<unsigned char>(w.caMessage[0]), 0xABu);
    EXPECT_EQ(get_err_info_wxapi_file(dir_.c_str(), ZRK_ERRINF_BY_ERRNO, 1, &w), -1);  // a directory
    EXPECT_EQ(get_err_info_wxapi_file(nullptr, ZRK_ERRINF_BY_ERRNO, 1, &w), -1);
    EXPECT_EQ(get_err_info_wxapi_file(missing.c_str(), ZRK_ERRINF_BY_ERRNO, 1, nullptr), -1);

    ErrInfoVelk v{};
    EXPECT_EQ(get_err_info_velk_file(missing.c_str(), ZRK_ERRINF_BY_ZRKERR, 40, &v), -1);
    EXPECT_EQ(v.iReturnClass, 5);
    EXPECT_EQ(v.iMessageNo, 1200);
    EXPECT_STREQ(v.caMessage, "ZRKC1200 ERROR Unexpected error.\n");
    EXPECT_EQ(get_err_info_velk_file(missing.c_str(), ZRK_ERRINF_BY_ZRKERR, 40, nullptr), -1);
}

TEST(CatalogueInstalled, LookupsReadTheFilesOfTheBinDirectory) {
    zrktest::InstallRoot root;
    root.write("bin/.zrk_errinf_wxapi", "0x20500\tfrom the bin folder\t-\t0x1234\n");
    ErrInfoWxapi w{};
    ASSERT_EQ(get_err_info_wxapi(ZRK_ERRINF_BY_ARRAY, 0x1234, &w), 0);
    EXPECT_EQ(w.iErrorCode, 0x20500);
    EXPECT_STREQ(w.caMessage, "from the bin folder\n");

    std::remove(root.path("bin/.zrk_errinf_velk").c_str());
    ErrInfoVelk v{};
    EXPECT_EQ(get_err_info_velk(ZRK_ERRINF_BY_MSGNO, 1215, &v), -1);
    EXPECT_EQ(v.iMessageNo, 1200);
    EXPECT_STREQ(v.caMessage, "ZRKC1200 ERROR Unexpected error.\n");
}

// ---- the shipped files ----------------------------------------------------

std::vector<std::vector<std::string>> entryLines(const std::string &path) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> lines;
    std::string line;
    while (std::getline(in, line)) {
        EXPECT_LE(line.size(), 1023u) << line;
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> cols;
        std::stringstream ss(line);
        std::string col;
        while (std::getline(ss, col, '\t')) cols.push_back(col);
        lines.push_back(cols);
    }
    return lines;
}

// A number column as the shipped files write it: decimal digits or "0x" and
// hexadecimal digits.
bool isNumber(const std::string &col) {
    const bool hex = col.rfind("0x", 0) == 0;
    const std::string digits = hex ? col.substr(2) : col;
    const char *allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    return !digits.empty() && digits.find_first_not_of(allowed) == std::string::npos;
}

unsigned long number(const std::string &col) {
    if (col == "-") return 0;
    return col.rfind("0x", 0) == 0 ? std::stoul(col.substr(2), nullptr, 16) : std::stoul(col);
}

TEST(ShippedCatalogue, LibraryFileIsWellFormed) {
    const auto lines = entryLines(std::string(ZRK_SOURCE_DIR) + "/data/.zrk_errinf_wxapi");
    ASSERT_GT(lines.size(), 100u);
    std::set<unsigned long> codes, senses, arrays;
    for (const auto &cols : lines) {
        ASSERT_EQ(cols.size(), 4u) << cols[0];
        EXPECT_TRUE(isNumber(cols[0])) << cols[0];
        EXPECT_FALSE(cols[1].empty()) << cols[0];
        EXPECT_LT(cols[1].size(), 511u) << cols[0];
        for (int i : {2, 3}) {
            EXPECT_TRUE(cols[i] == "-" || isNumber(cols[i])) << cols[0];
        }
        EXPECT_TRUE(codes.insert(number(cols[0])).second) << "duplicate " << cols[0];
        if (cols[2] != "-") {
            EXPECT_TRUE(senses.insert(number(cols[2])).second) << cols[2];
        }
        if (cols[3] != "-") {
            EXPECT_TRUE(arrays.insert(number(cols[3])).second) << cols[3];
        }
        // Codes 1 to 97 have built-in texts; 0 would turn a failure into success.
        EXPECT_TRUE(number(cols[0]) == 24 || number(cols[0]) >= 98) << cols[0];
    }
}

TEST(ShippedCatalogue, CommandFileIsWellFormed) {
    const auto lines = entryLines(std::string(ZRK_SOURCE_DIR) + "/data/.zrk_errinf_velk");
    ASSERT_GE(lines.size(), 4u);
    std::map<std::string, std::pair<std::string, std::string>> byNumber;
    std::set<unsigned long> answers;
    for (const auto &cols : lines) {
        ASSERT_EQ(cols.size(), 4u) << cols[0];
        EXPECT_TRUE(isNumber(cols[0])) << cols[0];
        // "ZRKCnnnn CLASS text" with nnnn the line's message number.
        char identifier[16];
        std::snprintf(identifier, sizeof identifier, "ZRKC%04lu ", number(cols[0]));
        EXPECT_EQ(cols[1].rfind(identifier, 0), 0u) << cols[1];
        const std::string rest = cols[1].substr(std::strlen(identifier));
        EXPECT_TRUE(rest.rfind("ERROR ", 0) == 0 || rest.rfind("WARNING ", 0) == 0 ||
                    rest.rfind("INFO ", 0) == 0)
            << cols[1];
        EXPECT_TRUE(isNumber(cols[2])) << cols[0];
        EXPECT_TRUE(cols[3] == "-" || isNumber(cols[3])) << cols[0];
        if (cols[3] != "-") {
            EXPECT_TRUE(answers.insert(number(cols[3])).second) << cols[3];
        }
        // One message number, one text and class.
        auto [it, fresh] = byNumber.emplace(cols[0], std::make_pair(cols[1], cols[2]));
        if (!fresh) {
            EXPECT_EQ(it->second, std::make_pair(cols[1], cols[2])) << cols[0];
        }
    }
}

TEST(ShippedCatalogue, KnownCodesAreFound) {
    zrktest::InstallRoot root;  // copies the shipped files into bin
    struct Case {
        int mode, code, errorCode;
    } const library[] = {
        {ZRK_ERRINF_BY_ERRNO, 904, 904},
        {ZRK_ERRINF_BY_ERRNO, 0x15310, 0x15310},
        {ZRK_ERRINF_BY_ERRNO, 0x2BF0E, 0x2BF0E},
        {ZRK_ERRINF_BY_ARRAY, 0xBF0E, 0x1BF0E},
        {ZRK_ERRINF_BY_ARRAY, 0x5321, 0x15321},
        {ZRK_ERRINF_BY_SENSE, 0x062A06, 104},
        {ZRK_ERRINF_BY_SENSE, 0x02040B, 99},
        {ZRK_ERRINF_BY_SENSE, 0, 24},  // no sense data keeps 24
    };
    for (const Case &c : library) {
        SCOPED_TRACE(c.code);
        ErrInfoWxapi w{};
        ASSERT_EQ(get_err_info_wxapi(c.mode, c.code, &w), 0);
        EXPECT_EQ(w.iErrorCode, c.errorCode);
        EXPECT_EQ(w.caMessage[std::strlen(w.caMessage) - 1], '\n');
    }
    ErrInfoWxapi w{};
    EXPECT_EQ(get_err_info_wxapi(ZRK_ERRINF_BY_ARRAY, 0x1234, &w), 1);

    struct VelkCase {
        int mode, code, cls, number;
    } const command[] = {
        {ZRK_ERRINF_BY_MSGNO, 1215, 3, 1215},
        {ZRK_ERRINF_BY_MSGNO, 1216, 6, 1216},
        {ZRK_ERRINF_BY_MSGNO, 1217, 6, 1217},
        {ZRK_ERRINF_BY_ZRKERR, 99, 6, 1217},
        {ZRK_ERRINF_BY_ZRKERR, 0, 5, 1200},
    };
    for (const VelkCase &c : command) {
        SCOPED_TRACE(c.code);
        ErrInfoVelk v{};
        ASSERT_EQ(get_err_info_velk(c.mode, c.code, &v), 0);
        EXPECT_EQ(v.iReturnClass, c.cls);
        EXPECT_EQ(v.iMessageNo, c.number);
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "ZRKC%04d ", c.number);
        EXPECT_EQ(std::string(v.caMessage).rfind(prefix, 0), 0u) << v.caMessage;
    }
}

}  // namespace
