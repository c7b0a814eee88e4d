#include "support/MixedFolder.h"

#include "support/StgBuilder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

namespace fixtures {

namespace {

// 2023-11-15 12:00:00 UTC.
constexpr std::int64_t kNoon = 1700049600;
constexpr std::int64_t kDay = 86400;

void SetLastWriteTime(const std::string& path, std::int64_t time, int flags = 0) {
    const timespec times[2] = {{time, 0}, {time, 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, flags) != 0) throw std::runtime_error("cannot date " + path);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

ChromatogramFixture Run(const ExpectedScanEntry& e, int version) {
    ChromatogramFixture c;
    c.signal = {1, 2, 3};
    c.passport.version = version;
    c.passport.sampleName = e.sampleName;
    c.passport.methodName = e.methodName;
    c.passport.samplingSite = e.samplingSite;
    c.passport.samplingPoint = e.samplingPoint;
    c.passport.isCalibration = e.isCalibration;
    c.passport.dateTime = e.dateTime;
    return c;
}

ExpectedScanEntry Unreadable(const char* name, std::int64_t lastWrite, bool isCalibration = false) {
    return {name, "????", "", "", "", lastWrite, isCalibration, false};
}

}  // namespace

std::vector<ExpectedScanEntry> MixedFolder::ExpectedOfType(int type) const {
    std::vector<ExpectedScanEntry> kept;
    for (const ExpectedScanEntry& e : expected)
        if (type == 0 || (type == 1) == e.isCalibration) kept.push_back(e);
    return kept;
}

MixedFolder WriteMixedFolder(const std::string& folder) {
    MixedFolder mix;
    mix.path = folder;
    const auto at = [&](const std::string& name) { return folder + "/" + name; };

    const ExpectedScanEntry good{"b-good.stg", "Проба 1", "Этанол", "Цех 1", "Кран 2", kNoon + 60, true, true};
    const ExpectedScanEntry sameSecond{"A-good.stg", "Проба 2", "ЭТАНОЛ", "Цех 2", "", kNoon + 60, false, true};
    const ExpectedScanEntry linked{"link.stg", "Проба 1", "Этанол", "Цех 1", "Кран 2", kNoon + 60, true, true};
    const ExpectedScanEntry old{"UPPER.STG", "Старая проба", "Вода", "", "Точка", kNoon - 3600, false, true};
    WriteStg(at(good.fileName), Run(good, 3));
    WriteStg(at(sameSecond.fileName), Run(sameSecond, 2));
    ChromatogramFixture version1 = Run(old, 1);
    version1.passport.textEncoding = TextEncoding::Utf16;
    WriteStg(at(old.fileName), version1);
    if (::symlink("b-good.stg", at("link.stg").c_str()) != 0) throw std::runtime_error("cannot link");

    // The passport breaks off in its last value, after the calibration flag was read.
    const ExpectedScanEntry cut = Unreadable("cut.stg", kNoon - kDay, true);
    {
        ChromatogramFixture c = Run(good, 3);
        std::string passport = EncodePassport(c.passport);
        passport.resize(passport.size() - 4);
        WriteCompoundFile(at(cut.fileName), Replaced(EncodeStreams(c), "Passport", passport));
    }
    const ExpectedScanEntry noPassport = Unreadable("nopassport.stg", kNoon - 2 * kDay);
    WriteCompoundFile(at(noPassport.fileName), Without(EncodeStreams(Run(good, 3)), "Passport"));
    const ExpectedScanEntry text = Unreadable("text.stg", kNoon - 3 * kDay);
    WriteBytes(at(text.fileName), "not a compound file");
    const ExpectedScanEntry empty = Unreadable("empty.stg", kNoon - 4 * kDay);
    WriteBytes(at(empty.fileName), "");
    const ExpectedScanEntry version4 = Unreadable("version4.stg", kNoon - 5 * kDay);
    {
        ChromatogramFixture c = Run(good, 3);
        c.passport.version = 4;
        WriteStg(at(version4.fileName), c);
    }
    const ExpectedScanEntry locked = Unreadable("locked.stg", kNoon - 6 * kDay);
    WriteStg(at(locked.fileName), Run(good, 3));
    const ExpectedScanEntry fifo = Unreadable("fifo.stg", kNoon - 7 * kDay);
    if (::mkfifo(at(fifo.fileName).c_str(), 0644) != 0) throw std::runtime_error("cannot make a FIFO");
    const ExpectedScanEntry dangling = Unreadable("dangling.stg", kNoon - 8 * kDay);
    if (::symlink("nowhere.stg.target", at(dangling.fileName).c_str()) != 0) throw std::runtime_error("cannot link");
    // Cut inside its directory: the file stops before its streams.
    const ExpectedScanEntry truncated = Unreadable("truncated.stg", kNoon - 9 * kDay);
    WriteBytes(at(truncated.fileName), BuildStg(Run(good, 3)).substr(0, 1000));

    ::mkdir(at("folder.stg").c_str(), 0755);
    WriteBytes(at("notes.txt"), "not listed");
    WriteBytes(at("stg"), "not listed either");

    for (const ExpectedScanEntry* e : {&cut, &noPassport, &text, &empty, &version4, &locked, &fifo, &truncated})
        SetLastWriteTime(at(e->fileName), e->dateTime);
    SetLastWriteTime(at(dangling.fileName), dangling.dateTime, AT_SYMLINK_NOFOLLOW);

    mix.lockHolder = platform::LockedFile::Open(at(locked.fileName), platform::LockedFile::Mode::ReadOnly);
    if (!mix.lockHolder) throw std::runtime_error("cannot lock");

    mix.expected = {sameSecond, good, linked, old, cut, noPassport, text, empty, version4, locked, fifo, dangling, truncated};
    return mix;
}

}  // namespace fixtures
