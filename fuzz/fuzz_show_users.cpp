// Arbitrary "show users" replies through the account query's parser, and the
// rows it hands out through the account check's comparison; the remote
// BoxID list built from as many path rows as the input asks for.
//
// Input: byte 0 the length L of a user name (byte 0 modulo 140); bytes 1
// to L the name (up to the first NUL); byte L + 1 a number of path rows, plus
// 256 when byte 0 is 140 or more; the rest the reply text as the link hands
// it over (up to the first NUL).
#include "../ip/ipremote.h"
#include "../ip/ipshow_users.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kGuard = 64;
constexpr unsigned char kFill = 0xA5;

// The field's text up to its first zero byte, never past its width.
std::string Field(const char *field, size_t width) {
    const void *zero = std::memchr(field, '\0', width);
    return std::string(field, zero == nullptr ? width
                                              : static_cast<const char *>(zero) - field);
}

// What the account check must decide, said the long way round.
bool Usable(const CliUser &row, const std::string &name) {
    if (name.size() >= IP_USER_NAME_LEN) return false;
    return Field(row.caUserName, sizeof row.caUserName) == name &&
           Field(row.caRole, sizeof row.caRole) == "Software" && row.uiStatus == 1;
}

// The parser's outputs with guard bytes after them.
struct Outputs {
    int iCount;
    CliUser *pRows;
    unsigned char ucaGuard[kGuard];
};

void CheckUsers(const std::string &text, const std::string &name) {
    Outputs out;
    std::memset(&out, kFill, sizeof out);
    const int rc = zrkip::ParseUsersText(text.c_str(), &out.iCount, &out.pRows);
    for (unsigned char g : out.ucaGuard) {
        if (g != kFill) abort();
    }
    if (rc != 0) {
        if (rc != -1 || ZRKerrno == 0 || out.pRows != nullptr) abort();
        return;
    }
    if (out.iCount < 0 || (out.iCount == 0) != (out.pRows == nullptr)) abort();
    for (int j = 0; j < out.iCount; ++j) {
        const CliUser &row = out.pRows[j];
        for (unsigned char spare : row.ucaSpare) {
            if (spare != 0) abort();
        }
        if (zrkip::AccountUsable(row, name.c_str()) != Usable(row, name)) abort();
    }
    std::free(out.pRows);
}

void CheckRemoteList(size_t rows, const std::string &name) {
    std::vector<unsigned char> boxes(rows * ZRK_BOXID_LEN + 1, 0);
    for (size_t i = 0; i < boxes.size(); ++i) {
        boxes[i] = name.empty() ? static_cast<unsigned char>(i) : name[i % name.size()];
    }
    unsigned char own[ZRK_BOXID_LEN];
    std::memset(own, 'O', sizeof own);
    std::vector<unsigned char> list(IP_REMOTE_LIST_LEN + kGuard, kFill);
    const bool filled = zrkip::FillRemoteBoxIDList(own, boxes.data(), rows, list.data());
    for (size_t i = IP_REMOTE_LIST_LEN; i < list.size(); ++i) {
        if (list[i] != kFill) abort();
    }
    if (filled != (rows <= IP_REMOTE_PATH_ROWS)) abort();
    if (!filled) {
        for (size_t i = 0; i < IP_REMOTE_LIST_LEN; ++i) {
            if (list[i] != kFill) abort();
        }
        return;
    }
    if (list[IP_REMOTE_COUNT_AT] != rows) abort();
    std::vector<unsigned char> out(IP_REMOTE_LIST_OUT_LEN + kGuard, kFill);
    zrkip::CutRemoteBoxIDList(list.data(), out.data());
    for (size_t i = IP_REMOTE_LIST_OUT_LEN; i < out.size(); ++i) {
        if (out[i] != kFill) abort();
    }
    const size_t kept = out[IP_REMOTE_COUNT_AT];
    if (kept > IP_REMOTE_OUT_ENTRIES || kept != (rows < 64 ? rows : 64)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2 || size > 65536) return 0;
    const size_t nameLength = data[0] % 140;
    if (size < nameLength + 2) return 0;
    // The account check takes a terminated name.
    const char *namePart = reinterpret_cast<const char *>(data + 1);
    const std::string name(namePart, strnlen(namePart, nameLength));
    const size_t rows = data[nameLength + 1] + (data[0] >= 140 ? 256u : 0u);
    const char *rest = reinterpret_cast<const char *>(data + nameLength + 2);
    const std::string text(rest, strnlen(rest, size - nameLength - 2));
    CheckUsers(text, name);
    CheckRemoteList(rows, name);
    return 0;
}
