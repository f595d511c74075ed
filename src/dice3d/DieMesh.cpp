#include "DieMesh.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <QLoggingCategory>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <string>

namespace dorvel::dice3d {

Q_LOGGING_CATEGORY(lcModel, "dorvel.dice3d.model", QtWarningMsg)

namespace {

    bool finite(float value)
    {
        return std::isfinite(value);
    }

    std::shared_ptr<DieMesh> convert(const aiScene &scene)
    {
        auto mesh = std::make_shared<DieMesh>();
        for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
            const aiMesh *source = scene.mMeshes[m];
            if (!source || !source->mVertices
                || !(source->mPrimitiveTypes & aiPrimitiveType_TRIANGLE))
                continue;
            const std::size_t base = mesh->positions.size();
            if (base + source->mNumVertices > std::numeric_limits<std::uint32_t>::max())
                return nullptr;
            const aiVector3D *uvs = source->mTextureCoords[0];
            for (unsigned v = 0; v < source->mNumVertices; ++v) {
                const aiVector3D &p = source->mVertices[v];
                if (!finite(p.x) || !finite(p.y) || !finite(p.z))
                    return nullptr;
                mesh->positions.push_back({ p.x, p.y, p.z });
                if (uvs && finite(uvs[v].x) && finite(uvs[v].y))
                    mesh->texCoords.push_back({ uvs[v].x, uvs[v].y });
                else
                    mesh->texCoords.push_back({});
            }
            if (!source->mFaces)
                continue;
            for (unsigned f = 0; f < source->mNumFaces; ++f) {
                const aiFace &face = source->mFaces[f];
                // Points and lines left over after triangulation are not drawn.
                if (face.mNumIndices != 3 || !face.mIndices)
                    continue;
                for (unsigned k = 0; k < 3; ++k) {
                    if (face.mIndices[k] >= source->mNumVertices)
                        return nullptr;
                    mesh->indices.push_back(static_cast<std::uint32_t>(base + face.mIndices[k]));
                }
            }
        }
        if (mesh->indices.empty())
            return nullptr;
        for (const Vector3 &p : mesh->positions)
            mesh->boundingRadius = std::max(mesh->boundingRadius, length(p));
        return mesh;
    }

    std::shared_ptr<const DieMesh> read(
        const std::uint8_t *data, std::size_t size, const std::string &extension)
    {
        if (!data || size == 0 || size > std::numeric_limits<unsigned>::max())
            return nullptr;
        Assimp::Importer importer;
        // The file name's extension alone picks the reader; no guessing by content.
        if (extension.empty() || !importer.IsExtensionSupported("." + extension))
            return nullptr;
        const aiScene *scene = importer.ReadFileFromMemory(data, size,
            aiProcess_JoinIdenticalVertices | aiProcess_Triangulate
                | aiProcess_ValidateDataStructure,
            extension.c_str());
        if (!scene) {
            qCDebug(lcModel) << "model not read:" << importer.GetErrorString();
            return nullptr;
        }
        return convert(*scene);
    }

    // The dice all load the same data; keep one parsed copy per distinct content
    // for as long as some die uses it.
    struct CacheEntry
    {
        std::vector<std::uint8_t> data;
        std::string extension;
        std::weak_ptr<const DieMesh> mesh;
    };

    std::mutex cacheMutex;
    std::vector<CacheEntry> cache;

} // namespace

std::shared_ptr<const DieMesh> parseModel(
    const std::uint8_t *data, std::size_t size, std::string_view extension)
{
    std::string ext(extension);
    for (char &c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!data || size == 0)
        return nullptr;

    std::lock_guard lock(cacheMutex);
    std::erase_if(cache, [](const CacheEntry &e) { return e.mesh.expired(); });
    for (const CacheEntry &entry : cache) {
        if (entry.extension == ext && entry.data.size() == size
            && std::memcmp(entry.data.data(), data, size) == 0) {
            if (auto mesh = entry.mesh.lock())
                return mesh;
        }
    }
    auto mesh = read(data, size, ext);
    if (mesh)
        cache.push_back({ std::vector<std::uint8_t>(data, data + size), ext, mesh });
    return mesh;
}

const DieMesh &slabMesh()
{
    static const DieMesh mesh = [] {
        DieMesh m;
        m.positions
            = { { -0.5f, -1.5f, 0 }, { 0.5f, -1.5f, 0 }, { 0.5f, 1.5f, 0 }, { -0.5f, 1.5f, 0 } };
        m.texCoords = { { 0, 0 }, { 1, 0 }, { 1, 1 }, { 0, 1 } };
        m.indices = { 0, 1, 2, 0, 2, 3 };
        m.boundingRadius = length({ 0.5f, 1.5f, 0.0f });
        return m;
    }();
    return mesh;
}

} // namespace dorvel::dice3d
