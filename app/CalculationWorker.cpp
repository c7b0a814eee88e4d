#include "app/CalculationWorker.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

// What the worker shares with its reading threads.
struct CCalculationWorker::State {
    std::mutex mutex;  // guards everything below
    std::condition_variable threadsChanged;
    CCalculationWorker* owner = nullptr;  // null once the worker is gone

    std::uint64_t newest = 0;  // the number of the newest pass asked for
    core::LevelPaths newestPaths;
    bool newestWaiting = false;  // no thread has begun the newest pass yet
    bool newestEnded = true;
    std::optional<core::LevelReadings> readings;  // the newest pass's, until taken

    std::uint64_t runner = 0;  // the thread that takes waiting passes; others end after their pass
    bool runnerAlive = false;
    int threads = 0;  // reading threads not yet ended

    // The runner's read in progress; level -1: none.
    int readingLevel = -1;
    std::string readingPath;
    std::chrono::steady_clock::time_point readingSince;

    void Run(std::uint64_t me);
    bool BeginRead(std::uint64_t me, std::uint64_t pass, int level, const std::string& path);
    void EndThread(std::uint64_t me);
};

namespace {

// A pass whose reading failed outright (no memory left for a huge file): every file it meant to
// read counts as unreadable, as a file that fails to read does.
core::LevelReadings UnreadableLevels(const core::LevelPaths& paths) {
    core::LevelReadings read;
    for (std::size_t k = 0; k < paths.size(); ++k) {
        read[k].path = paths[k];
        if (!paths[k].empty()) read[k].file = core::LevelFile::Unreadable;
    }
    return read;
}

}  // namespace

CCalculationWorker::CCalculationWorker(QObject* parent) : QObject(parent), state_(std::make_shared<State>()) {
    state_->owner = this;
}

CCalculationWorker::~CCalculationWorker() {
    std::unique_lock lock(state_->mutex);
    state_->owner = nullptr;
    state_->newestWaiting = false;
    ++state_->runner;  // the runner ends after the file in hand
    state_->threadsChanged.wait_for(lock, kLongestWaitForReads, [this] { return state_->threads == 0; });
}

std::uint64_t CCalculationWorker::Start(const core::LevelPaths& paths) {
    std::unique_lock lock(state_->mutex);
    State& s = *state_;
    const std::uint64_t pass = ++s.newest;
    s.newestPaths = paths;
    s.newestWaiting = true;
    s.newestEnded = false;
    s.readings.reset();
    const bool stalled =
        s.readingLevel >= 0 && std::chrono::steady_clock::now() - s.readingSince >= kStalledAfter;
    if (s.runnerAlive && !stalled) return pass;  // the runner takes it after the file in hand
    // No runner, or one stuck in a read: a fresh thread reads the pass now.
    ++s.runner;
    s.runnerAlive = true;
    s.readingLevel = -1;
    ++s.threads;
    lock.unlock();
    Launch();
    return pass;
}

void CCalculationWorker::Launch() {
    std::uint64_t me;
    {
        std::lock_guard lock(state_->mutex);
        me = state_->runner;
    }
    try {
        std::thread([state = state_, me] { state->Run(me); }).detach();
    } catch (const std::system_error&) {
        state_->Run(me);  // no thread to be had: read here rather than never
    }
}

bool CCalculationWorker::Busy() const {
    std::lock_guard lock(state_->mutex);
    return !state_->newestEnded;
}

std::uint64_t CCalculationWorker::Newest() const {
    std::lock_guard lock(state_->mutex);
    return state_->newest;
}

std::optional<core::LevelReadings> CCalculationWorker::TakeReadings() {
    std::lock_guard lock(state_->mutex);
    return std::exchange(state_->readings, std::nullopt);
}

// The runner's read, whichever pass it belongs to: the newest pass waits for it either way.
std::optional<CCalculationWorker::Read> CCalculationWorker::CurrentRead() const {
    std::lock_guard lock(state_->mutex);
    if (state_->newestEnded || state_->readingLevel < 0) return std::nullopt;
    return Read{state_->readingLevel, state_->readingPath, std::chrono::steady_clock::now() - state_->readingSince};
}

// Reads the newest waiting pass, again and again, for as long as this thread is the runner.
void CCalculationWorker::State::Run(std::uint64_t me) {
    for (;;) {
        std::uint64_t pass;
        core::LevelPaths paths;
        {
            std::lock_guard lock(mutex);
            // Ended under the same lock as the look: a pass asked for after it finds no runner.
            if (me != runner || !newestWaiting) {
                EndThread(me);
                return;
            }
            pass = newest;
            paths = newestPaths;
            newestWaiting = false;
        }
        std::optional<core::LevelReadings> read;
        try {
            read = core::ReadLevels(paths, [&](int level) {
                return BeginRead(me, pass, level, paths[static_cast<std::size_t>(level)]);
            });
        } catch (const std::exception&) {
            read = UnreadableLevels(paths);
        }
        std::lock_guard lock(mutex);
        if (me == runner) readingLevel = -1;
        if (!read || pass != newest) continue;  // superseded: nothing of it is kept
        readings = std::move(read);
        newestEnded = true;
        if (owner) emit owner->passEnded();
    }
}

// Before each file: a superseded pass stops here; otherwise the read is on record as in progress.
bool CCalculationWorker::State::BeginRead(std::uint64_t me, std::uint64_t pass, int level, const std::string& path) {
    std::lock_guard lock(mutex);
    if (me != runner || pass != newest) return false;
    readingLevel = level;
    readingPath = path;
    readingSince = std::chrono::steady_clock::now();
    return true;
}

// Called under the lock.
void CCalculationWorker::State::EndThread(std::uint64_t me) {
    if (me == runner) runnerAlive = false;
    --threads;
    threadsChanged.notify_all();
}
