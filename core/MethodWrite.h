#pragma once

#include "core/AuditLog.h"
#include "core/MethodFile.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

// Changing a method: writing a coefficient into it, or putting a kept copy back. Every change
// keeps the method's bytes first (core/MethodHistory.h) and is recorded in the audit trail
// (core/AuditLog.h); every attempt is recorded, the refused ones included.
//
// The order makes the trail exact whenever the program is killed:
//   1. the audit trail is locked and settled: a break of its chain or a torn line not yet
//      reported gets an "audit-check" line, and an attempt left without outcome by a killed
//      writer gets its outcome, found by comparing the method's hash with the attempt's
//      "before" and "after";
//   2. the method is opened without sharing and read whole; a refusal (no file, locked, no
//      ethanol record...) is recorded with its reason and ends the write;
//   3. its bytes are kept as a copy (synced, then named);
//   4. a line with outcome "attempt" is appended and synced: it names the copy and the hashes the
//      method has before and will have after;
//   5. the method is changed in place with one write (a restore: a new file renamed over it) and
//      synced;
//   6. a line with the outcome ("written", or why not, with the hash the method has then).
// No method byte changes before the attempt line is durable, so the trail never misses a change;
// the attempt line claims nothing, so the trail never claims a change that did not happen. A
// kill leaves the method as it was or as written, every kept copy whole (a cut copy has no name
// yet) and the trail with lines that parse, but for a torn last line.
namespace core {

class Calibration;
struct CalibrationQuality;

// Who asks for the change, for the audit trail.
struct WriteOrigin {
    std::string program;  // "ostrel" or "ostrel-cli"
    // The dialog adds its inputs, levels and verdict; null for the command line.
    const Calibration* calibration = nullptr;
    const CalibrationQuality* quality = nullptr;
};

// What the audit trail had to say while a method was changed. NoticeMessage gives its text.
struct MethodWriteNotice {
    enum class Kind {
        TrailFinding,          // a chain break or torn line of the trail seen for the first time (`finding`)
        InterruptedWritten,    // a write into `method` (trail line `line`) was killed after writing it
        InterruptedUnchanged,  // such a write was killed before changing the method
        InterruptedUnknown,    // such a write was killed and the method has changed since: unknown
        RefusalNotRecorded,    // the refusal of this change could not be recorded
        OutcomeNotRecorded,    // this change's outcome could not be recorded (its attempt line is there)
    };
    Kind kind = Kind::TrailFinding;
    AuditFinding finding{};
    std::string method{};
    std::size_t line = 0;
};

// The notice's text ("Журнал изменений, строка 3: цепочка нарушена …."), in the translation
// context "MethodWriteNotice".
Message NoticeMessage(const MethodWriteNotice& notice);

// What happened.
struct MethodWriteReport {
    MethodFault fault = MethodFault::None;  // None: the method was changed
    std::string title;
    std::string path;                  // the method file
    StoredCoefficient oldCoefficient;  // what the record held before
    StoredCoefficient newCoefficient;  // what it holds when written (a restore: what the copy holds)
    std::string backup;                // the copy kept of the method before, "" when none was made
    std::string from;                  // a restore: the copy put back
    // What the audit trail had to say: a chain break or torn line seen for the first time, an
    // interrupted write settled, an outcome that could not be recorded.
    std::vector<MethodWriteNotice> trailNotices;
    // The same notices in Russian (RussianText of their NoticeMessage), as ostrel-cli prints them.
    std::vector<std::string> notices;

    bool Written() const { return fault == MethodFault::None; }
};

// Writes `coefficient` into the ethanol record of the method `title` (core/MethodFile.h), after
// keeping a copy and recording the attempt. Refused, with nothing changed, for a coefficient that
// is not finite or not greater than 0.
MethodWriteReport SaveCoefficient(std::string_view title, double coefficient, const WriteOrigin& origin);

// Puts a kept copy of the method `title` back: the copy at `from`, or the newest one when `from`
// is empty. The method's present bytes are kept and the change recorded like a write, so a
// restore can itself be undone.
MethodWriteReport RestoreMethod(std::string_view title, std::string_view from, const WriteOrigin& origin);

// The audit trail's "version": the program's version.
std::string ProgramVersion();

// The clock that names kept copies and stamps audit lines. Tests put a fixed one in its place;
// nullptr brings the system clock back. Returns the one it replaces.
using Clock = std::chrono::system_clock::time_point (*)();
Clock SetClock(Clock clock);

}  // namespace core
