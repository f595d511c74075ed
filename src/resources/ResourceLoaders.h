#pragma once

// Stand-in resource loaders for tests and tools: a library from a given file
// path, one built in memory, and one that is never found.

#include "resources/ResourceLibrary.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

namespace dorvel::resources {

/**
 * Loads one given file whatever name is asked for: a damaged or hand-made library
 * for a window test. nullptr while the file is missing or damaged; once loaded,
 * the same module every time, valid as long as the loader lives.
 */
class FileResourceLoader : public ResourceLoader
{
public:
    explicit FileResourceLoader(std::filesystem::path file);
    const ResourceModule *loadLibrary(std::string_view fileName) override;

private:
    std::filesystem::path m_file;
    std::unique_ptr<ResourceModule> m_module;
};

/**
 * A library held in memory, given either as type-10 resources by ID or as the
 * packed bytes of a whole library (which may be damaged on purpose). Answers
 * every name with the same module, or nullptr when the bytes are damaged.
 */
class MemoryResourceLoader : public ResourceLoader
{
public:
    explicit MemoryResourceLoader(const std::map<int, std::vector<std::uint8_t>> &resources);
    explicit MemoryResourceLoader(std::vector<std::uint8_t> libraryBytes);
    const ResourceModule *loadLibrary(std::string_view fileName) override;

private:
    std::unique_ptr<ResourceModule> m_module;
};

/// A library that is never found: loadLibrary always answers nullptr.
class MissingResourceLoader : public ResourceLoader
{
public:
    const ResourceModule *loadLibrary(std::string_view) override { return nullptr; }
};

} // namespace dorvel::resources
