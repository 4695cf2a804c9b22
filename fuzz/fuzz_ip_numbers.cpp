// The pure readers and writers of the LAN link on arbitrary text: the reply
// numbers (IPReadHex, IPReadHex64), the array error code mapping (table and
// catalogue), the automatic-logout test of a reply, the address split and
// the request text of every operation.
//
// Input: byte 0 picks the reader; the rest is the text (cut at its first
// NUL). The request builder takes its fields from the text split at \x01.
#include "../ip/iplink.h"
#include "fuzz_root.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

std::vector<std::string> Fields(const std::string &text) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\x01', start);
        fields.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    fields.resize(std::max<size_t>(fields.size(), 5));
    return fields;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The catalogue the error mapping reads.
    zrkfuzz::InstallRoot::Get().InstallCatalogue(".zrk_errinf_wxapi");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 8192) return 0;
    const std::string text(reinterpret_cast<const char *>(data + 1),
                           strnlen(reinterpret_cast<const char *>(data + 1), size - 1));
    ZRKerrno = 0;
    switch (data[0] % 6) {
    case 0: {
        uint32_t value = 0xA5A5A5A5u;
        const int rc = IPReadHex(text.c_str(), &value);
        Check(rc == 0 || (rc == -1 && ZRKerrno == ZRK_ERR_REPLY_NUMBER));
        uint64_t wide = 0;
        const int rc64 = IPReadHex64(text.c_str(), &wide);
        Check(rc64 == rc);
        if (rc == 0) Check(value == static_cast<uint32_t>(wide));
        break;
    }
    case 1: {
        // A code from the text's first bytes, through the table and the catalogue.
        uint32_t code = 0;
        std::memcpy(&code, text.data(), std::min<size_t>(sizeof code, text.size()));
        const int mapped = IPArrayErrorValue(code);
        IPSet_ZRKerrno_main(static_cast<int>(code));
        if (mapped != 0) Check(ZRKerrno == mapped);
        Check(ZRKerrno != 0 || code == 0);
        break;
    }
    case 2: {
        const size_t tab = text.find('\t');
        const std::string command = text.substr(0, tab);
        const std::string body = tab == std::string::npos ? std::string() : text.substr(tab + 1);
        const int rc = IPNeedsAutoLogout(command.c_str(), body.c_str());
        Check(rc == 0 || rc == 1);
        if (rc == 1) Check(body.size() >= 7 && body.compare(3, 4, "9403") == 0);
        break;
    }
    case 3: {
        char host[IP_HOST_MAX + 1];
        char port[IP_PORT_MAX + 1];
        std::memset(host, 0x5A, sizeof host);
        std::memset(port, 0x5A, sizeof port);
        const int rc = IPSplitAddress(text.c_str(), host, port);
        Check(rc == 0 || rc == -1);
        if (rc == 0) {
            Check(std::memchr(host, '\0', sizeof host) != nullptr);
            Check(std::memchr(port, '\0', sizeof port) != nullptr);
        }
        break;
    }
    default: {
        const std::vector<std::string> f = Fields(text);
        for (int op = IP_OP_OPEN; op <= IP_OP_DECRYPT; ++op) {
            char *request = nullptr;
            size_t length = 0;
            const int rc = IPBuildRequest(static_cast<IPOperation>(op), f[0].c_str(), f[1].c_str(),
                                          f[2].c_str(), f[3].c_str(), f[4].c_str(), &request,
                                          &length);
            Check(rc == 0 || rc == ZRK_ERR_PARAMETER || rc == ZRK_ERR_NO_MEMORY);
            if (rc == 0) {
                Check(request != nullptr && std::strlen(request) == length);
                // Seven fields: the count and six TABs, whatever the texts.
                size_t tabs = 0;
                for (size_t i = 0; i < length; ++i) tabs += request[i] == '\t';
                Check(tabs == 6);
            } else {
                Check(request == nullptr);
            }
            std::free(request);
        }
        break;
    }
    }
    return 0;
}
