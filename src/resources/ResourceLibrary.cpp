#include "ResourceLibrary.h"

#include "ResourceLoaders.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dorvel::resources {

namespace {
    Q_LOGGING_CATEGORY(lcResources, "dorvel.resources", QtWarningMsg)

    std::optional<std::vector<std::uint8_t>> failRead(std::string *error, std::string message)
    {
        if (error != nullptr)
            *error = std::move(message);
        return std::nullopt;
    }

    // Room for a file of `size` bytes, or why there is none. A file too large
    // for the format is refused before anything is allocated, and a failed
    // allocation below that is the same answer as a damaged file, not an abort.
    std::string makeRoom(std::vector<std::uint8_t> &bytes, off_t size)
    {
        if (static_cast<std::uint64_t>(size) >= kResourceLibrarySizeLimit)
            return std::to_string(size) + " bytes, too large for a resource library";
        try {
            bytes.resize(static_cast<std::size_t>(size));
        } catch (const std::bad_alloc &) {
            return "no memory for " + std::to_string(size) + " bytes";
        }
        return {};
    }

    // The whole content of a regular, non-empty file.
    std::optional<std::vector<std::uint8_t>> readWholeFile(
        const std::filesystem::path &path, std::string *error)
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return failRead(error, std::strerror(errno));
        struct stat info
        {
        };
        std::vector<std::uint8_t> bytes;
        std::string problem;
        if (::fstat(fd, &info) != 0)
            problem = std::strerror(errno);
        else if (!S_ISREG(info.st_mode))
            problem = "not a regular file";
        else
            problem = makeRoom(bytes, info.st_size);
        std::size_t total = 0;
        while (problem.empty() && total < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + total, bytes.size() - total);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                problem = std::strerror(errno);
            else if (got == 0)
                break; // cut short while being read: what is there is parsed
            else
                total += static_cast<std::size_t>(got);
        }
        ::close(fd);
        if (!problem.empty())
            return failRead(error, problem);
        bytes.resize(total);
        if (bytes.empty())
            return failRead(error, "empty file");
        return bytes;
    }
} // namespace

// ---------------------------------------------------------------------------
// ResourceModule

ResourceModule::ResourceModule(std::vector<std::uint8_t> bytes, ResourceDirectory directory)
    : m_bytes(std::move(bytes))
    , m_directory(std::move(directory))
{
}

std::unique_ptr<ResourceModule> ResourceModule::fromFile(
    const std::filesystem::path &path, std::string *error)
{
    // Read once into memory rather than mapped: the data must stay valid for the
    // whole run, even when the file is overwritten or cut short in place (a
    // mapping would then fault on its next access).
    auto bytes = readWholeFile(path, error);
    if (!bytes)
        return nullptr;
    auto module = fromBytes(std::move(*bytes), error);
    if (module)
        module->m_path = path;
    return module;
}

std::unique_ptr<ResourceModule> ResourceModule::fromBytes(
    std::vector<std::uint8_t> bytes, std::string *error)
{
    auto directory = parseResourceLibrary(bytes.data(), bytes.size(), error);
    if (!directory)
        return nullptr;
    // The vector's buffer does not move when the vector itself is moved into the
    // module, so the directory's pointers stay valid.
    return std::unique_ptr<ResourceModule>(
        new ResourceModule(std::move(bytes), std::move(*directory)));
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
        // The installed data folder, relative to the program so that an installed
        // tree moved to another prefix or unpacked anywhere still finds it.
        folders.push_back(executable.parent_path() / DORVEL_DATADIR);
    }
    return folders;
}

ResourceLoader &systemResourceLoader()
{
    // Deliberately never destroyed: streams and sound samples point into the
    // loaded library until the very end of the process.
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

} // namespace dorvel::resources
