// The music: a tavern waltz in D major for plucked strings. A 16-bar tune in
// 3/4 at 90 beats a minute is played twice, the second time with a second
// voice a third below and a busier drum: 32 bars, 64 s, played round and round.
//
// A melody on a double-strung plucked instrument, strummed chords on beats
// two and three, a plucked bass on the downbeat, a frame drum and a shaker.
// Everything is mixed onto a buffer that wraps at the loop length, and the
// room reverb runs over the loop twice so its state at the end is the state
// at the start: the piece flows from its last bar into its first without a seam.
#include "Sound.h"

#include <algorithm>
#include <array>

namespace dorvel::gensounds {

namespace {

    constexpr double kBpm = 90.0;
    constexpr int kBeatsPerBar = 3;
    constexpr int kBars = 16;
    constexpr int kRounds = 2;
    constexpr double kBeat = 60.0 / kBpm;

    struct Chord
    {
        int bass; // root, MIDI note in the bass register
        int fifth; // the bass's second note on beat three
        std::array<int, 4> voice; // strummed voicing, low to high
    };

    const Chord kD { 38, 45, { 50, 57, 62, 66 } }; // D2 A2 | D3 A3 D4 F#4
    const Chord kG { 43, 38, { 55, 59, 62, 67 } }; // G2 D2 | G3 B3 D4 G4
    const Chord kA { 45, 40, { 52, 57, 61, 64 } }; // A2 E2 | E3 A3 C#4 E4
    const Chord kBm { 47, 42, { 54, 59, 62, 66 } }; // B2 F#2 | F#3 B3 D4 F#4
    const Chord kEm { 40, 47, { 52, 55, 59, 64 } }; // E2 B2 | E3 G3 B3 E4

    const std::array<const Chord *, kBars> kProgression = {
        &kD, &kG, &kD, &kA, &kD, &kG, &kA, &kD, // tune
        &kBm, &kG, &kD, &kA, &kBm, &kG, &kEm, &kA, // turn, ending on A to lead home
    };

    struct MelodyNote
    {
        int midi; // 0 = rest
        double beats;
    };

    // Bar by bar; each bar adds up to three beats.
    const std::vector<std::vector<MelodyNote>> kMelody = {
        { { 74, 1.5 }, { 76, 0.5 }, { 78, 1 } },
        { { 79, 1 }, { 78, 0.5 }, { 76, 0.5 }, { 74, 1 } },
        { { 78, 1.5 }, { 76, 0.5 }, { 74, 1 } },
        { { 76, 2 }, { 69, 1 } },
        { { 74, 1.5 }, { 76, 0.5 }, { 78, 1 } },
        { { 79, 1 }, { 83, 1 }, { 81, 0.5 }, { 79, 0.5 } },
        { { 78, 1 }, { 76, 1 }, { 73, 1 } },
        { { 74, 2 }, { 69, 1 } },
        { { 78, 1.5 }, { 76, 0.5 }, { 74, 1 } },
        { { 71, 1 }, { 74, 1 }, { 79, 1 } },
        { { 78, 1 }, { 76, 0.5 }, { 74, 0.5 }, { 69, 1 } },
        { { 73, 1 }, { 76, 1 }, { 81, 1 } },
        { { 83, 1.5 }, { 81, 0.5 }, { 78, 1 } },
        { { 79, 1 }, { 78, 0.5 }, { 76, 0.5 }, { 74, 1 } },
        { { 71, 1 }, { 76, 1 }, { 79, 1 } },
        { { 76, 1.5 }, { 73, 0.5 }, { 69, 1 } },
    };

    // The D major scale note two steps below a melody note (all of them are in the scale).
    int thirdBelow(int midi)
    {
        static const int degrees[] = { 0, 2, 4, 5, 7, 9, 11 }; // from D
        const int fromD = midi - 62;
        const int octave = fromD >= 0 ? fromD / 12 : (fromD - 11) / 12;
        const int within = fromD - 12 * octave;
        int index = 0;
        while (index < 6 && degrees[index] != within)
            ++index;
        const int lower = index - 2;
        return 62 + 12 * octave + (lower >= 0 ? degrees[lower] : degrees[lower + 7] - 12);
    }

    std::ptrdiff_t at(double seconds)
    {
        return static_cast<std::ptrdiff_t>(std::lround(seconds * kSampleRate));
    }

    Samples frameDrum(Rng &rng, double level)
    {
        const std::size_t n = frames(0.45);
        Samples out(n);
        Biquad slapBand = Biquad::bandPass(1100.0, 1.2);
        double phase = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / kSampleRate;
            // The skin's pitch drops as the stroke's energy spreads.
            const double hz = 72.0 + 45.0 * std::exp(-t / 0.035);
            phase += kTwoPi * hz / kSampleRate;
            const double body = std::sin(phase) * std::exp(-t / 0.16);
            const double slap = slapBand.process(rng.bipolar()) * std::exp(-t / 0.012);
            out[i] = level * (body + 0.5 * slap);
        }
        fadeEnds(out, 1.0, 30.0);
        return out;
    }

    Samples shaker(Rng &rng, double level)
    {
        const std::size_t n = frames(0.09);
        Samples out(n);
        Biquad band = Biquad::bandPass(7000.0, 0.9);
        for (std::size_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / kSampleRate;
            const double env = (1.0 - std::exp(-t / 0.004)) * std::exp(-t / 0.022);
            out[i] = level * env * band.process(rng.bipolar());
        }
        fadeEnds(out, 0.0, 10.0);
        return out;
    }

    // A plain stereo room reverb: eight damped feedback combs in parallel and four
    // all-passes in series per channel, the right channel's delays a little longer.
    class Room
    {
    public:
        Room()
        {
            static const int combs[] = { 1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617 };
            static const int allPasses[] = { 556, 441, 341, 225 };
            for (int side = 0; side < 2; ++side) {
                const int spread = side * 23;
                for (int length : combs)
                    m_combs[side].push_back(
                        { Samples(static_cast<std::size_t>(length + spread)), 0, 0.0 });
                for (int length : allPasses)
                    m_allPasses[side].push_back(
                        { Samples(static_cast<std::size_t>(length + spread)), 0 });
            }
        }

        // Returns the wet signal of one channel for a mono input.
        double process(int side, double input)
        {
            double sum = 0.0;
            for (Comb &c : m_combs[side]) {
                const double out = c.line[c.index];
                c.filtered = out * (1.0 - kDamping) + c.filtered * kDamping;
                c.line[c.index] = input + c.filtered * kFeedback;
                c.index = (c.index + 1) % c.line.size();
                sum += out;
            }
            for (AllPass &a : m_allPasses[side]) {
                const double buffered = a.line[a.index];
                a.line[a.index] = sum + buffered * 0.5;
                sum = buffered - sum;
                a.index = (a.index + 1) % a.line.size();
            }
            return sum;
        }

    private:
        static constexpr double kFeedback = 0.82;
        static constexpr double kDamping = 0.35;
        struct Comb
        {
            Samples line;
            std::size_t index;
            double filtered;
        };
        struct AllPass
        {
            Samples line;
            std::size_t index;
        };
        std::array<std::vector<Comb>, 2> m_combs;
        std::array<std::vector<AllPass>, 2> m_allPasses;
    };

    // Runs the room and the master tone filter over the loop twice and keeps the
    // second pass, which starts from the state the first pass ended in.
    void finishLoop(Samples &stereo)
    {
        Room room;
        std::array<Biquad, 2> warmth
            = { Biquad::lowPass(8500.0, 0.7071), Biquad::lowPass(8500.0, 0.7071) };
        std::array<Biquad, 2> rumble
            = { Biquad::highPass(35.0, 0.7071), Biquad::highPass(35.0, 0.7071) };
        const Samples dry = stereo;
        const std::size_t frameCount = dry.size() / 2;
        for (int pass = 0; pass < 2; ++pass) {
            for (std::size_t i = 0; i < frameCount; ++i) {
                const double left = dry[2 * i], right = dry[2 * i + 1];
                const double input = 0.015 * (left + right);
                const double wetLeft = room.process(0, input);
                const double wetRight = room.process(1, input);
                const double outLeft = warmth[0].process(rumble[0].process(left + 0.55 * wetLeft));
                const double outRight
                    = warmth[1].process(rumble[1].process(right + 0.55 * wetRight));
                if (pass == 1) {
                    stereo[2 * i] = outLeft;
                    stereo[2 * i + 1] = outRight;
                }
            }
        }
    }

} // namespace

Sound composeMusic()
{
    Rng rng(117);
    const double loopSeconds = kRounds * kBars * kBeatsPerBar * kBeat;
    MixBuffer mix(frames(loopSeconds), 2, true);
    auto jitter = [&rng](double ms) { return rng.range(-ms, ms) / 1000.0; };

    for (int round = 0; round < kRounds; ++round)
        for (int bar = 0; bar < kBars; ++bar) {
            const double barStart = (round * kBars + bar) * kBeatsPerBar * kBeat;
            const bool second = round == 1;
            const Chord &chord = *kProgression[static_cast<std::size_t>(bar)];

            // Melody on a double course: two strings a few cents apart, panned apart.
            double beat = 0.0;
            for (const MelodyNote &note : kMelody[static_cast<std::size_t>(bar)]) {
                if (note.midi != 0) {
                    const double accent
                        = (beat == 0.0) ? 1.0 : (beat == std::floor(beat) ? 0.85 : 0.72);
                    const double start = barStart + beat * kBeat + jitter(6);
                    for (int course = 0; course < 2; ++course) {
                        PluckParams p;
                        p.hz = midiToHz(note.midi + (course == 0 ? -0.03 : 0.04));
                        p.hold = note.beats * kBeat - 0.03;
                        p.seconds = p.hold + 0.35;
                        p.t60 = 1.3;
                        p.release = 0.18;
                        p.brightness = 0.55 + 0.1 * accent;
                        p.pickPosition = course == 0 ? 0.18 : 0.23;
                        mix.add(pluck(p, rng), at(start + course * 0.004),
                            0.32 * accent * rng.range(0.92, 1.0), course == 0 ? 0.1 : 0.35);
                    }
                    // The second time round a darker string adds a third below
                    // on the longer notes.
                    if (second && note.beats >= 1.0) {
                        PluckParams p;
                        p.hz = midiToHz(thirdBelow(note.midi));
                        p.hold = note.beats * kBeat - 0.03;
                        p.seconds = p.hold + 0.35;
                        p.t60 = 1.2;
                        p.release = 0.18;
                        p.brightness = 0.4;
                        p.pickPosition = 0.27;
                        mix.add(pluck(p, rng), at(start + 0.012),
                            0.2 * accent * rng.range(0.92, 1.0), -0.45);
                    }
                }
                beat += note.beats;
            }

            // Bass: the root on one, the fifth softly on three.
            for (int b : { 0, 2 }) {
                PluckParams p;
                p.hz = midiToHz(b == 0 ? chord.bass : chord.fifth);
                p.hold = (b == 0 ? 1.8 : 0.9) * kBeat;
                p.seconds = p.hold + 0.3;
                p.t60 = 1.6;
                p.release = 0.12;
                p.brightness = 0.12;
                p.pickPosition = 0.3;
                Samples note = pluck(p, rng);
                Biquad soften = Biquad::lowPass(700.0, 0.7071);
                soften.run(note);
                mix.add(note, at(barStart + b * kBeat + jitter(4)), (b == 0 ? 0.26 : 0.17), 0.0);
            }

            // Chords strummed downwards on two and three, the strings a few ms apart.
            for (int b : { 1, 2 }) {
                const double strumStart = barStart + b * kBeat + jitter(8);
                const double level = b == 1 ? 0.17 : 0.14;
                for (std::size_t s = 0; s < chord.voice.size(); ++s) {
                    PluckParams p;
                    p.hz = midiToHz(chord.voice[s]);
                    p.hold = 0.8 * kBeat;
                    p.seconds = p.hold + 0.25;
                    p.t60 = 1.0;
                    p.release = 0.09;
                    p.brightness = 0.35;
                    p.pickPosition = 0.14;
                    mix.add(pluck(p, rng), at(strumStart + static_cast<double>(s) * 0.011),
                        level * rng.range(0.85, 1.0), -0.35);
                }
            }

            // Percussion: the frame drum on one, the shaker on every eighth.
            mix.add(frameDrum(rng, 1.0), at(barStart + jitter(3)), 0.18, -0.05);
            if (bar % 4 == 3 || (second && bar % 2 == 1))
                mix.add(frameDrum(rng, 0.6), at(barStart + 2.5 * kBeat + jitter(3)), 0.18, -0.05);
            for (int eighth = 0; eighth < 2 * kBeatsPerBar; ++eighth) {
                const double level = eighth % 2 == 0 ? 0.05 : 0.03;
                mix.add(shaker(rng, 1.0), at(barStart + eighth * 0.5 * kBeat + jitter(5)),
                    level * rng.range(0.8, 1.0), 0.3);
            }
        }

    finishLoop(mix.data());

    // Start the file a moment before the first downbeat, so the loop's seam
    // falls where only the last bar's strings ring and never on an attack.
    const std::size_t preroll = frames(0.03);
    Samples &data = mix.data();
    std::rotate(data.begin(), data.end() - static_cast<std::ptrdiff_t>(2 * preroll), data.end());

    Sound sound;
    sound.id = 117;
    sound.name = "music";
    sound.description = "tavern waltz in D major for plucked strings, looping";
    sound.channels = 2;
    sound.looping = true;
    sound.maxSeconds = 60.0;
    sound.targetRmsDb = -23.0;
    sound.samples = std::move(mix.data());
    return sound;
}

} // namespace dorvel::gensounds
