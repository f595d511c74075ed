// Arbitrary bytes as "redizo.dll": the container is checked whole, and every
// resource of an accepted one can be read through a stream.
#include "resources/ResourceFormat.h"
#include "resources/ResourceLibrary.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace dorvel::resources;
    const auto directory = parseResourceLibrary(data, size);
    if (!directory)
        return 0;
    for (const ResourceEntry &entry : directory->entries) {
        if (entry.offset > size || entry.size > size - entry.offset)
            std::abort();
        ResourceStream stream(data + entry.offset, entry.size);
        std::vector<std::uint8_t> copy(entry.size);
        if (stream.read(copy.data(), copy.size()) != entry.size)
            std::abort();
    }
    return 0;
}
