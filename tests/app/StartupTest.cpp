// The start screen's start-up: how each of its endings looks to the user, what
// it leaves in "dorvel.cfg" and on the display, and the exit code it reports.
#include "AppTestSupport.h"
#include "app/ClickableImage.h"
#include "app/TfrmDorvel20Main.h"
#include "app/VolumeBar.h"
#include "platform/Clock.h"
#include "platform/MessageTexts.h"
#include "support/FixedClock.h"
#include "support/RecordingSoundLibrary.h"
#include "support/TempDir.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

using namespace dorvel;
using stage::MessageKind;

namespace {

struct Startup : test::StartScreenStandIns
{
};

TEST_F(Startup, MissingLibraryEndsWithErrorBeforeTouchingAnything)
{
    resources::MissingResourceLoader missing;
    app::TfrmDorvel20Main window(sound, missing, clock, display);

    EXPECT_TRUE(window.startFailed());
    EXPECT_EQ(window.exitCode(), app::kExitFatal);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(boxes.messages[0].title, QStringLiteral("Fehler"));
    EXPECT_EQ(boxes.messages[0].text, platform::libraryMissingEndingText());
    EXPECT_TRUE(sound.calls.empty());
    EXPECT_TRUE(display.calls.empty());
    EXPECT_FALSE(window.GLFullScreenViewer1.active());
    EXPECT_FALSE(std::filesystem::exists(storage::kConfigFileName));
}

TEST_F(Startup, WrongSoundLibraryVersionEndsWithNonZeroCode)
{
    for (const std::uint32_t version : { 0x00060001u, 0x00080001u, 0x00010007u }) {
        SCOPED_TRACE(version);
        boxes.messages.clear();
        sound.clear();
        sound.version = version;
        app::TfrmDorvel20Main window(sound, library, clock, display);

        EXPECT_TRUE(window.startFailed());
        EXPECT_EQ(window.exitCode(), app::kExitFatal);
        ASSERT_EQ(boxes.messages.size(), 1u);
        EXPECT_EQ(boxes.messages[0].kind, MessageKind::Error);
        EXPECT_EQ(boxes.messages[0].text, platform::kWrongSoundVersion);
        EXPECT_EQ(sound.calls, std::vector<std::string> { "GetVersion" });
        EXPECT_TRUE(display.calls.empty());
        EXPECT_FALSE(std::filesystem::exists(storage::kConfigFileName));
    }
}

TEST_F(Startup, NoSoundDeviceInformsAndStoresBothSwitchesOff)
{
    test::writeBytes(storage::kConfigFileName, test::settingsBytes(1, 1));
    sound.initResult = 0;
    app::TfrmDorvel20Main window(sound, library, clock, display);

    EXPECT_FALSE(window.startFailed());
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(boxes.messages[0].title, QStringLiteral("Information"));
    EXPECT_EQ(boxes.messages[0].text, platform::noSoundCardText());
    EXPECT_FALSE(window.soundAvailable);
    EXPECT_FALSE(window.soundOn);
    EXPECT_FALSE(window.musicOn);
    EXPECT_EQ(sound.calls, (std::vector<std::string> { "GetVersion", "Init(-1,44100,0)" }));
    EXPECT_TRUE(window.imgMusic->hasPicture());
    EXPECT_TRUE(window.imgSound->hasPicture());

    // Stored off at once; the high scores travel unchanged.
    EXPECT_EQ(test::readBytes(storage::kConfigFileName), test::settingsBytes(0, 0));

    // Without a device the switches stay off, the count clicks silently and the
    // volume still goes to the sound library.
    sound.clear();
    window.imgSoundClick();
    window.imgMusicClick();
    window.imgSpielerClick();
    window.pgbLautMouseMove(Qt::LeftButton, 150, 5);
    EXPECT_FALSE(window.soundOn);
    EXPECT_FALSE(window.musicOn);
    EXPECT_EQ(window.playerCount, 2);
    EXPECT_EQ(sound.calls, std::vector<std::string> { "SetVolume(50)" });

    window.close();
    EXPECT_EQ(sound.calls, std::vector<std::string> { "SetVolume(50)" });
}

TEST_F(Startup, NormalStartTakesSwitchesLoadsSamplesAndPlaysMusic)
{
    test::writeBytes(
        storage::kConfigFileName, test::settingsBytes(0, 7)); // any non-zero byte is "on"
    sound.volume = 64;
    app::TfrmDorvel20Main window(sound, library, clock, display);

    EXPECT_FALSE(window.startFailed());
    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_TRUE(window.soundAvailable);
    EXPECT_FALSE(window.soundOn);
    EXPECT_TRUE(window.musicOn);
    EXPECT_EQ(window.playerCount, 1);
    const std::vector<std::string> expected { "GetVersion", "Init(-1,44100,0)", "Start",
        "SampleLoad(len=1170,max=3,flags=4)=1", "SampleLoad(len=1160,max=3,flags=131072)=2",
        "SampleLoad(len=1150,max=3,flags=131072)=3", "GetVolume", "SamplePlay(1)" };
    EXPECT_EQ(sound.calls, expected);
    EXPECT_EQ(window.musicSample, 1u);
    EXPECT_EQ(window.clickSample, 2u);
    EXPECT_EQ(window.confirmSample, 3u);
    EXPECT_EQ(window.pgbLaut->value(), 64);
    EXPECT_FALSE(window.imgMusic->hasPicture());
    EXPECT_TRUE(window.imgSound->hasPicture());
    EXPECT_TRUE(window.imgSpieler->hasPicture());
    EXPECT_FALSE(window.imgHintergrund->pixmap().isNull());
    EXPECT_EQ(window.pos(), QPoint(0, 0));
    EXPECT_EQ(window.objectName(), QStringLiteral("frmDorvel20Main"));
    EXPECT_EQ(display.calls, std::vector<std::string> { "switch(800x600x24)" });
    EXPECT_TRUE(window.GLFullScreenViewer1.active());
    // Reading the settings writes nothing.
    EXPECT_EQ(test::readBytes(storage::kConfigFileName), test::settingsBytes(0, 7));
    // The backdrop gets its GL context with the start screen's first frame,
    // not before it (loading the GL driver would hold that frame up).
    EXPECT_EQ(window.GLFullScreenViewer1.hostContext(), nullptr);
    window.show();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window.GLFullScreenViewer1.hostContext() != nullptr; }));
}

TEST_F(Startup, ClosingStoresSwitchesAndShutsSoundDownInOrder)
{
    test::writeBytes(storage::kConfigFileName, test::settingsBytes(1, 1));
    {
        app::TfrmDorvel20Main window(sound, library, clock, display);
        window.show();
        window.imgMusicClick(); // music off
        sound.clear();
        QTest::keyClick(&window, Qt::Key_Escape);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(sound.calls,
            (std::vector<std::string> {
                "Stop", "SampleFree(1)", "SampleFree(2)", "SampleFree(3)", "Free" }));
        EXPECT_EQ(display.calls, std::vector<std::string> { "switch(800x600x24)" });
    }
    // Destroying the start screen gives the user's display mode back.
    EXPECT_EQ(display.calls, (std::vector<std::string> { "switch(800x600x24)", "restore" }));
    // Switch bytes 1 and 0; every other byte as it was.
    EXPECT_EQ(test::readBytes(storage::kConfigFileName), test::settingsBytes(1, 0));
}

TEST_F(Startup, DisplayAlreadyRightIsNeitherChangedNorRestored)
{
    display.available = { { 800, 600, 16 } };
    display.shown = { 800, 600, 16 };
    {
        app::TfrmDorvel20Main window(sound, library, clock, display);
        EXPECT_TRUE(window.GLFullScreenViewer1.active());
        EXPECT_FALSE(window.GLFullScreenViewer1.modeChanged());
    }
    EXPECT_TRUE(display.calls.empty());
}

} // namespace
