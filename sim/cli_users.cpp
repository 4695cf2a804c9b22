#include "cli_users.h"

#include "model.h"

namespace zrksim {

namespace {

using namespace clitext;

// Account codes of "test authentication".
constexpr std::uint32_t kAuthenticated = 0;
constexpr std::uint32_t kRefused = 1;

}  // namespace

std::string showUsers(const SimState &state, const Command &command) {
    command.allow({});
    std::string rows;
    for (const auto &[name, password] : state.model.users) {
        (void)password;
        Account account;
        auto it = state.model.accounts.find(name);
        if (it != state.model.accounts.end()) account = it->second;
        rows += line({name, account.role, hexNumber(account.uiState), hexNumber(account.uiFlags)});
    }
    return "00\n" + hexNumber(state.model.users.size()) + "\n" + rows;
}

std::string testAuthentication(const SimState &state, const Command &command) {
    command.allow({"-name", "-password"});
    onlyOnce(command, {"-name", "-password"});
    const std::string *name = command.get("-name");
    const std::string *password = command.get("-password");
    if (name == nullptr || password == nullptr) syntax(command.verb + " needs -name and -password");
    // As the LAN login: without any account every non-empty name passes.
    const auto &users = state.model.users;
    auto it = users.find(*name);
    const bool valid = users.empty() ? !name->empty() : it != users.end() && it->second == *password;
    return "00\n" + hexNumber(valid ? kAuthenticated : kRefused) + "\n";
}

}  // namespace zrksim
