#include "TablePainter.h"

#include "platform/Fonts.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cstdint>

namespace dorvel::tools {

namespace {

    // Places that must match the game table's controls.
    constexpr int kCaptionLeft = 51; // row hot areas: left 51, 99×19
    constexpr int kCaptionWidth = 99;
    constexpr int kRowHeight = 19;
    constexpr std::array<int, 4> kCellLeft { 174, 274, 374, 474 };
    constexpr int kUpperCellLeft2 = 272; // rows 1..6 of the second column
    constexpr int kCellWidth = 53;
    constexpr std::array<int, 4> kHeaderLeft { 156, 255, 355, 455 };
    constexpr int kHeaderTop = 99;
    // Column rules: before, between and after the four player columns.
    constexpr std::array<int, 5> kColumnRule { 152, 250, 350, 450, 548 };
    const QRect kSheet(22, 84, 536, 426);
    const QRect kView(611, 88, 150, 425);
    const QRect kButton(608, 544, 153, 33);

    const QColor kFelt(0x1f, 0x5a, 0x36);
    const QColor kParchment(0xf2, 0xe5, 0xc2);
    const QColor kParchmentDark(0xe6, 0xd4, 0xa8);
    const QColor kInk(0x2e, 0x1d, 0x0e);
    const QColor kWalnut(0x3b, 0x27, 0x17);
    const QColor kWalnutLight(0x5a, 0x3d, 0x24);
    const QColor kCream(0xf5, 0xe6, 0xb8);
    const QColor kGold(0xd9, 0xb2, 0x5c);

    int rowTop(int row)
    {
        return row <= 6 ? 120 + 20 * (row - 1) : 320 + 20 * (row - 7);
    }

    // A small, fixed hash: the same picture on every build.
    std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t salt)
    {
        std::uint32_t h = x * 374761393u + y * 668265263u + salt * 2246822519u;
        h = (h ^ (h >> 13)) * 1274126177u;
        return h ^ (h >> 16);
    }

    // Adds a fine grain of +/- amount to every pixel inside rect.
    void addGrain(QImage &image, const QRect &rect, int amount, std::uint32_t salt)
    {
        const QRect area = rect.intersected(image.rect());
        for (int y = area.top(); y <= area.bottom(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = area.left(); x <= area.right(); ++x) {
                const int grain = static_cast<int>(hash(static_cast<std::uint32_t>(x),
                                                       static_cast<std::uint32_t>(y), salt)
                                      % static_cast<std::uint32_t>(2 * amount + 1))
                    - amount;
                const QRgb c = line[x];
                line[x] = qRgb(std::clamp(qRed(c) + grain, 0, 255),
                    std::clamp(qGreen(c) + grain, 0, 255), std::clamp(qBlue(c) + grain, 0, 255));
            }
        }
    }

    void paintFelt(QPainter &p)
    {
        p.fillRect(QRect(0, 0, 800, 600), kFelt);
        QRadialGradient light(QPointF(300, 280), 620);
        light.setColorAt(0.0, QColor(255, 255, 255, 28));
        light.setColorAt(0.6, QColor(0, 0, 0, 0));
        light.setColorAt(1.0, QColor(0, 0, 0, 120));
        p.fillRect(QRect(0, 0, 800, 600), light);
    }

    void paintTitle(QPainter &p)
    {
        QFont font = platform::tahomaPixels(34, true);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
        p.setFont(font);
        const QRect area(kSheet.left(), 18, kSheet.width(), 50);
        p.setPen(QColor(0, 0, 0, 140));
        p.drawText(area.translated(2, 2), Qt::AlignCenter, QStringLiteral("Halvenor Dorvel"));
        p.setPen(kGold);
        p.drawText(area, Qt::AlignCenter, QStringLiteral("Halvenor Dorvel"));
    }

    void paintSheet(QPainter &p)
    {
        // Shadow, then the parchment with a darker rim.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 90));
        p.drawRoundedRect(QRectF(kSheet).translated(5, 6), 6, 6);
        QRadialGradient paper(QPointF(kSheet.center()), kSheet.width() * 0.75);
        paper.setColorAt(0.0, kParchment);
        paper.setColorAt(0.8, kParchment);
        paper.setColorAt(1.0, kParchmentDark);
        p.setBrush(paper);
        p.setPen(QPen(QColor(0x6b, 0x4a, 0x2a), 2));
        p.drawRoundedRect(QRectF(kSheet), 6, 6);
    }

    void paintRows(QPainter &p)
    {
        // Every other row a shade darker, so a row can be followed across the sheet.
        for (int r = 1; r <= 13; ++r) {
            const int top = rowTop(r);
            if (r % 2 == 0)
                p.fillRect(
                    QRect(kSheet.left() + 3, top - 1, kColumnRule[4] - kSheet.left() - 3, 20),
                    QColor(0x8a, 0x6a, 0x3a, 28));
        }
        // The score cells: light boxes the numbers sit in.
        p.setPen(QPen(QColor(0x9c, 0x82, 0x58), 1));
        p.setBrush(QColor(0xfb, 0xf4, 0xde));
        for (int r = 1; r <= 13; ++r) {
            const int top = r <= 6 ? 123 + 20 * (r - 1) : 323 + 20 * (r - 7);
            for (std::size_t c = 0; c < 4; ++c) {
                const int left = (c == 1 && r <= 6) ? kUpperCellLeft2 : kCellLeft[c];
                p.drawRoundedRect(QRectF(left - 1.5, top - 1.5, kCellWidth + 2, 16 + 1), 3, 3);
            }
        }
        // Row rules.
        p.setPen(QPen(QColor(0x8a, 0x6a, 0x3a, 110), 1));
        for (int r = 1; r <= 13; ++r) {
            const int y = rowTop(r) + 19;
            if (r != 6 && r != 13)
                p.drawLine(kSheet.left() + 6, y, kColumnRule[4], y);
        }
        // Row captions, under the hot areas.
        static const std::array<const char *, 13> captions { "Einser", "Zweier", "Dreier", "Vierer",
            "Fünfer", "Sechser", "Dreierpasch", "Viererpasch", "Full House", "Kleine Straße",
            "Große Straße", "Fünferpasch", "Chance" };
        p.setFont(platform::tahoma(9, true));
        p.setPen(kInk);
        for (int r = 1; r <= 13; ++r) {
            const QRect area(kCaptionLeft + 4, rowTop(r), kCaptionWidth - 4, kRowHeight);
            p.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                QString::fromUtf8(captions[static_cast<std::size_t>(r - 1)]));
        }
    }

    void paintBand(QPainter &p, const QRect &band)
    {
        QLinearGradient wood(band.topLeft(), band.bottomLeft());
        wood.setColorAt(0.0, kWalnutLight);
        wood.setColorAt(0.5, kWalnut);
        wood.setColorAt(1.0, kWalnutLight);
        p.fillRect(band, wood);
        p.setPen(QPen(QColor(0x2a, 0x1a, 0x0c), 1));
        p.drawLine(band.topLeft(), band.topRight());
        p.drawLine(band.bottomLeft(), band.bottomRight());
    }

    void paintSumBands(QPainter &p)
    {
        const int left = kSheet.left() + 2;
        const int right = kSheet.right() - 2;
        paintBand(p, QRect(QPoint(left, 92), QPoint(right, 117))); // name headers
        paintBand(p, QRect(QPoint(left, 240), QPoint(right, 301))); // upper sums
        paintBand(p, QRect(QPoint(left, 460), QPoint(right, 501))); // lower sums

        struct Sum
        {
            const char *caption;
            int top;
            int height;
        };
        static const std::array<Sum, 5> sums { {
            { "Summe oben", 243, 14 },
            { "Bonus", 263, 14 },
            { "Gesamt oben", 282, 16 },
            { "Summe unten", 462, 14 },
            { "Endsumme", 481, 16 },
        } };
        // Darker wells for the sum cells.
        p.setPen(QPen(QColor(0x1c, 0x11, 0x07), 1));
        p.setBrush(QColor(0x24, 0x17, 0x0c));
        for (const Sum &sum : sums) {
            for (int left2 : kCellLeft)
                p.drawRoundedRect(
                    QRectF(left2 - 1.5, sum.top - 1.5, kCellWidth + 2, sum.height + 2), 3, 3);
        }
        p.setPen(QPen(QColor(0x8a, 0x6a, 0x3a), 1));
        p.drawLine(left + 4, 280, right - 4, 280);
        p.drawLine(left + 4, 479, right - 4, 479);

        for (const Sum &sum : sums) {
            const bool total = sum.height == 16;
            p.setFont(platform::tahoma(total ? 10 : 9, true, total));
            p.setPen(kCream);
            p.drawText(QRect(kCaptionLeft + 4, sum.top - 2, kCaptionWidth, sum.height + 4),
                Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(sum.caption));
        }

        // Name header slots.
        p.setPen(QPen(QColor(0x1c, 0x11, 0x07), 1));
        p.setBrush(QColor(0x24, 0x17, 0x0c));
        for (int left2 : kHeaderLeft)
            p.drawRoundedRect(QRectF(left2 - 0.5, kHeaderTop - 3.5, 90, 20), 4, 4);
    }

    void paintColumnRules(QPainter &p)
    {
        p.setPen(QPen(QColor(0x6b, 0x4a, 0x2a, 170), 1));
        for (int x : kColumnRule) {
            p.drawLine(x, 118, x, 239);
            p.drawLine(x, 302, x, 459);
        }
        // The section rule between upper and lower rows.
        p.setPen(QPen(QColor(0x6b, 0x4a, 0x2a), 2));
        p.drawLine(kSheet.left() + 14, 310, kSheet.right() - 14, 310);
    }

    void paintViewFrame(QPainter &p)
    {
        const QRect outer = kView.adjusted(-12, -12, 12, 12);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 90));
        p.drawRoundedRect(QRectF(outer).translated(5, 6), 8, 8);
        QLinearGradient wood(outer.topLeft(), outer.topRight());
        wood.setColorAt(0.0, kWalnutLight);
        wood.setColorAt(0.5, QColor(0x6e, 0x4b, 0x2c));
        wood.setColorAt(1.0, kWalnutLight);
        p.setBrush(wood);
        p.setPen(QPen(QColor(0x2a, 0x1a, 0x0c), 2));
        p.drawRoundedRect(QRectF(outer), 8, 8);
        // A gold inlay, then the dark well the view sits in.
        p.setPen(QPen(kGold, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(kView.adjusted(-6, -6, 6, 6)), 4, 4);
        p.fillRect(kView.adjusted(-2, -2, 2, 2), QColor(0x10, 0x0a, 0x05));

        p.setFont(platform::tahomaPixels(18, true));
        p.setPen(QColor(0, 0, 0, 140));
        const QRect caption(outer.left(), 38, outer.width(), 26);
        p.drawText(caption.translated(1, 1), Qt::AlignCenter, QStringLiteral("Würfel"));
        p.setPen(kGold);
        p.drawText(caption, Qt::AlignCenter, QStringLiteral("Würfel"));
    }

    void paintPlaques(QPainter &p)
    {
        // The counters' plaque: black text, so light paper.
        const QRect counters(56, 537, 500, 46);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 90));
        p.drawRoundedRect(QRectF(counters).translated(4, 5), 6, 6);
        p.setBrush(kParchment);
        p.setPen(QPen(QColor(0x6b, 0x4a, 0x2a), 2));
        p.drawRoundedRect(QRectF(counters), 6, 6);
        p.setPen(QPen(QColor(0x9c, 0x82, 0x58), 1));
        p.drawLine(310, counters.top() + 8, 310, counters.bottom() - 8);

        // A brass face under the flat roll button, so it reads as a button.
        const QRectF button = QRectF(kButton).adjusted(-4, -4, 4, 4);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 100));
        p.drawRoundedRect(button.translated(4, 5), 7, 7);
        QLinearGradient brass(button.topLeft(), button.bottomLeft());
        brass.setColorAt(0.0, QColor(0xf6, 0xdf, 0x9a));
        brass.setColorAt(0.5, QColor(0xe0, 0xb8, 0x5e));
        brass.setColorAt(1.0, QColor(0xb8, 0x8a, 0x3a));
        p.setBrush(brass);
        p.setPen(QPen(QColor(0x6b, 0x4a, 0x2a), 2));
        p.drawRoundedRect(button, 7, 7);
    }

} // namespace

QImage paintTableBackground()
{
    QImage image(800, 600, QImage::Format_RGB32);
    {
        QPainter p(&image);
        paintFelt(p);
    }
    addGrain(image, image.rect(), 7, 1);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        paintTitle(p);
        paintSheet(p);
        paintViewFrame(p);
        paintPlaques(p);
    }
    addGrain(image, kSheet.adjusted(2, 2, -2, -2), 4, 2);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        paintRows(p);
        paintSumBands(p);
        paintColumnRules(p);
    }
    return image;
}

QImage paintRowArrow()
{
    // The sixteen colours of the classic palette; the arrow uses a few of them.
    static const std::array<QRgb, 16> palette {
        qRgb(0, 0, 0),
        qRgb(128, 0, 0),
        qRgb(0, 128, 0),
        qRgb(128, 128, 0),
        qRgb(0, 0, 128),
        qRgb(128, 0, 128),
        qRgb(0, 128, 128),
        qRgb(128, 128, 128),
        qRgb(192, 192, 192),
        qRgb(255, 0, 0),
        qRgb(0, 255, 0),
        qRgb(255, 255, 0),
        qRgb(0, 0, 255),
        qRgb(255, 0, 255),
        qRgb(0, 255, 255),
        qRgb(255, 255, 255),
    };
    constexpr int kWhite = 15;
    constexpr int kBlack = 0;
    constexpr int kRed = 9;
    constexpr int kDarkRed = 1;

    QImage arrow(20, 19, QImage::Format_Indexed8);
    arrow.setColorTable(QList<QRgb>(palette.begin(), palette.end()));
    arrow.fill(kWhite);
    // A right-pointing arrow: a shaft on rows 7..11 and a head from column 9,
    // its tip at column 18, outlined in black with a dark-red shade below.
    auto inArrow = [](int x, int y) {
        if (x >= 1 && x <= 9 && y >= 7 && y <= 11)
            return true;
        if (x >= 9 && x <= 18) {
            const int half = 18 - x; // the head narrows toward the tip
            return y >= 9 - half && y <= 9 + half && half <= 8;
        }
        return false;
    };
    for (int y = 0; y < 19; ++y) {
        for (int x = 0; x < 20; ++x) {
            if (!inArrow(x, y))
                continue;
            const bool edge = !inArrow(x - 1, y) || !inArrow(x + 1, y) || !inArrow(x, y - 1)
                || !inArrow(x, y + 1);
            int colour = kRed;
            if (edge)
                colour = kBlack;
            else if (y > 9)
                colour = kDarkRed;
            arrow.setPixel(x, y, static_cast<uint>(colour));
        }
    }
    return arrow;
}

} // namespace dorvel::tools
