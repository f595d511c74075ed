#pragma once

#include <cstdint>
#include <future>

// OpenAL's device and context, declared word for word as <AL/alc.h> declares
// them, so that this header (and OpenAlSoundLibrary.h above it) does not carry
// OpenAL's headers to the code that uses the sound library.
typedef struct ALCdevice_struct ALCdevice;
typedef struct ALCcontext_struct ALCcontext;

namespace dorvel::sound {

/**
 * The sound library's output device and its OpenAL context: opened ahead on a
 * worker, paused while idle or stopped, watched for loss and replaced by a new
 * one when the sound system comes back.
 *
 * Not thread-safe: the library calls it under its own lock, except
 * openDefault(), which touches nothing shared and runs without the lock.
 */
class SoundDevice
{
public:
    // A device with its (not yet current) context, as opened for a rate.
    struct Opened
    {
        std::uint32_t freq = 0;
        ALCdevice *device = nullptr;
        ALCcontext *context = nullptr;
    };

    SoundDevice() = default;
    ~SoundDevice();
    SoundDevice(const SoundDevice &) = delete;
    SoundDevice &operator=(const SoundDevice &) = delete;

    /// The system's default output and a context mixing at `freq` (8000..192000,
    /// otherwise OpenAL's default): no device leaves both null, and a device
    /// without a context has to be discarded.
    /// Slow (it asks the sound system); safe on any thread.
    static Opened openDefault(std::uint32_t freq);
    /// Closes a device and context that were never taken.
    static void discard(Opened &opened);

    /// Starts opening the default output for `freq` on a worker thread.
    void openAhead(std::uint32_t freq);
    /// Takes the device opened ahead at `freq`, or opens one now; makes its
    /// context current. False when there is no device or context.
    bool open(std::uint32_t freq);
    /// Closes the device (and one opened ahead that nobody took). False when
    /// the device would not close.
    bool close();
    /// Puts `opened` in place of the current device, which is closed: after the
    /// sound system came back. Pause states are cleared.
    void replace(Opened opened);

    bool isOpen() const { return m_open.context != nullptr; }
    std::uint32_t freq() const { return m_open.freq; }
    ALCcontext *context() const { return m_open.context; }

    /// Makes the context current for the process if it is not (another library
    /// object may have made its own current meanwhile). False without a device.
    bool makeCurrent();
    /// Makes the context current for the calling thread alone (workers), or,
    /// where OpenAL cannot, for the process. Null unbinds.
    bool bindToThisThread(ALCcontext *context);

    /// False once the sound system has dropped the device (ALC_EXT_disconnect).
    bool isConnected() const;

    /// Pauses the mixer because nothing plays; false when it cannot pause.
    bool pauseForIdle();
    /// Undoes pauseForIdle, if it paused.
    void resumeFromIdle();
    /// BASS_Stop's pause: holds until start(), whatever plays meanwhile.
    void stop();
    /// Ends BASS_Stop's pause; the mixer stays paused, now for idleness,
    /// unless `somethingPlays`.
    void start(bool somethingPlays);
    bool isIdlePaused() const { return m_idlePaused; }
    bool isStopped() const { return m_stopped; }

private:
    static bool closeOpened(Opened &opened);
    bool pauseMixer();

    Opened m_open;
    // The device the worker of openAhead is opening; it touches nothing else.
    std::future<Opened> m_ahead;
    // The mixer is paused by BASS_Stop (until start) or because nothing plays
    // (until the next play); it runs only when neither holds.
    bool m_stopped = false;
    bool m_idlePaused = false;
};

} // namespace dorvel::sound
