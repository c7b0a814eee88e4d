#pragma once

#include "platform/Stream.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// A read-only reader of the Compound File Binary format (versions 3 and 4: 512- and 4096-byte
// sectors, DIFAT sectors beyond the header, the mini stream and mini FAT). It offers what the
// chromatogram reader needs of structured storage and nothing more: open a file, open a stream
// of the root storage by name, and the stream operations of platform::Stream. Releasing is
// destroying the object.
//
// Every sector index and size is checked against the file before it is used, and every chain
// walk is bounded and loop-checked: an inconsistent file is a clean failure (an error code, or a
// stream that delivers fewer bytes), never a crash, a hang or an allocation the file cannot back.
//
// Reading is lazy: opening the file reads the header, the DIFAT and the directory; opening a
// stream follows its chain (reading only the FAT or mini FAT sectors on it) and reading it reads
// each run of consecutive sectors in one call. The passport of a large chromatogram thus costs a
// few sectors, not the file. Small pieces are read a page or a few at a time and kept while the
// file is open, so the header, FAT, directory, mini FAT and a short stream that lie close
// together cost one read: a passport read is open, fstat, flock, usually a single pread, close.
namespace platform {

enum class CompoundError {
    None,
    NotFound,         // no such file, or no such stream in the root storage
    AccessDenied,     // the file exists but cannot be opened for reading
    Locked,           // another opener holds the file (the exclusive-sharing rule)
    NotCompoundFile,  // empty, too short, or no compound-file signature
    Corrupt,          // a structure of the file is inconsistent
};

// How an open file is shared with other openers while it is held.
enum class CompoundSharing {
    Exclusive,  // no other opener at the same time
    DenyWrite,  // other readers that deny writing too, but no exclusive opener
};

class CompoundFile {
public:
    // Opens the file at `path` read-only: an advisory lock (exclusive, or shared for DenyWrite)
    // is held until the object is destroyed, and a file that another opener holds in a way that
    // excludes ours fails with Locked. On failure returns null and, if `error` is given, stores
    // the reason. Streams may outlive the object (they keep reading the file, no longer locked).
    static std::unique_ptr<CompoundFile> Open(const std::string& path, CompoundError* error = nullptr,
                                              CompoundSharing sharing = CompoundSharing::Exclusive);

    // A compound file over bytes held by the caller (no lock); the bytes must outlive the
    // object and its streams. For tests and fuzzing.
    static std::unique_ptr<CompoundFile> OpenMemory(std::span<const std::uint8_t> bytes,
                                                    CompoundError* error = nullptr);

    virtual ~CompoundFile() = default;

    // Opens the stream of the root storage named `name`; names compare ignoring case, as on
    // Windows. Only streams directly in the root storage are found. Null on failure: NotFound
    // for a missing name (or one that names a storage), Corrupt for a damaged chain.
    virtual std::unique_ptr<Stream> OpenStream(std::string_view name, CompoundError* error = nullptr) = 0;
};

}  // namespace platform
