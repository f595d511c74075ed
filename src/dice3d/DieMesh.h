#pragma once

#include "SceneObject.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace dorvel::dice3d {

/// A texture coordinate pair, v running up the picture.
struct TexCoord
{
    float u = 0.0f;
    float v = 0.0f;
};

/**
 * Triangles in an object's own axes with one texture coordinate per vertex, as
 * drawn and as picked. Front faces wind counter-clockwise seen from outside.
 */
struct DieMesh
{
    std::vector<Vector3> positions;
    std::vector<TexCoord> texCoords; ///< same count as positions
    std::vector<std::uint32_t> indices; ///< three per triangle
    float boundingRadius = 0.0f; ///< farthest vertex from the object's origin

    std::size_t triangleCount() const { return indices.size() / 3; }
};

/**
 * Reads a model from memory; `extension` picks the reader ("3ds", without the
 * dot). Only the meshes' own vertices, texture coordinates and faces are used,
 * not the node transforms or materials. Damaged, truncated or foreign data
 * gives nullptr. Identical data read again shares the earlier result.
 */
std::shared_ptr<const DieMesh> parseModel(
    const std::uint8_t *data, std::size_t size, std::string_view extension);

/// The slab's rectangle: 1 wide, 3 high, centred on the origin, facing +z,
/// its picture laid once over it.
const DieMesh &slabMesh();

} // namespace dorvel::dice3d
