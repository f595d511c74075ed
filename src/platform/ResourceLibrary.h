#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace dorvel::platform {

/// Resource type of raw data, the only type the library holds.
inline constexpr int RT_RCDATA = 10;

/// The file name every user loads the library by.
inline constexpr std::string_view kResourceLibraryName = "redizo.dll";

class ResourceModule;

/**
 * A read-only, seekable stream over one resource's data in place. The data
 * belongs to the module, which is never unloaded, so the pointer stays valid
 * after the stream is closed.
 */
class ResourceStream
{
public:
    ResourceStream(const std::uint8_t *data, std::size_t size);

    const std::uint8_t *memory() const { return m_data; }
    std::size_t size() const { return m_size; }
    std::size_t position() const { return m_position; }
    /// Moves to an absolute position; false (and no move) beyond the end.
    bool seek(std::size_t position);
    /// Copies up to count bytes from the current position; returns how many.
    std::size_t read(void *destination, std::size_t count);

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

/**
 * The library search: finds and maps a resource library by its bare file name.
 * The real one looks in the executable's own folder, then in the installed data
 * folder. Tests hand the windows a stand-in (a missing library, a damaged one).
 */
class ResourceLoader
{
public:
    virtual ~ResourceLoader() = default;
    /// The loaded module, or nullptr when not found or rejected as damaged.
    /// Every later load of the same name returns the same module.
    virtual const ResourceModule *loadLibrary(std::string_view fileName) = 0;
};

/// The process-wide loader used by the program.
ResourceLoader &systemResourceLoader();

/// Opens resource (id, type) of a module; nullptr when the module is null or the
/// resource is absent.
std::unique_ptr<ResourceStream> openResource(const ResourceModule *module, int id,
                                             int type = RT_RCDATA);

} // namespace dorvel::platform
