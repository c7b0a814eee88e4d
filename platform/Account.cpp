#include "platform/Account.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform {

AccountRecord UserAccount() {
    AccountRecord account;
    // A buffer of the size the system suggests.
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd record{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &record, buffer.data(), buffer.size(), &found) == 0 && found) {
        account.login = found->pw_name ? found->pw_name : "";
        account.gecos = found->pw_gecos ? found->pw_gecos : "";
        account.home = found->pw_dir ? found->pw_dir : "";
    }
    return account;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    const std::string home = UserAccount().home;
    return !home.empty() && home[0] == '/' ? home : std::string();
}

std::string LoginName() {
    if (std::string login = UserAccount().login; !login.empty()) return login;
    for (const char* variable : {"LOGNAME", "USER"})
        if (const char* value = std::getenv(variable); value && *value) return value;
    return std::to_string(::getuid());
}

}  // namespace platform
