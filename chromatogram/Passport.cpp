#include "chromatogram/Passport.h"

#include "chromatogram/Errors.h"
#include "chromatogram/PassportFields.h"
#include "platform/CompoundFile.h"

#include <ctime>
#include <new>
#include <string>
#include <type_traits>

namespace chromatogram {

namespace {

constexpr std::uint32_t kMagic = 0xE04561CC;
constexpr std::int32_t kLatestVersion = 3;

}  // namespace

Time LocalMidnight(Time moment) {
    const std::time_t seconds = static_cast<std::time_t>(moment.time_since_epoch().count());
    std::tm local{};
    if (!localtime_r(&seconds, &local)) return moment;
    local.tm_hour = 0;
    local.tm_min = 0;
    local.tm_sec = 0;
    local.tm_isdst = -1;  // midnight may lie on the other side of a daylight-saving change
    const std::time_t midnight = std::mktime(&local);
    if (midnight == static_cast<std::time_t>(-1)) return moment;
    return Time(std::chrono::seconds(midnight));
}

namespace {

// The local day that `moment` falls in, remembered between calls: the open dialog creates a
// passport for every file it lists, and asking the time-zone rules for midnight costs more than
// reading a passport.
Time MidnightOfCreationDay(Time moment) {
    thread_local Time dayStart = Time::max();
    thread_local Time nextDayStart = Time::min();
    if (moment < dayStart || moment >= nextDayStart) {
        dayStart = LocalMidnight(moment);
        // Some 25 hours on is always within the next day, whatever the daylight-saving change.
        nextDayStart = LocalMidnight(dayStart + std::chrono::hours(25));
        if (nextDayStart <= dayStart) return dayStart;
    }
    return dayStart;
}

}  // namespace

Passport::Passport() : Passport(std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now())) {}

Passport::Passport(Time created) : dateOnly(MidnightOfCreationDay(created)), dateTime(created) {}

void Passport::ReadFromStream(platform::Stream& stream) {
    Archive archive(stream);
    const std::uint32_t magic = archive.ReadUInt32();
    const std::int32_t version = archive.ReadInt32();
    if (magic != kMagic || version > kLatestVersion) throw BadFormatError("not a passport of a known version");

    VisitPassportFields(
        [&](const char*, std::int32_t since, auto& field) {
            if (version < since) return;
            using Field = std::remove_reference_t<decltype(field)>;
            if constexpr (std::is_same_v<Field, std::string>)
                field = archive.ReadText();
            else if constexpr (std::is_same_v<Field, double>)
                field = archive.ReadDouble();
            else if constexpr (std::is_same_v<Field, std::int32_t>)
                field = archive.ReadInt32();
            else
                field = archive.ReadTime();
        },
        *this);
}

bool Passport::ReadFromFile(const std::string& path, const std::string& streamName, std::string* failure) {
    const auto failed = [failure](std::string reason) {
        if (failure) *failure = std::move(reason);
        return false;
    };
    if (failure) failure->clear();
    platform::CompoundError error = platform::CompoundError::None;
    const std::unique_ptr<platform::CompoundFile> file =
        platform::CompoundFile::Open(path, &error, platform::CompoundSharing::DenyWrite);
    if (!file) return failed(OpenFailureText(error));
    const std::unique_ptr<platform::Stream> stream = file->OpenStream(streamName, &error);
    if (!stream) return failed(StreamOpenFailureText(streamName, error));
    // Exhausted memory is caught as well: the callers list whole folders of files, and one
    // file must not bring the listing down.
    try {
        ReadFromStream(*stream);
        return true;
    } catch (const ReadError& e) {
        return failed(StreamFailureText(streamName, e.what()));
    } catch (const std::bad_alloc&) {
        return failed(StreamFailureText(streamName, "out of memory"));
    }
}

}  // namespace chromatogram
