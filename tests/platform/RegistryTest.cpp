#include "platform/Registry.h"

#include "support/SettingsHome.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace {

using platform::RegistryKey;
using platform::RootKey;
using Access = platform::RegistryKey::Access;

constexpr const char* kApp = "Software\\Tarnwick\\Velmora";

std::string Text(const std::string& s) { return s + '\0'; }

std::optional<std::string> Read(RootKey root, const char* path, const char* name) {
    const auto key = RegistryKey::Open(root, path);
    if (!key) return std::nullopt;
    const auto value = key->Query(name);
    if (!value) return std::nullopt;
    return value->data;
}

bool Write(const char* path, const std::string& name, const std::string& text) {
    const auto key = RegistryKey::Create(RootKey::CurrentUser, path);
    return key && key->Set(name, platform::REG_SZ, Text(text));
}

TEST(Registry, PlacesTheHivesAsTheEnvironmentSays) {
    fixtures::SettingsHome home;
    EXPECT_EQ(platform::UserHivePath(), home.UserHive());
    EXPECT_EQ(platform::MachineHivePath(), "") << "no machine hive yet";
    const std::string second = home.Dir().WriteFile("machine2/Tarnwick/registry.reg", "x");
    EXPECT_EQ(platform::MachineHivePath(), second) << "the first folder that holds one";
    EXPECT_EQ(platform::MachineHivePath(), second);
    EXPECT_EQ(platform::ApplicationKeyPath(), kApp);

    ::setenv("XDG_CONFIG_HOME", "relative/path", 1);  // not absolute: ignored, as XDG says
    ::setenv("HOME", (home.Dir().Path() + "/home").c_str(), 1);
    EXPECT_EQ(platform::UserHivePath(), home.Dir().Path() + "/home/.config/Tarnwick/registry.reg");

    platform::SetRegistryKeyName("");
    EXPECT_EQ(platform::UserHivePath(), "");
    EXPECT_FALSE(RegistryKey::Create(RootKey::CurrentUser, kApp)) << "no hive without a registry key";
    platform::SetRegistryKeyName("../x");
    EXPECT_EQ(platform::UserHivePath(), "");
}

TEST(Registry, CreatesKeysAndStoresValues) {
    fixtures::SettingsHome home;
    EXPECT_FALSE(RegistryKey::Open(RootKey::CurrentUser, kApp));
    EXPECT_FALSE(std::filesystem::exists(home.UserHive())) << "opening creates nothing";
    EXPECT_TRUE(RegistryKey::Open(RootKey::CurrentUser, "")) << "the root always exists";

    const auto key = RegistryKey::Create(RootKey::CurrentUser, std::string(kApp) + "\\Ostrel");
    ASSERT_TRUE(key);
    EXPECT_TRUE(RegistryKey::Open(RootKey::CurrentUser, "software\\TARNWICK\\velmora"));
    EXPECT_TRUE(key->Set("mtd", platform::REG_SZ, Text("wine")));
    EXPECT_EQ(Read(RootKey::CurrentUser, "Software\\Tarnwick\\Velmora\\Ostrel", "MTD"), Text("wine"));
    EXPECT_TRUE(key->Set("MTD", platform::REG_SZ, Text("beer")));
    EXPECT_EQ(Read(RootKey::CurrentUser, "Software\\Tarnwick\\Velmora\\Ostrel", "mtd"), Text("beer"));
    EXPECT_EQ(fixtures::ReadFileBytes(home.UserHive()),
              "Windows Registry Editor Version 5.00\n"
              "\n[HKEY_CURRENT_USER]\n"
              "\n[HKEY_CURRENT_USER\\Software]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Tarnwick]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora\\Ostrel]\n"
              "\"mtd\"=\"beer\"\n")
        << "the first spelling of a name is kept";

    EXPECT_FALSE(key->Set("two\nlines", platform::REG_SZ, Text("x")));
    const auto readOnly = RegistryKey::Open(RootKey::CurrentUser, kApp, Access::Read);
    ASSERT_TRUE(readOnly);
    EXPECT_FALSE(readOnly->Set("x", platform::REG_SZ, Text("x")));
    EXPECT_FALSE(RegistryKey::Create(RootKey::CurrentUser, "Software\\\\x")) << "an empty key name";
}

TEST(Registry, NeverWritesTheMachineHive) {
    fixtures::SettingsHome home;
    EXPECT_FALSE(RegistryKey::Open(RootKey::LocalMachine, kApp)) << "no machine hive";
    const std::string text =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Velmora]\n\"OpenPath\"=\"/srv/data\"\n";
    const std::string path = home.WriteMachineHive(text);
    EXPECT_EQ(Read(RootKey::LocalMachine, kApp, "OpenPath"), Text("/srv/data"));
    EXPECT_EQ(Read(RootKey::CurrentUser, kApp, "OpenPath"), std::nullopt) << "the hives are apart";

    const auto key = RegistryKey::Create(RootKey::LocalMachine, kApp);  // opens the existing key
    ASSERT_TRUE(key);
    EXPECT_FALSE(key->Set("OpenPath", platform::REG_SZ, Text("/")));
    EXPECT_FALSE(RegistryKey::Create(RootKey::LocalMachine, "Software\\Other"));
    EXPECT_EQ(fixtures::ReadFileBytes(path), text);
}

// A hive that is not in the format reads as empty and survives under another name.
TEST(Registry, MovesADamagedHiveAsideBeforeWriting) {
    const std::string valid =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora]\n\"MethodPath\"=\"/srv/methods\"\n";
    const std::vector<std::pair<const char*, std::string>> damaged = {
        {"empty", ""},
        {"truncated", valid.substr(0, valid.size() - 8)},
        {"not the format", "[Settings]\nMethodPath=/srv/methods\n"},
        {"binary garbage", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
    };
    // Each move is on record for the program to report, once.
    const auto movedAside = [] {
        std::vector<std::pair<std::string, std::string>> moves;
        for (const platform::MovedHive& m : platform::TakeHivesMovedAside()) moves.emplace_back(m.from, m.to);
        return moves;
    };
    (void)movedAside();
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        fixtures::SettingsHome home;
        const std::string hive = home.WriteUserHive(bytes);
        EXPECT_EQ(Read(RootKey::CurrentUser, kApp, "MethodPath"), std::nullopt);
        EXPECT_FALSE(RegistryKey::Open(RootKey::CurrentUser, kApp));
        EXPECT_EQ(fixtures::ReadFileBytes(hive), bytes) << "reading changes nothing";
        EXPECT_TRUE(movedAside().empty());

        EXPECT_TRUE(Write(kApp, "mtd", "wine"));
        EXPECT_EQ(fixtures::ReadFileBytes(hive + ".damaged-1"), bytes);
        EXPECT_EQ(Read(RootKey::CurrentUser, kApp, "mtd"), Text("wine"));
        EXPECT_EQ(movedAside(), (std::vector<std::pair<std::string, std::string>>{{hive, hive + ".damaged-1"}}));
        EXPECT_TRUE(movedAside().empty());

        home.WriteUserHive(bytes);  // damaged again: the first copy stays, the second goes beside it
        EXPECT_TRUE(Write(kApp, "mtd", "beer"));
        EXPECT_EQ(fixtures::ReadFileBytes(hive + ".damaged-2"), bytes);
        EXPECT_TRUE(std::filesystem::exists(hive + ".damaged-1"));
        EXPECT_EQ(movedAside(), (std::vector<std::pair<std::string, std::string>>{{hive, hive + ".damaged-2"}}));
    }
}

TEST(Registry, LeavesAHiveItCannotReadAlone) {
    fixtures::SettingsHome home;
    const std::string hive = home.Dir().MakeFolder("user/Tarnwick/registry.reg");  // a folder in its place
    EXPECT_FALSE(RegistryKey::Create(RootKey::CurrentUser, kApp));
    EXPECT_EQ(Read(RootKey::CurrentUser, "", "x"), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_directory(hive));
    EXPECT_FALSE(std::filesystem::exists(hive + ".damaged-1"));
}

// A hive its user may not read is neither taken for empty nor replaced (as root the suite runs
// this as nobody).
TEST(Registry, LeavesAHiveItMayNotReadAlone) {
    fixtures::SettingsHome home;
    const std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora]\n"
                             "\"MethodPath\"=\"/srv/methods\"\n";
    const std::string hive = home.WriteUserHive(text);
    ASSERT_EQ(::chmod(hive.c_str(), 0000), 0);
    EXPECT_EQ(fixtures::RunUnprivileged(home.Dir().Path(), [] {
                  if (Read(RootKey::CurrentUser, kApp, "MethodPath")) return "read a hive it may not read";
                  if (Write(kApp, "mtd", "wine")) return "wrote over a hive it could not read";
                  return "";
              }),
              "");
    EXPECT_EQ(fixtures::ReadFileBytes(hive), text);
    EXPECT_FALSE(std::filesystem::exists(hive + ".damaged-1"));
}

TEST(Registry, KeepsTheFileModeOfTheHive) {
    fixtures::SettingsHome home;
    const std::string hive = home.WriteUserHive("Windows Registry Editor Version 5.00\n");
    ::chmod(hive.c_str(), 0640);
    ASSERT_TRUE(Write(kApp, "mtd", "wine"));
    struct stat st;
    ASSERT_EQ(::stat(hive.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// ---- Processes --------------------------------------------------------------------------------

// Runs `body` in a child process; returns its pid.
template <typename Body>
pid_t Spawn(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    return pid;
}

bool ExitedCleanly(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(Registry, ParallelWritersLoseNoValue) {
    fixtures::SettingsHome home;
    constexpr int kWriters = 4, kValues = 60;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        children.push_back(Spawn([w] {
            // Each writer has its own key and also writes into a key all of them share.
            for (int i = 0; i < kValues; ++i) {
                const std::string own = std::string(kApp) + "\\writer" + std::to_string(w);
                if (!Write(own.c_str(), "v" + std::to_string(i), std::to_string(i)) ||
                    !Write(kApp, "w" + std::to_string(w) + "v" + std::to_string(i), "x"))
                    ::_exit(1);
            }
        }));
    }
    for (pid_t pid : children) EXPECT_TRUE(ExitedCleanly(pid));
    for (int w = 0; w < kWriters; ++w) {
        const std::string own = std::string(kApp) + "\\writer" + std::to_string(w);
        for (int i = 0; i < kValues; ++i) {
            EXPECT_EQ(Read(RootKey::CurrentUser, own.c_str(), ("v" + std::to_string(i)).c_str()),
                      Text(std::to_string(i)));
            EXPECT_EQ(Read(RootKey::CurrentUser, kApp, ("w" + std::to_string(w) + "v" + std::to_string(i)).c_str()),
                      Text("x"));
        }
    }
}

// A writer killed inside a write, at each step of it, leaves a hive that parses and holds every
// value whose write had returned; the value being written is there exactly when the new hive had
// replaced the old one. The dead writer's lock and temporary file hold up no later writer.
TEST(Registry, AKilledWriterLosesNothingWritten) {
    using platform::HiveWriteStep;
    struct Case {
        const char* what;
        HiveWriteStep step;
        bool inFlightStored;
    };
    const Case cases[] = {
        {"killed with the temporary file written", HiveWriteStep::TemporaryWritten, false},
        {"killed with the temporary file synced", HiveWriteStep::TemporarySynced, false},
        {"killed right after the rename", HiveWriteStep::Renamed, true},
    };
    constexpr int kReturned = 3;  // writes that return before the one that is killed
    const auto value = [](int i) { return std::string(5000, 'p') + std::to_string(i); };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::SettingsHome home;
        const pid_t pid = Spawn([&] {
            for (int i = 0; i < kReturned; ++i)
                if (!Write(kApp, "v" + std::to_string(i), value(i))) ::_exit(1);
            platform::SetHiveWriteHook([&](HiveWriteStep step) {
                if (step == c.step) ::raise(SIGKILL);
            });
            Write(kApp, "v" + std::to_string(kReturned), value(kReturned));
            ::_exit(2);  // the step was never reached
        });
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the writer was not stopped inside its write (exit status " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1) << ")";

        const auto key = RegistryKey::Open(RootKey::CurrentUser, kApp);
        ASSERT_TRUE(key) << "the hive no longer holds the key";
        for (int i = 0; i < kReturned; ++i) {
            const std::optional<platform::RegistryValue> stored = key->Query("v" + std::to_string(i));
            ASSERT_TRUE(stored) << "value " << i << " was lost";
            EXPECT_EQ(stored->data, Text(value(i))) << "value " << i;
        }
        const std::optional<platform::RegistryValue> inFlight = key->Query("v" + std::to_string(kReturned));
        ASSERT_EQ(inFlight.has_value(), c.inFlightStored);
        if (inFlight) {
            EXPECT_EQ(inFlight->data, Text(value(kReturned)));
        }
        EXPECT_FALSE(std::filesystem::exists(home.UserHive() + ".damaged-1"));

        EXPECT_TRUE(Write(kApp, "after", "x"));
        EXPECT_EQ(Read(RootKey::CurrentUser, kApp, "after"), Text("x"));
    }
}

}  // namespace
