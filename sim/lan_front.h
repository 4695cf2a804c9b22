// The LAN interface management service as the library meets it on a loopback
// TCP port: one request per connection ("COUNT<TAB>" and exactly COUNT bytes
// of TAB-separated fields), one framed reply ("COUNT<TAB>BODY"). The service
// keeps the logins per array address, scrambles and unscrambles texts,
// answers its own alive and stop commands and passes every other "proc"
// command to the array's command-line interface (cli.h).
#pragma once

#include "faults.h"

#include <optional>
#include <string>
#include <vector>

namespace zrksim {

// What the server does with one connection once its request is complete.
struct LanOutcome {
    std::string out;         // bytes to send
    long lDelayMs = 0;       // wait this long before sending
    bool bDropAfter = false; // the reply was cut: close right after `out`
};

// Reads the request of one connection from `in` (the bytes so far; `ended`
// when the peer closed its side). Nothing while the request is incomplete;
// a malformed or cut request gets an outcome with nothing to send.
std::optional<LanOutcome> serveLan(SimState &state, const std::string &in, bool ended);

// The service's scrambling: at most 127 bytes in, at most 255 characters out
// (letters and digits only); false when the text cannot be transformed.
bool lanEncrypt(const std::string &text, std::string &out);
bool lanDecrypt(const std::string &text, std::string &out);

// Control commands of the LAN front (the words of the line; the raw line for
// texts); nothing when the command is not one of them. Throws
// std::runtime_error with the error text.
std::optional<std::vector<std::string>> lanControl(SimState &state, const std::vector<std::string> &words,
                                                   const std::string &line);

// A byte string with TAB, LF, CR, backslash and non-printing bytes escaped
// (\t, \n, \r, \\, \xHH), and back.
std::string escapeBytes(const std::string &bytes);
std::string unescapeBytes(const std::string &text);

}  // namespace zrksim
