#include "chromatogram/Errors.h"

namespace chromatogram {

std::string OpenFailureText(platform::CompoundError error) {
    switch (error) {
    case platform::CompoundError::None: break;
    case platform::CompoundError::NotFound: return "no such file";
    case platform::CompoundError::AccessDenied: return "not a readable file";
    case platform::CompoundError::Locked: return "locked by another program";
    case platform::CompoundError::NotCompoundFile: return "not a compound file";
    case platform::CompoundError::Corrupt: return "damaged compound file";
    }
    return "cannot be opened";
}

ReadFailure::Kind OpenFailureKind(platform::CompoundError error) {
    switch (error) {
    case platform::CompoundError::None: return ReadFailure::Kind::None;
    case platform::CompoundError::NotFound: return ReadFailure::Kind::NotFound;
    case platform::CompoundError::AccessDenied: return ReadFailure::Kind::AccessDenied;
    case platform::CompoundError::Locked: return ReadFailure::Kind::Locked;
    case platform::CompoundError::NotCompoundFile: return ReadFailure::Kind::NotChromatogram;
    case platform::CompoundError::Corrupt: break;
    }
    return ReadFailure::Kind::Damaged;
}

std::string StreamOpenFailureText(std::string_view stream, platform::CompoundError error) {
    const std::string quoted = "\"" + std::string(stream) + "\"";
    return (error == platform::CompoundError::Corrupt ? "damaged stream " : "missing stream ") + quoted;
}

std::string StreamFailureText(std::string_view stream, std::string_view what) {
    return "stream \"" + std::string(stream) + "\": " + std::string(what);
}

}  // namespace chromatogram
