#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

// Sets the process's time zone (TZ, in the POSIX form "MSK-3" or "CET-1CEST,M3.5.0,M10.5.0/3",
// which needs no zone database) for the lifetime of the object, so that what a test expects of
// local times does not depend on the machine's zone or on the rules of the day it runs.
namespace fixtures {

class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TimeZone() {
        if (saved_)
            ::setenv("TZ", saved_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    std::optional<std::string> saved_;
};

}  // namespace fixtures
