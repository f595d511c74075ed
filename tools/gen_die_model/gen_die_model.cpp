// Writes the die model: a cube with rounded edges as a binary 3DS file, each
// face's texture coordinates on its cell of the 3 × 4 die net.
//
// Usage: gen_die_model <out.3ds>
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

struct Vec
{
    double x, y, z;
};

Vec operator+(Vec a, Vec b)
{
    return { a.x + b.x, a.y + b.y, a.z + b.z };
}
Vec operator-(Vec a, Vec b)
{
    return { a.x - b.x, a.y - b.y, a.z - b.z };
}
Vec operator*(Vec a, double s)
{
    return { a.x * s, a.y * s, a.z * s };
}

// Half the edge and the rounding radius in model units. Scaled by 0.015 in the
// scene the die is 0.63 units wide and its farthest point lies 0.485 units from
// its centre, so dice 1 unit apart never touch however they are turned.
constexpr double kHalfEdge = 21.0;
constexpr double kRadius = 5.5;
// Grid lines per rounded edge zone on each face.
constexpr int kEdgeSteps = 3;

// One face of the die: its outward normal and the axes that point to the right
// of and up the face's picture. The pictures stand upright when the game turns
// the face toward the camera; they also match folding the net around the 6.
struct Face
{
    int value;
    Vec normal;
    Vec right;
    Vec up;
    int column; // cell in the net, 1..3 from the left
    int row; // 1..4 from the top
};

constexpr std::array<Face, 6> kFaces { {
    { 1, { 0, 0, 1 }, { 1, 0, 0 }, { 0, 1, 0 }, 2, 1 },
    { 6, { 0, 0, -1 }, { 1, 0, 0 }, { 0, -1, 0 }, 2, 3 },
    { 2, { 1, 0, 0 }, { 0, 0, -1 }, { 0, 1, 0 }, 3, 3 },
    { 5, { -1, 0, 0 }, { 0, 0, -1 }, { 0, -1, 0 }, 1, 3 },
    { 3, { 0, 1, 0 }, { 1, 0, 0 }, { 0, 0, -1 }, 2, 4 },
    { 4, { 0, -1, 0 }, { 1, 0, 0 }, { 0, 0, 1 }, 2, 2 },
} };

struct Vertex
{
    Vec position;
    double u, v;
};

// Grid positions across a face: the flat middle as one span, the rounded zones
// at equal angles of the edge's quarter circle.
std::vector<double> gridLines()
{
    std::vector<double> lines;
    const double flat = kHalfEdge - kRadius;
    for (int k = kEdgeSteps; k >= 1; --k)
        lines.push_back(-flat - kRadius * std::tan(k * std::numbers::pi / 4.0 / kEdgeSteps));
    lines.push_back(-flat);
    lines.push_back(flat);
    for (int k = 1; k <= kEdgeSteps; ++k)
        lines.push_back(flat + kRadius * std::tan(k * std::numbers::pi / 4.0 / kEdgeSteps));
    return lines;
}

// Pulls a point of the sharp cube onto the rounded one.
Vec round(Vec p)
{
    const double flat = kHalfEdge - kRadius;
    const Vec c { std::clamp(p.x, -flat, flat), std::clamp(p.y, -flat, flat),
        std::clamp(p.z, -flat, flat) };
    const Vec d = p - c;
    const double l = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    return c + d * (kRadius / l);
}

void build(std::vector<Vertex> &vertices, std::vector<std::array<std::uint16_t, 3>> &faces)
{
    const std::vector<double> lines = gridLines();
    const int n = static_cast<int>(lines.size());
    // Half a texel of the 64-pixel cell kept clear of the neighbouring cells.
    const double inset = 0.5 / 64.0;
    for (const Face &face : kFaces) {
        const auto base = static_cast<std::uint16_t>(vertices.size());
        for (int j = 0; j < n; ++j) {
            for (int i = 0; i < n; ++i) {
                const double a = lines[static_cast<std::size_t>(i)];
                const double b = lines[static_cast<std::size_t>(j)];
                const Vec p = round(face.normal * kHalfEdge + face.right * a + face.up * b);
                const double s = inset + (a / kHalfEdge + 1.0) * 0.5 * (1.0 - 2.0 * inset);
                const double t = inset + (b / kHalfEdge + 1.0) * 0.5 * (1.0 - 2.0 * inset);
                // v runs up the picture: row 1 is the top quarter.
                vertices.push_back({ p, (face.column - 1 + s) / 3.0, (4 - face.row + t) / 4.0 });
            }
        }
        for (int j = 0; j + 1 < n; ++j) {
            for (int i = 0; i + 1 < n; ++i) {
                const auto at = [&](int ii, int jj) {
                    return static_cast<std::uint16_t>(base + jj * n + ii);
                };
                // Counter-clockwise seen from outside (right × up = normal).
                faces.push_back({ at(i, j), at(i + 1, j), at(i + 1, j + 1) });
                faces.push_back({ at(i, j), at(i + 1, j + 1), at(i, j + 1) });
            }
        }
    }
}

// Binary 3DS chunks: a 16-bit ID and a 32-bit length that counts the header,
// all numbers little-endian whatever the host's byte order.
class Chunk
{
public:
    explicit Chunk(std::uint16_t id)
    {
        u16(id);
        u32(0);
    }
    void u16(std::uint16_t v) { little(v, 2); }
    void u32(std::uint32_t v) { little(v, 4); }
    void f32(double v) { little(std::bit_cast<std::uint32_t>(static_cast<float>(v)), 4); }
    void text(const std::string &s)
    {
        m_data.insert(m_data.end(), s.c_str(), s.c_str() + s.size() + 1);
    }
    void child(Chunk &c)
    {
        const std::vector<unsigned char> &bytes = c.finished();
        m_data.insert(m_data.end(), bytes.begin(), bytes.end());
    }
    const std::vector<unsigned char> &finished()
    {
        const auto size = static_cast<std::uint32_t>(m_data.size());
        for (std::size_t i = 0; i < 4; ++i)
            m_data[2 + i] = static_cast<unsigned char>((size >> (8 * i)) & 0xFF);
        return m_data;
    }

private:
    void little(std::uint32_t value, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
            m_data.push_back(static_cast<unsigned char>((value >> (8 * i)) & 0xFF));
    }

    std::vector<unsigned char> m_data;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <out.3ds>\n", argv[0]);
        return 2;
    }
    std::vector<Vertex> vertices;
    std::vector<std::array<std::uint16_t, 3>> faces;
    build(vertices, faces);

    Chunk points(0x4110);
    points.u16(static_cast<std::uint16_t>(vertices.size()));
    for (const Vertex &v : vertices) {
        points.f32(v.position.x);
        points.f32(v.position.y);
        points.f32(v.position.z);
    }
    Chunk faceList(0x4120);
    faceList.u16(static_cast<std::uint16_t>(faces.size()));
    for (const auto &f : faces) {
        faceList.u16(f[0]);
        faceList.u16(f[1]);
        faceList.u16(f[2]);
        faceList.u16(0x0007); // all three edges visible
    }
    Chunk mapping(0x4140);
    mapping.u16(static_cast<std::uint16_t>(vertices.size()));
    for (const Vertex &v : vertices) {
        mapping.f32(v.u);
        mapping.f32(v.v);
    }
    Chunk mesh(0x4100);
    mesh.child(points);
    mesh.child(mapping);
    mesh.child(faceList);
    Chunk object(0x4000);
    object.text("Wuerfel");
    object.child(mesh);
    Chunk meshVersion(0x3D3E);
    meshVersion.u32(3);
    Chunk editor(0x3D3D);
    editor.child(meshVersion);
    editor.child(object);
    Chunk version(0x0002);
    version.u32(3);
    Chunk main3ds(0x4D4D);
    main3ds.child(version);
    main3ds.child(editor);

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    const auto &data = main3ds.finished();
    out.write(
        reinterpret_cast<const char *>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
