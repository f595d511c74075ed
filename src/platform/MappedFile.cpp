#include "MappedFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dorvel::platform {

namespace {

    std::unique_ptr<MappedFile> fail(std::string *error, const std::string &message)
    {
        if (error != nullptr)
            *error = message;
        return nullptr;
    }

} // namespace

std::unique_ptr<MappedFile> MappedFile::open(const std::filesystem::path &path, std::string *error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(error, std::strerror(errno));
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        const int saved = errno;
        ::close(fd);
        return fail(error, std::strerror(saved));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(error, "not a regular file");
    }
    if (info.st_size <= 0) {
        ::close(fd);
        return fail(error, "empty file");
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void *address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    const int saved = errno;
    // The mapping keeps its own reference to the file.
    ::close(fd);
    if (address == MAP_FAILED)
        return fail(error, std::strerror(saved));
    return std::unique_ptr<MappedFile>(
        new MappedFile(static_cast<const std::uint8_t *>(address), size));
}

MappedFile::MappedFile(const std::uint8_t *data, std::size_t size)
    : m_data(data)
    , m_size(size)
{
}

MappedFile::~MappedFile()
{
    ::munmap(const_cast<std::uint8_t *>(m_data), m_size);
}

} // namespace dorvel::platform
