#include "platform/RegistryHive.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using platform::RegistryHive;
using platform::RegistryValue;

const std::vector<std::string> kOstrel{"HKEY_CURRENT_USER", "Software", "Tarnwick", "Velmora", "Ostrel"};

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}

// The value, or nothing when it or its key is missing (so a lost value fails the comparison
// rather than being dereferenced).
std::optional<RegistryValue> ValueAt(const RegistryHive& hive, const std::vector<std::string>& path,
                                     const std::string& name) {
    const RegistryHive::Key* key = hive.Find(path);
    if (!key) return std::nullopt;
    const auto it = key->values.find(name);
    if (it == key->values.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> DataAt(const RegistryHive& hive, const std::vector<std::string>& path,
                                  const std::string& name) {
    const std::optional<RegistryValue> value = ValueAt(hive, path, name);
    if (!value) return std::nullopt;
    return value->data;
}

TEST(RegistryHive, WritesTheExportFormat) {
    RegistryHive hive;
    RegistryHive::Key* ostrel = hive.Create(kOstrel);
    ASSERT_NE(ostrel, nullptr);
    ostrel->values["nav"] = {platform::REG_BINARY, Bytes({0, 0, 0, 0, 0, 0, 0xf0, 0x3f})};
    ostrel->values["mtd"] = {platform::REG_SZ, std::string("wine", 5)};
    ostrel->values["1"] = {platform::REG_SZ, std::string("C:\\data \"x\"", 12)};
    RegistryHive::Key* velmora = hive.Create({kOstrel.begin(), kOstrel.begin() + 4});
    ASSERT_NE(velmora, nullptr);
    velmora->values["OpenDirType"] = {platform::REG_DWORD, Bytes({1, 2, 0, 0})};
    EXPECT_EQ(hive.Serialize(),
              "Windows Registry Editor Version 5.00\n"
              "\n[HKEY_CURRENT_USER]\n"
              "\n[HKEY_CURRENT_USER\\Software]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Tarnwick]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora]\n"
              "\"OpenDirType\"=dword:00000201\n"
              "\n[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora\\Ostrel]\n"
              "\"1\"=\"C:\\\\data \\\"x\\\"\"\n"
              "\"mtd\"=\"wine\"\n"
              "\"nav\"=hex:00,00,00,00,00,00,f0,3f\n");
}

// Every value a program can store comes back byte for byte, whichever way the file shows it.
TEST(RegistryHive, EveryStoredValueReadsBackExactly) {
    const std::vector<std::pair<std::string, RegistryValue>> values = {
        {"plain", {platform::REG_SZ, std::string("этанол", 12) + '\0'}},
        {"empty text", {platform::REG_SZ, std::string(1, '\0')}},
        {"no bytes", {platform::REG_SZ, ""}},
        {"no terminating zero", {platform::REG_SZ, "abc"}},
        {"embedded zero", {platform::REG_SZ, std::string("a\0b\0", 4)}},
        {"two zeros", {platform::REG_SZ, std::string("ab\0\0", 4)}},
        {"line break", {platform::REG_SZ, std::string("a\r\nb\0", 5)}},
        {"dword", {platform::REG_DWORD, Bytes({0xff, 0xfe, 0xfd, 0xfc})}},
        {"short dword", {platform::REG_DWORD, Bytes({1, 2})}},
        {"binary", {platform::REG_BINARY, Bytes({0, 0xff})}},
        {"empty binary", {platform::REG_BINARY, ""}},
        {"multi", {7, std::string("a\0b\0\0", 5)}},
        {"huge type", {0xfffffffe, "x"}},
        {"", {platform::REG_SZ, std::string("default\0", 8)}},
        {"quote\"and\\backslash", {platform::REG_NONE, ""}},
    };
    RegistryHive hive;
    RegistryHive::Key* key = hive.Create(kOstrel);
    ASSERT_NE(key, nullptr);
    for (const auto& [name, value] : values) key->values[name] = value;
    const std::string text = hive.Serialize();
    const std::optional<RegistryHive> back = RegistryHive::Parse(text);
    ASSERT_TRUE(back) << text;
    for (const auto& [name, value] : values) {
        EXPECT_EQ(ValueAt(*back, kOstrel, name), value) << name;
    }
    EXPECT_EQ(back->Serialize(), text);
}

TEST(RegistryHive, ReadsWhatExportFilesHold) {
    // Keys out of order, a parent never listed, a key without values, comments, blank lines,
    // CR LF line ends, a continued hex list, spaces around '=', names in another case.
    const std::string text =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; written by hand\r\n"
        "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora\\Ostrel]\r\n"
        "\"nav\"=hex:00,00,00,00,\\\r\n"
        "  00,00,f0,3f\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora]\r\n"
        "\"MethodPath\" = \"/srv/methods\"\r\n"
        "@=\"default\"\r\n"
        "[HKEY_CURRENT_USER\\software\\TARNWICK\\velmora\\OSTREL]\r\n"
        "\"NAV2\"=hex(3):01\r\n"
        "\"Mtd\"=\"old\"\r\n"
        "\"mtd\"=\"new\"\r\n"
        "[HKEY_CURRENT_USER\\Empty]\r\n";
    const std::optional<RegistryHive> hive = RegistryHive::Parse(text);
    ASSERT_TRUE(hive);
    EXPECT_EQ(ValueAt(*hive, kOstrel, "nav"), (RegistryValue{platform::REG_BINARY, Bytes({0, 0, 0, 0, 0, 0, 0xf0, 0x3f})}));
    EXPECT_EQ(ValueAt(*hive, kOstrel, "nav2"), (RegistryValue{platform::REG_BINARY, Bytes({1})}));
    EXPECT_EQ(DataAt(*hive, kOstrel, "MTD"), std::string("new", 4));
    const std::vector<std::string> app(kOstrel.begin(), kOstrel.begin() + 4);
    EXPECT_EQ(DataAt(*hive, app, "methodpath"), std::string("/srv/methods", 13));
    EXPECT_EQ(DataAt(*hive, app, ""), std::string("default", 8));
    EXPECT_NE(hive->Find(std::vector<std::string>{"HKEY_CURRENT_USER", "Empty"}), nullptr);
    EXPECT_NE(hive->Find(std::vector<std::string>{"hkey_current_user", "SOFTWARE"}), nullptr);
}

TEST(RegistryHive, ReadsUtf16FilesAndRemovalEntries) {
    const std::string utf8 =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\A\\Gone]\r\n\"x\"=dword:00000001\r\n"
        "[HKEY_CURRENT_USER\\A]\r\n\"Проба\"=\"Да\"\r\n\"old\"=\"x\"\r\n\"old\"=-\r\n"
        "[-HKEY_CURRENT_USER\\A\\Gone]\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char16_t c : std::u16string(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                     u"[HKEY_CURRENT_USER\\A\\Gone]\r\n\"x\"=dword:00000001\r\n"
                                     u"[HKEY_CURRENT_USER\\A]\r\n\"Проба\"=\"Да\"\r\n\"old\"=\"x\"\r\n\"old\"=-\r\n"
                                     u"[-HKEY_CURRENT_USER\\A\\Gone]\r\n")) {
        utf16.push_back(static_cast<char>(c & 0xff));
        utf16.push_back(static_cast<char>(c >> 8));
    }
    for (const std::string& text : {utf8, utf16}) {
        const std::optional<RegistryHive> hive = RegistryHive::Parse(text);
        ASSERT_TRUE(hive);
        const std::vector<std::string> a{"HKEY_CURRENT_USER", "A"};
        EXPECT_EQ(DataAt(*hive, a, "проба"), std::string("Да", 5));
        EXPECT_EQ(ValueAt(*hive, a, "old"), std::nullopt);
        EXPECT_EQ(hive->Find(std::vector<std::string>{"HKEY_CURRENT_USER", "A", "Gone"}), nullptr);
    }
}

TEST(RegistryHive, RefusesWhatIsNotAHive) {
    const std::string header = "Windows Registry Editor Version 5.00\n";
    const std::string key = header + "[HKEY_CURRENT_USER\\A]\n";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty file", ""},
        {"blank lines only", "\n\n"},
        {"no header", "[HKEY_CURRENT_USER\\A]\n\"x\"=\"y\"\n"},
        {"another header", "Windows Registry Editor Version 4.00\n"},
        {"binary garbage", std::string("\x7f" "ELF\x02\x01\x01\0\0\0", 10)},
        {"zero byte in text", header + std::string("[HKEY_CURRENT_USER\\A\0]\n", 24)},
        {"value before any key", header + "\"x\"=\"y\"\n"},
        {"value after a removed key", header + "[-HKEY_CURRENT_USER\\A]\n\"x\"=\"y\"\n"},
        {"text cut off", key + "\"x\"=\"/srv/meth"},
        {"name cut off", key + "\"x"},
        {"continuation cut off", key + "\"x\"=hex:00,01,\\\n"},
        {"key line cut off", header + "[HKEY_CURRENT_USER\\So"},
        {"empty key name", header + "[HKEY_CURRENT_USER\\\\A]\n"},
        {"empty key path", header + "[]\n"},
        {"unknown escape", key + "\"x\"=\"C:\\temp\"\n"},
        {"text after the value", key + "\"x\"=\"y\" z\n"},
        {"no equals sign", key + "\"x\" \"y\"\n"},
        {"short dword", key + "\"x\"=dword:0000001\n"},
        {"long dword", key + "\"x\"=dword:000000001\n"},
        {"dword not hex", key + "\"x\"=dword:0000000g\n"},
        {"one-digit byte", key + "\"x\"=hex:00,0\n"},
        {"trailing comma", key + "\"x\"=hex:00,\n"},
        {"bad type", key + "\"x\"=hex(z):00\n"},
        {"type too long", key + "\"x\"=hex(123456789):00\n"},
        {"unknown data", key + "\"x\"=qword:00\n"},
        {"stray line", key + "hello\n"},
    };
    for (const auto& [what, text] : cases) EXPECT_FALSE(RegistryHive::Parse(text)) << what;

    std::string deep = header + "[HKEY_CURRENT_USER";
    for (size_t i = 0; i < platform::kMaxKeyDepth; ++i) deep += "\\k";
    EXPECT_FALSE(RegistryHive::Parse(deep + "]\n")) << "deeper than the registry allows";
    EXPECT_TRUE(RegistryHive::Parse(header)) << "a header alone is an empty hive";
}

TEST(RegistryHive, CreatesOnlyStorableNames) {
    RegistryHive hive;
    EXPECT_EQ(hive.Create(std::vector<std::string>{}), nullptr);
    EXPECT_EQ(hive.Create(std::vector<std::string>{"HKEY_CURRENT_USER", ""}), nullptr);
    EXPECT_EQ(hive.Create(std::vector<std::string>{"HKEY_CURRENT_USER", "a\\b"}), nullptr);
    EXPECT_EQ(hive.Create(std::vector<std::string>{"HKEY_CURRENT_USER", "a\nb"}), nullptr);
    EXPECT_EQ(hive.Find(std::vector<std::string>{"HKEY_CURRENT_USER"}), nullptr) << "nothing half-made";
    EXPECT_FALSE(RegistryHive::SplitPath("a\\\\b"));
    EXPECT_EQ(RegistryHive::SplitPath("Software\\Tarnwick"), (std::vector<std::string>{"Software", "Tarnwick"}));
}

}  // namespace
