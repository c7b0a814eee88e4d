#include "platform/FileSearch.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <fstream>

namespace {

TEST(WildcardMatch, FollowsTheWindowsRules) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    } cases[] = {
        {"*.stg", "run1.stg", true},      {"*.stg", "RUN1.STG", true},     {"*.stg", "run1.stgx", false},
        {"*.stg", "stg", false},          {"*.mtd", "a.b.mtd", true},      {"*.*", "noext", true},
        {"*.*", ".", true},               {"r?n*.stg", "run 2.stg", true}, {"r?n*.stg", "rn.stg", false},
        {"*.stg", "Проба.STG", true},     {"проба*", "ПРОБА 1.stg", true}, {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "aXbYbZ", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::WildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " ~ " << c.name;
}

TEST(FindFiles, ListsMatchesWithTitlesDirectoryFlagsAndTimes) {
    fixtures::TempDir dir;
    dir.WriteFile("b.STG", "x");
    dir.WriteFile("a.b.stg", "x");
    dir.WriteFile("c.txt", "x");
    dir.MakeFolder("folder.stg");
    const std::string timed = dir.Path() + "/a.b.stg";
    struct utimbuf times{1000000000, 1000000000};
    ASSERT_EQ(::utime(timed.c_str(), &times), 0);

    const auto entries = platform::FindFiles(dir.Path() + "/*.stg");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "a.b.stg");
    EXPECT_EQ(entries[0].title, "a.b");
    EXPECT_EQ(entries[0].fullPath, dir.Path() + "/a.b.stg");
    EXPECT_EQ(entries[0].lastWriteTime, 1000000000);
    EXPECT_FALSE(entries[0].isDirectory);
    EXPECT_EQ(entries[1].name, "b.STG");
    EXPECT_EQ(entries[2].name, "folder.stg");
    EXPECT_TRUE(entries[2].isDirectory);
}

TEST(FindFiles, AMissingFolderYieldsNothing) {
    EXPECT_TRUE(platform::FindFiles("/nonexistent-folder-of-ostrel/*.stg").empty());
    EXPECT_FALSE(platform::FolderExists("/nonexistent-folder-of-ostrel"));
    EXPECT_TRUE(platform::FolderExists("/"));
}

}  // namespace
