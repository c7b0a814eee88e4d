#pragma once

#include <string>

// A temporary folder for one test, removed with everything in it when the object goes.
namespace fixtures {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }

    // Writes `bytes` to Path()/relative (creating parent folders); returns the full path.
    std::string WriteFile(const std::string& relative, const std::string& bytes) const;
    // Creates Path()/relative (and its parents); returns the full path.
    std::string MakeFolder(const std::string& relative) const;

private:
    std::string path_;
};

// The whole content of a file, or an empty string when it cannot be read.
std::string ReadFileBytes(const std::string& path);

}  // namespace fixtures
