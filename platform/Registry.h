#pragma once

#include "platform/RegistryHive.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The settings store that stands in for the Windows registry: two hives, each a text file in the
// format of registry export files (platform/RegistryHive.h).
//
//   HKEY_CURRENT_USER   $XDG_CONFIG_HOME/<registry key>/registry.reg (XDG_CONFIG_HOME defaults
//                       to ~/.config); created on the first write.
//   HKEY_LOCAL_MACHINE  <registry key>/registry.reg in the first folder of $XDG_CONFIG_DIRS
//                       (default /etc/xdg) that holds one; read only, never written.
//
// <registry key> is the registry key name the application object sets at start-up ("Tarnwick").
//
// Every operation goes to the file afresh: a key handle holds no values, so what one program
// writes, another reads at its next query. A write locks the hive (through the companion file
// registry.reg.lock, since the hive itself is replaced), re-reads it, changes the one key or
// value, writes registry.reg.tmp, syncs it and renames it over the hive. Two programs therefore
// never lose each other's values, and a program killed during a write leaves the hive as it was.
// A hive that cannot be parsed reads as empty; before the next write it is moved aside to
// registry.reg.damaged-N (never overwritten), and the write starts a fresh hive. The store keeps
// a record of every such move (TakeHivesMovedAside), so that the program can tell the person whose
// settings those were where the old file went.
//
// Typical use, as the Windows calls would be:
//
//     // RegCreateKey(HKEY_CURRENT_USER, "Software\\Tarnwick\\Velmora", &key)
//     if (auto key = platform::RegistryKey::Create(platform::RootKey::CurrentUser,
//                                                  platform::ApplicationKeyPath())) {
//         key->Set("OpenDirType", platform::REG_DWORD, bytes);          // RegSetValueEx
//         std::optional<platform::RegistryValue> v = key->Query("OpenDirType");  // RegQueryValueEx
//     }   // the handle's end is RegCloseKey
//
// For typed reads and writes with defaults use WriteRegDword, WriteRegString, ReadRegDword and
// ReadRegString of platform/XTPRegistryManager.h.
namespace platform {

enum class RootKey { CurrentUser, LocalMachine };

// The root's name in hive files: "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE".
std::string_view RootKeyName(RootKey root);

// The application's place in the registry, set once at start-up by the application object:
// the registry key names the maker ("Tarnwick"), the profile name the product ("Velmora").
// Both start empty; while the registry key name is empty (or not a plain folder name) there is no
// hive and every key fails to open.
void SetRegistryKeyName(std::string name);
const std::string& RegistryKeyName();
void SetProfileName(std::string name);
const std::string& ProfileName();
// The application key, "Software\<registry key>\<profile name>"; empty while a name is unset.
std::string ApplicationKeyPath();

// Where the hives are, from the environment at the moment of the call. Empty when there is no
// hive: no registry key name, no home folder, or (for the machine) no folder that holds one.
std::string UserHivePath();
std::string MachineHivePath();

// Why the last hive write of the calling thread that failed did so, as an errno value (EACCES,
// ENOSPC, EROFS...); 0 when its last write succeeded or none was made. Set by every write
// (RegistryKey::Create and Set of HKEY_CURRENT_USER).
int LastHiveWriteError();

// A damaged hive that a write moved aside: where it was and where it is now.
struct MovedHive {
    std::string from;
    std::string to;
};
// The hives moved aside since the last call, in the order of the moves; each move is returned
// once. Safe to call from any thread.
std::vector<MovedHive> TakeHivesMovedAside();

// An open key: a root and a path below it (names separated by backslashes, compared ignoring
// case). A default-constructed handle is never made; opening returns nothing on failure.
class RegistryKey {
public:
    enum class Access { Read, ReadWrite };

    // RegOpenKeyEx: the key if it exists. An empty path is the root itself, which always exists.
    static std::optional<RegistryKey> Open(RootKey root, std::string_view path,
                                           Access access = Access::Read);
    // RegCreateKeyEx / RegCreateKey: the key, created with every missing parent when it does not
    // exist yet (which writes the hive). Below HKEY_LOCAL_MACHINE, whose hive is never written,
    // this opens existing keys only. Fails when a name cannot be stored or the write fails.
    static std::optional<RegistryKey> Create(RootKey root, std::string_view path,
                                             Access access = Access::ReadWrite);

    // RegQueryValueEx: the value's type and bytes, or nothing when it (or the key) is missing.
    std::optional<RegistryValue> Query(std::string_view name) const;
    // RegSetValueEx: stores the value (replacing one of the same name, ignoring case) and
    // re-creates the key should it have disappeared meanwhile. False for a read-only handle, any
    // key of HKEY_LOCAL_MACHINE, a name with a line break or zero, or a failed write.
    bool Set(std::string_view name, std::uint32_t type, std::string_view data) const;

    RootKey Root() const { return root_; }

private:
    RegistryKey(RootKey root, std::vector<std::string> path, std::string hiveFile, Access access)
        : root_(root), path_(std::move(path)), hiveFile_(std::move(hiveFile)), access_(access) {}

    RootKey root_;
    std::vector<std::string> path_;  // from the top of the hive, the root's name first
    std::string hiveFile_;
    Access access_;
};

// ---- For tests only ----------------------------------------------------------------------------

// The steps of a hive write, at which a test may stop the writer (for instance kill the process)
// to show that the hive survives a crash at any of them.
enum class HiveWriteStep {
    TemporaryWritten,  // registry.reg.tmp holds the new hive, not yet synced
    TemporarySynced,   // registry.reg.tmp is on disk
    Renamed,           // registry.reg.tmp has replaced the hive (the folder not yet synced)
};
// Called at each step of every hive write of this process while set; empty to unset.
void SetHiveWriteHook(std::function<void(HiveWriteStep)> hook);

}  // namespace platform
