// POSIX file mapping behind MappedFile; an empty file or a failed mapping falls back to
// one read of the whole file.
#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

namespace kve::platform {

MappedFile::~MappedFile()
{
    close();
}

void MappedFile::close()
{
    if (mapped_)
        munmap(const_cast<uint8_t*>(data_), size_);
    copy_.reset();
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
}

bool MappedFile::open(const std::string& path)
{
    close();
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    struct stat status {};
    bool opened = fstat(file, &status) == 0 && S_ISREG(status.st_mode);
    const auto size = opened ? static_cast<size_t>(status.st_size) : 0;
    if (opened && size > 0) {
        // Populated at once: one call instead of a page fault per page read later.
        void* view = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file, 0);
        if (view != MAP_FAILED) {
            data_ = static_cast<const uint8_t*>(view);
            size_ = size;
            mapped_ = true;
        } else {
            copy_.reset(new (std::nothrow) uint8_t[size]);
            size_t done = 0;
            while (copy_ && done < size) {
                const ssize_t got = ::read(file, copy_.get() + done, size - done);
                if (got <= 0)
                    break;
                done += static_cast<size_t>(got);
            }
            opened = copy_ && done == size;
            data_ = copy_.get();
            size_ = opened ? size : 0;
        }
    }
    ::close(file);
    if (!opened)
        close();
    return opened;
}

} // namespace kve::platform
