#include "support/StalledReads.h"

#include "platform/LockedFile.h"

#include <condition_variable>
#include <mutex>
#include <vector>

namespace fixtures {

struct StalledReads::State {
    struct Gate {
        std::string pattern;
        bool released = false;
        int waiting = 0;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Gate> gates;

    int Waiting(const std::string& pattern) const {
        int count = 0;
        for (const Gate& gate : gates)
            if (pattern.empty() || gate.pattern == pattern) count += gate.waiting;
        return count;
    }
};

StalledReads::StalledReads(std::initializer_list<std::string> patterns) : state_(std::make_shared<State>()) {
    for (const std::string& pattern : patterns) state_->gates.push_back({pattern});
    platform::LockedFile::SetOpenHook([state = state_](const std::string& path) {
        std::unique_lock lock(state->mutex);
        for (State::Gate& gate : state->gates) {
            if (path.find(gate.pattern) == std::string::npos) continue;
            ++gate.waiting;
            state->changed.notify_all();
            state->changed.wait(lock, [&] { return gate.released; });
            --gate.waiting;
            state->changed.notify_all();
            return;
        }
    });
}

StalledReads::~StalledReads() {
    platform::LockedFile::SetOpenHook({});
    Release();
}

void StalledReads::Release(const std::string& pattern) {
    std::lock_guard lock(state_->mutex);
    for (State::Gate& gate : state_->gates)
        if (gate.pattern == pattern) gate.released = true;
    state_->changed.notify_all();
}

void StalledReads::Release() {
    std::lock_guard lock(state_->mutex);
    for (State::Gate& gate : state_->gates) gate.released = true;
    state_->changed.notify_all();
}

int StalledReads::Waiting(const std::string& pattern) const {
    std::lock_guard lock(state_->mutex);
    return state_->Waiting(pattern);
}

bool StalledReads::WaitForWaiting(int count, const std::string& pattern, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->Waiting(pattern) >= count; });
}

}  // namespace fixtures
