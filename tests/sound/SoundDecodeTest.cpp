// Samples decode from memory in the three shipped formats, and truncated,
// damaged or foreign data is refused without reading outside the given bytes.
#include "SoundTestData.h"
#include "sound/SampleDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <random>

using dorvel::sound::decodeSample;
using dorvel::test::makeTone;
using dorvel::test::SoundFormat;

namespace {

// Decodes from a heap block of exactly `size` bytes, so a sanitizer build
// catches any read past its end.
std::optional<dorvel::sound::PcmData> decodeExact(const unsigned char *data, std::size_t size)
{
    auto copy = std::make_unique<unsigned char[]>(std::max<std::size_t>(size, 1));
    if (size)
        std::memcpy(copy.get(), data, size);
    return decodeSample(copy.get(), size);
}

int peakOf(const std::vector<std::int16_t> &samples)
{
    int peak = 0;
    for (const auto s : samples)
        peak = std::max(peak, std::abs(int { s }));
    return peak;
}

struct FormatCase
{
    const char *name;
    SoundFormat format;
};

void PrintTo(const FormatCase &c, std::ostream *os)
{
    *os << c.name;
}

class DecodeEachFormat : public testing::TestWithParam<FormatCase>
{
};

} // namespace

TEST_P(DecodeEachFormat, GivesTheToneAsWritten)
{
    const auto file = makeTone(GetParam().format, 440.0, 0.25, 1, 22050, 0.5);
    const auto pcm = decodeExact(file.data(), file.size());
    ASSERT_TRUE(pcm.has_value());
    EXPECT_EQ(pcm->channels, 1);
    EXPECT_EQ(pcm->sampleRate, 22050);
    EXPECT_EQ(pcm->frames(), 22050u / 4);
    // Half of full scale, give or take the encoding's rounding.
    EXPECT_NEAR(peakOf(pcm->samples), 16384, 1200);
}

TEST_P(DecodeEachFormat, RefusesDataCutShort)
{
    const auto file = makeTone(GetParam().format, 440.0, 0.25, 1, 22050, 0.5);
    for (const std::size_t keep :
        { std::size_t { 3 }, std::size_t { 30 }, file.size() / 2, file.size() - 1 }) {
        SCOPED_TRACE(keep);
        EXPECT_FALSE(decodeExact(file.data(), keep).has_value());
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, DecodeEachFormat,
    testing::Values(FormatCase { "Wav16", SoundFormat::Wav16 },
        FormatCase { "Wav8", SoundFormat::Wav8 }, FormatCase { "WavFloat", SoundFormat::WavFloat },
        FormatCase { "Flac", SoundFormat::Flac },
        FormatCase { "OggVorbis", SoundFormat::OggVorbis }),
    [](const auto &p) { return std::string(p.param.name); });

TEST(DecodeSample, KeepsStereoAndMixesMoreChannelsToMono)
{
    const auto stereo = makeTone(SoundFormat::Wav16, 440.0, 0.1, 2, 44100);
    const auto quad = makeTone(SoundFormat::Wav16, 440.0, 0.1, 4, 44100);
    const auto s = decodeSample(stereo.data(), stereo.size());
    const auto q = decodeSample(quad.data(), quad.size());
    ASSERT_TRUE(s && q);
    EXPECT_EQ(s->channels, 2);
    EXPECT_EQ(s->frames(), 4410u);
    EXPECT_EQ(q->channels, 1);
    EXPECT_EQ(q->frames(), 4410u);
    EXPECT_NEAR(peakOf(q->samples), 16384, 200);
}

TEST(DecodeSample, RefusesNothingAndForeignData)
{
    EXPECT_FALSE(decodeSample(nullptr, 100));
    const unsigned char one = 'R';
    EXPECT_FALSE(decodeSample(&one, 0));
    EXPECT_FALSE(decodeExact(&one, 1));

    std::mt19937 random(20240611);
    for (const std::size_t size : { 4u, 44u, 1000u, 65536u }) {
        std::vector<unsigned char> junk(size);
        for (auto &b : junk)
            b = static_cast<unsigned char>(random());
        EXPECT_FALSE(decodeExact(junk.data(), junk.size())) << size << " random bytes";
        // Junk behind each accepted signature.
        for (const char *magic : { "RIFF", "fLaC", "OggS" }) {
            std::memcpy(junk.data(), magic, 4);
            EXPECT_FALSE(decodeExact(junk.data(), junk.size())) << magic << " + junk";
        }
    }
    // A format libsndfile knows but the program does not ship.
    const char aiff[] = "FORM\0\0\0\x20"
                        "AIFF";
    EXPECT_FALSE(decodeExact(reinterpret_cast<const unsigned char *>(aiff), sizeof aiff));
}

TEST(DecodeSample, RefusesWavWithImpossibleOrEmptyData)
{
    auto file = makeTone(SoundFormat::Wav16, 440.0, 0.05);
    // Find the data chunk libsndfile wrote and make its length lie.
    const auto at = std::search(file.begin(), file.end(), "data", "data" + 4) - file.begin();
    ASSERT_LT(static_cast<std::size_t>(at), file.size());
    auto huge = file;
    std::memset(huge.data() + at + 4, 0xFF, 4);
    EXPECT_FALSE(decodeExact(huge.data(), huge.size()));

    auto empty = std::vector<unsigned char>(file.begin(), file.begin() + at + 8);
    std::memset(empty.data() + at + 4, 0, 4);
    EXPECT_FALSE(decodeExact(empty.data(), empty.size()));
}

// Seeded byte mutations of valid files: whatever the decoder answers, it must
// neither crash nor read outside the data, and what it accepts is well formed.
TEST(DecodeSample, SurvivesDamagedFiles)
{
    std::mt19937 random(7);
    for (const auto format :
        { SoundFormat::Wav16, SoundFormat::WavFloat, SoundFormat::Flac, SoundFormat::OggVorbis }) {
        const auto original = makeTone(format, 330.0, 0.05, 2, 22050);
        for (int round = 0; round < 150; ++round) {
            auto file = original;
            const int changes = 1 + static_cast<int>(random() % 8);
            for (int i = 0; i < changes; ++i) {
                // Mostly in the headers, where the lengths and counts live.
                const std::size_t span
                    = random() % 4 ? std::min<std::size_t>(file.size(), 96) : file.size();
                file[random() % span] = static_cast<unsigned char>(random());
            }
            if (random() % 3 == 0)
                file.resize(random() % file.size());
            const auto pcm = decodeExact(file.data(), file.size());
            if (pcm) {
                EXPECT_TRUE(pcm->channels == 1 || pcm->channels == 2);
                EXPECT_GT(pcm->frames(), 0u);
                EXPECT_EQ(pcm->samples.size() % static_cast<std::size_t>(pcm->channels), 0u);
                EXPECT_LE(pcm->samples.size(), dorvel::sound::kMaxDecodedSamples);
            }
        }
    }
}
