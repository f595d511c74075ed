// Arbitrary bytes loaded as the die model "3ddice.3ds".
#include "dice3d/DieMesh.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto mesh = dorvel::dice3d::parseModel(data, size, "3ds");
    if (mesh) {
        for (const std::uint32_t index : mesh->indices) {
            if (index >= mesh->positions.size())
                std::abort(); // a face pointing past the vertices would be drawn out of bounds
        }
        if (mesh->texCoords.size() != mesh->positions.size())
            std::abort();
    }
    return 0;
}
