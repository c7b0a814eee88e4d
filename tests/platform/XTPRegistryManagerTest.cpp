#include "platform/XTPRegistryManager.h"

#include "support/SettingsHome.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>

namespace {

using platform::XTPRegistryManager;
using platform::RegistryKey;
using platform::RootKey;

constexpr const char* kOstrelKey = "HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora\\Ostrel";

// A value's bytes and type, or nothing when it is missing.
std::optional<std::string> Data(const RegistryKey& key, const char* name) {
    const std::optional<platform::RegistryValue> value = key.Query(name);
    if (!value) return std::nullopt;
    return value->data;
}

std::optional<std::uint32_t> Type(const RegistryKey& key, const char* name) {
    const std::optional<platform::RegistryValue> value = key.Query(name);
    if (!value) return std::nullopt;
    return value->type;
}

std::string Hive(const std::string& key, const std::string& values) {
    return "Windows Registry Editor Version 5.00\n\n[" + key + "]\n" + values;
}

TEST(XTPRegistryManager, DoublesComeBackBitForBit) {
    fixtures::SettingsHome home;
    const XTPRegistryManager registry;
    const double values[] = {0.0, -0.0, 1.0, 0.1, 1e-310, -1.7976931348623157e308,
                             std::numeric_limits<double>::infinity(),
                             std::bit_cast<double>(0x7ff8dead0000beefULL)};  // a NaN with a payload
    for (double value : values) {
        ASSERT_TRUE(registry.SetDoubleValue("Ostrel", "nav", value));
        double read = 12345;
        ASSERT_TRUE(registry.GetDoubleValue("Ostrel", "nav", read));
        EXPECT_EQ(std::bit_cast<std::uint64_t>(read), std::bit_cast<std::uint64_t>(value)) << value;
    }
    registry.SetDoubleValue("Ostrel", "nav", 1.0);
    EXPECT_NE(fixtures::ReadFileBytes(home.UserHive()).find("\"nav\"=hex:00,00,00,00,00,00,f0,3f\n"),
              std::string::npos);
}

TEST(XTPRegistryManager, StringsAreStoredWithTheirTerminatingZero) {
    fixtures::SettingsHome home;
    const XTPRegistryManager registry;
    ASSERT_TRUE(registry.SetStringValue("Ostrel", "1", "/srv/data/бланк \"1\".stg"));
    const auto key = RegistryKey::Open(RootKey::CurrentUser, "Software\\Tarnwick\\Velmora\\Ostrel");
    ASSERT_TRUE(key);
    EXPECT_EQ(Data(*key, "1"), std::string("/srv/data/бланк \"1\".stg") + '\0');
    EXPECT_EQ(registry.GetStringValue("Ostrel", "1", "default"), "/srv/data/бланк \"1\".stg");

    ASSERT_TRUE(registry.SetStringValue("Ostrel", "2", ""));
    EXPECT_EQ(Data(*key, "2"), std::string(1, '\0'));
    EXPECT_EQ(registry.GetStringValue("Ostrel", "2", "default"), "") << "an empty text is a text";
    EXPECT_EQ(registry.GetStringValue("Ostrel", "missing", "default"), "default");
}

// The values the program stores must have the type and size it gives them; anything else is
// someone else's value and reads as missing.
TEST(XTPRegistryManager, AValueOfAnotherTypeOrSizeReadsAsMissing) {
    fixtures::SettingsHome home;
    home.WriteUserHive(Hive(kOstrelKey,
                            "\"text\"=\"1.5\"\n"
                            "\"short\"=hex:00,00,00,00,00,00,f0\n"
                            "\"long\"=hex:00,00,00,00,00,00,f0,3f,00\n"
                            "\"dword\"=dword:00000001\n"
                            "\"other type\"=hex(b):00,00,00,00,00,00,f0,3f\n"
                            "\"no bytes\"=hex(1):\n"
                            "\"expand\"=hex(2):61,00\n"
                            "\"binary\"=hex:61,00\n"
                            "\"unterminated\"=hex(1):61,62\n"
                            "\"embedded zero\"=hex(1):61,00,62,00\n"
                            "\"big dword\"=hex(4):01,00,00,00,00,00,00,00\n"
                            "\"good dword\"=dword:0000002a\n"));
    const XTPRegistryManager registry;
    for (const char* name : {"text", "short", "long", "dword", "other type", "missing"}) {
        double value = 42;
        EXPECT_FALSE(registry.GetDoubleValue("Ostrel", name, value)) << name;
        EXPECT_EQ(value, 42) << name;
    }
    for (const char* name : {"no bytes", "expand", "binary", "dword"})
        EXPECT_EQ(registry.GetStringValue("Ostrel", name, "default"), "default") << name;
    EXPECT_EQ(registry.GetStringValue("Ostrel", "unterminated", "default"), "ab") << "nothing read past the data";
    EXPECT_EQ(registry.GetStringValue("Ostrel", "embedded zero", "default"), "a");

    const auto key = RegistryKey::Open(RootKey::CurrentUser, "Software\\Tarnwick\\Velmora\\Ostrel");
    ASSERT_TRUE(key);
    EXPECT_EQ(platform::ReadRegDword(*key, "big dword", 7), 7u);
    EXPECT_EQ(platform::ReadRegDword(*key, "text", 7), 7u);
    EXPECT_EQ(platform::ReadRegDword(*key, "good dword", 7), 42u);
    std::string text = "untouched";
    platform::ReadRegString(text, *key, "no bytes", "default");
    EXPECT_EQ(text, "default");
    platform::ReadRegString(text, *key, "embedded zero", "default");
    EXPECT_EQ(text, "a");
}

TEST(XTPRegistryManager, ReadingCreatesTheSectionKeys) {
    fixtures::SettingsHome home;
    const XTPRegistryManager registry;
    double nav = 3;
    EXPECT_FALSE(registry.GetDoubleValue("Ostrel", "nav", nav));
    EXPECT_EQ(nav, 3);
    EXPECT_TRUE(RegistryKey::Open(RootKey::CurrentUser, "Software\\Tarnwick\\Velmora\\Ostrel"));

    // The empty section is the application key itself, where the data system keeps its values.
    const auto appKey = RegistryKey::Open(RootKey::CurrentUser, "Software\\Tarnwick\\Velmora",
                                          RegistryKey::Access::ReadWrite);
    ASSERT_TRUE(appKey);
    ASSERT_TRUE(platform::WriteRegString(*appKey, "MethodPath", "/srv/methods"));
    EXPECT_EQ(registry.GetStringValue("", "MethodPath", ""), "/srv/methods");
    EXPECT_EQ(registry.GetStringValue("HKCU\\Software\\Tarnwick\\Velmora", "MethodPath", ""), "/srv/methods")
        << "a section naming its root is a path below it";
}

// A reader that opens existing keys only reads what is there and writes nothing, while its
// writes still create what they need.
TEST(XTPRegistryManager, ReadingExistingKeysOnlyCreatesNothing) {
    fixtures::SettingsHome home;
    const XTPRegistryManager reader(RootKey::CurrentUser, platform::SectionReading::ExistingKeysOnly);
    double nav = 3;
    EXPECT_FALSE(reader.GetDoubleValue("Ostrel", "nav", nav));
    EXPECT_EQ(reader.GetStringValue("", "MethodPath", "none"), "none");
    EXPECT_EQ(reader.GetStringValue("HKCU\\Software\\Other", "x", "none"), "none");
    EXPECT_FALSE(std::filesystem::exists(home.UserHive())) << "no hive made by reading";

    const std::string text = Hive("HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora", "\"MethodPath\"=\"/srv/m\"\n");
    home.WriteUserHive(text);
    EXPECT_EQ(reader.GetStringValue("", "MethodPath", ""), "/srv/m");
    EXPECT_FALSE(reader.GetDoubleValue("Ostrel", "nav", nav));
    EXPECT_EQ(fixtures::ReadFileBytes(home.UserHive()), text) << "no section key made by reading";

    EXPECT_TRUE(reader.SetDoubleValue("Ostrel", "nav", 1.5));
    EXPECT_TRUE(reader.GetDoubleValue("Ostrel", "nav", nav));
    EXPECT_EQ(nav, 1.5);
}

TEST(XTPRegistryManager, WorksOnTheMachineHiveReadOnly) {
    fixtures::SettingsHome home;
    const std::string text = Hive("HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Velmora", "\"OpenPath\"=\"/srv\"\n");
    const std::string path = home.WriteMachineHive(text);
    const XTPRegistryManager machine(RootKey::LocalMachine);
    EXPECT_EQ(machine.GetStringValue("", "OpenPath", "/"), "/srv");
    EXPECT_EQ(machine.GetStringValue("Ostrel", "mtd", "none"), "none") << "a missing key cannot be created";
    EXPECT_FALSE(machine.SetStringValue("", "OpenPath", "/x"));
    EXPECT_EQ(XTPRegistryManager().GetStringValue("HKLM\\Software\\Tarnwick\\Velmora", "OpenPath", ""), "/srv");
    EXPECT_EQ(fixtures::ReadFileBytes(path), text);
}

TEST(XTPRegistryManager, KeyHandleFunctionsStoreTheirTypes) {
    fixtures::SettingsHome home;
    const auto key = RegistryKey::Create(RootKey::CurrentUser, platform::ApplicationKeyPath());
    ASSERT_TRUE(key);
    EXPECT_TRUE(platform::WriteRegDword(*key, "OpenDirType", 1));
    EXPECT_TRUE(platform::WriteRegString(*key, "LastOpenPath1", "/srv/data"));
    EXPECT_EQ(Type(*key, "OpenDirType"), platform::REG_DWORD);
    EXPECT_EQ(Data(*key, "OpenDirType"), std::string("\x01\0\0\0", 4));
    EXPECT_EQ(Type(*key, "LastOpenPath1"), platform::REG_SZ);
    EXPECT_EQ(platform::ReadRegDword(*key, "OpenDirType", 0), 1u);
    EXPECT_EQ(platform::ReadRegDword(*key, "LastOpenPath1", 5), 5u);
    std::string text;
    platform::ReadRegString(text, *key, "LastOpenPath1", "");
    EXPECT_EQ(text, "/srv/data");
    platform::ReadRegString(text, *key, "OpenDirType", "dflt");
    EXPECT_EQ(text, "dflt");
    platform::ReadRegString(text, *key, "LastOpenPath2", "");
    EXPECT_EQ(text, "");
}

TEST(XTPRegistryManager, WithoutTheApplicationNamesNothingIsStored) {
    fixtures::SettingsHome home;
    platform::SetProfileName("");
    const XTPRegistryManager registry;
    EXPECT_FALSE(registry.SetStringValue("Ostrel", "mtd", "wine"));
    EXPECT_EQ(registry.GetStringValue("Ostrel", "mtd", "default"), "default");
}

}  // namespace
