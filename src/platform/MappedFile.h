#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace dorvel::platform {

/**
 * A whole regular file mapped read-only into memory, unmapped when destroyed.
 * The file must not be rewritten in place while mapped; the packer replaces its
 * output by a rename, so a running program keeps the bytes it mapped.
 */
class MappedFile
{
public:
    /// Maps the file; nullptr (and error, when given) if it cannot be opened,
    /// is not a regular file, is empty or cannot be mapped.
    static std::unique_ptr<MappedFile> open(
        const std::filesystem::path &path, std::string *error = nullptr);
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    const std::uint8_t *data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    MappedFile(const std::uint8_t *data, std::size_t size);

    const std::uint8_t *m_data;
    std::size_t m_size;
};

} // namespace dorvel::platform
