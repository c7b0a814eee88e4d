#include "chromatogram/FolderScan.h"

#include "platform/FileSearch.h"
#include "platform/Text.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>

namespace chromatogram {

namespace {

constexpr const char* kPassportStream = "Passport";
// Enough to keep a share busy while one read waits for its answer, few enough for two cores.
constexpr unsigned kDefaultReaders = 4;
constexpr unsigned kMaxReaders = 64;
// How long a scan that goes away waits for its reads in flight: reads of a live file system end
// in microseconds; one that hangs on a share gone away is left to end by itself.
constexpr std::chrono::milliseconds kLongestWaitForReads{1000};

bool ReadPassportFile(const std::string& path, Passport& passport) {
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

// What the readers share with the scan object.
struct FolderScan::State {
    State(std::string pattern, Options options) : pattern(std::move(pattern)), options(std::move(options)) {}

    void Work();
    void List();
    std::optional<ScannedFile> ReadOne(std::size_t index);
    bool Keeps(const ScannedFile& file) const;
    // Waits until every reader has ended, or for `limit`; true when they have.
    bool WaitFinished(std::chrono::milliseconds limit);

    const std::string pattern;
    const Options options;

    std::once_flag listOnce;
    // Written once by List, then only read.
    std::vector<platform::ListedFile> files;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> cancelled{false};

    mutable std::mutex mutex;  // guards what follows
    std::condition_variable finishedChanged;
    std::vector<ScannedFile> ready;
    ScanProgress progress;
    unsigned working = 0;
};

unsigned FolderScan::DefaultReaders() { return kDefaultReaders; }

FolderScan::FolderScan(const std::string& pattern, Options options)
    : state_(std::make_shared<State>(pattern, std::move(options))) {
    const unsigned readers =
        std::clamp(state_->options.readers == 0 ? kDefaultReaders : state_->options.readers, 1u, kMaxReaders);
    state_->working = readers;
    for (unsigned k = 0; k < readers; ++k) {
        try {
            threads_.emplace_back([state = state_] { state->Work(); });
        } catch (const std::system_error&) {
            // No more threads to be had: the ones running share the files.
            std::lock_guard lock(state_->mutex);
            state_->working -= readers - k;
            break;
        }
    }
    if (threads_.empty()) {
        state_->working = 1;
        state_->Work();  // not even one: the caller reads them itself
    }
}

FolderScan::~FolderScan() {
    Cancel();
    const bool ended = state_->WaitFinished(kLongestWaitForReads);
    for (std::thread& t : threads_) ended ? t.join() : t.detach();
}

void FolderScan::Cancel() {
    state_->cancelled = true;
    std::lock_guard lock(state_->mutex);
    state_->ready.clear();
}

std::vector<ScannedFile> FolderScan::TakeRead() {
    std::lock_guard lock(state_->mutex);
    std::vector<ScannedFile> taken;
    taken.swap(state_->ready);
    return taken;
}

ScanProgress FolderScan::Progress() const {
    std::lock_guard lock(state_->mutex);
    return state_->progress;
}

void FolderScan::Wait() {
    std::unique_lock lock(state_->mutex);
    state_->finishedChanged.wait(lock, [this] { return state_->progress.finished; });
}

bool FolderScan::State::WaitFinished(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex);
    return finishedChanged.wait_for(lock, limit, [this] { return progress.finished; });
}

// Every reader: the first one lists the folder while the others wait for the list, then each
// takes the next file not yet begun until none is left or the scan is cancelled.
void FolderScan::State::Work() {
    std::call_once(listOnce, [this] { List(); });
    for (std::size_t i = next++; i < files.size() && !cancelled; i = next++) {
        std::optional<ScannedFile> file = ReadOne(i);
        std::lock_guard lock(mutex);
        if (cancelled) break;
        ++progress.read;
        if (!file)
            ++progress.vanished;
        else if (Keeps(*file))
            ready.push_back(std::move(*file));
    }
    std::lock_guard lock(mutex);
    if (--working == 0) {
        progress.finished = true;
        // Cancel() sets the flag before it takes the lock: once it has returned, this sees it.
        if (!cancelled && options.onFinished) options.onFinished();
        finishedChanged.notify_all();
    }
}

void FolderScan::State::List() {
    platform::FileListing listing = platform::ListFiles(pattern);
    files = std::move(listing.files);
    // A folder lists its entries in the order of its name index, which scatters them over the
    // disk; in inode order the reads follow the disk, and a cold one costs fewer seeks.
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.inode < b.inode; });
    std::lock_guard lock(mutex);
    // Room for every entry at once: grown step by step, the list is moved again and again into
    // fresh memory, and every fresh page is a fault.
    ready.reserve(files.size());
    progress.total = files.size();
    progress.listed = true;
    progress.listError = listing.error;
}

// The entry of file `index`; none when the file is gone.
std::optional<ScannedFile> FolderScan::State::ReadOne(std::size_t index) {
    const platform::ListedFile& listed = files[index];
    ScannedFile file;
    file.fileName = listed.name;
    file.fileTitle = listed.title;
    file.path = listed.fullPath;
    Passport passport;
    bool read = false;
    if (listed.regular) {
        try {
            read = options.reader ? options.reader(file.path, passport) : ReadPassportFile(file.path, passport);
        } catch (const std::exception&) {
            read = false;  // one file that cannot be read, whatever the reason, is one row of "????"
        }
    }
    file.isCalibration = passport.isCalibration;
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

bool FolderScan::State::Keeps(const ScannedFile& file) const {
    switch (options.type) {
        case ScanType::Calibration: return file.isCalibration != 0;
        case ScanType::Analysis: return file.isCalibration == 0;
        case ScanType::Any: break;
    }
    return true;
}

std::vector<ScannedFile> ScanFolder(const std::string& pattern, ScanType type, ScanProgress* outcome,
                                    const PassportReader& reader) {
    FolderScan scan(pattern, {type, 0, reader, {}});
    scan.Wait();
    std::vector<ScannedFile> files = scan.TakeRead();
    std::sort(files.begin(), files.end(), ListedBefore);
    if (outcome) *outcome = scan.Progress();
    return files;
}

}  // namespace chromatogram
