#pragma once

#include "SampleDecoder.h"

#include <QObject>

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace dorvel::sound {

/// Lets tests keep decode workers from starting, so that a sample is certainly
/// still decoding while they act on it.
struct DecodeGate
{
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false;

    void hold(bool held);
};

/**
 * A sample's sound decoded on a worker thread of its own, so that loading a
 * long compressed sample does not hold up the user-interface thread.
 *
 * prepare() copies the bytes (the caller may let go of its own) and runs every
 * check that needs no decoding, so the load can still answer 0 for bad data.
 * start() hands the bytes and the reader to the worker; from then on only the
 * worker touches them until take() joins it (the join orders the two). When
 * done, the worker stores `finished` (release) and posts an empty event to the
 * receiver, a QObject of the loading thread; isFinished() (acquire) lets every
 * call take the sound in even where no event loop runs. Cancelling or
 * destroying stops the worker within one chunk (milliseconds) and joins it.
 */
class BackgroundDecode
{
public:
    /// Nullptr (and `why`) when the bytes fail the checks.
    static std::unique_ptr<BackgroundDecode> prepare(const unsigned char *bytes, std::size_t length,
        std::shared_ptr<DecodeGate> gate, std::string *why);
    ~BackgroundDecode();
    BackgroundDecode(const BackgroundDecode &) = delete;
    BackgroundDecode &operator=(const BackgroundDecode &) = delete;

    /// Starts the worker; false when no thread could be had (then decodeHere).
    bool start(QObject *receiver);
    /// Decodes on the calling thread, for when start() failed.
    std::optional<PcmData> decodeHere(std::string *why);
    bool isFinished() const;
    /// Joins the finished worker and answers its sound (nullopt and `why` on damage).
    std::optional<PcmData> take(std::string *why);
    /// Tells the worker to stop, without waiting (BASS_Free cancels every
    /// decoding before waiting for the first).
    void cancel();

private:
    struct Job;
    BackgroundDecode() = default;

    std::shared_ptr<Job> m_job;
    std::thread m_worker;
};

/// Lives on the thread that loads samples. A finished decode worker posts it an
/// empty event, which it answers by calling back; nothing made on the worker is
/// read through the event itself.
class DecodeReceiver final : public QObject
{
public:
    explicit DecodeReceiver(std::function<void()> onDecoded);

protected:
    void customEvent(QEvent *) override;

private:
    std::function<void()> m_onDecoded;
};

} // namespace dorvel::sound
