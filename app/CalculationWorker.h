#pragma once

#include "core/Calc.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Reads the level files of the main dialog's calculation passes off the window's thread: lab
// shares stall (a server rebooting, a VPN gone), and a read that takes 20 s must not freeze the
// window for 20 s. The worker only reads (core::ReadLevels); the dialog makes the figures from
// what was read on its own thread (core::Calibration::Compute).
//
// Passes and threads: Start begins a pass and supersedes every pass before it; only the newest
// pass's readings are ever handed out. One thread reads at a time: a pass asked for while
// another reads waits, and of several waiting only the newest is read, once the reading thread
// has finished the file in hand (a superseded pass stops before its next file). A read that has
// taken longer than kStalledAfter is taken for a share that does not answer: a newer pass then
// starts on a thread of its own at once, and the stalled thread is left to end by itself; its
// readings are dropped. A read is never retried.
//
// Threads: every member is called on the thread that owns the worker (the window's). The
// reading threads hand their result back through a lock and the signal `passEnded`, queued to
// the owner's thread. Destruction never waits for a read that hangs: it waits at most
// kLongestWaitForReads for reads in flight, then leaves them to end on their own.
class CCalculationWorker : public QObject {
    Q_OBJECT

public:
    // A read that has not answered after this long is shown as waiting for its file, and no
    // longer holds up newer passes.
    static constexpr std::chrono::milliseconds kStalledAfter{3000};
    static constexpr std::chrono::milliseconds kLongestWaitForReads{300};

    // The read in progress of the newest pass.
    struct Read {
        int level = -1;
        std::string path;
        std::chrono::steady_clock::duration waited{};  // since its open began
    };

    explicit CCalculationWorker(QObject* parent = nullptr);
    ~CCalculationWorker() override;

    // Begins a pass over `paths`; returns its number, which grows with every pass.
    std::uint64_t Start(const core::LevelPaths& paths);
    // Whether the newest pass has not ended yet.
    bool Busy() const;
    // The number of the newest pass.
    std::uint64_t Newest() const;
    // The newest pass's readings once it has ended, once; nothing before, or for an older pass.
    std::optional<core::LevelReadings> TakeReadings();
    // What the newest pass is reading now; nothing when it is not inside a read.
    std::optional<Read> CurrentRead() const;

signals:
    // The newest pass has ended (emitted on the reading thread, received on the owner's).
    void passEnded();

private:
    struct State;
    void Launch();

    std::shared_ptr<State> state_;  // shared with the reading threads, which may outlive the worker
};
