#include "chromatogram/FolderScan.h"

#include "support/MixedFolder.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <future>

namespace {

using chromatogram::FolderScan;
using chromatogram::ScanFolder;
using chromatogram::ScannedFile;
using chromatogram::ScanProgress;
using chromatogram::ScanType;

std::vector<std::string> Describe(const std::vector<ScannedFile>& files, const std::string& folder) {
    std::vector<std::string> out;
    for (const ScannedFile& f : files) {
        EXPECT_EQ(f.path, folder + "/" + f.fileName);
        out.push_back(f.fileName + " | " + f.fileTitle + " | " + f.sampleName + " | " + f.methodName + " | " +
                      f.samplingSite + " | " + f.samplingPoint + " | " +
                      std::to_string(f.dateTime.time_since_epoch().count()) + " | " +
                      (f.isCalibration ? "calibration" : "analysis") + (f.readable ? "" : " | unreadable"));
    }
    return out;
}

std::vector<std::string> Describe(const std::vector<fixtures::ExpectedScanEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries)
        out.push_back(e.fileName + " | " + e.fileName.substr(0, e.fileName.rfind('.')) + " | " + e.sampleName + " | " +
                      e.methodName + " | " + e.samplingSite + " | " + e.samplingPoint + " | " +
                      std::to_string(e.dateTime) + " | " + (e.isCalibration ? "calibration" : "analysis") +
                      (e.readable ? "" : " | unreadable"));
    return out;
}

// The scan lists a folder exactly as the open dialog always did, whatever the number of reads
// in flight: readable files with their passports, every damaged or unreadable one with "????"
// and its last-write time, folders and other names left out. It tells of its end once.
TEST(FolderScan, ListsAMixedFolderAsTheDialogAlwaysDid) {
    fixtures::TempDir dir;
    const std::string folder = dir.MakeFolder("runs");
    const fixtures::MixedFolder mix = fixtures::WriteMixedFolder(folder);
    for (unsigned readers : {1u, 3u, 16u}) {
        for (int type = 0; type < 3; ++type) {
            SCOPED_TRACE("readers " + std::to_string(readers) + ", type " + std::to_string(type));
            std::atomic<int> ends{0};
            FolderScan scan(folder + "/*.stg", {static_cast<ScanType>(type), readers, {}, [&] { ++ends; }});
            scan.Wait();
            EXPECT_EQ(ends.load(), 1);
            std::vector<ScannedFile> files = scan.TakeRead();
            std::sort(files.begin(), files.end(), chromatogram::ListedBefore);
            EXPECT_EQ(Describe(files, folder), Describe(mix.ExpectedOfType(type)));
            const ScanProgress progress = scan.Progress();
            EXPECT_TRUE(progress.listed && progress.finished);
            EXPECT_EQ(progress.total, mix.expected.size());
            EXPECT_EQ(progress.read, mix.expected.size());
            EXPECT_EQ(progress.listError, 0);
            EXPECT_EQ(progress.vanished, 0u);
        }
    }
}

// Files and folders removed while the scan runs: what was read stays listed, what is gone when
// its turn comes is counted and left out, and the scan ends.
TEST(FolderScan, FilesRemovedWhileScannedAreLeftOutAndCounted) {
    fixtures::TempDir dir;
    const std::string folder = dir.MakeFolder("runs");
    fixtures::ChromatogramFixture c;
    for (int i = 0; i < 6; ++i) fixtures::WriteStg(folder + "/run" + std::to_string(i) + ".stg", c);

    struct Case {
        const char* what;
        int removeAtCall;  // the read that removes, before it reads its own file
        bool wholeFolder;
        std::size_t listed;
    } cases[] = {{"one file", 1, false, 5}, {"the folder", 3, true, 2}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        const std::string scanned = dir.MakeFolder(std::string("copy-") + (k.wholeFolder ? "folder" : "file"));
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            std::filesystem::copy_file(entry.path(), scanned + "/" + entry.path().filename().string());
        int calls = 0;
        std::string removed;
        const chromatogram::PassportReader reader = [&](const std::string& path, chromatogram::Passport& p) {
            if (++calls == k.removeAtCall) {
                if (k.wholeFolder) {
                    std::filesystem::remove_all(scanned);
                } else {
                    for (const auto& entry : std::filesystem::directory_iterator(scanned))
                        if (entry.path().string() != path) removed = entry.path().string();
                    std::filesystem::remove(removed);
                }
            }
            return p.ReadFromFile(path, "Passport");
        };
        // One reader, so that the removed file's turn comes after the removal.
        FolderScan scan(scanned + "/*.stg", {ScanType::Any, 1, reader, {}});
        scan.Wait();
        const std::vector<ScannedFile> files = scan.TakeRead();
        const ScanProgress outcome = scan.Progress();
        EXPECT_EQ(files.size(), k.listed);
        for (const ScannedFile& f : files) {
            EXPECT_TRUE(f.readable) << f.fileName;
            EXPECT_NE(f.path, removed);
        }
        EXPECT_EQ(outcome.total, 6u);
        EXPECT_EQ(outcome.read, 6u);
        EXPECT_EQ(outcome.vanished, 6u - k.listed);
    }
}

TEST(FolderScan, SaysWhyAFolderCouldNotBeListed) {
    fixtures::TempDir dir;
    ScanProgress outcome;
    EXPECT_TRUE(ScanFolder(dir.Path() + "/missing/*.stg", ScanType::Any, &outcome).empty());
    EXPECT_EQ(outcome.listError, ENOENT);
    EXPECT_TRUE(outcome.finished);
    const std::string file = dir.WriteFile("plain", "x");
    EXPECT_TRUE(ScanFolder(file + "/*.stg", ScanType::Any, &outcome).empty());
    EXPECT_EQ(outcome.listError, ENOTDIR);
}

// Cancelling does not wait for a read that hangs: the scan stops taking files, drops what it
// had not handed out, counts as finished once the hanging read returns, and tells nobody.
TEST(FolderScan, CancelStopsAtOnceAndDropsWhatWasNotTaken) {
    fixtures::TempDir dir;
    const std::string folder = dir.MakeFolder("runs");
    fixtures::ChromatogramFixture c;
    for (int i = 0; i < 20; ++i) fixtures::WriteStg(folder + "/run" + std::to_string(i) + ".stg", c);
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    std::atomic<int> calls{0};
    std::promise<void> firstCall;
    const chromatogram::PassportReader reader = [&](const std::string& path, chromatogram::Passport& p) {
        if (calls++ == 0) firstCall.set_value();
        released.wait();
        return p.ReadFromFile(path, "Passport");
    };
    std::atomic<int> ends{0};
    FolderScan scan(folder + "/*.stg", {ScanType::Any, 2, reader, [&] { ++ends; }});
    firstCall.get_future().wait();
    scan.Cancel();  // returns while both readers hang
    EXPECT_FALSE(scan.Progress().finished);
    release.set_value();
    scan.Wait();
    EXPECT_TRUE(scan.TakeRead().empty());
    EXPECT_LE(calls.load(), 2);
    EXPECT_EQ(scan.Progress().read, 0u);
    EXPECT_EQ(ends.load(), 0);
}

}  // namespace
