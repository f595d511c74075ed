#pragma once

#include "resources/ResourceFormat.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace dorvel::resources {

/// Resource type of raw data, the only type the library holds.
inline constexpr int RT_RCDATA = 10;

/// The file name every user loads the library by.
inline constexpr std::string_view kResourceLibraryName = "redizo.dll";

/**
 * A loaded resource library: its checked table and the bytes it points into.
 * Modules are handed out as const pointers by a ResourceLoader, which owns them.
 */
class ResourceModule
{
public:
    /// Reads and checks a library file; nullptr (and error) when it cannot be
    /// read or is damaged in any way.
    static std::unique_ptr<ResourceModule> fromFile(
        const std::filesystem::path &path, std::string *error = nullptr);
    /// Checks a library held in memory; the module keeps the bytes.
    static std::unique_ptr<ResourceModule> fromBytes(
        std::vector<std::uint8_t> bytes, std::string *error = nullptr);
    // A copy's directory would point into the original's bytes.
    ResourceModule(const ResourceModule &) = delete;
    ResourceModule &operator=(const ResourceModule &) = delete;

    const ResourceDirectory &directory() const { return m_directory; }
    /// The file it was read from; empty for a library built in memory.
    const std::filesystem::path &path() const { return m_path; }

private:
    ResourceModule(std::vector<std::uint8_t> bytes, ResourceDirectory directory);

    std::vector<std::uint8_t> m_bytes; // what the directory points into
    ResourceDirectory m_directory;
    std::filesystem::path m_path;
};

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
 * The library search: finds and loads a resource library by its bare file name.
 * The real one looks in the executable's own folder, then in the installed data
 * folder. Tests hand the windows a stand-in (see ResourceLoaders.h).
 */
class ResourceLoader
{
public:
    virtual ~ResourceLoader() = default;
    /// The loaded module, or nullptr when not found or rejected as damaged.
    /// Every later load of the same name returns the same module.
    virtual const ResourceModule *loadLibrary(std::string_view fileName) = 0;
};

/**
 * Looks for a bare file name in a list of folders, in order; the first folder
 * that has the file decides (a damaged file there is not passed over for a later
 * one). Loaded modules are kept, and stay in memory, as long as the loader lives.
 */
class SearchPathResourceLoader : public ResourceLoader
{
public:
    explicit SearchPathResourceLoader(std::vector<std::filesystem::path> folders);
    const ResourceModule *loadLibrary(std::string_view fileName) override;
    const std::vector<std::filesystem::path> &folders() const { return m_folders; }

private:
    std::vector<std::filesystem::path> m_folders;
    std::mutex m_mutex;
    std::map<std::string, std::unique_ptr<ResourceModule>, std::less<>> m_loaded;
};

/// The folders the program searches: the executable's own folder, then the
/// installed data folder.
std::vector<std::filesystem::path> resourceSearchFolders();

/// The process-wide loader used by the program. It is never destroyed, so
/// whatever it loaded stays in memory until the process ends.
ResourceLoader &systemResourceLoader();

/// Opens resource (id, type) of a module; nullptr when the module is null or the
/// resource is absent.
std::unique_ptr<ResourceStream> openResource(
    const ResourceModule *module, int id, int type = RT_RCDATA);

} // namespace dorvel::resources
