#include "core/MethodFile.h"

#include "platform/XTPRegistryManager.h"
#include "platform/LockedFile.h"
#include "support/SettingsHome.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kKey = "\x06\xFD\xF2\xE0\xED\xEE\xEB";  // "этанол" in code page 1251, length first

// A method folder registered as "MethodPath" in a private settings store.
class MethodFolder {
public:
    MethodFolder() : folder_(home_.Dir().MakeFolder("methods")) {
        platform::XTPRegistryManager().SetStringValue("", "MethodPath", folder_);
    }
    std::string Write(const std::string& name, const std::string& bytes) const {
        return home_.Dir().WriteFile("methods/" + name, bytes);
    }
    const std::string& Path() const { return folder_; }
    // The test's whole folder: the settings and the methods.
    const std::string& Home() const { return home_.Dir().Path(); }

private:
    fixtures::SettingsHome home_;
    std::string folder_;
};

// `size` bytes of a method with the ethanol key at each of `offsets`.
std::string Method(std::size_t size, const std::vector<std::size_t>& offsets) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(0x20 + i % 90);
    for (std::size_t p : offsets) bytes.replace(p, kKey.size(), kKey);
    return bytes.substr(0, size);
}

// The patches as bytes, worked out with python3: struct.pack('<d', 0.012345), struct.pack('<d', -1.5).
const std::string kCoefficient("\x63\x28\x27\xda\x55\x48\x89\x3f", 8);
const std::string kMinusOneAndAHalf("\x00\x00\x00\x00\x00\x00\xf8\xbf", 8);
const std::string kOne("\x01\x00\x00\x00", 4);

// `bytes` with each (offset, bytes) written over it.
std::string Overwritten(std::string bytes, const std::vector<std::pair<std::size_t, std::string>>& writes) {
    for (const auto& [offset, patch] : writes) bytes.replace(offset, patch.size(), patch);
    return bytes;
}

// The patch alone, as the write does it after keeping a copy and recording the attempt.
core::MethodFault Patch(const std::string& title, double coefficient) {
    core::MethodFile method = core::MethodFile::Open(title, core::MethodFile::Mode::ReadWrite);
    return method.Fault() != core::MethodFault::None ? method.Fault() : method.Patch(coefficient);
}
constexpr core::MethodFault kWritten = core::MethodFault::None;

TEST(MethodFile, ListsTheTitlesOfMethodFilesOnly) {
    MethodFolder methods;
    methods.Write("wine.MTD", "");
    methods.Write("a.b.mtd", "");
    methods.Write("notes.txt", "");
    methods.Write("beer.mtd.bak", "");
    ::mkdir((methods.Path() + "/folder.mtd").c_str(), 0755);
    EXPECT_EQ(core::ListMethodTitles(), (std::vector<std::string>{"a.b", "wine"}));
}

TEST(MethodFile, PatchesTheFirstEthanolRecordInPlace) {
    MethodFolder methods;
    // The coefficient goes to p + 31 and the flag to p + 43, p being the first key; a part that
    // would lie past the file's end is not written.
    struct Case {
        const char* what;
        std::size_t size;
        std::vector<std::size_t> keys;
        std::vector<std::pair<std::size_t, std::string>> writes;
    };
    const Case cases[] = {
        {"one record", 200, {40}, {{71, kCoefficient}, {83, kOne}}},
        {"two records: the first", 300, {150, 20}, {{51, kCoefficient}, {63, kOne}}},
        {"record at the start, flag up to the last byte", 47, {0}, {{31, kCoefficient}, {43, kOne}}},
        {"patch cut by the file's end", 200, {165}, {{196, kCoefficient.substr(0, 4)}}},
        {"flag beyond the file's end", 200, {160}, {{191, kCoefficient}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = Method(c.size, c.keys);
        const std::string path = methods.Write("wine.mtd", before);
        EXPECT_EQ(Patch("wine", 0.012345), kWritten);
        const std::string after = fixtures::ReadFileBytes(path);
        EXPECT_EQ(after, Overwritten(before, c.writes));
        EXPECT_EQ(core::MethodFile::Open("wine", core::MethodFile::Mode::ReadOnly).Patched(0.012345), after)
            << "the bytes announced before the write";
        EXPECT_EQ(Patch("wine", 0.012345), kWritten);
        EXPECT_EQ(fixtures::ReadFileBytes(path), after) << "saving again changes nothing";
    }
}

TEST(MethodFile, LeavesAMethodWithoutEthanolRecordAlone) {
    MethodFolder methods;
    const std::string capital = "\x06\xDD\xF2\xE0\xED\xEE\xEB";  // "Этанол"
    struct Case {
        std::string bytes;
        core::MethodFault fault;
    };
    const Case cases[] = {
        {Method(200, {}), core::MethodFault::NoEthanolRecord},
        {Method(100, {}) + capital + Method(100, {}), core::MethodFault::NoEthanolRecord},
        // the record ends before the coefficient would start
        {Method(200, {200 - 31}), core::MethodFault::RecordCutShort},
        {std::string(kKey.data(), 6), core::MethodFault::NoEthanolRecord},  // cut inside the key
        {"", core::MethodFault::NoEthanolRecord},
    };
    for (const Case& c : cases) {
        const std::string path = methods.Write("wine.mtd", c.bytes);
        EXPECT_EQ(Patch("wine", 2.5), c.fault);
        EXPECT_EQ(core::ReadStoredCoefficient("wine").fault, c.fault);
        EXPECT_EQ(fixtures::ReadFileBytes(path), c.bytes);
    }
}

// Only the first 1,000,000 bytes are searched and patched; the file keeps its length.
TEST(MethodFile, HandlesAMethodOnlyUpToTheWorkingCopy) {
    MethodFolder methods;
    constexpr std::size_t kCopy = 1000000, kSize = 1200000;
    struct Case {
        std::size_t key;
        std::vector<std::pair<std::size_t, std::string>> writes;  // none: not patched
    };
    const Case cases[] = {
        {kCopy - 100, {{kCopy - 69, kMinusOneAndAHalf}, {kCopy - 57, kOne}}},
        {kCopy - 40, {{kCopy - 9, kMinusOneAndAHalf}}},  // the flag would lie past the copy
        {kCopy - 20, {}},                                 // so would the coefficient
        {kCopy + 10, {}},                                 // the key lies past the copy
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const std::string before = Method(kSize, {c.key});
        const std::string path = methods.Write("big.mtd", before);
        EXPECT_EQ(Patch("big", -1.5) == kWritten, !c.writes.empty());
        const std::string after = fixtures::ReadFileBytes(path);
        EXPECT_EQ(after.size(), kSize);
        EXPECT_TRUE(after == Overwritten(before, c.writes));
    }
}

TEST(MethodFile, SaysWhyItCannotOpenAMethod) {
    MethodFolder methods;
    const std::string before = Method(200, {40});
    ::mkdir((methods.Path() + "/folder.mtd").c_str(), 0755);
    methods.Write("other/wine.mtd", before);
    struct Case {
        const char* title;
        core::MethodFault fault;
    };
    for (const Case& c : {Case{"missing", core::MethodFault::NoSuchFile}, Case{"folder", core::MethodFault::NoSuchFile},
                          Case{"../other/wine", core::MethodFault::NoSuchFile}, Case{"", core::MethodFault::NoSuchFile}}) {
        EXPECT_EQ(Patch(c.title, 1), c.fault) << c.title;
        EXPECT_EQ(core::ReadStoredCoefficient(c.title).fault, c.fault) << c.title;
    }

    const std::string locked = methods.Write("locked.mtd", before);
    {
        const auto holder = platform::LockedFile::Open(locked, platform::LockedFile::Mode::ReadOnly);
        ASSERT_TRUE(holder);
        EXPECT_EQ(Patch("locked", 1), core::MethodFault::Locked);
    }
    EXPECT_EQ(fixtures::ReadFileBytes(locked), before);

    // A read-only method, patched by an ordinary user (as root the suite patches as nobody), and
    // a writable one beside it that shows the patch works for that user at all.
    const std::string readOnly = methods.Write("ro.mtd", before);
    const std::string writable = methods.Write("rw.mtd", before);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    EXPECT_EQ(fixtures::RunUnprivileged(methods.Home(), [] {
                  if (Patch("ro", 1) != core::MethodFault::NotWritable) return "a read-only method was not refused";
                  if (core::ReadStoredCoefficient("ro").fault != kWritten) return "reading needed write access";
                  if (Patch("rw", 1) != kWritten) return "a writable method was not patched";
                  return "";
              }),
              "");
    EXPECT_EQ(fixtures::ReadFileBytes(readOnly), before);
    EXPECT_NE(fixtures::ReadFileBytes(writable), before);

    platform::XTPRegistryManager().SetStringValue("", "MethodPath", methods.Path() + "/no such folder");
    EXPECT_EQ(Patch("wine", 1), core::MethodFault::MethodFolderMissing);
    platform::XTPRegistryManager().SetStringValue("", "MethodPath", "");
    EXPECT_EQ(Patch("wine", 1), core::MethodFault::NoMethodFolder);
}

TEST(MethodFile, ReadsTheStoredCoefficientFromTheSameRecord) {
    MethodFolder methods;
    std::string bytes = Method(300, {50, 150});
    const double stored = 100.60439621282;
    std::memcpy(bytes.data() + 50 + 31, &stored, 8);
    methods.Write("wine.mtd", bytes);
    const core::StoredCoefficient read = core::ReadStoredCoefficient("wine");
    EXPECT_EQ(read.fault, kWritten);
    EXPECT_EQ(read.value, stored);
    // Only part of the coefficient lies within the file: there is nothing whole to show.
    EXPECT_EQ(core::StoredCoefficientOf(Method(200, {200 - 35})).fault, core::MethodFault::RecordCutShort);
}

}  // namespace
