#include "BackgroundDecode.h"

#include <QCoreApplication>
#include <QEvent>

#include <atomic>
#include <new>
#include <system_error>
#include <vector>

namespace dorvel::sound {

void DecodeGate::hold(bool hold)
{
    {
        const std::lock_guard lock(mutex);
        held = hold;
    }
    changed.notify_all();
}

// The sample's bytes and what comes of them, shared by the loading thread and
// the worker (see the class comment for who touches what when).
struct BackgroundDecode::Job
{
    std::shared_ptr<DecodeGate> gate;
    std::vector<unsigned char> bytes;
    std::unique_ptr<SampleReader> reader; // reads `bytes`
    std::optional<PcmData> pcm;
    std::string why;
    std::atomic<bool> cancelled { false };
    std::atomic<bool> finished { false };

    // On the worker.
    void run()
    {
        {
            std::unique_lock lock(gate->mutex);
            gate->changed.wait(lock, [this] { return !gate->held || cancelled.load(); });
        }
        try {
            pcm = reader->decode(&why, &cancelled);
        } catch (const std::bad_alloc &) {
            pcm.reset();
            why = "out of memory";
        }
        // Closing here frees the decoder's memory before the hand-over.
        reader.reset();
        std::vector<unsigned char>().swap(bytes);
        finished.store(true, std::memory_order_release);
    }
};

std::unique_ptr<BackgroundDecode> BackgroundDecode::prepare(const unsigned char *bytes,
    std::size_t length, std::shared_ptr<DecodeGate> gate, std::string *why)
{
    auto job = std::make_shared<Job>();
    job->gate = std::move(gate);
    job->bytes.assign(bytes, bytes + length);
    job->reader = SampleReader::open(job->bytes.data(), job->bytes.size(), why);
    if (!job->reader)
        return nullptr;
    std::unique_ptr<BackgroundDecode> decode(new BackgroundDecode);
    decode->m_job = std::move(job);
    return decode;
}

BackgroundDecode::~BackgroundDecode()
{
    if (m_worker.joinable()) {
        cancel();
        m_worker.join();
    }
}

bool BackgroundDecode::start(QObject *receiver)
{
    try {
        m_worker = std::thread([job = m_job, receiver] {
            job->run();
            if (!job->cancelled.load())
                QCoreApplication::postEvent(receiver, new QEvent(QEvent::User));
        });
    } catch (const std::system_error &) {
        return false;
    }
    return true;
}

std::optional<PcmData> BackgroundDecode::decodeHere(std::string *why)
{
    return m_job->reader->decode(why);
}

bool BackgroundDecode::isFinished() const
{
    return m_job->finished.load(std::memory_order_acquire);
}

std::optional<PcmData> BackgroundDecode::take(std::string *why)
{
    if (m_worker.joinable())
        m_worker.join();
    if (why)
        *why = m_job->why;
    return std::move(m_job->pcm);
}

void BackgroundDecode::cancel()
{
    {
        const std::lock_guard lock(m_job->gate->mutex);
        m_job->cancelled.store(true);
    }
    m_job->gate->changed.notify_all();
}

DecodeReceiver::DecodeReceiver(std::function<void()> onDecoded)
    : m_onDecoded(std::move(onDecoded))
{
}

void DecodeReceiver::customEvent(QEvent *)
{
    m_onDecoded();
}

} // namespace dorvel::sound
