#include "platform/LockedFile.h"

#include "support/TempDir.h"

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
    if (::geteuid() != 0) {  // root may write anything
        const std::string readOnly = dir.WriteFile("ro.mtd", "abc");
        ::chmod(readOnly.c_str(), 0444);
        EXPECT_FALSE(LockedFile::Open(readOnly, LockedFile::Mode::ReadWrite));
    }
}

}  // namespace
