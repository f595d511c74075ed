// Draws the pictures of the start screen and the names dialog:
//   --library DIR   107.jpg (start-screen background) and 113.jpg (names-dialog
//                   background) for the resource library;
//   --program DIR   109..112.bmp (player-count digits, 1 bit), 114.bmp (the red
//                   "off" cross, 8 bit) and ok.bmp (the start picture, 24 bit),
//                   compiled into the program;
//   --icons DIR     the desktop icon at 48, 64, 128 and 256 pixels, as PNGs in the
//                   icon theme's layout (DIR/48x48/apps/halvenor-dorvel.png, ...).
// White is the transparent colour of every program picture, so those are drawn
// with hard edges: a pixel is either picture or white.
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QStringList>

#include <cmath>
#include <cstdio>

namespace {

const QColor kGold(0xd8, 0xb0, 0x4c);
const QColor kDarkGold(0x8a, 0x64, 0x1c);
const QColor kIvory(0xf4, 0xec, 0xd6);

QFont serif(int pixels, bool bold = true, bool italic = false)
{
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

QFont sans(int pixels, bool bold = true)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// Felt: a green radial light with a fine, seeded grain.
void paintFelt(QImage &image, QRect area, QColor centre, QColor edge, quint32 seed)
{
    {
        QPainter p(&image);
        QRadialGradient light(area.center(), std::max(area.width(), area.height()) * 0.7);
        light.setColorAt(0.0, centre);
        light.setColorAt(1.0, edge);
        p.fillRect(area, light);
    }
    QRandomGenerator random(seed);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            const int noise = static_cast<int>(random.bounded(15u)) - 7;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + noise / 2, 0, 255),
                std::clamp(qGreen(c) + noise, 0, 255), std::clamp(qBlue(c) + noise / 2, 0, 255));
        }
    }
}

// Wood: warm browns with wavy grain lines, clipped to `shape`.
void paintWood(QPainter &p, const QPainterPath &shape, quint32 seed)
{
    p.save();
    p.setClipPath(shape);
    const QRectF box = shape.boundingRect();
    QLinearGradient base(box.topLeft(), box.bottomLeft());
    base.setColorAt(0.0, QColor(0x6b, 0x3f, 0x1d));
    base.setColorAt(0.5, QColor(0x5a, 0x33, 0x16));
    base.setColorAt(1.0, QColor(0x46, 0x26, 0x0f));
    p.fillRect(box, base);
    QRandomGenerator random(seed);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < static_cast<int>(box.height() / 2.5); ++i) {
        const double y = box.top() + random.bounded(box.height());
        const double amplitude = 1.0 + random.bounded(3.0);
        const double phase = random.bounded(6.28);
        QPainterPath grain;
        grain.moveTo(box.left(), y);
        for (double x = box.left(); x <= box.right(); x += 8)
            grain.lineTo(x, y + amplitude * std::sin(x / 37.0 + phase));
        const int shade = static_cast<int>(random.bounded(2u));
        p.setPen(QPen(shade ? QColor(0x3a, 0x1f, 0x0a, 110) : QColor(0x8a, 0x58, 0x2c, 90),
            0.8 + random.bounded(1.2)));
        p.drawPath(grain);
    }
    p.restore();
}

// A die seen from the front, turned by `angle` degrees, with `pips` 1..6.
void paintDie(QPainter &p, QPointF centre, double size, double angle, int pips, int alpha = 255)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(centre);
    p.rotate(angle);
    const QRectF body(-size / 2, -size / 2, size, size);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, alpha / 2));
    p.drawRoundedRect(body.translated(size * 0.07, size * 0.09), size * 0.18, size * 0.18);
    QLinearGradient face(body.topLeft(), body.bottomRight());
    QColor light = kIvory;
    QColor shade(0xc9, 0xbd, 0x9c);
    light.setAlpha(alpha);
    shade.setAlpha(alpha);
    face.setColorAt(0.0, light);
    face.setColorAt(1.0, shade);
    p.setBrush(face);
    p.setPen(QPen(QColor(0x5a, 0x4a, 0x30, alpha), size * 0.025));
    p.drawRoundedRect(body, size * 0.18, size * 0.18);
    static const QPointF spots[7] = { { 0, 0 }, { -0.25, -0.25 }, { 0.25, 0.25 }, { 0.25, -0.25 },
        { -0.25, 0.25 }, { -0.25, 0 }, { 0.25, 0 } };
    static const int layout[7][6] = { {}, { 0 }, { 1, 2 }, { 1, 0, 2 }, { 1, 2, 3, 4 },
        { 0, 1, 2, 3, 4 }, { 1, 2, 3, 4, 5, 6 } };
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1a, 0x12, 0x0a, alpha));
    for (int i = 0; i < pips; ++i) {
        const QPointF at = spots[layout[pips][i]] * size;
        p.drawEllipse(at, size * 0.085, size * 0.085);
    }
    p.restore();
}

// Text with a dark shadow, centred in `box`.
void shadowText(QPainter &p, const QRectF &box, const QString &text, const QFont &font,
    const QColor &colour, int flags = Qt::AlignCenter)
{
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 200));
    p.drawText(box.translated(1.5, 1.5), flags, text);
    p.setPen(colour);
    p.drawText(box, flags, text);
}

// A framed, slightly sunken place on the board for a control.
void paintPlace(QPainter &p, const QRectF &box, const QColor &fill, double radius)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 120));
    p.drawRoundedRect(box.adjusted(-5, -5, 7, 7), radius + 4, radius + 4);
    p.setBrush(fill);
    p.setPen(QPen(kGold, 2.0));
    p.drawRoundedRect(box.adjusted(-4, -4, 4, 4), radius + 3, radius + 3);
    p.setPen(QPen(kDarkGold, 1.0));
    p.drawRoundedRect(box.adjusted(-1.5, -1.5, 1.5, 1.5), radius, radius);
    p.restore();
}

QImage startBackground()
{
    QImage image(800, 600, QImage::Format_RGB32);
    image.fill(Qt::black);
    paintFelt(image, image.rect(), QColor(0x23, 0x6b, 0x3a), QColor(0x06, 0x1f, 0x0e), 107);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // The wooden rim of the table.
    QPainterPath rim;
    rim.addRect(0, 0, 800, 600);
    QPainterPath inner;
    inner.addRoundedRect(QRectF(22, 22, 756, 556), 18, 18);
    paintWood(p, rim.subtracted(inner), 7);
    p.setPen(QPen(kGold, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(22, 22, 756, 556), 18, 18);
    p.setPen(QPen(QColor(0, 0, 0, 140), 3));
    p.drawRoundedRect(QRectF(25, 25, 750, 550), 16, 16);

    // The version label's plaque: its text is drawn in the window-text colour.
    p.setPen(QPen(kDarkGold, 1));
    p.setBrush(kIvory);
    p.drawRoundedRect(QRectF(750.5, 1.5, 46, 18), 4, 4);

    // Dice scattered on the felt.
    paintDie(p, { 96, 318 }, 70, -18, 5);
    paintDie(p, { 168, 222 }, 52, 24, 3);
    paintDie(p, { 733, 330 }, 58, 14, 6);
    paintDie(p, { 640, 224 }, 46, -30, 2);
    paintDie(p, { 98, 470 }, 62, 32, 4);
    paintDie(p, { 728, 482 }, 48, -12, 1);

    // The name of the game.
    QLinearGradient gold(0, 70, 0, 150);
    gold.setColorAt(0.0, QColor(0xff, 0xe8, 0x9a));
    gold.setColorAt(0.55, kGold);
    gold.setColorAt(1.0, QColor(0x9c, 0x6c, 0x1c));
    QPainterPath title;
    QFont titleFont = serif(66);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    title.addText(0, 0, titleFont, QStringLiteral("Halvenor Dorvel"));
    const QRectF titleBox = title.boundingRect();
    title.translate(400 - titleBox.center().x(), 122 - titleBox.center().y());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 170));
    p.drawPath(title.translated(3, 4));
    p.setBrush(gold);
    p.setPen(QPen(QColor(0x4a, 0x2c, 0x08), 1.6));
    p.drawPath(title);
    shadowText(p, QRectF(0, 160, 800, 30),
        QStringLiteral("Das Würfelspiel für bis zu vier Spieler"), serif(20, false, true), kIvory);

    // The board that holds the controls.
    const QRectF board(172, 262, 490 + 26, 268);
    QPainterPath boardShape;
    boardShape.addRoundedRect(board, 14, 14);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 150));
    p.drawRoundedRect(board.translated(5, 7), 14, 14);
    paintWood(p, boardShape, 262);
    QPainterPath boardFelt;
    boardFelt.addRoundedRect(board.adjusted(9, 9, -9, -9), 9, 9);
    p.save();
    p.setClipPath(boardFelt);
    p.fillRect(board, QColor(0x0e, 0x3a, 0x1e));
    p.restore();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kGold, 1.5));
    p.drawRoundedRect(board.adjusted(9, 9, -9, -9), 9, 9);

    // How to start, to the left of the player count.
    shadowText(p, QRectF(192, 300, 250, 86),
        QStringLiteral("Zahl der Spieler wählen,\nMusik und Sound schalten,\n"
                       "dann mit OK beginnen!"),
        serif(15, false, true), kIvory, Qt::AlignLeft | Qt::AlignVCenter);

    // Player count: an ivory box for the black digit.
    shadowText(p, QRectF(454, 277, 100, 22), QStringLiteral("Spieler"), serif(17), kGold);
    paintPlace(p, QRectF(464, 304, 80, 80), kIvory, 6);

    // The start picture's place.
    shadowText(p, QRectF(561, 277, 100, 22), QStringLiteral("Start"), serif(17), kGold);
    p.setPen(QPen(kGold, 2));
    p.setBrush(QColor(0x06, 0x24, 0x12));
    p.drawEllipse(QPointF(611, 344), 41, 41);
    p.setPen(QPen(kDarkGold, 1));
    p.drawEllipse(QPointF(611, 344), 37.5, 37.5);

    // The two switches: the red cross lies over a switched-off one.
    const QColor switchFill(0x16, 0x4c, 0x2a);
    for (const auto &[left, caption] : { std::pair { 193, QStringLiteral("Musik") },
             std::pair { 451, QStringLiteral("Sound") } }) {
        const QRectF box(left, 405, 156, 46);
        paintPlace(p, box, switchFill, 6);
        shadowText(p, box, caption, serif(24), kIvory);
    }

    // The volume bar's slot.
    shadowText(p, QRectF(183, 478, 122, 24), QStringLiteral("Lautstärke"), serif(16), kGold,
        Qt::AlignRight | Qt::AlignVCenter);
    paintPlace(p, QRectF(317, 482, 300, 16), QColor(0x20, 0x20, 0x20), 2);
    p.end();
    return image;
}

QImage namesBackground()
{
    QImage image(212, 166, QImage::Format_RGB32);
    image.fill(Qt::black);
    paintFelt(
        image, QRect(0, 42, 212, 124), QColor(0x12, 0x30, 0x1c), QColor(0x03, 0x0c, 0x06), 113);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QPainterPath header;
    header.addRect(0, 0, 212, 42);
    paintWood(p, header, 113);
    p.setPen(QPen(kGold, 2));
    p.drawLine(QPointF(0, 42), QPointF(212, 42));
    paintDie(p, { 19, 21 }, 20, -14, 5);
    paintDie(p, { 193, 21 }, 20, 12, 3);
    QLinearGradient gold(0, 8, 0, 34);
    gold.setColorAt(0.0, QColor(0xff, 0xe8, 0x9a));
    gold.setColorAt(1.0, QColor(0xb0, 0x7c, 0x24));
    QPainterPath title;
    title.addText(0, 0, serif(18), QStringLiteral("Spielernamen"));
    const QRectF box = title.boundingRect();
    title.translate(106 - box.center().x(), 21 - box.center().y());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 180));
    p.drawPath(title.translated(1.5, 1.5));
    p.setBrush(gold);
    p.drawPath(title);
    p.end();
    return image;
}

// Flattens an antialiased drawing on transparency into picture-or-white pixels.
QImage hardEdgesOnWhite(const QImage &drawing)
{
    QImage result(drawing.size(), QImage::Format_RGB32);
    for (int y = 0; y < drawing.height(); ++y) {
        for (int x = 0; x < drawing.width(); ++x) {
            const QColor c = drawing.pixelColor(x, y);
            QRgb out = qRgb(255, 255, 255);
            if (c.alpha() >= 128) {
                out = qRgb(c.red(), c.green(), c.blue());
                // Pure white would vanish: keep it just off white.
                if (out == qRgb(255, 255, 255))
                    out = qRgb(254, 254, 254);
            }
            result.setPixel(x, y, out);
        }
    }
    return result;
}

QImage digit(int n, int width)
{
    QImage drawing(width, 66, QImage::Format_ARGB32);
    drawing.fill(Qt::transparent);
    QPainter p(&drawing);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath glyph;
    glyph.addText(0, 0, serif(80), QString::number(n));
    const QRectF box = glyph.boundingRect();
    const double scale = std::min((width - 4) / box.width(), 60.0 / box.height());
    p.translate(width / 2.0, 33.0);
    p.scale(scale, scale);
    p.translate(-box.center());
    p.fillPath(glyph, Qt::black);
    p.end();
    // Black or white, nothing between: one bit per pixel.
    QImage mono
        = hardEdgesOnWhite(drawing).convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    return mono;
}

QImage offCross()
{
    QImage drawing(156, 46, QImage::Format_ARGB32);
    drawing.fill(Qt::transparent);
    QPainter p(&drawing);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xd0, 0x10, 0x10), 10, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6, 6), QPointF(150, 40));
    p.drawLine(QPointF(6, 40), QPointF(150, 6));
    p.setPen(QPen(QColor(0xff, 0x40, 0x30), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 5.5), QPointF(148, 38.5));
    p.drawLine(QPointF(8, 38.5), QPointF(148, 5.5));
    p.end();
    return hardEdgesOnWhite(drawing).convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
}

QImage okPicture()
{
    QImage drawing(70, 70, QImage::Format_ARGB32);
    drawing.fill(Qt::transparent);
    QPainter p(&drawing);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(35, 35);
    QConicalGradient rainbow(centre, 90);
    const QColor colours[]
        = { QColor(0xe0, 0x20, 0x20), QColor(0xf0, 0x90, 0x10), QColor(0xf0, 0xe0, 0x20),
              QColor(0x30, 0xb0, 0x30), QColor(0x20, 0x70, 0xe0), QColor(0x80, 0x30, 0xc0) };
    for (int i = 0; i < 6; ++i)
        rainbow.setColorAt(i / 6.0, colours[i]);
    rainbow.setColorAt(1.0, colours[0]);
    p.setPen(QPen(Qt::black, 3));
    p.setBrush(rainbow);
    p.drawEllipse(centre, 33, 33);
    // A soft light over the top, for a rounded look.
    QRadialGradient shine(QPointF(28, 22), 34);
    shine.setColorAt(0.0, QColor(255, 255, 255, 120));
    shine.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawEllipse(centre, 31, 31);
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(QColor(0xfa, 0xf6, 0xea));
    p.drawEllipse(centre, 18, 18);
    QPainterPath ok;
    ok.addText(0, 0, sans(19), QStringLiteral("OK"));
    const QRectF box = ok.boundingRect();
    ok.translate(centre - box.center());
    p.fillPath(ok, Qt::black);
    p.end();
    return hardEdgesOnWhite(drawing);
}

// Drawn on a 128-unit canvas and scaled, so every size shows the same picture.
QImage icon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 128.0, size / 128.0);
    QRadialGradient felt(QPointF(64, 64), 62);
    felt.setColorAt(0.0, QColor(0x2a, 0x7a, 0x44));
    felt.setColorAt(1.0, QColor(0x0a, 0x30, 0x16));
    p.setBrush(felt);
    p.setPen(QPen(kGold, 4));
    p.drawEllipse(QPointF(64, 64), 60, 60);
    paintDie(p, { 50, 58 }, 50, -14, 5);
    paintDie(p, { 82, 80 }, 42, 18, 3);
    p.end();
    return image;
}

bool save(const QImage &image, const QString &file, const char *format, int quality = -1)
{
    if (image.save(file, format, quality))
        return true;
    std::fprintf(stderr, "gen_pictures: cannot write %s\n", qPrintable(file));
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool ok = true;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString &option = args[i];
        const QString &target = args[i + 1];
        if (option == QStringLiteral("--library")) {
            QDir().mkpath(target);
            const QDir dir(target);
            ok = save(startBackground(), dir.filePath(QStringLiteral("107.jpg")), "JPG", 92) && ok;
            ok = save(namesBackground(), dir.filePath(QStringLiteral("113.jpg")), "JPG", 92) && ok;
        } else if (option == QStringLiteral("--program")) {
            QDir().mkpath(target);
            const QDir dir(target);
            const int widths[] = { 30, 39, 38, 39 };
            for (int n = 1; n <= 4; ++n)
                ok = save(digit(n, widths[n - 1]),
                         dir.filePath(QStringLiteral("%1.bmp").arg(108 + n)), "BMP")
                    && ok;
            ok = save(offCross(), dir.filePath(QStringLiteral("114.bmp")), "BMP") && ok;
            ok = save(okPicture(), dir.filePath(QStringLiteral("ok.bmp")), "BMP") && ok;
        } else if (option == QStringLiteral("--icons")) {
            for (const int size : { 48, 64, 128, 256 }) {
                const QString folder = QStringLiteral("%1/%2x%2/apps").arg(target).arg(size);
                QDir().mkpath(folder);
                ok = save(icon(size), folder + QStringLiteral("/halvenor-dorvel.png"), "PNG") && ok;
            }
        } else {
            std::fprintf(stderr, "gen_pictures: unknown option %s\n", qPrintable(option));
            return 2;
        }
    }
    return ok ? 0 : 1;
}
