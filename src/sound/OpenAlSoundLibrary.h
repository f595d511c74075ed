#pragma once

#include "SoundDevice.h"
#include "SoundLibrary.h"
#include "SoundSample.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

class QObject;
class QTimer;

namespace dorvel::sound {

struct DecodeGate;

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
 *
 * When the sound system drops the device (a sound server restarting, a headset
 * unplugged), every call goes on as before, silently, while a worker tries the
 * default output again every kReopenMs. Once one opens, the loaded samples are
 * made again on it and what should play plays again: the streamed and looping
 * playbacks that ran, at the volume set.
 *
 * The units: SoundDevice (opening ahead, pausing, reconnecting), SampleDecoder
 * and BackgroundDecode (decoding), StreamVoice (streaming), SoundSample (a
 * sample and its playbacks); this class holds them together. See the .cpp for
 * the threading.
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
    bool isIdlePaused() const;
    /// How long after the last play the idle check runs.
    static constexpr int kIdleCheckMs = 1000;

    /// True from the moment the sound system is seen to have dropped the device
    /// until a new one has opened.
    bool isDeviceLost() const;
    /// While the device is lost, how often the default output is tried again.
    static constexpr int kReopenMs = 1500;

    /// Largest playback limit per sample that BASS_SampleLoad accepts.
    static constexpr std::uint32_t kMaxPlaybacks = 64;
    /// Ogg Vorbis samples of at least this many bytes are decoded in the
    /// background; smaller ones decode in a few milliseconds and are done at once.
    static constexpr std::size_t kBackgroundDecodeBytes = 64 * 1024;
    /// Ogg Vorbis samples of at least this many bytes are played while decoding
    /// (streamed) instead of being decoded into memory.
    static constexpr std::size_t kStreamBytes = 512 * 1024;
    /// While a streamed playback runs, the worker refills it this often (its
    /// queue holds about 0.75 s, see StreamVoice).
    static constexpr int kStreamServiceMs = 50;

    /// For tests: changes the size from which Ogg Vorbis samples are decoded in
    /// the background (kBackgroundDecodeBytes until then).
    void setBackgroundDecodeBytes(std::size_t bytes);
    /// For tests: changes the size from which Ogg Vorbis samples are streamed.
    void setStreamBytes(std::size_t bytes);
    /// True when the sample plays while decoding.
    bool isStreamed(HSAMPLE handle) const;
    /// Refills the buffers of streamed playbacks that have used some up and ends
    /// those that have played to their end; what the worker runs, and every
    /// call about a sample does first.
    void serviceStreams();
    /// For tests: while held, background decodings wait before they begin, so a
    /// test can act on a sample that is certainly still decoding. Releasing lets
    /// them run; freeing a sample ends its waiting decoding too.
    void holdBackgroundDecodes(bool hold);

private:
    bool ready();
    HSAMPLE loadInMemory(
        const unsigned char *bytes, std::uint32_t length, std::uint32_t max, std::uint32_t flags);
    HSAMPLE loadInBackground(
        const unsigned char *bytes, std::uint32_t length, std::uint32_t max, std::uint32_t flags);
    HSAMPLE loadStreamed(
        const unsigned char *bytes, std::uint32_t length, std::uint32_t max, std::uint32_t flags);
    HSAMPLE keep(SoundSample &&sample);
    SoundSample *liveSample(HSAMPLE handle);
    void takeDecodedSounds();
    void refillStreams();
    bool anythingPlaying() const;
    bool pauseIfIdleLocked();
    void scheduleIdleCheck();
    void applyVolume();
    void freeLocked();
    void watchConnection();

    // The worker: refills streams and brings a lost device back.
    void wakeWorker();
    void runWorker();
    void stopWorker();
    bool streaming() const;
    void workerRound();
    void reopenDevice(std::unique_lock<std::mutex> &lock);
    void restoreSamples();

    // Guards everything below, and every OpenAL call of this library: taken
    // by each call from the user-interface thread and by the worker's rounds.
    mutable std::mutex m_mutex;
    SoundDevice m_device;
    // The sound system dropped the device; the worker tries to open a new one.
    bool m_lost = false;
    std::chrono::steady_clock::time_point m_nextReopen;
    std::map<HSAMPLE, SoundSample> m_samples;
    HSAMPLE m_lastHandle = 0;
    std::uint64_t m_playCounter = 0;
    int m_volume = 100;
    std::size_t m_backgroundDecodeBytes = kBackgroundDecodeBytes;
    std::size_t m_streamBytes = kStreamBytes;
    std::shared_ptr<DecodeGate> m_gate;
    // The worker sleeps on m_wake: without a timeout while there is nothing to
    // do, so an idle program wakes nothing. Started when first needed.
    std::thread m_worker;
    std::condition_variable m_wake;
    bool m_workerQuit = false;
    // User-interface thread only, never the worker: the idle check's timer,
    // and the object finished background decodings post their hand-over to
    // (made at the first background decoding).
    std::unique_ptr<QTimer> m_idleTimer;
    std::unique_ptr<QObject> m_receiver;
};

} // namespace dorvel::sound
