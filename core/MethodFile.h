#pragma once

#include "core/Message.h"
#include "platform/LockedFile.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The analysis methods of the data system: files "<title>.mtd" in the method folder, whose
// location the data system keeps in the value "MethodPath" of the application key (read afresh
// on every call, never written).
//
// This program changes exactly one thing in a method: the ethanol record, found as the first
// occurrence of the component name "этанол" with its length byte (06 FD F2 E0 ED EE EB) at an
// offset p within the working copy (the first 1,000,000 bytes). The coefficient is the
// little-endian double at p + 31 and the 32-bit value at p + 43 is set to 1. Only the bytes that
// lie within the working copy are written and the file keeps its length. Writing a method goes
// through core/MethodWrite.h, which keeps a copy and records the change; this file only reads
// and patches.
namespace core {

// Why a method was not changed; None when it was. The first group comes from the method file
// itself, the rest from the write around it (core/MethodWrite.h).
enum class MethodFault {
    None,
    NoMethodFolder,       // "MethodPath" is not set
    MethodFolderMissing,  // "MethodPath" names no folder
    NoSuchFile,           // no method file of that title (or the title is no plain file name)
    NotWritable,          // this user may not write the file
    Locked,               // another program holds the file open without sharing
    NoEthanolRecord,      // no "этанол" record within the working copy
    RecordCutShort,       // the record ends before its coefficient starts
    IoError,              // reading, writing or syncing failed
    BadCoefficient,       // the coefficient is not a finite number greater than 0
    NoKeptCopy,           // a restore found no kept copy of the method, or could not read it
    BackupFailed,         // the copy of the method could not be kept, so nothing was written
    AuditUnavailable,     // the audit trail could not be written, so nothing was written
};

// What the operator is told ("нет записи этанола"), in the translation context "MethodFault";
// empty data for None.
Message MethodFaultMessage(MethodFault fault);
// The same in Russian, as ostrel-cli and the audit trail give it; "" for None.
std::string MethodFaultText(MethodFault fault);
// A fixed English code for JSON and the audit trail ("no-ethanol-record"); "written" for None.
std::string MethodFaultCode(MethodFault fault);

// The method folder as the settings hold it ("" when the value is missing); read without
// creating any key.
std::string MethodFolder();
// Whether the method folder is set and is a folder: None, NoMethodFolder or MethodFolderMissing.
MethodFault CheckMethodFolder();
// The full path of the method `title`: method folder + "/" + title + ".mtd".
std::string MethodFilePath(std::string_view title);

// The titles of the method files, in the order of the folder search; folders are skipped.
std::vector<std::string> ListMethodTitles();

// The coefficient a method's ethanol record holds, or why none could be read.
struct StoredCoefficient {
    MethodFault fault = MethodFault::None;  // None: `value` holds the coefficient
    double value = 0;                       // any double the 8 bytes make, NaN included
};

// A method file open without sharing and read whole. The lock is held until the object goes.
class MethodFile {
public:
    using Mode = platform::LockedFile::Mode;

    // Opens the method `title` of the method folder and reads it. Fault() tells what failed:
    // NoMethodFolder, MethodFolderMissing, NoSuchFile, NotWritable (only for ReadWrite), Locked
    // or IoError.
    static MethodFile Open(std::string_view title, Mode mode);

    MethodFault Fault() const { return fault_; }
    const std::string& Path() const { return path_; }
    // The whole file as read (longer than the working copy when the file is).
    const std::string& Bytes() const { return bytes_; }

    // The ethanol record's offset p in the working copy, or NoEthanolRecord / RecordCutShort.
    MethodFault FindRecord(std::size_t& p) const;
    // The coefficient the record holds now: the 8 bytes at p + 31. RecordCutShort as well when
    // they do not all lie within the working copy.
    StoredCoefficient Stored() const;
    // The whole file as Patch(coefficient) will leave it.
    std::string Patched(double coefficient) const;

    // Writes the record's coefficient and flag in place, with one write of the 16 bytes from
    // p + 31 (the 4 between them rewritten as read) so that the file, if the program is killed,
    // holds either the old or the new record, then syncs the file. None, NoEthanolRecord,
    // RecordCutShort or IoError (the file may then hold any part of the write).
    MethodFault Patch(double coefficient);

    // Replaces the whole file by `bytes`: a new file beside it ("." + title + ".mtd~"), written,
    // synced, given the method's permissions and renamed over it, the folder synced. A kill
    // leaves the method as it was or as written. None or IoError (the method unchanged).
    MethodFault Replace(const std::string& bytes);

private:
    MethodFile() = default;

    MethodFault fault_ = MethodFault::None;
    std::string path_;
    std::string bytes_;
    std::optional<platform::LockedFile> file_;
};

// The coefficient a method holds now, read under a short lock without changing anything.
StoredCoefficient ReadStoredCoefficient(std::string_view title);

// Reads the coefficient from the bytes of a whole method file (a kept copy, say).
StoredCoefficient StoredCoefficientOf(std::string_view methodBytes);

}  // namespace core
