// Compares a screenshot of the whole output with a reference picture of the
// program's 800×600 screen: the stage, the largest area of the reference's
// shape centred on the output, is cut out and scaled to the reference's size,
// then both are compared as a whole (PSNR) and tile by tile (the mean error of
// the worst tile), since a fault that matters to a player may cover only a few
// tiles: a die in the wrong place, a box drawn without its face.
//
// A message box is compared by its own place: with --boxes, two files of
// "x y width height" give where the box lies on each picture in the 800×600
// coordinates. The reference's box is moved to the shot's place (over the
// black it stands on) and the shot's box must be centred on the stage. A
// frame drawn around the box and a title above it are left out of the
// comparison, since the reference screen has no window manager to draw them.
//
// usage: picture_compare <reference.png> <shot.png> [--diff out.png] [--psnr DB]
//                        [--tile E] [--boxes reference.box shot.box]
// Exit code 0 when the PSNR is at least DB and no tile's mean error exceeds E
// (0..255 per colour channel); one line of figures goes to stdout either way.
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <vector>

namespace {

// Tiles of 12×12 reference pixels: a die's pip covers about a third of one,
// so a die showing another face or standing aside changes some tile a lot.
constexpr int kTile = 12;
// How far a tile may lie off its place, in reference pixels: a window keeps
// its designed geometry at any scale, so its parts lie at most a pixel off
// once scaled back; a message box is laid out afresh for the larger text
// (336×184 at 800×600 becomes 332×180 at scale 2), so its parts may lie two
// pixels off.
constexpr int kWindowShift = 1;
constexpr int kBoxShift = 2;

// The defaults, from the good paths measured against each other (see the
// picture test's script for the figures and why they were chosen).
constexpr double kMinPsnr = 25.0;
constexpr double kMaxTileError = 30.0;

// Room left out for a frame around a box and a title bar above it.
constexpr int kFrameRoom = 8;
constexpr int kTitleRoom = 40;

std::optional<QRect> readBox(const char *file)
{
    std::ifstream in(file);
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    if (!(in >> x >> y >> w >> h) || w <= 0 || h <= 0)
        return std::nullopt;
    return QRect(x, y, w, h);
}

// The largest rectangle of the reference's shape, centred on the output.
QRect stageArea(QSize output, QSize reference)
{
    const double scale = std::min(
        double(output.width()) / reference.width(), double(output.height()) / reference.height());
    const int w = int(std::lround(reference.width() * scale));
    const int h = int(std::lround(reference.height() * scale));
    return QRect((output.width() - w) / 2, (output.height() - h) / 2, w, h);
}

QImage scaledTo(const QImage &image, QSize size)
{
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

// Each pixel the mean of the 3×3 around it.
QImage blurred(const QImage &image)
{
    QImage out(image.size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            int r = 0;
            int g = 0;
            int b = 0;
            int n = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if (!image.valid(x + dx, y + dy))
                        continue;
                    const QRgb p = image.pixel(x + dx, y + dy);
                    r += qRed(p);
                    g += qGreen(p);
                    b += qBlue(p);
                    ++n;
                }
            }
            out.setPixel(x, y, qRgb(r / n, g / n, b / n));
        }
    }
    return out;
}

int channelError(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b))
        + std::abs(qBlue(a) - qBlue(b));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr,
            "usage: picture_compare <reference.png> <shot.png> [--diff out.png] [--psnr DB] "
            "[--tile E] [--boxes reference.box shot.box]\n");
        return 2;
    }
    const char *diffFile = nullptr;
    double minPsnr = kMinPsnr;
    double maxTile = kMaxTileError;
    const char *boxFiles[2] = { nullptr, nullptr };
    for (int i = 3; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--boxes") == 0 && i + 2 < argc) {
            boxFiles[0] = argv[i + 1];
            boxFiles[1] = argv[i + 2];
            ++i;
        } else if (std::strcmp(argv[i], "--diff") == 0)
            diffFile = argv[i + 1];
        else if (std::strcmp(argv[i], "--psnr") == 0)
            minPsnr = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--tile") == 0)
            maxTile = std::atof(argv[i + 1]);
    }
    QImage reference
        = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    const QImage shot(QString::fromLocal8Bit(argv[2]));
    if (reference.isNull() || shot.isNull()) {
        std::printf("missing picture: %s\n", reference.isNull() ? argv[1] : argv[2]);
        return 1;
    }
    const QRect area = stageArea(shot.size(), reference.size());
    QImage stage = scaledTo(shot.copy(area), reference.size());

    QRegion ignored;
    QString placeFault;
    int shift = kWindowShift;
    if (boxFiles[0] != nullptr) {
        shift = kBoxShift;
        const std::optional<QRect> designed = readBox(boxFiles[0]);
        const std::optional<QRect> placed = readBox(boxFiles[1]);
        if (!designed || !placed) {
            std::printf("%s: no place of the box\n", argv[2]);
            return 1;
        }
        const QImage box = reference.copy(*designed);
        QPainter painter(&reference);
        painter.fillRect(*designed, Qt::black);
        painter.drawImage(placed->topLeft(), box);
        painter.end();
        ignored = QRegion(placed->adjusted(-kFrameRoom, -kTitleRoom, kFrameRoom, kFrameRoom))
            - QRegion(*placed);
        // Centred across; down, a title above the box may push it by half its height.
        const int across = 2 * placed->x() + placed->width() - reference.width();
        const int down = 2 * placed->y() + placed->height() - reference.height();
        if (std::abs(across) > 4 || down < -4 || down > kTitleRoom + 4)
            placeFault
                = QStringLiteral(", box at %1,%2 not centred").arg(placed->x()).arg(placed->y());
    }

    // Both softened a little: an edge that the stage's scaling drew sharper or
    // softer than the reference, or half a pixel aside, then differs little.
    reference = blurred(reference);
    stage = blurred(stage);

    // Sums per cell of half a tile; a tile is 2×2 cells, and tiles overlap by a
    // cell, so that a small fault lies wholly inside some tile.
    constexpr int kCell = kTile / 2;
    constexpr int kShifts = (2 * kBoxShift + 1) * (2 * kBoxShift + 1);
    const auto shifts = std::size_t((2 * shift + 1) * (2 * shift + 1));
    const int cellsX = (reference.width() + kCell - 1) / kCell;
    const int cellsY = (reference.height() + kCell - 1) / kCell;
    struct Cell
    {
        int count = 0;
        std::array<double, kShifts> error {};
    };
    std::vector<Cell> cells(std::size_t(cellsX * cellsY));
    double squares = 0.0;
    QImage diff(reference.size(), QImage::Format_RGB32);
    for (int y = 0; y < reference.height(); ++y) {
        for (int x = 0; x < reference.width(); ++x) {
            if (ignored.contains(QPoint(x, y))) {
                diff.setPixel(x, y, qRgb(0, 0, 96));
                continue;
            }
            const QRgb a = reference.pixel(x, y);
            const QRgb b = stage.pixel(x, y);
            const int dr = qRed(a) - qRed(b);
            const int dg = qGreen(a) - qGreen(b);
            const int db = qBlue(a) - qBlue(b);
            squares += dr * dr + dg * dg + db * db;
            Cell &cell = cells[std::size_t((y / kCell) * cellsX + x / kCell)];
            ++cell.count;
            std::size_t s = 0;
            for (int sy = -shift; sy <= shift; ++sy) {
                for (int sx = -shift; sx <= shift; ++sx, ++s) {
                    const int px = std::clamp(x + sx, 0, reference.width() - 1);
                    const int py = std::clamp(y + sy, 0, reference.height() - 1);
                    cell.error[s] += channelError(a, stage.pixel(px, py)) / 3.0;
                }
            }
            const int shade = std::min(255, channelError(a, b));
            diff.setPixel(x, y, qRgb(shade, shade, shade));
        }
    }
    int counted = 0;
    for (const Cell &cell : cells)
        counted += cell.count;
    const double mse = squares / (3.0 * std::max(counted, 1));
    const double psnr = mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);

    // A tile's error: its mean error at the shift that fits it best. A tile
    // mostly left out says little: it counts from a quarter of its pixels.
    auto tileError = [&](int cx, int cy) {
        int count = 0;
        std::array<double, kShifts> sum {};
        for (int dy = 0; dy < 2 && cy + dy < cellsY; ++dy) {
            for (int dx = 0; dx < 2 && cx + dx < cellsX; ++dx) {
                const Cell &cell = cells[std::size_t((cy + dy) * cellsX + cx + dx)];
                count += cell.count;
                for (std::size_t s = 0; s < shifts; ++s)
                    sum[s] += cell.error[s];
            }
        }
        return count * 4 < kTile * kTile
            ? 0.0
            : *std::min_element(sum.begin(), sum.begin() + shifts) / count;
    };
    double worstError = -1.0;
    int worstX = 0;
    int worstY = 0;
    for (int cy = 0; cy + 1 < cellsY; ++cy) {
        for (int cx = 0; cx + 1 < cellsX; ++cx) {
            const double error = tileError(cx, cy);
            if (error > worstError) {
                worstError = error;
                worstX = cx * kCell;
                worstY = cy * kCell;
            }
        }
    }
    if (diffFile != nullptr) {
        QPainter painter(&diff);
        painter.setPen(Qt::red);
        painter.drawRect(worstX, worstY, kTile - 1, kTile - 1);
        painter.end();
        diff.save(QString::fromLocal8Bit(diffFile));
    }
    const bool ok = psnr >= minPsnr && worstError <= maxTile && placeFault.isEmpty();
    std::printf("%s: PSNR %.1f dB (at least %.1f), worst tile %.1f at %d,%d (at most %.1f)%s%s\n",
        argv[2], psnr, minPsnr, worstError, worstX, worstY, maxTile, qPrintable(placeFault),
        ok ? "" : " FAILED");
    return ok ? 0 : 1;
}
