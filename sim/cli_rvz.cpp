#include "cli_rvz.h"

#include "bytes.h"
#include "session_ops.h"
#include "support.h"

#include <cstdint>
#include <string>

namespace zrksim {

namespace {

using namespace clitext;

constexpr std::size_t kListLen = 128;      // list 0x47
constexpr std::size_t kListParamLen = 120; // its length after byte 7
constexpr std::uint16_t kSend = 1;
constexpr std::uint16_t kReceive = 2;

}  // namespace

std::string showRvzPath(const SimState &state, const Array &array, const Command &c) {
    c.allow({});
    if (!Support(array.support).setUp(Group::Rvz)) throw CliError(cli_error::kNotSetUp, "no RVZ");
    std::string out = "00\n" + array.boxId + "\n" + hexNumber(array.remotes.size()) + "\n";
    for (std::size_t i = 0; i < array.remotes.size(); ++i) {
        out += line({boxIdOf(state.model, array.remotes[i]), hexNumber(i), "1", hexNumber(0x10 + i % 4),
                     hexNumber(0x20 + i % 4), "0", "0"});
    }
    return out;
}

std::string setRvzBuffer(SimState &state, const Array &array, const Command &c) {
    c.allow({"-partition", "-remote-boxid", "-buffer-type", "-forwarding-interval", "-monitoring-time"});
    c.values("-buffer-type", {"send", "receive"});
    const std::uint64_t id = c.required("-partition", 255);
    const std::string *box = c.get("-remote-boxid");
    if (box == nullptr) syntax(c.verb + " needs -remote-boxid");
    if (box->size() > kBoxIdLen) throw CliError(cli_error::kInvalid, "BoxID longer than 40 characters");

    // What the buffer holds now, for the options left out.
    auto it = array.rvzBuffers.find(static_cast<std::uint8_t>(id));
    const bool known = it != array.rvzBuffers.end();
    std::uint16_t type = known ? it->second.usType : kSend;
    if (c.has("-buffer-type")) type = c.has("-buffer-type", "send") ? kSend : kReceive;
    const std::uint64_t interval = c.number("-forwarding-interval", 0xFFFF, known ? it->second.usInterval : 0);
    const std::uint64_t monitor = c.number("-monitoring-time", 0xFFFFFFFFu, known ? it->second.uiMonitor : 0);

    Bytes list(kListLen, 0);
    list[0] = 0x47;
    put16(list, 6, kListParamLen);
    put16(list, 8, id);
    put16(list, 16, type);
    put16(list, 18, interval);
    put32(list, 20, monitor);
    putText(list, 24, kBoxIdLen, *box);
    const ScsiAnswer a = actOnList(state, array, list, ListFront::Cli);
    if (a.ucStatus == scsi::kGood) return "00\n";
    const std::uint8_t ascq = a.sense.size() > 13 ? a.sense[13] : 0;
    throw CliError(ascq == refusal::kNotSetUp ? cli_error::kNotSetUp : cli_error::kInvalid, "refused");
}

}  // namespace zrksim
