#pragma once

#include "SoundLibrary.h"

#include <AL/alc.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QObject;
class QTimer;

namespace dorvel::platform {

struct PcmData;
class SampleReader;

/**
 * The sound library over OpenAL Soft, with libsndfile decoding samples from
 * memory. One OpenAL buffer per sample and, per sample, as many OpenAL sources
 * as the sample's playback limit; a playback is one of those sources playing.
 *
 * Without an open device (BASS_Init not called, failed, or after BASS_Free)
 * every call does nothing and answers 0.
 *
 * The master volume is the listener gain. Values outside 0..100 (the volume
 * bar hands them over unclamped, e.g. -1 or 133) are clamped to 0..100, and
 * BASS_GetVolume reports the clamped value.
 *
 * Long compressed samples (the music) are decoded in the background so that
 * loading them does not hold up the user-interface thread: BASS_SampleLoad
 * checks the data, answers the handle at once and the sound reaches its buffer
 * a moment later, through the Qt event loop of the thread that loaded it (or at
 * the next call about that sample). Playbacks asked for meanwhile count as
 * running and start when the sound is ready. See the .cpp for the threading.
 *
 * Very long Ogg Vorbis samples (the 64 s music) are not decoded into memory at
 * all: each playback decodes as it plays, from the sample's compressed bytes,
 * into a few small queued buffers (streaming), so the music costs its 1.3 MB of
 * Ogg data instead of 11 MB of PCM. Limits, take-over, looping and stopping
 * behave as for any other sample.
 *
 * While nothing plays, the output device is paused (ALC_SOFT_pause_device), so
 * an idle program costs no CPU for mixing silence; the next BASS_SamplePlay
 * resumes it. The check runs a second after the last play or stop, from a Qt
 * timer that only runs while the device does.
 */
class OpenAlSoundLibrary final : public SoundLibrary
{
public:
    OpenAlSoundLibrary();
    ~OpenAlSoundLibrary() override;
    OpenAlSoundLibrary(const OpenAlSoundLibrary &) = delete;
    OpenAlSoundLibrary &operator=(const OpenAlSoundLibrary &) = delete;

    /// Opens the system's default output device for `freq` on a worker thread,
    /// now, and answers at once. The next BASS_Init at that rate takes the
    /// device over (or its failure to open) instead of waiting for the sound
    /// system then; at another rate it is closed and BASS_Init opens anew.
    void openDeviceAhead(std::uint32_t freq);

    std::uint32_t BASS_GetVersion() override;
    int BASS_Init(int device, std::uint32_t freq, std::uint32_t flags, void *win) override;
    int BASS_Start() override;
    HSAMPLE BASS_SampleLoad(int mem, const void *file, std::uint32_t offset, std::uint32_t length,
        std::uint32_t max, std::uint32_t flags) override;
    /// Answers the OpenAL source that plays, or 0 when none could start.
    std::uint32_t BASS_SamplePlay(HSAMPLE handle) override;
    int BASS_SampleStop(HSAMPLE handle) override;
    void BASS_SampleFree(HSAMPLE handle) override;
    int BASS_GetVolume() override;
    int BASS_SetVolume(int volume) override;
    int BASS_Stop() override;
    void BASS_Free() override;

    /// Playbacks of the sample that are running now, or waiting for the sample's
    /// decoding to finish (0 for an unknown handle).
    int activePlaybacks(HSAMPLE handle);
    /// True while the sample's sound is still being decoded in the background.
    /// Only looks: it does not take in a finished decoding.
    bool isDecoding(HSAMPLE handle) const;
    /// Number of samples currently loaded.
    std::size_t loadedSamples() const;

    /// Pauses the output device when nothing plays or waits to play (what the
    /// idle timer runs; tests call it directly). Answers whether the device is
    /// now paused because it is idle.
    bool pauseIfIdle();
    /// True while the device is paused because nothing plays.
    bool isIdlePaused() const { return m_idlePaused; }
    /// How long after the last play the idle check runs.
    static constexpr int kIdleCheckMs = 1000;

    /// Largest playback limit per sample that BASS_SampleLoad accepts.
    static constexpr std::uint32_t kMaxPlaybacks = 64;
    /// Ogg Vorbis samples of at least this many bytes are decoded in the
    /// background; smaller ones decode in a few milliseconds and are done at once.
    static constexpr std::size_t kBackgroundDecodeBytes = 64 * 1024;

    /// Ogg Vorbis samples of at least this many bytes are played while decoding
    /// (streamed) instead of being decoded into memory.
    static constexpr std::size_t kStreamBytes = 512 * 1024;
    /// Each streamed playback keeps this many buffers of kStreamFrames queued:
    /// about 0.75 s of sound at 44.1 kHz, refilled every kStreamServiceMs by a
    /// worker thread of the library's own.
    static constexpr int kStreamBuffers = 4;
    static constexpr std::size_t kStreamFrames = 8192;
    static constexpr int kStreamServiceMs = 50;

    /// For tests: changes the size from which Ogg Vorbis samples are decoded in
    /// the background (kBackgroundDecodeBytes until then).
    void setBackgroundDecodeBytes(std::size_t bytes) { m_backgroundDecodeBytes = bytes; }
    /// For tests: changes the size from which Ogg Vorbis samples are streamed.
    void setStreamBytes(std::size_t bytes) { m_streamBytes = bytes; }
    /// True when the sample plays while decoding.
    bool isStreamed(HSAMPLE handle) const;
    /// Refills the buffers of streamed playbacks that have used some up and ends
    /// those that have played to their end; what the refill worker runs, and
    /// every call about a sample does first.
    void serviceStreams();
    /// For tests: while held, background decodings wait before they begin, so a
    /// test can act on a sample that is certainly still decoding. Releasing lets
    /// them run; freeing a sample ends its waiting decoding too.
    void holdBackgroundDecodes(bool hold);

private:
    struct DecodeJob;
    struct DecodeGate;

    // One streamed playback: its own decoder over the sample's bytes and the
    // buffers it keeps queued on its source.
    struct Voice
    {
        std::unique_ptr<SampleReader> reader;
        std::vector<unsigned int> buffers;
        bool active = false; // playing or about to, until stopped or played out
        bool atEnd = false; // a sound that does not loop has been read to its end
    };

    struct Sample
    {
        Sample() = default;
        Sample(Sample &&) noexcept = default;
        Sample &operator=(Sample &&) = delete;
        ~Sample();

        unsigned int buffer = 0;
        std::uint32_t flags = 0;
        std::vector<unsigned int> sources;
        // When each source was last started, in playback order: the smallest
        // running one is the longest-playing.
        std::vector<std::uint64_t> startedAt;
        // While the sound is decoded in the background: the work shared with
        // the worker thread, the thread itself, and per source whether a
        // playback was asked for and waits for the sound.
        std::shared_ptr<DecodeJob> job;
        std::thread worker;
        std::vector<char> pending;
        // The background decoding failed: the sample stays loaded but silent.
        bool silent = false;
        // A streamed sample: its compressed bytes and one voice per source.
        std::vector<unsigned char> encoded;
        std::vector<Voice> voices;
    };

    bool ready();
    bool buildSources(Sample &sample, std::uint32_t max, bool loopSources);
    bool fillBuffer(Sample &sample, const PcmData &pcm);
    bool startBackgroundDecode(Sample &sample, std::shared_ptr<DecodeJob> job);
    void takeDecodedSounds();
    Sample *liveSample(HSAMPLE handle);
    void takeDecodedSound(HSAMPLE handle, Sample &sample);
    void endBackgroundDecode(Sample &sample);
    void releaseSample(Sample &sample);
    void applyVolume();
    static bool isBusy(const Sample &sample, std::size_t index);
    bool anythingPlaying();
    void resumeFromIdle();
    void scheduleIdleCheck();
    HSAMPLE keep(Sample &&sample);
    HSAMPLE loadStreamed(
        const unsigned char *bytes, std::uint32_t length, std::uint32_t max, std::uint32_t flags);
    bool startVoice(Sample &sample, std::size_t index);
    bool fillVoiceBuffer(const Sample &sample, Voice &voice, unsigned int buffer);
    void stopVoices(Sample &sample);
    void refillVoices();
    void wakeRefillWorker();
    void runRefillWorker();
    void stopRefillWorker();
    bool pauseIfIdleLocked();
    void takeDecodedSoundsLocked();
    void freeLocked();

    // An output device with its (not yet current) context, as opened for a rate.
    struct OpenedDevice
    {
        std::uint32_t freq = 0;
        ALCdevice *device = nullptr;
        ALCcontext *context = nullptr;
    };
    static OpenedDevice openDevice(std::uint32_t freq);
    static bool closeDevice(OpenedDevice &opened);

    // Guards everything below (and every OpenAL call of this library): taken by
    // each call from the user-interface thread and by the refill worker.
    mutable std::mutex m_mutex;
    // The device and context BASS_Init opened; both null while closed.
    OpenedDevice m_open;
    // The device openDeviceAhead is opening; its worker touches nothing else.
    std::future<OpenedDevice> m_ahead;
    std::map<HSAMPLE, Sample> m_samples;
    HSAMPLE m_lastHandle = 0;
    std::uint64_t m_playCounter = 0;
    int m_volume = 100;
    // Paused by BASS_Stop (until BASS_Start), and paused because nothing plays
    // (until the next play); the device runs only when neither holds.
    bool m_stopped = false;
    bool m_idlePaused = false;
    std::unique_ptr<QTimer> m_idleTimer;
    std::size_t m_backgroundDecodeBytes = kBackgroundDecodeBytes;
    std::size_t m_streamBytes = kStreamBytes;
    // The refill worker: it sleeps on m_refillWake, and while a voice is active
    // wakes every kStreamServiceMs to refill it. Started by the first voice.
    std::thread m_refillWorker;
    std::condition_variable m_refillWake;
    bool m_refillQuit = false;
    std::vector<std::int16_t> m_streamScratch;
    std::shared_ptr<DecodeGate> m_gate;
    // Lives on the thread that loads samples; finished background decodings
    // post their hand-over to it. Made at the first background decoding.
    std::unique_ptr<QObject> m_receiver;
};

} // namespace dorvel::platform
