#pragma once

#include "chromatogram/Archive.h"
#include "chromatogram/Passport.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// The passports of a folder's chromatograms, read a few at a time: what the open dialog lists
// and `ostrel-cli scan` prints. A folder on a lab share holds thousands of files and every open
// there is a round trip, so several reads are kept in flight, each on a thread of its own, and
// the caller takes what has been read while the rest is still being read.
namespace chromatogram {

// Which files a scan keeps, by the calibration flag of their passport.
enum class ScanType { Any = 0, Calibration = 1, Analysis = 2 };

// One listed file.
struct ScannedFile {
    std::string fileName;   // the name as found on disk, extension included
    std::string fileTitle;  // the name without its extension
    std::string path;       // folder + "/" + fileName
    std::string sampleName;  // "????" when the passport cannot be read
    std::string methodName;  // empty when the passport cannot be read
    std::string samplingSite;
    std::string samplingPoint;
    Time dateTime;  // the file's last-write time when the passport cannot be read
    // The passport's flag as it stores it (nonzero: a calibration run); for an unreadable file
    // what the failed read left in a fresh passport: zero unless the read broke off after it.
    std::int32_t isCalibration = 0;
    bool readable = false;  // the passport was read whole
};

// The text shown as the sample of a file whose passport cannot be read.
inline constexpr const char* kUnreadableSample = "????";

// The order of a listing: newest first; files of the same second by title ignoring case, then
// by name, so that every scan lists them alike.
bool ListedBefore(const ScannedFile& a, const ScannedFile& b);

// Reads the passport of the regular file at `path` into a fresh passport; true when it was
// read whole. The scan reads with Passport::ReadFromFile and the stream "Passport" unless it is
// given another reader (tests hand in slow or failing ones). Called on the scan's threads, a
// few at a time; it must not throw.
using PassportReader = std::function<bool(const std::string& path, Passport& passport)>;

struct ScanProgress {
    std::size_t read = 0;      // listed files done (read, found unreadable, or gone)
    std::size_t total = 0;     // files listed; final once `listed`
    bool listed = false;       // the folder has been listed
    bool finished = false;     // every listed file is done, or the scan was cancelled
    int listError = 0;         // errno of what kept the folder from being listed whole, or 0
    std::size_t vanished = 0;  // listed files that were gone when their turn came; not listed
};

// A scan of one folder: starts at once, in the background, and ends by itself. Results come
// out in the order the reads end; ListedBefore puts them in the listing's order. Damaged and
// unreadable files are listed as described at ScannedFile; a file that can no longer be found
// when its turn comes (removed, or its folder removed) is not. Nothing here blocks the caller
// but Wait and destruction.
class FolderScan {
public:
    struct Options {
        ScanType type = ScanType::Any;
        unsigned readers = 0;  // reads in flight at once; 0: DefaultReaders()
        PassportReader reader;  // empty: Passport::ReadFromFile
        // Called once, on a reader's thread, when the last read has ended, so that a caller
        // waiting on an event loop learns of the end at once rather than at its next look. Not
        // called once Cancel() has returned. Called under the scan's lock: it must be quick and
        // must not call the scan.
        std::function<void()> onFinished;
    };

    // Lists the files that the wildcard pattern (folder + "/*.stg") matches, as
    // platform::ListFiles does, and reads their passports.
    FolderScan(const std::string& pattern, Options options);
    // Cancels, then waits for the reads in flight (one file per reader at most) for up to a
    // second; a read that hangs longer (a share gone away) is left to end on its own.
    ~FolderScan();
    FolderScan(const FolderScan&) = delete;
    FolderScan& operator=(const FolderScan&) = delete;

    // Stops at once: no further file is begun, results not yet taken are dropped, and the scan
    // counts as finished as soon as the reads in flight have ended.
    void Cancel();

    // The files read since the last call that the type keeps.
    std::vector<ScannedFile> TakeRead();
    ScanProgress Progress() const;
    // Blocks until the scan has finished.
    void Wait();

    static unsigned DefaultReaders();

private:
    struct State;
    std::shared_ptr<State> state_;  // shared with the readers, which may outlive the object
    std::vector<std::thread> threads_;
};

// A whole scan, waited for: the kept files in the listing's order (ListedBefore). `outcome`, if
// given, receives the final progress (what could not be listed or read).
std::vector<ScannedFile> ScanFolder(const std::string& pattern, ScanType type, ScanProgress* outcome = nullptr,
                                    const PassportReader& reader = {});

}  // namespace chromatogram
