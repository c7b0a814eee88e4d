#pragma once

#include <chrono>
#include <initializer_list>
#include <memory>
#include <string>

// A share that stopped answering, for the tests of what must not wait for it: while it is in
// place, every open of a file whose path contains one of its patterns (through
// platform::LockedFile, which every chromatogram, passport and method read goes through) waits,
// on the thread that opens, until that pattern is released. Going away releases what still
// waits and removes the hook. It holds only shared state, so a thread still waiting may run on
// after the test has let go of it. One at a time: a second one replaces the first's hook.
namespace fixtures {

class StalledReads {
public:
    explicit StalledReads(std::initializer_list<std::string> patterns);
    explicit StalledReads(const std::string& pattern) : StalledReads({pattern}) {}
    ~StalledReads();
    StalledReads(const StalledReads&) = delete;
    StalledReads& operator=(const StalledReads&) = delete;

    // Lets the waiting and later opens of one pattern through, or of all.
    void Release(const std::string& pattern);
    void Release();
    // Opens waiting right now (for one pattern, or for all).
    int Waiting(const std::string& pattern = {}) const;
    // Whether `count` opens (of one pattern, or of all) are waiting at once within `timeout`.
    bool WaitForWaiting(int count, const std::string& pattern = {},
                        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace fixtures
