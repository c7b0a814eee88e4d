#include "chromatogram/FolderScan.h"

#include "platform/FileSearch.h"
#include "platform/Text.h"

#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <system_error>

namespace chromatogram {

namespace {

constexpr const char* kPassportStream = "Passport";
// Enough to keep a share busy while one read waits for its answer, few enough for two cores.
constexpr unsigned kDefaultReaders = 4;
constexpr unsigned kMaxReaders = 64;

bool ReadWithPassportReader(const std::string& path, Passport& passport) {
    return passport.ReadFromFile(path, kPassportStream);
}

// The last-write time of a file whose passport could not be read, or of the link itself when
// it dangles; false when the file is gone.
bool LastWriteTime(const std::string& path, Time* time) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 && ::lstat(path.c_str(), &st) != 0) return false;
    *time = Time(std::chrono::seconds(st.st_mtime));
    return true;
}

}  // namespace

bool ListedBefore(const ScannedFile& a, const ScannedFile& b) {
    if (a.dateTime != b.dateTime) return a.dateTime > b.dateTime;
    const int byTitle = platform::CompareIgnoreCase(a.fileTitle, b.fileTitle);
    return byTitle != 0 ? byTitle < 0 : a.fileName < b.fileName;
}

unsigned FolderScan::DefaultReaders() { return kDefaultReaders; }

FolderScan::FolderScan(const std::string& pattern, Options options)
    : pattern_(pattern), options_(std::move(options)) {
    const unsigned readers = std::clamp(options_.readers == 0 ? kDefaultReaders : options_.readers, 1u, kMaxReaders);
    working_ = readers;
    for (unsigned k = 0; k < readers; ++k) {
        try {
            threads_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            // No more threads to be had: the ones running share the files.
            std::lock_guard lock(mutex_);
            working_ -= readers - k;
            break;
        }
    }
    if (threads_.empty()) {
        working_ = 1;
        Work();  // not even one: the caller reads them itself
    }
}

FolderScan::~FolderScan() {
    Cancel();
    for (std::thread& t : threads_) t.join();
}

void FolderScan::Cancel() {
    cancelled_ = true;
    std::lock_guard lock(mutex_);
    ready_.clear();
}

std::vector<ScannedFile> FolderScan::TakeRead() {
    std::lock_guard lock(mutex_);
    std::vector<ScannedFile> taken;
    taken.swap(ready_);
    return taken;
}

ScanProgress FolderScan::Progress() const {
    std::lock_guard lock(mutex_);
    return progress_;
}

void FolderScan::Wait() {
    std::unique_lock lock(mutex_);
    finishedChanged_.wait(lock, [this] { return progress_.finished; });
}

// Every reader: the first one lists the folder while the others wait for the list, then each
// takes the next file not yet begun until none is left or the scan is cancelled.
void FolderScan::Work() {
    std::call_once(listOnce_, [this] { List(); });
    for (std::size_t i = next_++; i < names_.size() && !cancelled_; i = next_++) {
        std::optional<ScannedFile> file = ReadOne(i);
        std::lock_guard lock(mutex_);
        if (cancelled_) break;
        ++progress_.read;
        if (!file)
            ++progress_.vanished;
        else if (Keeps(*file))
            ready_.push_back(std::move(*file));
    }
    std::lock_guard lock(mutex_);
    if (--working_ == 0) {
        progress_.finished = true;
        finishedChanged_.notify_all();
    }
}

void FolderScan::List() {
    platform::FileListing listing = platform::ListFiles(pattern_);
    for (platform::ListedFile& file : listing.files) {
        names_.push_back(std::move(file.name));
        titles_.push_back(std::move(file.title));
        paths_.push_back(std::move(file.fullPath));
        regular_.push_back(file.regular);
    }
    std::lock_guard lock(mutex_);
    progress_.total = names_.size();
    progress_.listed = true;
    progress_.listError = listing.error;
}

// The entry of file `index`; none when the file is gone.
std::optional<ScannedFile> FolderScan::ReadOne(std::size_t index) {
    ScannedFile file;
    file.fileName = names_[index];
    file.fileTitle = titles_[index];
    file.path = paths_[index];
    Passport passport;
    bool read = false;
    if (regular_[index]) {
        try {
            read = options_.reader ? options_.reader(file.path, passport) : ReadWithPassportReader(file.path, passport);
        } catch (const std::exception&) {
            read = false;  // one file that cannot be read, whatever the reason, is one row of "????"
        }
    }
    file.isCalibration = passport.isCalibration != 0;
    file.readable = read;
    if (read) {
        file.sampleName = std::move(passport.sampleName);
        file.methodName = std::move(passport.methodName);
        file.samplingSite = std::move(passport.samplingSite);
        file.samplingPoint = std::move(passport.samplingPoint);
        file.dateTime = passport.dateTime;
    } else {
        file.sampleName = kUnreadableSample;
        if (!LastWriteTime(file.path, &file.dateTime)) return std::nullopt;
    }
    return file;
}

bool FolderScan::Keeps(const ScannedFile& file) const {
    switch (options_.type) {
        case ScanType::Calibration: return file.isCalibration;
        case ScanType::Analysis: return !file.isCalibration;
        case ScanType::Any: break;
    }
    return true;
}

std::vector<ScannedFile> ScanFolder(const std::string& pattern, ScanType type, ScanProgress* outcome,
                                    const PassportReader& reader) {
    FolderScan scan(pattern, {type, 0, reader});
    scan.Wait();
    std::vector<ScannedFile> files = scan.TakeRead();
    std::sort(files.begin(), files.end(), ListedBefore);
    if (outcome) *outcome = scan.Progress();
    return files;
}

}  // namespace chromatogram
