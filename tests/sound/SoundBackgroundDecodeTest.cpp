// Long Ogg Vorbis samples decode in the background: the load answers at once
// (and still 0 for damaged data), playbacks asked for meanwhile keep the
// playback limit and take-over rules and start once the sound has arrived,
// stopping cancels them, and freeing or shutting down while a decoding runs
// is safe and leaves nothing behind.
#include "SoundTestData.h"
#include "sound/OpenAlSoundLibrary.h"
#include "sound/SampleDecoder.h"

#include <AL/al.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>

using namespace dorvel::sound;
using dorvel::test::makeTone;
using dorvel::test::SoundFormat;

namespace {

using Bytes = std::vector<unsigned char>;

// Runs the event loop until `done` holds; false after ten seconds.
bool processEventsUntil(const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 10000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

ALint stateOf(std::uint32_t source)
{
    ALint state = 0;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state;
}

std::uint32_t crcOfOggPage(const unsigned char *page, std::size_t size)
{
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char byte = (i >= 22 && i < 26) ? 0 : page[i];
        crc ^= std::uint32_t { byte } << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

std::size_t oggPageSize(const Bytes &ogg, std::size_t page)
{
    std::size_t body = 0;
    for (std::size_t i = 0; i < ogg[page + 26]; ++i)
        body += ogg[page + 27 + i];
    return 27 + ogg[page + 26] + body;
}

void fixOggChecksum(Bytes &ogg, std::size_t page)
{
    const std::uint32_t crc = crcOfOggPage(&ogg[page], oggPageSize(ogg, page));
    std::memcpy(&ogg[page + 22], &crc, 4);
}

// Makes the last page of an Ogg stream claim `extraFrames` more than it holds,
// with a correct checksum: every page still checks out, only decoding to the
// end finds the sound shorter than announced.
Bytes withLongerLastPage(Bytes ogg, std::uint64_t extraFrames)
{
    std::size_t pos = 0, last = 0;
    while (pos + 27 <= ogg.size()) {
        last = pos;
        pos += oggPageSize(ogg, pos);
    }
    std::uint64_t granule = 0;
    std::memcpy(&granule, &ogg[last + 6], 8);
    granule += extraFrames;
    std::memcpy(&ogg[last + 6], &granule, 8);
    fixOggChecksum(ogg, last);
    return ogg;
}

class SoundBackgroundDecode : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        dorvel::test::useOpenAlDriver("null");
        // Long enough to be still playing while a test looks at it.
        tone = new Bytes(makeTone(SoundFormat::OggVorbis, 440.0, 10.0, 1, 11025));
    }
    static void TearDownTestSuite()
    {
        delete tone;
        tone = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(lib.BASS_Init(-1, 44100, 0, nullptr), 0);
        // Every Ogg sample goes to the background, however small.
        lib.setBackgroundDecodeBytes(0);
    }

    HSAMPLE load(const Bytes &file, std::uint32_t flags)
    {
        return lib.BASS_SampleLoad(
            -1, file.data(), 0, static_cast<std::uint32_t>(file.size()), 3, flags);
    }

    bool waitUntilDecoded(HSAMPLE sample)
    {
        return processEventsUntil([&] { return !lib.isDecoding(sample); });
    }

    static Bytes *tone;
    OpenAlSoundLibrary lib;
};

Bytes *SoundBackgroundDecode::tone = nullptr;

} // namespace

TEST_F(SoundBackgroundDecode, PlaybacksAskedForWhileDecodingStartWhenTheSoundArrives)
{
    lib.holdBackgroundDecodes(true);
    const HSAMPLE sample = load(*tone, BASS_SAMPLE_LOOP);
    ASSERT_NE(sample, 0u);
    EXPECT_TRUE(lib.isDecoding(sample));
    const auto a = lib.BASS_SamplePlay(sample);
    const auto b = lib.BASS_SamplePlay(sample);
    const auto c = lib.BASS_SamplePlay(sample);
    ASSERT_TRUE(a && b && c);
    EXPECT_TRUE(a != b && b != c && a != c);
    EXPECT_EQ(lib.BASS_SamplePlay(sample), 0u) << "the limit of three holds while decoding";
    EXPECT_EQ(lib.activePlaybacks(sample), 3);
    EXPECT_NE(stateOf(a), AL_PLAYING) << "no sound yet";

    // The hand-over comes through the event loop alone (isDecoding only looks).
    lib.holdBackgroundDecodes(false);
    ASSERT_TRUE(waitUntilDecoded(sample));
    for (const auto source : { a, b, c })
        EXPECT_EQ(stateOf(source), AL_PLAYING);
    EXPECT_EQ(lib.activePlaybacks(sample), 3);

    // The whole sound is in the buffer, as a decoding in place gives it.
    ALint buffer = 0, size = 0;
    alGetSourcei(a, AL_BUFFER, &buffer);
    alGetBufferi(static_cast<ALuint>(buffer), AL_SIZE, &size);
    const auto pcm = decodeSample(tone->data(), tone->size());
    ASSERT_TRUE(pcm);
    EXPECT_EQ(static_cast<std::size_t>(size), pcm->samples.size() * sizeof(std::int16_t));
}

TEST_F(SoundBackgroundDecode, TakeOverWhileDecodingCarriesOnInTheSameOrderAfterwards)
{
    lib.holdBackgroundDecodes(true);
    const HSAMPLE sample = load(*tone, BASS_SAMPLE_OVER_POS);
    const auto a = lib.BASS_SamplePlay(sample);
    const auto b = lib.BASS_SamplePlay(sample);
    const auto c = lib.BASS_SamplePlay(sample);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(lib.BASS_SamplePlay(sample), a);
    EXPECT_EQ(lib.BASS_SamplePlay(sample), b);
    lib.holdBackgroundDecodes(false);
    ASSERT_TRUE(waitUntilDecoded(sample));
    EXPECT_EQ(lib.activePlaybacks(sample), 3);
    // c was asked for longest ago of the three.
    EXPECT_EQ(lib.BASS_SamplePlay(sample), c);
    EXPECT_EQ(lib.BASS_SamplePlay(sample), a);
}

TEST_F(SoundBackgroundDecode, StoppingWhileDecodingCancelsTheWaitingPlaybacks)
{
    lib.holdBackgroundDecodes(true);
    const HSAMPLE stopped = load(*tone, BASS_SAMPLE_LOOP);
    const HSAMPLE other = load(*tone, 0);
    const HSAMPLE all = load(*tone, 0);
    const auto first = lib.BASS_SamplePlay(stopped);
    lib.BASS_SamplePlay(stopped);
    const auto otherSource = lib.BASS_SamplePlay(other);
    const auto allSource = lib.BASS_SamplePlay(all);
    EXPECT_EQ(lib.BASS_SampleStop(stopped), 1);
    EXPECT_EQ(lib.activePlaybacks(stopped), 0);
    EXPECT_EQ(lib.activePlaybacks(other), 1) << "other samples keep theirs";

    lib.holdBackgroundDecodes(false);
    ASSERT_TRUE(waitUntilDecoded(stopped));
    ASSERT_TRUE(waitUntilDecoded(other));
    ASSERT_TRUE(waitUntilDecoded(all));
    EXPECT_NE(stateOf(first), AL_PLAYING);
    EXPECT_EQ(lib.activePlaybacks(stopped), 0);
    EXPECT_EQ(stateOf(otherSource), AL_PLAYING);
    EXPECT_EQ(stateOf(allSource), AL_PLAYING);
    // Played again once ready, it starts at once.
    const auto again = lib.BASS_SamplePlay(stopped);
    ASSERT_NE(again, 0u);
    EXPECT_EQ(stateOf(again), AL_PLAYING);

    // BASS_Stop drops waiting playbacks too.
    lib.holdBackgroundDecodes(true);
    const HSAMPLE late = load(*tone, 0);
    const auto lateSource = lib.BASS_SamplePlay(late);
    EXPECT_EQ(lib.BASS_Stop(), 1);
    EXPECT_EQ(lib.activePlaybacks(late), 0);
    lib.holdBackgroundDecodes(false);
    ASSERT_TRUE(waitUntilDecoded(late));
    EXPECT_NE(stateOf(lateSource), AL_PLAYING);
}

TEST_F(SoundBackgroundDecode, FinishedSoundIsTakenInByTheNextCallWithoutAnEventLoop)
{
    const HSAMPLE sample = load(*tone, 0);
    const auto source = lib.BASS_SamplePlay(sample);
    ASSERT_NE(source, 0u);
    // No events are processed here: asking about the sample takes the sound in.
    QElapsedTimer timer;
    timer.start();
    while (lib.isDecoding(sample) && timer.elapsed() < 10000)
        lib.activePlaybacks(sample);
    EXPECT_FALSE(lib.isDecoding(sample));
    EXPECT_EQ(stateOf(source), AL_PLAYING);
}

TEST_F(SoundBackgroundDecode, FreeingWhileDecodingReleasesEverything)
{
    lib.holdBackgroundDecodes(true);
    const HSAMPLE held = load(*tone, BASS_SAMPLE_LOOP);
    const auto source = lib.BASS_SamplePlay(held);
    ASSERT_NE(source, 0u);
    lib.BASS_SampleFree(held);
    EXPECT_EQ(lib.loadedSamples(), 0u);
    EXPECT_FALSE(alIsSource(source));
    EXPECT_EQ(lib.BASS_SamplePlay(held), 0u);
    lib.holdBackgroundDecodes(false);

    // Freed while the worker is decoding, and right after it has finished but
    // before the hand-over arrived: the late hand-over finds nothing to do.
    const HSAMPLE running = load(*tone, 0);
    lib.BASS_SampleFree(running);
    const HSAMPLE finished = load(*tone, 0);
    QElapsedTimer timer;
    timer.start();
    while (lib.isDecoding(finished) && timer.elapsed() < 10000)
        lib.activePlaybacks(finished);
    lib.BASS_SampleFree(finished);
    QCoreApplication::processEvents();
    EXPECT_EQ(lib.loadedSamples(), 0u);
    EXPECT_NE(load(*tone, 0), 0u) << "the library works on";
}

TEST_F(SoundBackgroundDecode, ShuttingDownWhileDecodingStopsTheWorkers)
{
    lib.holdBackgroundDecodes(true);
    load(*tone, BASS_SAMPLE_LOOP);
    const HSAMPLE second = load(*tone, 0);
    lib.BASS_SamplePlay(second);
    lib.holdBackgroundDecodes(false);
    load(*tone, 0); // this one may well be decoding right now
    lib.BASS_Free();
    EXPECT_EQ(lib.loadedSamples(), 0u);
    QCoreApplication::processEvents();

    ASSERT_NE(lib.BASS_Init(-1, 44100, 0, nullptr), 0);
    const HSAMPLE again = load(*tone, 0);
    const auto source = lib.BASS_SamplePlay(again);
    ASSERT_TRUE(waitUntilDecoded(again));
    EXPECT_EQ(stateOf(source), AL_PLAYING);

    // A library destroyed while its decodings are held back.
    {
        OpenAlSoundLibrary other;
        ASSERT_NE(other.BASS_Init(-1, 44100, 0, nullptr), 0);
        other.setBackgroundDecodeBytes(0);
        other.holdBackgroundDecodes(true);
        EXPECT_NE(other.BASS_SampleLoad(
                      -1, tone->data(), 0, static_cast<std::uint32_t>(tone->size()), 3, 0),
            0u);
    }
    QCoreApplication::processEvents();
}

TEST_F(SoundBackgroundDecode, ManyLoadsAndFreesLeaveNothingBehind)
{
    const Bytes shortTone = makeTone(SoundFormat::OggVorbis, 660.0, 0.5, 2, 22050);
    std::vector<HSAMPLE> kept;
    for (int i = 0; i < 60; ++i) {
        const HSAMPLE sample = load(shortTone, i % 2 ? BASS_SAMPLE_LOOP : BASS_SAMPLE_OVER_POS);
        ASSERT_NE(sample, 0u);
        if (i % 3 == 0)
            lib.BASS_SamplePlay(sample);
        if (i % 4 == 0)
            QCoreApplication::processEvents();
        if (i % 5 == 0)
            kept.push_back(sample);
        else
            lib.BASS_SampleFree(sample);
    }
    for (const HSAMPLE sample : kept)
        ASSERT_TRUE(waitUntilDecoded(sample));
    EXPECT_EQ(lib.loadedSamples(), kept.size());
    for (const HSAMPLE sample : kept)
        lib.BASS_SampleFree(sample);
    EXPECT_EQ(lib.loadedSamples(), 0u);
}

TEST_F(SoundBackgroundDecode, DamageFoundBeforeDecodingStillLoadsAsZero)
{
    Bytes cut(tone->begin(), tone->begin() + static_cast<std::ptrdiff_t>(tone->size() / 2));
    Bytes flipped = *tone;
    flipped[flipped.size() / 2] ^= 0x40; // a page checksum no longer matches
    Bytes foreign = *tone;
    std::memcpy(&foreign[28], "\x01speex\0", 7); // not a Vorbis stream, checksum right
    fixOggChecksum(foreign, 0);
    for (const Bytes *damaged : { &cut, &flipped, &foreign })
        EXPECT_EQ(load(*damaged, 0), 0u);
    EXPECT_EQ(lib.loadedSamples(), 0u);
}

TEST_F(SoundBackgroundDecode, DamageFoundOnlyByDecodingLeavesTheSampleSilent)
{
    const Bytes forged = withLongerLastPage(*tone, 44100);
    ASSERT_FALSE(decodeSample(forged.data(), forged.size())) << "decoding it must fail";
    ASSERT_TRUE(SampleReader::open(forged.data(), forged.size())) << "opening it must not";

    const HSAMPLE sample = load(forged, BASS_SAMPLE_LOOP);
    ASSERT_NE(sample, 0u);
    const auto source = lib.BASS_SamplePlay(sample);
    ASSERT_TRUE(waitUntilDecoded(sample));
    EXPECT_NE(stateOf(source), AL_PLAYING);
    EXPECT_EQ(lib.BASS_SamplePlay(sample), 0u);
    EXPECT_EQ(lib.activePlaybacks(sample), 0);
    EXPECT_EQ(lib.BASS_SampleStop(sample), 1);
    EXPECT_EQ(lib.loadedSamples(), 1u);
    lib.BASS_SampleFree(sample);
    EXPECT_EQ(lib.loadedSamples(), 0u);
}

TEST_F(SoundBackgroundDecode, ShortOggAndAnyWavDecodeAtOnceByDefault)
{
    lib.setBackgroundDecodeBytes(OpenAlSoundLibrary::kBackgroundDecodeBytes);
    lib.holdBackgroundDecodes(true); // would block any background decoding
    ASSERT_LT(tone->size(), OpenAlSoundLibrary::kBackgroundDecodeBytes);
    const Bytes longWav = makeTone(SoundFormat::Wav16, 440.0, 2.0, 2, 44100);
    for (const Bytes *file : { static_cast<const Bytes *>(tone), &longWav }) {
        const HSAMPLE sample = load(*file, 0);
        ASSERT_NE(sample, 0u);
        EXPECT_FALSE(lib.isDecoding(sample));
        const auto source = lib.BASS_SamplePlay(sample);
        EXPECT_EQ(stateOf(source), AL_PLAYING);
    }
}
