#include "core/MethodFile.h"

#include "core/FileIo.h"
#include "core/WriteSteps.h"
#include "platform/FileSearch.h"
#include "platform/LittleEndian.h"
#include "platform/XTPRegistryManager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>

namespace core {

namespace {

// The working copy: a method is handled only up to this size.
constexpr std::size_t kWorkingCopyBytes = 1000000;
// The component name "этанол" in code page 1251 with its one-byte length prefix.
constexpr std::array<unsigned char, 7> kEthanolKey{0x06, 0xFD, 0xF2, 0xE0, 0xED, 0xEE, 0xEB};
constexpr std::size_t kCoefficientOffset = 31;
constexpr std::size_t kCoefficientSize = 8;
constexpr std::size_t kFlagOffset = 43;
constexpr std::size_t kFlagSize = 4;
constexpr std::uint64_t kFlagValue = 1;

// A title names one file in the method folder, never another folder.
bool IsPlainFileName(std::string_view title) {
    return !title.empty() && title != "." && title != ".." && title.find('/') == std::string_view::npos &&
           title.find('\0') == std::string_view::npos;
}

MethodFault FaultOfOpenError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case EISDIR:
    case EINVAL:
    case ENAMETOOLONG: return MethodFault::NoSuchFile;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return MethodFault::NotWritable;
    case EWOULDBLOCK: return MethodFault::Locked;
    default: return MethodFault::IoError;
    }
}

std::size_t WorkingCopyEnd(std::string_view bytes) { return std::min(bytes.size(), kWorkingCopyBytes); }

MethodFault FindRecordIn(std::string_view bytes, std::size_t& p) {
    const std::string_view copy = bytes.substr(0, WorkingCopyEnd(bytes));
    const auto key = std::search(copy.begin(), copy.end(), kEthanolKey.begin(), kEthanolKey.end(),
                                 [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
    if (key == copy.end()) return MethodFault::NoEthanolRecord;
    p = static_cast<std::size_t>(key - copy.begin());
    return p + kCoefficientOffset < copy.size() ? MethodFault::None : MethodFault::RecordCutShort;
}

// The 16 bytes from p + 31 as the patch leaves them: the coefficient, the 4 bytes between as
// they are, the flag; cut at the end of the working copy.
std::string PatchBytes(std::string_view bytes, std::size_t p, double coefficient) {
    const std::size_t begin = p + kCoefficientOffset;
    const std::size_t end = std::min(p + kFlagOffset + kFlagSize, WorkingCopyEnd(bytes));
    std::string patch(bytes.substr(begin, end - begin));
    const std::string value = platform::LittleEndianBytes(std::bit_cast<std::uint64_t>(coefficient), kCoefficientSize);
    const std::string flag = platform::LittleEndianBytes(kFlagValue, kFlagSize);
    for (std::size_t i = 0; i < value.size() && i < patch.size(); ++i) patch[i] = value[i];
    for (std::size_t i = 0; i < flag.size() && kFlagOffset - kCoefficientOffset + i < patch.size(); ++i)
        patch[kFlagOffset - kCoefficientOffset + i] = flag[i];
    return patch;
}

bool WriteAllAt(int fd, std::string_view bytes, off_t offset) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return true;
}

}  // namespace

Message MethodFaultMessage(MethodFault fault) {
    const auto text = [](const char* russian) { return Message{"MethodFault", russian, {}}; };
    switch (fault) {
    case MethodFault::None: return Message::Data("");
    case MethodFault::NoMethodFolder: return text(QT_TRANSLATE_NOOP("MethodFault", "папка методов не задана"));
    case MethodFault::MethodFolderMissing: return text(QT_TRANSLATE_NOOP("MethodFault", "папка методов не найдена"));
    case MethodFault::NoSuchFile: return text(QT_TRANSLATE_NOOP("MethodFault", "файл метода не найден"));
    case MethodFault::NotWritable: return text(QT_TRANSLATE_NOOP("MethodFault", "файл метода защищён от записи"));
    case MethodFault::Locked: return text(QT_TRANSLATE_NOOP("MethodFault", "файл метода занят другой программой"));
    case MethodFault::NoEthanolRecord: return text(QT_TRANSLATE_NOOP("MethodFault", "нет записи этанола"));
    case MethodFault::RecordCutShort:
        return text(QT_TRANSLATE_NOOP("MethodFault", "запись этанола обрезана концом файла"));
    case MethodFault::IoError: return text(QT_TRANSLATE_NOOP("MethodFault", "ошибка чтения или записи файла"));
    case MethodFault::BadCoefficient:
        return text(QT_TRANSLATE_NOOP("MethodFault", "коэффициент не является положительным числом"));
    case MethodFault::NoKeptCopy: return text(QT_TRANSLATE_NOOP("MethodFault", "нет сохранённой копии метода"));
    case MethodFault::BackupFailed: return text(QT_TRANSLATE_NOOP("MethodFault", "не удалось сохранить копию метода"));
    case MethodFault::AuditUnavailable:
        return text(QT_TRANSLATE_NOOP("MethodFault", "журнал изменений недоступен для записи"));
    }
    return Message::Data("?");
}

std::string MethodFaultText(MethodFault fault) { return RussianText(MethodFaultMessage(fault)); }

std::string MethodFaultCode(MethodFault fault) {
    switch (fault) {
    case MethodFault::None: return "written";
    case MethodFault::NoMethodFolder: return "no-method-folder";
    case MethodFault::MethodFolderMissing: return "method-folder-missing";
    case MethodFault::NoSuchFile: return "no-such-file";
    case MethodFault::NotWritable: return "not-writable";
    case MethodFault::Locked: return "locked";
    case MethodFault::NoEthanolRecord: return "no-ethanol-record";
    case MethodFault::RecordCutShort: return "record-cut-short";
    case MethodFault::IoError: return "io-error";
    case MethodFault::BadCoefficient: return "bad-coefficient";
    case MethodFault::NoKeptCopy: return "no-kept-copy";
    case MethodFault::BackupFailed: return "backup-failed";
    case MethodFault::AuditUnavailable: return "audit-unavailable";
    }
    return "?";
}

// Read from existing keys only: the method folder is the data system's value, and reading it
// (from ostrel-cli too) must never create keys in the settings.
std::string MethodFolder() {
    return platform::XTPRegistryManager(platform::RootKey::CurrentUser, platform::SectionReading::ExistingKeysOnly)
        .GetStringValue("", "MethodPath", "");
}

MethodFault CheckMethodFolder() {
    const std::string folder = MethodFolder();
    if (folder.empty()) return MethodFault::NoMethodFolder;
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return MethodFault::MethodFolderMissing;
    return MethodFault::None;
}

std::string MethodFilePath(std::string_view title) { return MethodFolder() + "/" + std::string(title) + ".mtd"; }

std::vector<std::string> ListMethodTitles() {
    std::vector<std::string> titles;
    for (const platform::FileEntry& entry : platform::FindFiles(MethodFolder() + "/*.mtd"))
        if (!entry.isDirectory) titles.push_back(entry.title);
    return titles;
}

MethodFile MethodFile::Open(std::string_view title, Mode mode) {
    MethodFile method;
    method.path_ = MethodFilePath(title);
    if (method.fault_ = CheckMethodFolder(); method.fault_ != MethodFault::None) return method;
    if (!IsPlainFileName(title)) {
        method.fault_ = MethodFault::NoSuchFile;
        return method;
    }
    int error = 0;
    method.file_ = platform::LockedFile::Open(method.path_, mode, &error);
    if (!method.file_) {
        method.fault_ = FaultOfOpenError(error);
        return method;
    }
    std::optional<std::string> bytes = ReadAll(method.file_->Descriptor());
    if (!bytes) {
        method.fault_ = MethodFault::IoError;
        return method;
    }
    method.bytes_ = std::move(*bytes);
    return method;
}

MethodFault MethodFile::FindRecord(std::size_t& p) const { return FindRecordIn(bytes_, p); }

StoredCoefficient StoredCoefficientOf(std::string_view bytes) {
    std::size_t p = 0;
    if (const MethodFault fault = FindRecordIn(bytes, p); fault != MethodFault::None) return {fault, 0};
    if (p + kCoefficientOffset + kCoefficientSize > WorkingCopyEnd(bytes)) return {MethodFault::RecordCutShort, 0};
    const std::uint64_t bits = platform::FromLittleEndian(bytes.substr(p + kCoefficientOffset, kCoefficientSize));
    return {MethodFault::None, std::bit_cast<double>(bits)};
}

StoredCoefficient MethodFile::Stored() const {
    if (fault_ != MethodFault::None) return {fault_, 0};
    return StoredCoefficientOf(bytes_);
}

std::string MethodFile::Patched(double coefficient) const {
    std::size_t p = 0;
    if (FindRecord(p) != MethodFault::None) return bytes_;
    std::string patched = bytes_;
    const std::string patch = PatchBytes(bytes_, p, coefficient);
    patched.replace(p + kCoefficientOffset, patch.size(), patch);
    return patched;
}

// Only the record's bytes go back, never the rest of the copy: rewriting it could undo a change
// another program made meanwhile, the lock being advisory.
MethodFault MethodFile::Patch(double coefficient) {
    if (fault_ != MethodFault::None) return fault_;
    std::size_t p = 0;
    if (const MethodFault fault = FindRecord(p); fault != MethodFault::None) return fault;
    const std::string patch = PatchBytes(bytes_, p, coefficient);
    const int fd = file_->Descriptor();
    if (!WriteAllAt(fd, patch, static_cast<off_t>(p + kCoefficientOffset)) || ::fdatasync(fd) != 0)
        return MethodFault::IoError;
    bytes_.replace(p + kCoefficientOffset, patch.size(), patch);
    return MethodFault::None;
}

MethodFault MethodFile::Replace(const std::string& bytes) {
    if (fault_ != MethodFault::None) return fault_;
    const std::string folder = ParentFolder(path_);
    const std::string name = path_.substr(folder.size() + 1);
    const std::string temporary = folder + "/." + name + "~";
    struct stat st;
    if (::fstat(file_->Descriptor(), &st) != 0) return MethodFault::IoError;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return FaultOfOpenError(errno) == MethodFault::NotWritable ? MethodFault::NotWritable : MethodFault::IoError;
    const std::string_view all(bytes);
    bool written = WriteAll(fd, all.substr(0, all.size() / 2));
    PassWriteStep("method-partial");
    written = written && WriteAll(fd, all.substr(all.size() / 2)) && ::fchmod(fd, st.st_mode & 07777) == 0 &&
              ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), path_.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return MethodFault::IoError;
    }
    bytes_ = bytes;
    // The method holds the new bytes from here on; syncing its folder only makes the new name
    // outlive a crash of the machine, so a failure there does not make the write a failure.
    SyncFolder(folder);
    return MethodFault::None;
}

StoredCoefficient ReadStoredCoefficient(std::string_view title) {
    return MethodFile::Open(title, MethodFile::Mode::ReadOnly).Stored();
}

}  // namespace core
