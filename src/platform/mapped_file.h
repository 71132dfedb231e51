// A whole file seen as read-only bytes: mapped from the page cache where the system can,
// read into memory otherwise. Large model files are read in place instead of being
// copied into fresh pages first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kve::platform {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // False (nothing held) when the path names no regular file or it cannot be read.
    bool open(const std::string& path);
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    void close();
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool mapped_ = false;
    std::unique_ptr<uint8_t[]> copy_; // when the file could not be mapped
};

} // namespace kve::platform
