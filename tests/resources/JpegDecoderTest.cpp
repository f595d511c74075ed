// JPEG decoding of the library's pictures: good images come out at their size and
// colours; truncated, damaged and non-JPEG data give a null image and never crash.
#include "resources/JpegDecoder.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

using dorvel::resources::decodeJpeg;

namespace {

// Four flat quadrants, so colours survive JPEG compression well enough to check.
QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, QColor(200, 30, 30));
    painter.fillRect(width / 2, 0, width - width / 2, height / 2, QColor(30, 200, 30));
    painter.fillRect(0, height / 2, width / 2, height - height / 2, QColor(30, 30, 200));
    painter.fillRect(
        width / 2, height / 2, width - width / 2, height - height / 2, QColor(240, 240, 240));
    return image;
}

QByteArray encode(const QImage &image, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPG");
    writer.setQuality(95);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return bytes;
}

QImage decode(const QByteArray &bytes)
{
    // An exact-size heap copy, so a read past the end shows under ASan.
    std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
    return decodeJpeg(copy.data(), copy.size());
}

bool near(QRgb actual, QColor expected)
{
    return std::abs(qRed(actual) - expected.red()) <= 12
        && std::abs(qGreen(actual) - expected.green()) <= 12
        && std::abs(qBlue(actual) - expected.blue()) <= 12;
}

} // namespace

TEST(JpegDecoder, DecodesSizeAndColours)
{
    for (const bool progressive : { false, true }) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const QImage image = decode(encode(quadrants(212, 166), progressive));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(212, 166));
        EXPECT_EQ(image.format(), QImage::Format_RGB32);
        EXPECT_TRUE(near(image.pixel(50, 40), QColor(200, 30, 30)));
        EXPECT_TRUE(near(image.pixel(160, 40), QColor(30, 200, 30)));
        EXPECT_TRUE(near(image.pixel(50, 120), QColor(30, 30, 200)));
        EXPECT_TRUE(near(image.pixel(160, 120), QColor(240, 240, 240)));
    }
}

TEST(JpegDecoder, DecodesGreyscaleAsGrey)
{
    QImage grey(80, 60, QImage::Format_Grayscale8);
    grey.fill(QColor(90, 90, 90));
    const QImage image = decode(encode(grey));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(80, 60));
    EXPECT_TRUE(near(image.pixel(40, 30), QColor(90, 90, 90)));
}

TEST(JpegDecoder, TruncatedImageIsNull)
{
    const QByteArray bytes = encode(quadrants(800, 600));
    ASSERT_GT(bytes.size(), 1000);
    for (const qsizetype keep : { qsizetype(2), qsizetype(20), qsizetype(300), bytes.size() / 2,
             bytes.size() - 100, bytes.size() - 2 }) {
        EXPECT_TRUE(decode(bytes.left(keep)).isNull()) << keep << " of " << bytes.size();
    }
}

TEST(JpegDecoder, GarbageAndEmptyInputAreNull)
{
    std::mt19937 random(106);
    QByteArray noise(4096, '\0');
    for (auto &byte : noise)
        byte = static_cast<char>(random());
    EXPECT_TRUE(decode(noise).isNull());
    EXPECT_TRUE(decode(QByteArray("\xFF\xD8\xFF", 3) + noise).isNull())
        << "a JPEG start, then noise";
    EXPECT_TRUE(decode("not a picture at all").isNull());
    EXPECT_TRUE(decodeJpeg(nullptr, 0).isNull());
    EXPECT_TRUE(decodeJpeg(nullptr, 100).isNull());
    const std::uint8_t one = 0xFF;
    EXPECT_TRUE(decodeJpeg(&one, 0).isNull());
}

TEST(JpegDecoder, DamagedBytesNeverCrash)
{
    const QByteArray original = encode(quadrants(64, 48));
    std::mt19937 random(113);
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes = original;
        for (int i = 0; i < 3; ++i) {
            const auto at = std::uniform_int_distribution<qsizetype>(0, bytes.size() - 1)(random);
            bytes[at] = static_cast<char>(random());
        }
        const QImage image = decode(bytes);
        // Damage in the compressed data may still decode; the header's size must then hold.
        if (!image.isNull()) {
            EXPECT_LE(image.width(), 16384);
            EXPECT_LE(image.height(), 16384);
        }
    }
}
