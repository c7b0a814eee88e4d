#include "platform/LockedFile.h"

#include "support/TempDir.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using platform::LockedFile;

TEST(LockedFile, IsExclusiveWhileHeld) {
    fixtures::TempDir dir;
    const std::string path = dir.WriteFile("m.mtd", "abc");
    {
        auto first = LockedFile::Open(path, LockedFile::Mode::ReadWrite);
        ASSERT_TRUE(first);
        EXPECT_FALSE(LockedFile::Open(path, LockedFile::Mode::ReadOnly));
    }
    EXPECT_TRUE(LockedFile::Open(path, LockedFile::Mode::ReadOnly));
}

// Shared holders (passport readers) admit each other but no exclusive one, and the other way
// round; a writer's lock is always exclusive.
TEST(LockedFile, SharedReadersAdmitEachOtherOnly) {
    fixtures::TempDir dir;
    const std::string path = dir.WriteFile("run.stg", "abc");
    using Mode = LockedFile::Mode;
    using Lock = LockedFile::Lock;
    const struct {
        Mode firstMode;
        Lock first;
        Mode secondMode;
        Lock second;
        bool bothOpen;
    } cases[] = {
        {Mode::ReadOnly, Lock::Shared, Mode::ReadOnly, Lock::Shared, true},
        {Mode::ReadOnly, Lock::Shared, Mode::ReadOnly, Lock::Exclusive, false},
        {Mode::ReadOnly, Lock::Exclusive, Mode::ReadOnly, Lock::Shared, false},
        {Mode::ReadWrite, Lock::Shared, Mode::ReadOnly, Lock::Shared, false},
    };
    for (const auto& c : cases) {
        auto first = LockedFile::Open(path, c.firstMode, nullptr, c.first);
        ASSERT_TRUE(first);
        EXPECT_EQ(LockedFile::Open(path, c.secondMode, nullptr, c.second).has_value(), c.bothOpen)
            << static_cast<int>(c.first) << " then " << static_cast<int>(c.second);
        EXPECT_EQ(first->SizeAtOpen(), 3u);
    }
}

TEST(LockedFile, RefusesWhatIsNotAnOpenableRegularFile) {
    fixtures::TempDir dir;
    const std::string folder = dir.MakeFolder("x.mtd");
    EXPECT_FALSE(LockedFile::Open(folder, LockedFile::Mode::ReadOnly));
    EXPECT_FALSE(LockedFile::Open(folder, LockedFile::Mode::ReadWrite));
    EXPECT_FALSE(LockedFile::Open(dir.Path() + "/missing", LockedFile::Mode::ReadOnly));
    const std::string fifo = dir.Path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(LockedFile::Open(fifo, LockedFile::Mode::ReadOnly));  // and does not hang
}

// File modes bind the opener; as root the suite checks this as the user nobody.
TEST(LockedFile, OpensOnlyWhatTheFileModeAllows) {
    fixtures::TempDir dir;
    const std::string readOnly = dir.WriteFile("ro.mtd", "abc");
    const std::string writable = dir.WriteFile("rw.mtd", "abc");
    const std::string closed = dir.WriteFile("closed.mtd", "abc");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(writable.c_str(), 0644), 0);
    ASSERT_EQ(::chmod(closed.c_str(), 0000), 0);
    EXPECT_EQ(fixtures::RunUnprivileged(dir.Path(), [&]() -> std::string {
                  if (LockedFile::Open(readOnly, LockedFile::Mode::ReadWrite)) return "a read-only file opened for writing";
                  if (!LockedFile::Open(readOnly, LockedFile::Mode::ReadOnly)) return "a read-only file did not open for reading";
                  if (!LockedFile::Open(writable, LockedFile::Mode::ReadWrite)) return "a writable file did not open for writing";
                  if (LockedFile::Open(closed, LockedFile::Mode::ReadOnly)) return "a file without permissions opened";
                  return "";
              }),
              "");
}

}  // namespace
