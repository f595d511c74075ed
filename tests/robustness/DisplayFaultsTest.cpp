// A display that refuses the change to 800×600, or lists no mode that reaches
// it, never keeps the start screen from opening, from starting a game or from
// storing the switches when it closes; the user's mode is put back only when a
// change was asked for.
#include "RobustnessSupport.h"
#include "app/ClickableImage.h"
#include "app/TfrmDorvel20Main.h"
#include "support/RecordingSoundLibrary.h"
#include "support/TempDir.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace dorvel;
using namespace dorvel::test;

namespace {

struct DisplayFaults : testing::Test
{
    DisplayFaults() { writeBytes(storage::kConfigFileName, settingsBytes(1, 1)); }

    // Plays one turn from the start screen and comes back to it.
    void playOneTurn(app::TfrmDorvel20Main &window)
    {
        RunDriver driver;
        driver.escapeAfterTurns = 1;
        driver.run([&] { QTest::mouseClick(window.imgOK, Qt::LeftButton); });
        EXPECT_FALSE(driver.timedOut());
        EXPECT_EQ(driver.turnsEntered, 1);
    }

    ScopedCurrentDir dir;
    RecordingSoundLibrary sound;
    StubDisplay display;
    FixedClock clock { 36'000'000 };
    resources::MemoryResourceLoader library { realResources() };
};

// The switch's result is ignored: the screen stays as it was and the program
// runs in its 800×600 window at the top left, with music.
TEST_F(DisplayFaults, RefusedSwitchIsNotAnError)
{
    display.switchWorks = false;
    MessageRecorder recorder;
    {
        app::TfrmDorvel20Main window(sound, library, clock, display);
        ASSERT_FALSE(window.startFailed());
        window.show();
        EXPECT_EQ(window.pos(), QPoint(0, 0));
        EXPECT_TRUE(window.GLFullScreenViewer1.active());
        EXPECT_GE(sound.indexOf("SamplePlay(1)"), 0) << "music plays";
        playOneTurn(window);
        QTest::keyClick(&window, Qt::Key_Escape);
        EXPECT_FALSE(window.isVisible());
    }
    EXPECT_TRUE(recorder.messages.empty());
    // restore() is harmless when nothing changed, and is owed after asking.
    EXPECT_EQ(display.calls, (std::vector<std::string> { "switch(800x600x16)", "restore" }));
    EXPECT_EQ(readBytes(storage::kConfigFileName), settingsBytes(1, 1));
}

// No mode reaches 800×600 at 16 bits (or none is listed at all): one standard
// error box, then a silent start screen at its designed place that still plays
// a game and still stores the switches and shuts the sound down when Escape
// closes it.
TEST_F(DisplayFaults, NoQualifyingModeStillGivesAWorkingStartScreen)
{
    for (const auto &modes : std::vector<std::vector<display::DisplayMode>> {
             { { 640, 480, 32 }, { 1024, 768, 8 }, { 799, 1200, 32 } }, {} }) {
        SCOPED_TRACE(modes.size());
        display.available = modes;
        display.calls.clear();
        sound.clear();
        writeBytes(storage::kConfigFileName, settingsBytes(1, 1));
        MessageRecorder recorder;
        {
            app::TfrmDorvel20Main window(sound, library, clock, display);
            ASSERT_FALSE(window.startFailed());
            // It opens silently, its switches not drawn.
            EXPECT_TRUE(sound.callsStartingWith("SamplePlay").empty());
            EXPECT_FALSE(window.imgMusic->hasPicture());
            EXPECT_FALSE(window.imgSound->hasPicture());
            window.show();
            ASSERT_EQ(recorder.messages.size(), 1u);
            EXPECT_EQ(recorder.messages[0].kind, stage::MessageKind::Error);
            EXPECT_EQ(recorder.messages[0].title, QStringLiteral("Halvenor Dorvel DAVED"));
            EXPECT_EQ(recorder.messages[0].text, QStringLiteral("Unsupported video mode."));
            EXPECT_EQ(window.pos(), app::TfrmDorvel20Main::kDesignedPosition);
            EXPECT_FALSE(window.GLFullScreenViewer1.active());
            playOneTurn(window);
            QTest::mouseClick(window.imgMusic, Qt::LeftButton, {}, QPoint(5, 5));
            QTest::keyClick(&window, Qt::Key_Escape);
            EXPECT_FALSE(window.isVisible());
            EXPECT_EQ(sound.calls.back(), "Free");
        }
        EXPECT_EQ(recorder.messages.size(), 1u);
        EXPECT_TRUE(display.calls.empty()) << "the mode was never touched";
        EXPECT_EQ(SampleLedger::of(sound.calls).faults(), std::vector<std::string> {});
        // The music switch was on; its click turned it off, and that is stored.
        Bytes expected = settingsBytes(1, 1);
        expected[1] = 0;
        EXPECT_EQ(readBytes(storage::kConfigFileName), expected);
    }
}

} // namespace
