#pragma once

#include <string>

// The account the process runs for: its real user id, as the files it writes belong to it. The
// one place the home folder and the login name are looked up, so that the settings, the method
// copies, the audit trail's "user" and the protocol's operator all speak of the same account.
// Thread-safe (the account database is read with getpwuid_r); nothing is cached, so a test's
// change of HOME is seen.
namespace platform {

// The account's record in the system's account database; empty fields when there is none.
struct AccountRecord {
    std::string login;  // pw_name
    std::string gecos;  // pw_gecos: the full name and other comma-separated fields
    std::string home;   // pw_dir
};
AccountRecord UserAccount();

// $HOME when it is an absolute path, else the account's home folder when that is one; "" when
// neither is.
std::string HomeFolder();

// The account's login name; without a record, $LOGNAME or $USER; else the numeric user id.
std::string LoginName();

}  // namespace platform
