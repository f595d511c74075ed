// The generated die model and its loading: a closed rounded cube of the right
// size whose face bearing each value turns to the camera, upright, under the
// face table; one stream serves all five dice; damaged data leaves no mesh.
#include "DiceTestSupport.h"

#include "dice3d/DiceScene.h"
#include "dice3d/DieMesh.h"
#include "resources/ResourceLibrary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <tuple>

using namespace dorvel::dice3d;
using namespace dorvel::dice3d::testing;

namespace {

// The net's cell (column 1..3 from the left, row 1..4 from the top) of each value.
struct Cell
{
    int column, row;
};
constexpr Cell kCells[7] = { {}, { 2, 1 }, { 3, 3 }, { 2, 4 }, { 2, 2 }, { 1, 3 }, { 2, 3 } };

Vector3 toWorldDirection(const Frame &f, Vector3 v)
{
    return f.right * v.x + f.up * v.y + f.direction * v.z;
}

} // namespace

TEST(DieModel, IsAClosedOutwardFacingDieThatFitsBetweenItsNeighbours)
{
    const auto mesh = dieModel();
    ASSERT_TRUE(mesh) << "cannot read " << DORVEL_DIE_MODEL_FILE;
    ASSERT_GT(mesh->triangleCount(), 12u);
    ASSERT_EQ(mesh->texCoords.size(), mesh->positions.size());

    // Every triangle faces away from the centre (the die is convex).
    std::map<std::tuple<long, long, long, long, long, long>, int> edges;
    const auto key = [](Vector3 p) {
        return std::tuple(
            std::lround(p.x * 1000), std::lround(p.y * 1000), std::lround(p.z * 1000));
    };
    for (std::size_t t = 0; t < mesh->indices.size(); t += 3) {
        const Vector3 a = mesh->positions[mesh->indices[t]];
        const Vector3 b = mesh->positions[mesh->indices[t + 1]];
        const Vector3 c = mesh->positions[mesh->indices[t + 2]];
        const Vector3 n = cross(b - a, c - a);
        ASSERT_GT(dot(n, a + b + c), 0.0f) << "triangle " << t / 3 << " faces inward";
        // Each directed edge once, and its reverse once: no holes, no cracks.
        const Vector3 corners[3] = { a, b, c };
        for (int e = 0; e < 3; ++e) {
            const auto [x0, y0, z0] = key(corners[e]);
            const auto [x1, y1, z1] = key(corners[(e + 1) % 3]);
            ++edges[{ x0, y0, z0, x1, y1, z1 }];
        }
    }
    for (const auto &[edge, count] : edges) {
        const auto [x0, y0, z0, x1, y1, z1] = edge;
        ASSERT_EQ(count, 1);
        ASSERT_EQ(edges.count({ x1, y1, z1, x0, y0, z0 }), 1u) << "open edge";
    }

    // At scale 0.015: about 0.6-0.7 units wide, and no point farther than 0.5
    // from the centre, so dice 1 unit apart never touch however they turn.
    float minX = 0, maxX = 0;
    for (const Vector3 &p : mesh->positions) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
    }
    EXPECT_NEAR((maxX - minX) * 0.015f, 0.63f, 0.05f);
    EXPECT_NEAR(minX, -maxX, 1e-4f);
    EXPECT_LT(mesh->boundingRadius * 0.015f, 0.5f);
}

TEST(DieModel, FaceTableTurnsEachValueUprightTowardTheCamera)
{
    const auto mesh = dieModel();
    ASSERT_TRUE(mesh);
    for (int value = 1; value <= 6; ++value) {
        SCOPED_TRACE(value);
        DiceScene scene;
        DieActor &die = scene.die(1);
        showValue(die, value);
        int facing = 0;
        for (std::size_t t = 0; t < mesh->indices.size(); t += 3) {
            const std::uint32_t i[3]
                = { mesh->indices[t], mesh->indices[t + 1], mesh->indices[t + 2] };
            Vector3 w[3];
            for (int k = 0; k < 3; ++k)
                w[k] = toWorldDirection(die.frame(), mesh->positions[i[k]]);
            const Vector3 n = normalized(cross(w[1] - w[0], w[2] - w[0]));
            if (n.z < 0.999f)
                continue;
            ++facing;
            // The flat part of the face toward the camera lies on the value's cell.
            const TexCoord uv[3]
                = { mesh->texCoords[i[0]], mesh->texCoords[i[1]], mesh->texCoords[i[2]] };
            const float u = (uv[0].u + uv[1].u + uv[2].u) / 3;
            const float v = (uv[0].v + uv[1].v + uv[2].v) / 3;
            EXPECT_EQ(static_cast<int>(std::floor(u * 3)) + 1, kCells[value].column);
            EXPECT_EQ(4 - static_cast<int>(std::floor(v * 4)), kCells[value].row);
            // Upright and not mirrored: u grows to the right on screen, v up.
            const double dx1 = w[1].x - w[0].x, dy1 = w[1].y - w[0].y;
            const double dx2 = w[2].x - w[0].x, dy2 = w[2].y - w[0].y;
            const double det = dx1 * dy2 - dx2 * dy1;
            const double du1 = uv[1].u - uv[0].u, du2 = uv[2].u - uv[0].u;
            const double dv1 = uv[1].v - uv[0].v, dv2 = uv[2].v - uv[0].v;
            const double dudx = (du1 * dy2 - du2 * dy1) / det;
            const double dudy = (du2 * dx1 - du1 * dx2) / det;
            const double dvdx = (dv1 * dy2 - dv2 * dy1) / det;
            const double dvdy = (dv2 * dx1 - dv1 * dx2) / det;
            EXPECT_GT(dudx, 0.0);
            EXPECT_GT(dvdy, 0.0);
            EXPECT_NEAR(dudy, 0.0, 1e-6);
            EXPECT_NEAR(dvdx, 0.0, 1e-6);
        }
        EXPECT_EQ(facing, 2) << "one flat square (two triangles) faces the camera";
    }
}

TEST(DieModel, OneStreamServesAllFiveDiceWhereverItStands)
{
    const std::vector<std::uint8_t> bytes = dieModelBytes();
    dorvel::resources::ResourceStream stream(bytes.data(), bytes.size());
    DiceScene scene;
    const auto complete = dieModel();
    ASSERT_TRUE(complete);
    for (int n = 1; n <= 5; ++n) {
        SCOPED_TRACE(n);
        // Whatever the previous load left the position at, the reader starts at 0.
        stream.seek(n == 3 ? bytes.size() / 2 : stream.position());
        ASSERT_TRUE(scene.die(n).LoadFromStream(QStringLiteral("3ddice.3ds"), stream));
        ASSERT_TRUE(scene.die(n).mesh());
        EXPECT_EQ(scene.die(n).mesh()->indices, complete->indices);
        EXPECT_EQ(scene.die(n).mesh()->positions.size(), complete->positions.size());
    }
    // The upper-case extension selects the same reader.
    EXPECT_TRUE(scene.die(1).LoadFromStream(QStringLiteral("3DDICE.3DS"), stream));
}

TEST(DieModel, ResourceLibraryCarriesTheModelAsResource105)
{
    const auto *module = dorvel::resources::systemResourceLoader().loadLibrary("redizo.dll");
    if (!module)
        GTEST_SKIP() << "no redizo.dll next to the test (build the redizo target)";
    const auto stream = dorvel::resources::openResource(module, 105);
    ASSERT_TRUE(stream);
    DiceScene scene;
    ASSERT_TRUE(scene.die(1).LoadFromStream(QStringLiteral("3ddice.3ds"), *stream));
    EXPECT_EQ(scene.die(1).mesh()->indices, dieModel()->indices);
}

TEST(DieModel, DamagedOrMissingDataLeavesTheDieWithoutAMesh)
{
    const std::vector<std::uint8_t> good = dieModelBytes();
    ASSERT_GT(good.size(), 100u);
    DiceScene scene;
    DieActor &die = scene.die(2);

    const auto load = [&](const std::vector<std::uint8_t> &bytes, const char *name = "3ddice.3ds") {
        dorvel::resources::ResourceStream ok(good.data(), good.size());
        die.LoadFromStream(QStringLiteral("3ddice.3ds"), ok); // a mesh to be replaced
        dorvel::resources::ResourceStream stream(bytes.data(), bytes.size());
        return die.LoadFromStream(QString::fromLatin1(name), stream);
    };

    EXPECT_FALSE(load({}));
    EXPECT_EQ(die.mesh(), nullptr);
    for (const std::size_t size :
        { std::size_t(1), std::size_t(6), std::size_t(40), good.size() / 3, good.size() - 7 }) {
        SCOPED_TRACE(size);
        EXPECT_FALSE(
            load(std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<long>(size))));
        EXPECT_EQ(die.mesh(), nullptr);
    }
    std::vector<std::uint8_t> junk(4096);
    std::mt19937 random(7);
    for (auto &b : junk)
        b = static_cast<std::uint8_t>(random());
    EXPECT_FALSE(load(junk));
    EXPECT_EQ(die.mesh(), nullptr);
    // A file name without a known extension chooses no reader.
    EXPECT_FALSE(load(good, "3ddice"));
    EXPECT_EQ(die.mesh(), nullptr);
}

TEST(DieModel, CorruptedBytesNeverCrashOrGiveBadIndices)
{
    // Cheap fuzzing of the reader: flipped bytes anywhere in the file.
    const std::vector<std::uint8_t> good = dieModelBytes();
    std::mt19937 random(1234);
    for (int round = 0; round < 150; ++round) {
        std::vector<std::uint8_t> bytes = good;
        const int flips = 1 + round % 4;
        for (int f = 0; f < flips; ++f)
            bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
        const auto mesh = parseModel(bytes.data(), bytes.size(), "3ds");
        if (!mesh)
            continue;
        ASSERT_EQ(mesh->texCoords.size(), mesh->positions.size());
        for (const std::uint32_t index : mesh->indices)
            ASSERT_LT(index, mesh->positions.size());
        for (const Vector3 &p : mesh->positions)
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    }
}
