// Helpers for tests that read and write files.
#pragma once

#include <filesystem>
#include <string>

namespace kve::test {

// Whole file as bytes (empty when missing).
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// The engine's log in the working directory.
std::string readLog();

// A fresh empty directory under the working directory, removed with the object.
class TempDir {
public:
    explicit TempDir(const std::string& name);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Number of non-overlapping occurrences of `needle` in `haystack`.
int countOccurrences(const std::string& haystack, const std::string& needle);

} // namespace kve::test
