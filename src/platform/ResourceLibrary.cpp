// Placeholder until the container reader lands: every library is "not found".
#include "ResourceLibrary.h"

#include <algorithm>
#include <cstring>

namespace dorvel::platform {

ResourceStream::ResourceStream(const std::uint8_t *data, std::size_t size)
    : m_data(data)
    , m_size(size)
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
    if (n > 0)
        std::memcpy(destination, m_data + m_position, n);
    m_position += n;
    return n;
}

namespace {
class NoLoader final : public ResourceLoader
{
public:
    const ResourceModule *loadLibrary(std::string_view) override { return nullptr; }
};
} // namespace

ResourceLoader &systemResourceLoader()
{
    static NoLoader loader;
    return loader;
}

std::unique_ptr<ResourceStream> openResource(const ResourceModule *, int, int) { return nullptr; }

} // namespace dorvel::platform
