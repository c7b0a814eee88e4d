// Writes the seed corpus of fuzz_hive into the folder argv[1]: hives as this program writes them
// and as registry export files have them.
#include "platform/RegistryHive.h"

#include <fstream>
#include <string>
#include <vector>

namespace {

std::string Utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    using platform::RegistryHive;
    RegistryHive hive;
    RegistryHive::Key* app = hive.Create(std::vector<std::string>{"HKEY_CURRENT_USER", "Software", "Tarnwick", "Velmora"});
    app->values["MethodPath"] = {platform::REG_SZ, std::string("/srv/velmora/methods", 21)};
    app->values["OpenDirType"] = {platform::REG_DWORD, std::string("\1\0\0\0", 4)};
    RegistryHive::Key* ostrel = hive.Create(std::vector<std::string>{"HKEY_CURRENT_USER", "Software", "Tarnwick", "Velmora", "Ostrel"});
    ostrel->values["nav"] = {platform::REG_BINARY, std::string("\0\0\0\0\0\0\xf0\x3f", 8)};
    ostrel->values["mtd"] = {platform::REG_SZ, std::string("вино \"x\" \\") + '\0'};
    ostrel->values["1"] = {platform::REG_SZ, std::string("a\0b", 3)};
    ostrel->values[""] = {7, std::string("a\0b\0\0", 5)};

    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
    const std::vector<std::string> seeds = {
        hive.Serialize(),
        header + "[HKEY_CURRENT_USER\\A]\r\n\"x\"=hex:00,01,\\\r\n  02,03\r\n@=dword:0000002a\r\n"
                 "; comment\r\n[-HKEY_CURRENT_USER\\B]\r\n\"y\"=-\r\n",
        Utf16(header + "[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Velmora]\r\n\"OpenPath\"=\"/srv\"\r\n"),
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\A\\B\\C]\n\"t\"=hex(2):61,00\n",
    };
    for (size_t i = 0; i < seeds.size(); ++i) {
        std::ofstream out(std::string(argv[1]) + "/seed" + std::to_string(i), std::ios::binary);
        out << seeds[i];
    }
    return 0;
}
