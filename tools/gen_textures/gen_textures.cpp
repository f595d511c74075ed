// Paints the three textures of the dice view and writes them as JPEG files:
// the die net in wood colours ("wuerfel"), the same net in greys for held dice
// ("wuerfel2") and the marble of the slab ("marmor").
//
// Usage: gen_textures <out dir>
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

constexpr int kCell = 64; // pixels of one cell of the net
constexpr int kSuper = 4; // samples per pixel along each axis, for smooth edges

// --- Noise -------------------------------------------------------------------

std::uint32_t hash(std::int32_t x, std::int32_t y, std::uint32_t seed)
{
    std::uint32_t h = seed * 0x9E3779B9u;
    h ^= static_cast<std::uint32_t>(x) * 0x85EBCA6Bu;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE35u;
    h *= 0x27D4EB2Fu;
    h ^= h >> 15;
    return h;
}

double lattice(std::int32_t x, std::int32_t y, std::uint32_t seed)
{
    return (hash(x, y, seed) & 0xFFFFFF) / double(0xFFFFFF);
}

double smooth(double t)
{
    return t * t * (3.0 - 2.0 * t);
}

// Value noise in 0..1.
double noise(double x, double y, std::uint32_t seed)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const auto ix = static_cast<std::int32_t>(fx);
    const auto iy = static_cast<std::int32_t>(fy);
    const double tx = smooth(x - fx);
    const double ty = smooth(y - fy);
    const double a = lattice(ix, iy, seed);
    const double b = lattice(ix + 1, iy, seed);
    const double c = lattice(ix, iy + 1, seed);
    const double d = lattice(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) * (1.0 - ty) + (c + (d - c) * tx) * ty;
}

// Fractal sum of octaves, roughly 0..1.
double fbm(double x, double y, std::uint32_t seed, int octaves)
{
    double sum = 0.0;
    double amplitude = 0.5;
    double total = 0.0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * noise(x, y, seed + static_cast<std::uint32_t>(i) * 101u);
        total += amplitude;
        x *= 2.03;
        y *= 2.03;
        amplitude *= 0.5;
    }
    return sum / total;
}

struct Rgb
{
    double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return { a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t };
}

Rgb scaled(Rgb a, double s)
{
    return { a.r * s, a.g * s, a.b * s };
}

double smoothstep(double e0, double e1, double x)
{
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// --- The die net ---------------------------------------------------------------

// Which value each cell of the 3 × 4 net shows (0: a plain cell).
constexpr std::array<std::array<int, 3>, 4> kNet { { { 0, 1, 0 }, { 0, 4, 0 }, { 5, 6, 2 },
    { 0, 3, 0 } } };

// Pip centres in cell pixels for each value, in the usual patterns.
std::vector<std::pair<double, double>> pips(int value)
{
    const double lo = 18.0, mid = 32.0, hi = 46.0;
    switch (value) {
    case 1:
        return { { mid, mid } };
    case 2:
        return { { lo, lo }, { hi, hi } };
    case 3:
        return { { lo, lo }, { mid, mid }, { hi, hi } };
    case 4:
        return { { lo, lo }, { hi, lo }, { lo, hi }, { hi, hi } };
    case 5:
        return { { lo, lo }, { hi, lo }, { mid, mid }, { lo, hi }, { hi, hi } };
    case 6:
        return { { lo, 20 }, { mid, 20 }, { hi, 20 }, { lo, 44 }, { mid, 44 }, { hi, 44 } };
    default:
        return {};
    }
}

// Golden-brown wood: growth rings of a log seen from the side, bent by noise,
// with fine fibres along the grain.
Rgb wood(double x, double y, std::uint32_t seed)
{
    const double angle = 0.35 + 0.5 * lattice(1, 2, seed);
    const double u = x * std::cos(angle) + y * std::sin(angle);
    const double v = -x * std::sin(angle) + y * std::cos(angle);
    const double centre = -18.0 - 40.0 * lattice(3, 4, seed);
    const double along = 20.0 * (lattice(5, 6, seed) - 0.5);
    const double bend = 6.0 * fbm(u * 0.03, v * 0.05, seed, 4);
    const double r = std::hypot(v - centre, (u - along) * 0.45) + bend;
    const double ring = r * 0.14 - std::floor(r * 0.14);
    // Late wood is a narrow dark band at the end of each year.
    const double late = smoothstep(0.62, 0.92, ring) * (1.0 - smoothstep(0.92, 1.0, ring));
    const double fibres = fbm(u * 0.9, v * 0.08, seed + 7u, 3);
    const Rgb light { 226, 178, 104 };
    const Rgb dark { 170, 112, 50 };
    Rgb c = mix(light, dark, 0.75 * late + 0.35 * (fibres - 0.5) + 0.15);
    c = scaled(c, 0.94 + 0.12 * fbm(x * 0.05, y * 0.05, seed + 13u, 3));
    return c;
}

// One sample of a face cell: wood, a darker rim where the edge rounds off, a
// soft light from the upper left, and recessed pips with a lit lower rim.
Rgb facePixel(double x, double y, int value, std::uint32_t seed)
{
    Rgb c = wood(x, y, seed);
    const double edge = std::min({ x, y, kCell - x, kCell - y });
    // The outer 8-9 pixels lie on the rounded edge of the model.
    const double rim = 1.0 - smoothstep(0.0, 11.0, edge);
    c = mix(c, Rgb { 62, 36, 16 }, 0.9 * rim * rim + 0.15 * rim);
    const double light = 1.0 + 0.07 * ((kCell - x) + (kCell - y) - kCell) / kCell;
    c = scaled(c, light);

    for (const auto &[px, py] : pips(value)) {
        const double dx = x - px;
        const double dy = y - py;
        const double d = std::hypot(dx, dy);
        const double radius = 5.2;
        if (d < radius + 1.6) {
            // A faint lit lip below-right and shadow above-left around the hole.
            const double side = (dx + dy) / (d + 1e-9) * 0.7071;
            const double lip
                = smoothstep(radius + 1.6, radius, d) * (1.0 - smoothstep(radius, radius - 0.6, d));
            c = scaled(c, 1.0 + 0.12 * side * lip);
        }
        if (d < radius) {
            // Inside the hole: black, its lower-right wall catching some light.
            const double wall = std::clamp((dx + dy) / (radius * 1.4142), 0.0, 1.0);
            const double depth = smoothstep(radius, radius * 0.55, d);
            Rgb hole = mix(Rgb { 42, 30, 22 }, Rgb { 8, 6, 5 }, depth);
            hole = mix(hole, Rgb { 70, 52, 36 }, 0.5 * wall * (1.0 - depth));
            c = hole;
        }
    }
    return c;
}

QImage paintNet()
{
    const int width = 3 * kCell * kSuper;
    const int height = 4 * kCell * kSuper;
    QImage big(width, height, QImage::Format_RGB32);
    const Rgb offWhite { 236, 232, 222 };
    for (int py = 0; py < height; ++py) {
        auto *line = reinterpret_cast<QRgb *>(big.scanLine(py));
        const int row = py / (kCell * kSuper);
        const double y = (py % (kCell * kSuper) + 0.5) / kSuper;
        for (int px = 0; px < width; ++px) {
            const int column = px / (kCell * kSuper);
            const double x = (px % (kCell * kSuper) + 0.5) / kSuper;
            const int value = kNet[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
            const Rgb c = value
                ? facePixel(x, y, value, 1000u + static_cast<std::uint32_t>(value) * 37u)
                : offWhite;
            line[px] = qRgb(std::clamp(int(c.r), 0, 255), std::clamp(int(c.g), 0, 255),
                std::clamp(int(c.b), 0, 255));
        }
    }
    return big.scaled(3 * kCell, 4 * kCell, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The held dice: the same net in cool greys, a little lighter than the wood.
QImage greyed(const QImage &net)
{
    QImage grey = net.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const QRgb p = line[x];
            const double l = 0.30 * qRed(p) + 0.59 * qGreen(p) + 0.11 * qBlue(p);
            const double g = std::clamp(l * 1.02 + 8.0, 0.0, 255.0);
            line[x] = qRgb(int(g * 0.97), int(g * 0.98), int(std::min(255.0, g * 1.02)));
        }
    }
    return grey;
}

// --- The marble ----------------------------------------------------------------

QImage paintMarble()
{
    const int width = 192;
    const int height = 576;
    QImage image(width, height, QImage::Format_RGB32);
    const std::uint32_t seed = 77u;
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            double r = 0, g = 0, b = 0;
            for (int sy = 0; sy < 2; ++sy) {
                for (int sx = 0; sx < 2; ++sx) {
                    const double fx = x + (sx + 0.5) / 2.0;
                    const double fy = y + (sy + 0.5) / 2.0;
                    // Veins: a sine bent by turbulence, sharpened into lines with
                    // a soft halo; a second, paler set crosses them.
                    const double turbulence = fbm(fx * 0.012, fy * 0.012, seed, 6);
                    const double vein
                        = 1.0 - std::abs(std::sin(fx * 0.018 + fy * 0.031 + 9.0 * turbulence));
                    const double pale = 1.0
                        - std::abs(std::sin(fx * 0.041 - fy * 0.013
                            + 12.0 * fbm(fx * 0.02, fy * 0.02, seed + 5u, 5)));
                    const double cloud = fbm(fx * 0.02, fy * 0.02, seed + 9u, 5);
                    Rgb c = mix(Rgb { 134, 122, 106 }, Rgb { 184, 174, 158 }, cloud * 1.4 - 0.2);
                    c = mix(
                        c, Rgb { 152, 124, 96 }, 0.4 * fbm(fx * 0.006, fy * 0.006, seed + 3u, 3));
                    c = mix(c, Rgb { 96, 84, 70 }, 0.35 * std::pow(vein, 4.0));
                    c = mix(c, Rgb { 64, 55, 46 }, 0.6 * std::pow(vein, 16.0));
                    c = mix(c, Rgb { 200, 192, 180 }, 0.25 * std::pow(pale, 24.0));
                    c = scaled(c, 0.96 + 0.08 * noise(fx * 0.7, fy * 0.7, seed + 11u));
                    r += c.r;
                    g += c.g;
                    b += c.b;
                }
            }
            line[x] = qRgb(std::clamp(int(r / 4), 0, 255), std::clamp(int(g / 4), 0, 255),
                std::clamp(int(b / 4), 0, 255));
        }
    }
    return image;
}

bool save(const QImage &image, const QString &path)
{
    if (!image.save(path, "JPG", 94)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <out dir>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path()))
        return 1;
    const QImage net = paintNet();
    const bool ok = save(net, dir.filePath(QStringLiteral("wuerfel.jpg")))
        && save(greyed(net), dir.filePath(QStringLiteral("wuerfel2.jpg")))
        && save(paintMarble(), dir.filePath(QStringLiteral("marmor.jpg")));
    return ok ? 0 : 1;
}
