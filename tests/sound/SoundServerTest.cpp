// On a real sound server (a private PulseAudio with a null sink, recorded with
// parec) the library's sound comes back when the server does: killed while
// the music streams, the device is seen lost; every call meanwhile answers as
// before; once the server is back the music plays again at the volume set, and
// a sample loaded and played while the server was away is heard too.
#include "SoundTestData.h"
#include "sound/OpenAlSoundLibrary.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>

using namespace dorvel::sound;

namespace {

// A PulseAudio of the test's own, in a private home and runtime folder, that
// no other client sees and that does not respawn once killed.
class PrivateServer
{
public:
    bool prepare()
    {
        if (QStandardPaths::findExecutable("pulseaudio").isEmpty()
            || QStandardPaths::findExecutable("parec").isEmpty() || !m_dir.isValid())
            return false;
        const QString home = m_dir.filePath("home"), run = m_dir.filePath("run");
        QDir().mkpath(home);
        QDir().mkpath(run);
        QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile conf(m_dir.filePath("client.conf"));
        if (!conf.open(QIODevice::WriteOnly) || conf.write("autospawn = no\n") < 0)
            return false;
        conf.close();
        setenv("HOME", home.toLocal8Bit().constData(), 1);
        setenv("XDG_RUNTIME_DIR", run.toLocal8Bit().constData(), 1);
        setenv("PULSE_CLIENTCONFIG", conf.fileName().toLocal8Bit().constData(), 1);
        dorvel::test::useOpenAlDriver("pulse");
        return true;
    }

    bool start()
    {
        m_server.start("pulseaudio",
            { "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "-L",
                "module-native-protocol-unix auth-anonymous=1", "-L",
                "module-null-sink sink_name=out", "-L", "module-always-sink" });
        if (!m_server.waitForStarted(5000))
            return false;
        return waitFor([] {
            QProcess info;
            info.setStandardOutputFile(QProcess::nullDevice());
            info.setStandardErrorFile(QProcess::nullDevice());
            info.start("pactl", { "info" });
            return info.waitForFinished(5000) && info.exitCode() == 0;
        });
    }

    void kill()
    {
        m_server.kill();
        m_server.waitForFinished(5000);
    }

    // Records the sink's monitor for `seconds`; answers the RMS (0..1) of the
    // take's second half (its first may hold the null sink's idle blocks).
    double recordLevel(double seconds)
    {
        const QString path = m_dir.filePath("take.raw");
        QProcess recorder;
        recorder.setStandardOutputFile(path);
        recorder.start(
            "parec", { "-d", "out.monitor", "--format=s16le", "--rate=44100", "--channels=2" });
        recorder.waitForStarted(5000);
        QThread::msleep(static_cast<unsigned long>(seconds * 1000));
        recorder.terminate();
        recorder.waitForFinished(5000);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return 0.0;
        const QByteArray bytes = file.readAll();
        const auto values = static_cast<std::size_t>(bytes.size()) / 2;
        double sum = 0.0;
        std::size_t counted = 0;
        for (std::size_t i = values / 2; i < values; ++i) {
            std::int16_t v = 0;
            std::memcpy(&v, bytes.constData() + 2 * i, 2);
            sum += (v / 32768.0) * (v / 32768.0);
            ++counted;
        }
        return counted ? std::sqrt(sum / static_cast<double>(counted)) : 0.0;
    }

    // Waits up to 10 s for `done`, letting events through.
    static bool waitFor(const std::function<bool()> &done)
    {
        QDeadlineTimer deadline(10000);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(50);
        }
        return true;
    }

    ~PrivateServer() { kill(); }

private:
    QTemporaryDir m_dir;
    QProcess m_server;
};

} // namespace

TEST(SoundServer, SoundComesBackWithTheServerAtTheVolumeSet)
{
    PrivateServer server;
    if (!server.prepare())
        GTEST_SKIP() << "no pulseaudio or parec (scripts/setup installs them)";
    ASSERT_TRUE(server.start());
    OpenAlSoundLibrary lib;
    ASSERT_NE(lib.BASS_Init(-1, 44100, 0, nullptr), 0);
    ASSERT_EQ(lib.BASS_Start(), 1);
    ASSERT_EQ(lib.BASS_SetVolume(50), 1);
    lib.setStreamBytes(1);
    const auto music = dorvel::test::makeChirp(dorvel::test::SoundFormat::OggVorbis, 300, 900, 1.0);
    const HSAMPLE musicSample = lib.BASS_SampleLoad(
        -1, music.data(), 0, static_cast<std::uint32_t>(music.size()), 3, BASS_SAMPLE_LOOP);
    ASSERT_TRUE(lib.isStreamed(musicSample));
    ASSERT_NE(lib.BASS_SamplePlay(musicSample), 0u);
    const double before = server.recordLevel(2.0);
    ASSERT_GT(before, 0.02) << "the music does not reach the server";

    server.kill();
    ASSERT_TRUE(PrivateServer::waitFor([&] { return lib.isDeviceLost(); }))
        << "the loss of the server was not seen";
    // Meanwhile every call answers as before.
    const auto effect = dorvel::test::makeTone(dorvel::test::SoundFormat::Wav16, 660, 3.0);
    const HSAMPLE effectSample = lib.BASS_SampleLoad(
        -1, effect.data(), 0, static_cast<std::uint32_t>(effect.size()), 3, BASS_SAMPLE_LOOP);
    EXPECT_NE(effectSample, 0u);
    EXPECT_NE(lib.BASS_SamplePlay(effectSample), 0u);
    EXPECT_EQ(lib.BASS_GetVolume(), 50);
    EXPECT_EQ(lib.BASS_SampleStop(effectSample), 1);
    EXPECT_EQ(lib.activePlaybacks(musicSample), 1);

    ASSERT_TRUE(server.start());
    ASSERT_TRUE(PrivateServer::waitFor([&] { return !lib.isDeviceLost(); }))
        << "no new device once the server was back";
    EXPECT_EQ(lib.activePlaybacks(musicSample), 1);
    EXPECT_EQ(lib.BASS_GetVolume(), 50);
    const double after = server.recordLevel(2.0);
    // The same music at the same volume: the same level (at 100 it would double).
    EXPECT_NEAR(after, before, before * 0.15) << "before " << before << ", after " << after;

    ASSERT_EQ(lib.BASS_SampleStop(musicSample), 1);
    ASSERT_NE(lib.BASS_SamplePlay(effectSample), 0u);
    EXPECT_GT(server.recordLevel(2.0), 0.02)
        << "a sample loaded while the server was away is silent";
    lib.BASS_Free();
}
