#include "ResourceLibrary.h"

#include "MappedFile.h"
#include "ResourceLoaders.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cstring>
#include <system_error>

namespace dorvel::platform {

namespace {
    Q_LOGGING_CATEGORY(lcResources, "dorvel.resources", QtWarningMsg)
} // namespace

// ---------------------------------------------------------------------------
// ResourceModule

ResourceModule::ResourceModule(
    std::shared_ptr<const void> storage, ResourceDirectory directory, std::filesystem::path path)
    : m_storage(std::move(storage))
    , m_directory(std::move(directory))
    , m_path(std::move(path))
{
}

std::unique_ptr<ResourceModule> ResourceModule::fromFile(
    const std::filesystem::path &path, std::string *error)
{
    std::shared_ptr<const MappedFile> file = MappedFile::open(path, error);
    if (!file)
        return nullptr;
    auto directory = parseResourceLibrary(file->data(), file->size(), error);
    if (!directory)
        return nullptr;
    return std::unique_ptr<ResourceModule>(
        new ResourceModule(std::move(file), std::move(*directory), path));
}

std::unique_ptr<ResourceModule> ResourceModule::fromBytes(
    std::vector<std::uint8_t> bytes, std::string *error)
{
    // The vector's buffer does not move when the vector itself is moved into
    // the shared storage, so the directory's pointers stay valid.
    auto storage = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    auto directory = parseResourceLibrary(storage->data(), storage->size(), error);
    if (!directory)
        return nullptr;
    return std::unique_ptr<ResourceModule>(
        new ResourceModule(std::move(storage), std::move(*directory), {}));
}

// ---------------------------------------------------------------------------
// ResourceStream

ResourceStream::ResourceStream(const std::uint8_t *data, std::size_t size)
    : m_data(data)
    , m_size(data != nullptr ? size : 0)
{
}

bool ResourceStream::seek(std::size_t position)
{
    if (position > m_size)
        return false;
    m_position = position;
    return true;
}

std::size_t ResourceStream::read(void *destination, std::size_t count)
{
    const std::size_t n = std::min(count, m_size - m_position);
    if (n == 0 || destination == nullptr)
        return 0;
    std::memcpy(destination, m_data + m_position, n);
    m_position += n;
    return n;
}

// ---------------------------------------------------------------------------
// The library search

namespace {

    // Only a plain file name is searched for; anything with a folder in it would
    // reach outside the search folders.
    bool isBareName(std::string_view name)
    {
        return !name.empty() && name != "." && name != ".."
            && name.find('/') == std::string_view::npos
            && name.find('\0') == std::string_view::npos;
    }

} // namespace

SearchPathResourceLoader::SearchPathResourceLoader(std::vector<std::filesystem::path> folders)
    : m_folders(std::move(folders))
{
}

const ResourceModule *SearchPathResourceLoader::loadLibrary(std::string_view fileName)
{
    if (!isBareName(fileName))
        return nullptr;
    const std::lock_guard lock(m_mutex);
    if (const auto it = m_loaded.find(fileName); it != m_loaded.end())
        return it->second.get();

    for (const std::filesystem::path &folder : m_folders) {
        const std::filesystem::path candidate = folder / fileName;
        std::error_code ec;
        if (!std::filesystem::exists(candidate, ec))
            continue;
        std::string error;
        auto module = ResourceModule::fromFile(candidate, &error);
        if (!module) {
            qCWarning(lcResources, "%s rejected: %s", candidate.c_str(), error.c_str());
            return nullptr;
        }
        const ResourceModule *result = module.get();
        m_loaded.emplace(std::string(fileName), std::move(module));
        return result;
    }
    return nullptr;
}

std::vector<std::filesystem::path> resourceSearchFolders()
{
    std::vector<std::filesystem::path> folders;
    std::error_code ec;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && executable.has_parent_path()) {
        folders.push_back(executable.parent_path());
        // An installed tree moved to another prefix still has its data beside bin/.
        folders.push_back(executable.parent_path().parent_path() / "share" / "halvenor-dorvel");
    }
#ifdef DORVEL_DATADIR
    folders.push_back(executable.parent_path() / DORVEL_DATADIR); // relative to the program
#endif
    return folders;
}

ResourceLoader &systemResourceLoader()
{
    // Deliberately never destroyed: streams and sound samples point into the
    // mapped library until the very end of the process.
    static auto *loader = new SearchPathResourceLoader(resourceSearchFolders());
    return *loader;
}

std::unique_ptr<ResourceStream> openResource(const ResourceModule *module, int id, int type)
{
    if (module == nullptr || id < 0 || type < 0)
        return nullptr;
    const ResourceDirectory &directory = module->directory();
    const ResourceEntry *entry
        = directory.find(static_cast<std::uint32_t>(type), static_cast<std::uint32_t>(id));
    if (entry == nullptr)
        return nullptr;
    const auto data = directory.data(*entry);
    return std::make_unique<ResourceStream>(data.data(), data.size());
}

// ---------------------------------------------------------------------------
// Stand-ins

FileResourceLoader::FileResourceLoader(std::filesystem::path file)
    : m_file(std::move(file))
{
}

const ResourceModule *FileResourceLoader::loadLibrary(std::string_view)
{
    if (!m_module) {
        std::string error;
        m_module = ResourceModule::fromFile(m_file, &error);
        if (!m_module)
            qCDebug(lcResources, "%s rejected: %s", m_file.c_str(), error.c_str());
    }
    return m_module.get();
}

MemoryResourceLoader::MemoryResourceLoader(
    const std::map<int, std::vector<std::uint8_t>> &resources)
{
    std::vector<ResourceInput> inputs;
    for (const auto &[id, data] : resources) {
        if (id < 0)
            return;
        inputs.push_back(
            { static_cast<std::uint32_t>(RT_RCDATA), static_cast<std::uint32_t>(id), data });
    }
    if (auto bytes = buildResourceLibrary(std::move(inputs)))
        m_module = ResourceModule::fromBytes(std::move(*bytes));
}

MemoryResourceLoader::MemoryResourceLoader(std::vector<std::uint8_t> libraryBytes)
    : m_module(ResourceModule::fromBytes(std::move(libraryBytes)))
{
}

const ResourceModule *MemoryResourceLoader::loadLibrary(std::string_view)
{
    return m_module.get();
}

} // namespace dorvel::platform
