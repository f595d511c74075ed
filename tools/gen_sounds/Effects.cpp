// The sound effects: start-screen chime and click, the four player signals,
// the dice in the cup and on the table, and the score-sheet sounds.
#include "Sound.h"

#include <algorithm>

namespace dorvel::gensounds {

namespace {

    constexpr double kEffectsRmsDb = -20.0;

    Sound oneShot(
        int id, std::string name, std::string description, double maxSeconds, Samples samples)
    {
        Sound sound;
        sound.id = id;
        sound.name = std::move(name);
        sound.description = std::move(description);
        sound.maxSeconds = maxSeconds;
        sound.targetRmsDb = kEffectsRmsDb;
        sound.samples = std::move(samples);
        return sound;
    }

    void addAt(Samples &into, const Samples &part, double atSeconds, double gain)
    {
        const std::size_t start = frames(atSeconds);
        for (std::size_t i = 0; i < part.size() && start + i < into.size(); ++i)
            into[start + i] += gain * part[i];
    }

    // A small glass bell: nearly harmonic partials with a slow beat between the
    // fundamental and a slightly detuned twin, the upper partials dying first.
    Samples bellNote(double hz, double seconds, Rng &rng)
    {
        const std::vector<Mode> modes = {
            { hz, 0.22, 1.0 },
            { hz * 1.0023, 0.20, 0.35 },
            { hz * 0.5, 0.16, 0.10 },
            { hz * 2.0, 0.11, 0.22 },
            { hz * 3.01, 0.06, 0.10 },
            { hz * 4.17, 0.035, 0.05 },
        };
        Samples note = strike(modes, seconds, 0.15, 0.0, rng);
        fadeEnds(note, 2.5, 0.0);
        return note;
    }

    // A mallet on a wooden bar: fundamental plus the bar's strong partial near
    // four times it, which decays quickly and gives the wooden colour.
    Samples malletNote(double hz, double seconds, Rng &rng)
    {
        const std::vector<Mode> modes = {
            { hz, 0.20, 1.0 },
            { hz * 3.93, 0.035, 0.30 },
            { hz * 9.2, 0.010, 0.06 },
            { hz * 2.0, 0.05, 0.05 },
        };
        return strike(modes, seconds, 0.35, 0.02, rng);
    }

    // One die striking another die or the cup wall: the die's own high ringing
    // and, more weakly, the cup's.
    Samples diceClack(Rng &rng, double cupShare)
    {
        const std::vector<Mode> modes = {
            { rng.range(3100, 4300), rng.range(0.003, 0.005), 1.0 },
            { rng.range(5200, 6900), rng.range(0.002, 0.0035), 0.7 },
            { rng.range(7600, 9600), 0.0018, 0.35 },
            { rng.range(420, 500), 0.016, 0.5 * cupShare },
            { rng.range(960, 1120), 0.011, 0.45 * cupShare },
            { rng.range(1650, 1950), 0.007, 0.35 * cupShare },
        };
        return strike(modes, 0.05, rng.range(0.10, 0.25), 0.35, rng);
    }

    // A die landing on a wooden table top: the table's low body modes carry it,
    // the die adds its click on top.
    Samples tableKnock(Rng &rng, double hardness)
    {
        const std::vector<Mode> modes = {
            { rng.range(165, 195), 0.055, 0.8 },
            { rng.range(380, 430), 0.032, 0.65 },
            { rng.range(780, 900), 0.018, 0.5 },
            { rng.range(1450, 1700), 0.010, 0.35 },
            { rng.range(3200, 4200), 0.004, 0.45 * hardness },
            { rng.range(5400, 6800), 0.0025, 0.3 * hardness },
        };
        return strike(modes, 0.25, rng.range(0.18, 0.3), 0.25 * hardness, rng);
    }

    Sound confirm()
    {
        Rng rng(115);
        Samples out(frames(0.55), 0.0);
        addAt(out, bellNote(midiToHz(81), 0.55, rng), 0.004, 0.75); // A5
        addAt(out, bellNote(midiToHz(88), 0.43, rng), 0.120, 1.0); // E6, a fifth up
        fadeEnds(out, 0.0, 90.0);
        return oneShot(115, "confirm", "rising two-note chime", 0.6, std::move(out));
    }

    Sound click()
    {
        Rng rng(116);
        const std::vector<Mode> modes = {
            { 930, 0.010, 0.45 },
            { 1850, 0.0065, 1.0 },
            { 2950, 0.004, 0.6 },
            { 4650, 0.0025, 0.3 },
            { 6300, 0.0015, 0.15 },
        };
        Samples out(frames(0.07), 0.0);
        addAt(out, strike(modes, 0.066, 0.15, 0.25, rng), 0.004, 1.0);
        fadeEnds(out, 0.0, 15.0);
        return oneShot(116, "click", "short wooden click", 0.1, std::move(out));
    }

    // Player n hears n rising mallet notes of a D major chord; the last one rings.
    Sound playerSignal(int player)
    {
        Rng rng(static_cast<std::uint64_t>(120 + player));
        static const std::vector<std::vector<double>> motifs = {
            { 81 }, // A5
            { 74, 81 }, // D5 A5
            { 74, 78, 81 }, // D5 F#5 A5
            { 74, 78, 81, 86 }, // D5 F#5 A5 D6
        };
        const std::vector<double> &motif = motifs[static_cast<std::size_t>(player - 1)];
        const double spacing = 0.11;
        const double ring = 0.42;
        const double length = 0.005 + spacing * static_cast<double>(motif.size() - 1) + ring;
        Samples out(frames(length), 0.0);
        for (std::size_t i = 0; i < motif.size(); ++i) {
            const double at = 0.005 + spacing * static_cast<double>(i);
            const bool last = i + 1 == motif.size();
            addAt(out, malletNote(midiToHz(motif[i]), length - at, rng), at, last ? 1.0 : 0.7);
        }
        fadeEnds(out, 0.0, 120.0);
        const char *names[] = { "player1", "player2", "player3", "player4" };
        return oneShot(120 + player, names[player - 1],
            std::to_string(player) + (player == 1 ? " mallet note" : " rising mallet notes"), 1.0,
            std::move(out));
    }

    // Dice shaken in a cup. The cup swings back and forth; at each reversal the
    // dice pile into the wall in a burst of clacks, with a few loose ones between.
    // Rendered onto a wrapping buffer, so the loop has no seam.
    Sound diceRattle()
    {
        Rng rng(125);
        const double seconds = 1.5;
        const int reversals = 8;
        MixBuffer mix(frames(seconds), 1, true);
        const double spacing = seconds / reversals;
        for (int r = 0; r < reversals; ++r) {
            const double strength = (r % 2 == 0) ? 1.0 : 0.75;
            double t = r * spacing + rng.range(-0.01, 0.01);
            const int hits = 6 + static_cast<int>(rng.uniform() * 5);
            for (int h = 0; h < hits; ++h) {
                const double offset = t - r * spacing;
                const double level = strength * rng.range(0.45, 1.0) * std::exp(-offset / 0.06);
                mix.add(diceClack(rng, rng.range(0.4, 1.0)), static_cast<std::ptrdiff_t>(frames(t)),
                    level);
                t += -std::log(1.0 - rng.uniform()) * 0.011 + 0.002;
            }
            for (int loose = 0; loose < 3; ++loose) {
                const double at = r * spacing + rng.range(0.06, spacing);
                mix.add(diceClack(rng, 0.3), static_cast<std::ptrdiff_t>(frames(at)),
                    rng.range(0.12, 0.28));
            }
        }
        // The hardest clacks would set the level for the whole loop; a soft
        // saturation rounds them off so the rattle is as loud as the other sounds
        // without clipping. It works sample by sample, so the loop stays seamless.
        Samples &data = mix.data();
        double peak = 1e-9;
        for (double s : data)
            peak = std::max(peak, std::abs(s));
        const double drive = 2.5;
        for (double &s : data)
            s = std::tanh(drive * s / peak) / std::tanh(drive);

        Sound sound;
        sound.id = 125;
        sound.name = "rolling";
        sound.description = "dice shaken in a cup, looping";
        sound.looping = true;
        sound.maxSeconds = 2.0;
        sound.targetRmsDb = kEffectsRmsDb - 2.0; // it runs on, so a little under the one-shots
        sound.samples = std::move(mix.data());
        return sound;
    }

    // Five dice thrown onto a wooden table: each lands, bounces a few times lower
    // and quicker, and some tip over onto a face at the end.
    Sound diceStop()
    {
        Rng rng(126);
        const double seconds = 0.7;
        Samples out(frames(seconds), 0.0);
        for (int die = 0; die < 5; ++die) {
            // The first die lands at once, the others just after it.
            double t = 0.003 + die * (0.015 + rng.range(0.0, 0.012));
            double level = rng.range(0.65, 1.0);
            double gap = rng.range(0.10, 0.15);
            while (level > 0.05 && t < 0.55) {
                addAt(out, tableKnock(rng, level), t, level);
                t += gap;
                gap *= rng.range(0.62, 0.72);
                level *= rng.range(0.42, 0.55);
            }
            if (rng.uniform() < 0.6)
                addAt(out, diceClack(rng, 0.1), t + rng.range(0.02, 0.08), 0.12);
        }
        fadeEnds(out, 0.0, 80.0);
        return oneShot(126, "stop", "dice landing on a wooden table", 1.0, std::move(out));
    }

    Sound rowMarker()
    {
        Rng rng(127);
        const std::vector<Mode> modes = { { 1250, 0.013, 1.0 }, { 2500, 0.005, 0.12 } };
        Samples out(frames(0.06), 0.0);
        addAt(out, strike(modes, 0.056, 0.45, 0.0, rng), 0.004, 1.0);
        fadeEnds(out, 0.0, 15.0);
        return oneShot(127, "marker", "soft tick of the row marker", 0.12, std::move(out));
    }

    // One pencil stroke: paper noise whose grain comes from the tip catching on
    // the fibres. The band follows the speed of the stroke (fromHz to toHz) and
    // the pressure wavers, so the stroke sounds drawn rather than hissed.
    void addStroke(
        Samples &out, Rng &rng, double at, double seconds, double level, double fromHz, double toHz)
    {
        GlidingBandPass band(1.3);
        Biquad hiss = Biquad::highPass(1400.0, 0.7);
        Biquad tooth = Biquad::bandPass(950.0, 2.0);
        Biquad top = Biquad::lowPass(9000.0, 0.7);
        const std::size_t start = frames(at);
        const std::size_t count = frames(seconds);
        const std::size_t attack = frames(0.008);
        const std::size_t release = frames(0.025);
        double grain = 0.0;
        double waver = 1.0, waverTarget = 1.0;
        for (std::size_t i = 0; i < count && start + i < out.size(); ++i) {
            const double progress = static_cast<double>(i) / static_cast<double>(count);
            // Fibre catches: sparse impulses that ring out in a fraction of a millisecond.
            if (rng.uniform() < 2600.0 / kSampleRate)
                grain += rng.range(0.5, 1.5) * (rng.uniform() < 0.5 ? -1.0 : 1.0);
            grain *= 0.88;
            // The hand's pressure changes a few dozen times a second.
            if (i % frames(0.008) == 0)
                waverTarget = rng.range(0.25, 1.0);
            waver += (waverTarget - waver) * 0.006;
            double env = waver;
            if (i < attack)
                env *= static_cast<double>(i) / static_cast<double>(attack);
            else if (count - i < release)
                env *= static_cast<double>(count - i) / static_cast<double>(release);
            // Pressure eases off towards the end of the stroke.
            env *= 1.0 - 0.35 * progress;
            const double source = 0.5 * rng.bipolar() + 0.9 * grain;
            const double hz = fromHz + (toHz - fromHz) * progress * progress;
            const double s = band.process(hiss.process(source), hz) + 0.35 * tooth.process(source);
            out[start + i] += level * env * top.process(s);
        }
    }

    Sound rowChosen()
    {
        Rng rng(128);
        Samples out(frames(0.34), 0.0);
        // The tip touching the paper.
        const std::vector<Mode> tap = { { 1400, 0.006, 1.0 }, { 3100, 0.003, 0.5 } };
        addAt(out, strike(tap, 0.03, 0.3, 0.1, rng), 0.004, 0.35);
        // A tick: a short stroke down, a longer one up and away.
        addStroke(out, rng, 0.012, 0.075, 0.8, 3600.0, 2800.0);
        addStroke(out, rng, 0.105, 0.19, 1.0, 3000.0, 5600.0);
        fadeEnds(out, 0.0, 20.0);
        return oneShot(128, "chosen", "pencil ticking off the row", 0.5, std::move(out));
    }

} // namespace

std::vector<Sound> designEffects()
{
    std::vector<Sound> sounds;
    sounds.push_back(confirm());
    sounds.push_back(click());
    for (int player = 1; player <= 4; ++player)
        sounds.push_back(playerSignal(player));
    sounds.push_back(diceRattle());
    sounds.push_back(diceStop());
    sounds.push_back(rowMarker());
    sounds.push_back(rowChosen());
    return sounds;
}

} // namespace dorvel::gensounds
