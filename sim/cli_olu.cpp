#include "cli_olu.h"

#include "olu_status.h"

namespace zrksim {

using namespace clitext;

std::string runVolumeProtection(SimState &state, const Array &array, const Command &c) {
    c.allow({"-volume-number", "-copy-protection"});
    c.values("-copy-protection", {"enable", "disable"});
    if (!c.has("-copy-protection")) syntax(c.verb + " needs -copy-protection");
    std::uint64_t olu = c.required("-volume-number", 0xFFFFFFFFu);
    Array &a = state.model.arrays.at(array.name);
    auto it = a.volumes.find(static_cast<std::uint32_t>(olu));
    if (it == a.volumes.end()) throw CliError(cli_error::kInvalid, "no volume " + std::to_string(olu));
    Volume &v = it->second;
    if (v.snapData()) throw CliError(cli_error::kInvalid, "a snap data volume has no copy protection");
    if (v.bTier && c.verb == "set volume") throw CliError(cli_error::kTierVolume, "a tier volume");
    int role = v.iRole >= 0 ? v.iRole : a.ucRole;
    if (failoverGroup(a, v) != 0xFF && role == 2)
        throw CliError(cli_error::kProtectRefused, "the secondary side of a storage cluster");
    v.bCopyProtection = c.has("-copy-protection", "enable");
    return "00\n";
}

}  // namespace zrksim
